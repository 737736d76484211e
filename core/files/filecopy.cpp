#include "core/files/filecopy.h"

#include <QDebug>
#include <QFile>
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
        if (control)
            control->error = QString::fromLocal8Bit(std::strerror(errno));
        return KernelCopy::Failed;
    }
}

void mark(bool trace, const char *marker)
{
    if (trace)
        qDebug() << marker;
}
} // namespace

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

    QFile source(oldFilePath);
    QFile destination(newFilePath);
    // The destination is only opened (and so emptied) once the source is readable.
    const bool opened = source.open(QIODevice::ReadOnly | QIODevice::Unbuffered)
                       && destination.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    mark(traceMarkers, "1422");
    if (!opened) {
        if (control)
            control->error = source.isOpen() ? destination.errorString() : source.errorString();
        return false;
    }
    mark(traceMarkers, "1425");

    std::vector<char> buffer(BufferSize);
    mark(traceMarkers, "1429");
    bool complete = true;
    const KernelCopy kernel = copyInKernel(source.handle(), destination.handle(), control);
    if (kernel == KernelCopy::Failed)
        complete = false;
    while (kernel == KernelCopy::NotPossible && !source.atEnd() && !cancelled(control)) {
        const qint64 got = source.read(buffer.data(), BufferSize);
        if (got <= 0) {
            if (control)
                control->error = source.errorString();
            complete = false;
            break;
        }
        if (destination.write(buffer.data(), got) != got) {
            if (control)
                control->error = destination.errorString();
            complete = false;
            break;
        }
        count(control, got);
    }
    if (cancelled(control))
        complete = false;
    mark(traceMarkers, "1435");
    buffer.clear();
    buffer.shrink_to_fit();
    mark(traceMarkers, "1439");
    destination.close();
    if (destination.error() != QFileDevice::NoError) {
        if (control && control->error.isEmpty())
            control->error = destination.errorString();
        complete = false;
    }
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
