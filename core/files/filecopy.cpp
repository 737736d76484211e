#include "core/files/filecopy.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <glib.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr qint64 BufferSize = 16000;

enum class KernelCopy { Done, NotPossible, Failed };

// Small enough that a stop is noticed and progress moves within a fraction of a second.
constexpr std::size_t KernelChunk = std::size_t(32) << 20;

bool cancelled(const CopyControl *control)
{
    return control && control->cancel && control->cancel->load();
}

void count(CopyControl *control, qint64 bytes)
{
    if (control && control->copied)
        *control->copied += bytes;
}

void fail(CopyControl *control, const QString &why)
{
    if (control && control->error.isEmpty())
        control->error = why;
}

QString saying(const QString &what, int error)
{
    return what + QLatin1String(": ") + systemMessage(error);
}


// Lets the kernel move the bytes from file to file (no trip through our buffer), as cat
// does. Where it cannot (another file system, a device such as /dev/full) nothing has been
// copied yet and the buffered loop does the work.
KernelCopy copyInKernel(int from, int to, CopyControl *control)
{
    qint64 copied = 0;
    for (;;) {
        if (cancelled(control))
            return KernelCopy::Failed;
        const ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, KernelChunk, 0);
        if (n > 0) {
            copied += n;
            count(control, n);
            continue;
        }
        if (n == 0)
            return copied > 0 ? KernelCopy::Done : KernelCopy::NotPossible;
        if (copied == 0)
            return KernelCopy::NotPossible;
        fail(control, systemMessage(errno));
        return KernelCopy::Failed;
    }
}

bool bufferedCopy(int from, int to, CopyControl *control)
{
    std::vector<char> buffer(BufferSize);
    while (!cancelled(control)) {
        const ssize_t got = ::read(from, buffer.data(), BufferSize);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            fail(control, saying(SourceLostText, errno));
            return false;
        }
        if (got == 0)
            return true;
        if (!writeAll(to, buffer.data(), got)) {
            fail(control, systemMessage(errno));
            return false;
        }
        count(control, got);
    }
    return false;
}

// A card pulled mid-copy can leave the open file readable to its end while its name is gone.
bool stillThere(const QByteArray &path, const struct stat &opened, CopyControl *control)
{
    struct stat now {};
    if (::stat(path.constData(), &now) != 0) {
        fail(control, saying(SourceLostText, errno));
        return false;
    }
    if (now.st_dev != opened.st_dev || now.st_ino != opened.st_ino) {
        fail(control, saying(SourceLostText, ENOENT));
        return false;
    }
    return true;
}

// The copy counts only once it is on the disk; its pages then leave the cache so that a
// read-back reads the disk.
bool flush(int to, CopyControl *control)
{
    if (::fdatasync(to) != 0 && errno != EINVAL) { // pipes and devices cannot be flushed
        fail(control, systemMessage(errno));
        return false;
    }
    ::posix_fadvise(to, 0, 0, POSIX_FADV_DONTNEED);
    return true;
}

void mark(bool trace, const char *marker)
{
    if (trace)
        qDebug() << marker;
}
} // namespace

QString systemMessage(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool isSameFile(const QString &first, const QString &second)
{
    struct stat a {};
    struct stat b {};
    if (stat(QFile::encodeName(first).constData(), &a) != 0
        || stat(QFile::encodeName(second).constData(), &b) != 0)
        return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool copyFile(const QString &oldFilePath, const QString &newFilePath, bool traceMarkers,
              CopyControl *control)
{
    mark(traceMarkers, "1413");
    // Opening the destination write-only would empty the source, whatever the spelling.
    if (oldFilePath == newFilePath || isSameFile(oldFilePath, newFilePath))
        return true;
    mark(traceMarkers, "1416");

    const QByteArray sourcePath = QFile::encodeName(oldFilePath);
    struct stat opened {};
    // The destination is only opened (and so emptied) once the source is readable.
    const int source = ::open(sourcePath.constData(), O_RDONLY | O_CLOEXEC);
    if (source < 0 || ::fstat(source, &opened) != 0) {
        mark(traceMarkers, "1422");
        fail(control, systemMessage(errno));
        if (source >= 0)
            ::close(source);
        return false;
    }
    const int destination = ::open(QFile::encodeName(newFilePath).constData(),
                                   O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    const int openError = errno;
    mark(traceMarkers, "1422");
    if (destination < 0) {
        fail(control, destinationMessage(openError));
        ::close(source);
        return false;
    }
    mark(traceMarkers, "1425");
    mark(traceMarkers, "1429");

    const KernelCopy kernel = copyInKernel(source, destination, control);
    bool complete = kernel == KernelCopy::Done
                    || (kernel == KernelCopy::NotPossible && bufferedCopy(source, destination, control));
    complete = complete && !cancelled(control) && stillThere(sourcePath, opened, control);
    mark(traceMarkers, "1435");
    mark(traceMarkers, "1439");
    complete = complete && flush(destination, control);
    if (::close(destination) != 0 && complete) {
        fail(control, systemMessage(errno));
        complete = false;
    }
    ::close(source);
    return complete;
}

bool copyFileTimes(const QString &from, const QString &to)
{
    struct stat source {};
    if (stat(QFile::encodeName(from).constData(), &source) != 0)
        return false;
    const timespec times[2] = {source.st_atim, source.st_mtim};
    return utimensat(AT_FDCWD, QFile::encodeName(to).constData(), times, 0) == 0;
}

bool SRCopyFile2(QString oldFilePath, QString newFilePath)
{
    return copyFile(oldFilePath, newFilePath, false);
}

bool writeAll(int to, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t written = ::write(to, data, std::size_t(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

QString destinationMessage(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return saying(DestinationMissingText, error);
    case EACCES:
    case EPERM:
    case EROFS:
        return saying(DestinationReadOnlyText, error);
    default:
        return systemMessage(error);
    }
}

int makeFolderOf(const QString &path)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    // Asked once for a folder that is there, rather than for each folder above it.
    if (g_file_test(folder.constData(), G_FILE_TEST_IS_DIR))
        return 0;
    return g_mkdir_with_parents(folder.constData(), 0777) == 0 ? 0 : errno;
}
