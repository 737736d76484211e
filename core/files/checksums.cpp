#include "core/files/checksums.h"

#include "core/files/destinationlock.h"
#include "core/files/filecopy.h"

#include <QFile>
#include <QMap>
#include <QSaveFile>
#include <xxhash.h>

#include <atomic>
#include <future>
#include <memory>
#include <vector>

QByteArray fileHash(const QString &path, CopyControl *control)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        if (control)
            control->error = file.errorString();
        return QByteArray();
    }
    const std::unique_ptr<XXH3_state_t, decltype(&XXH3_freeState)> state(XXH3_createState(),
                                                                         &XXH3_freeState);
    XXH3_128bits_reset(state.get());
    std::vector<char> buffer(std::size_t(1) << 20);
    for (;;) {
        if (control && control->cancel && control->cancel->load())
            return QByteArray();
        const qint64 got = file.read(buffer.data(), qint64(buffer.size()));
        if (got < 0) {
            if (control)
                control->error = file.errorString();
            return QByteArray();
        }
        if (got == 0)
            break;
        XXH3_128bits_update(state.get(), buffer.data(), std::size_t(got));
        if (control && control->copied)
            *control->copied += got;
    }
    XXH128_canonical_t canonical;
    XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(state.get()));
    return QByteArray(reinterpret_cast<const char *>(canonical.digest), sizeof canonical.digest)
        .toHex();
}

QByteArray copyAndVerify(const QString &source, const QString &target, CopyControl &control,
                         QString *reason)
{
    // The source's hash overlaps the kernel's copy instead of following it; where no thread
    // can be had it runs at get(), after the copy. `abandon` ends it once the copy has
    // failed or stopped.
    std::atomic<bool> abandon{false};
    CopyControl sourceControl{&abandon, control.copied, {}};
    std::future<QByteArray> sourceHash = std::async(
        std::launch::async | std::launch::deferred, [&] { return fileHash(source, &sourceControl); });
    QString why;
    QByteArray copied;
    if (!copyFile(source, target, false, &control)) {
        why = QLatin1String("copy failed: ") + control.error;
    } else {
        copied = fileHash(target, &control);
        if (copied.isEmpty())
            why = QLatin1String("copy failed: ") + control.error;
    }
    abandon = copied.isEmpty();
    const QByteArray original = sourceHash.get();
    if (why.isEmpty() && original.isEmpty())
        why = QLatin1String("copy failed: ") + sourceControl.error;
    else if (why.isEmpty() && original != copied)
        why = QStringLiteral("the copy differs from its source");
    if (reason)
        *reason = why;
    return why.isEmpty() ? original : QByteArray();
}

bool fitsOnOneLine(const QString &text)
{
    return !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'));
}

bool recordChecksums(const QString &folder, const QList<QPair<QString, QByteArray>> &files,
                     QString *error)
{
    const QString path = folder + QLatin1Char('/') + ChecksumFileName;
    // Read, changed and replaced whole while no other writer of the destination does the same.
    const DestinationLock lock(folder);
    if (!lock.held()) {
        if (error)
            *error = lock.error();
        return false;
    }
    // Name to line, so a file copied again keeps one line: its newest hash.
    QMap<QByteArray, QByteArray> lines;
    QFile old(path);
    if (old.open(QIODevice::ReadOnly)) {
        while (!old.atEnd()) {
            QByteArray line = old.readLine();
            if (line.endsWith('\n'))
                line.chop(1); // names may end in blanks: nothing else is cut
            const qsizetype gap = line.indexOf("  ");
            if (gap > 0)
                lines.insert(line.mid(gap + 2), line);
        }
    }
    for (const auto &[name, hash] : files) {
        if (!fitsOnOneLine(name))
            continue;
        const QByteArray encoded = QFile::encodeName(name);
        lines.insert(encoded, hash + "  " + encoded);
    }

    QSaveFile out(path);
    if (out.open(QIODevice::WriteOnly)) {
        for (const QByteArray &line : std::as_const(lines))
            out.write(line + '\n');
        if (out.commit())
            return true;
    }
    if (error)
        *error = out.errorString();
    return false;
}
