#include "core/files/renameover.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
bool failWith(int error, QString *why)
{
    *why = QString::fromLocal8Bit(std::strerror(error));
    return false;
}
} // namespace

bool renameOver(const QString &from, const QString &to, QString *error)
{
    // Flushed first: after a power cut the final name must not stand for an empty file.
    const int file = ::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return failWith(errno, error);
    const bool flushed = ::fdatasync(file) == 0 || errno == EINVAL;
    const int flushError = errno;
    ::close(file);
    if (!flushed)
        return failWith(flushError, error);
    // QFile::rename would refuse an existing target; rename(2) replaces it atomically.
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return failWith(errno, error);
    // The new name is on the disk once its folder is. The file is in place by now either way,
    // so a folder that cannot be flushed does not undo the move.
    const int folder = ::open(QFile::encodeName(QFileInfo(to).absolutePath()).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}
