#include "core/files/partialclaim.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
enum class Lock { Held, Busy, Unavailable };

// Locks the file at path without waiting. The lock counts only while path still names the
// locked file: its writer may have renamed it to the output's name, or removed it, meanwhile.
Lock lockFile(const QByteArray &path, bool create, int *descriptor)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int fd = ::open(path.constData(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0666);
        if (fd < 0)
            return Lock::Unavailable;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const bool busy = errno == EWOULDBLOCK;
            ::close(fd);
            return busy ? Lock::Busy : Lock::Unavailable;
        }
        struct stat locked {};
        struct stat named {};
        if (::fstat(fd, &locked) == 0 && ::stat(path.constData(), &named) == 0 && locked.st_dev == named.st_dev
            && locked.st_ino == named.st_ino) {
            *descriptor = fd;
            return Lock::Held;
        }
        ::close(fd);
    }
    return Lock::Busy;
}
} // namespace

PartialClaim::~PartialClaim()
{
    release();
}

bool PartialClaim::take(const QString &path)
{
    release();
    return lockFile(QFile::encodeName(path), true, &m_fd) != Lock::Busy;
}

void PartialClaim::release()
{
    if (m_fd >= 0)
        ::close(m_fd); // the flock ends with its descriptor
    m_fd = -1;
}

bool PartialClaim::removeLeftover(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    int fd = -1;
    if (lockFile(name, false, &fd) != Lock::Held)
        return false;
    const bool removed = ::unlink(name.constData()) == 0;
    ::close(fd);
    return removed;
}
