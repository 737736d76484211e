#include "convert/filecopy.h"

#include <QDebug>
#include <QFile>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr qint64 BufferSize = 16000;

enum class KernelCopy { Done, NotPossible, Failed };

// Lets the kernel move the bytes from file to file (no trip through our buffer), as cat
// does. Where it cannot (another file system, a device such as /dev/full) nothing has been
// copied yet and the buffered loop does the work.
KernelCopy copyInKernel(int from, int to)
{
    qint64 copied = 0;
    for (;;) {
        const ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, std::size_t(1) << 30, 0);
        if (n > 0) {
            copied += n;
            continue;
        }
        if (n == 0)
            return copied > 0 ? KernelCopy::Done : KernelCopy::NotPossible;
        return copied > 0 ? KernelCopy::Failed : KernelCopy::NotPossible;
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

bool copyFile(const QString &oldFilePath, const QString &newFilePath, bool traceMarkers)
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
    if (!opened)
        return false;
    mark(traceMarkers, "1425");

    std::vector<char> buffer(BufferSize);
    mark(traceMarkers, "1429");
    bool complete = true;
    const KernelCopy kernel = copyInKernel(source.handle(), destination.handle());
    if (kernel == KernelCopy::Failed)
        complete = false;
    while (kernel == KernelCopy::NotPossible && !source.atEnd()) {
        const qint64 got = source.read(buffer.data(), BufferSize);
        if (got <= 0) {
            complete = false;
            break;
        }
        if (destination.write(buffer.data(), got) != got) {
            complete = false;
            break;
        }
    }
    mark(traceMarkers, "1435");
    buffer.clear();
    buffer.shrink_to_fit();
    mark(traceMarkers, "1439");
    destination.close();
    if (destination.error() != QFileDevice::NoError)
        complete = false;
    return complete;
}

bool SRCopyFile2(QString oldFilePath, QString newFilePath)
{
    return copyFile(oldFilePath, newFilePath, false);
}
