#include "core/files/destinationlock.h"

#include "core/files/filecopy.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

DestinationLock::DestinationLock(const QString &destinationDir)
{
    const QByteArray path = QFile::encodeName(destinationDir + QLatin1Char('/') + JournalFileName);
    // Opened for writing: on NFS an exclusive flock needs a file open for writing.
    m_fd = ::open(path.constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (m_fd < 0) {
        m_error = systemMessage(errno);
        return;
    }
    int locked;
    do
        locked = ::flock(m_fd, LOCK_EX);
    while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        m_error = systemMessage(errno);
        ::close(m_fd);
        m_fd = -1;
    }
}

DestinationLock::~DestinationLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // closing the last descriptor ends the flock
}
