#include "core/files/runjournal.h"

#include "core/files/destinationlock.h"
#include "core/files/filecopy.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QByteArray entryLine(const QString &destinationDir, const JournalEntry &entry)
{
    const QJsonObject object{
        {QStringLiteral("source"), entry.source},
        {QStringLiteral("sourceState"), fileStateObject(entry.sourceState)},
        {QStringLiteral("arguments"), entry.arguments},
        {QStringLiteral("copy"), entry.copy},
        {QStringLiteral("output"), QDir(destinationDir).relativeFilePath(entry.output)},
        {QStringLiteral("outputState"), fileStateObject(entry.outputState)},
        {QStringLiteral("verified"), entry.verified},
        {QStringLiteral("reason"), entry.reason},
        {QStringLiteral("hash"), QString::fromLatin1(entry.hash)},
    };
    // Compact JSON escapes line breaks inside names: one entry is one line.
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace

QJsonObject fileStateObject(const FileState &state)
{
    // JSON numbers are doubles: the nanoseconds travel as text to keep every digit.
    return {{QStringLiteral("size"), QString::number(state.size)},
            {QStringLiteral("modified"), QString::number(state.modifiedNs)}};
}

FileState fileStateFrom(const QJsonValue &value)
{
    const QJsonObject object = value.toObject();
    bool sizeRead = false, timeRead = false;
    FileState state;
    state.size = object.value(QStringLiteral("size")).toString().toLongLong(&sizeRead);
    state.modifiedNs = object.value(QStringLiteral("modified")).toString().toLongLong(&timeRead);
    return sizeRead && timeRead ? state : FileState();
}

FileState fileState(const QString &path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    return {qint64(info.st_size), qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

JournalEntry journalEntry(const QString &source, const QString &arguments, bool copy,
                          const QString &output, bool verified, const QString &reason,
                          const QByteArray &hash)
{
    return {source,   fileState(source), arguments, copy, output, fileState(output),
            verified, reason,            hash};
}

Journal readJournal(const QString &destinationDir)
{
    Journal journal;
    QFile file(destinationDir + QLatin1Char('/') + JournalFileName);
    if (!file.open(QIODevice::ReadOnly))
        return journal;
    // Mapped rather than read: a night's journal is read once, line by line. A journal is
    // only ever appended to, so the mapped part stays as it is.
    const qint64 size = file.size();
    const uchar *mapped = size > 0 ? file.map(0, size) : nullptr;
    const QByteArray text = mapped ? QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), size)
                                   : file.readAll();
    const QString folder = destinationDir + QLatin1Char('/');
    qsizetype start = 0;
    // Only whole lines: the last one may have been cut short by a crash.
    for (qsizetype end = text.indexOf('\n'); end >= 0; start = end + 1, end = text.indexOf('\n', start)) {
        const QJsonObject object =
                QJsonDocument::fromJson(QByteArray::fromRawData(text.constData() + start, end - start)).object();
        const QString output = object.value(QStringLiteral("output")).toString();
        if (output.isEmpty())
            continue; // a torn or foreign line
        JournalEntry entry;
        entry.source = object.value(QStringLiteral("source")).toString();
        entry.sourceState = fileStateFrom(object.value(QStringLiteral("sourceState")));
        entry.arguments = object.value(QStringLiteral("arguments")).toString();
        entry.copy = object.value(QStringLiteral("copy")).toBool();
        entry.output = QDir::cleanPath(QDir::isAbsolutePath(output) ? output : folder + output);
        entry.outputState = fileStateFrom(object.value(QStringLiteral("outputState")));
        entry.verified = object.value(QStringLiteral("verified")).toBool();
        entry.reason = object.value(QStringLiteral("reason")).toString();
        entry.hash = object.value(QStringLiteral("hash")).toString().toLatin1();
        journal.insert(entry.output, entry);
    }
    return journal;
}

bool appendJournal(const QString &destinationDir, const JournalEntry &entry, QString *error)
{
    const DestinationLock lock(destinationDir);
    if (!lock.held()) {
        *error = lock.error();
        return false;
    }
    const int fd = lock.journalDescriptor();
    QByteArray line = entryLine(destinationDir, entry);
    // A line cut short by a crash must not swallow the new one.
    struct stat info;
    char last = '\n';
    if (::fstat(fd, &info) == 0 && info.st_size > 0 && ::pread(fd, &last, 1, info.st_size - 1) == 1
        && last != '\n')
        line.prepend('\n');
    if (!writeAll(fd, line.constData(), line.size()) || ::fdatasync(fd) != 0) {
        *error = systemMessage(errno);
        return false;
    }
    return true;
}

bool stillConverted(const JournalEntry &entry, const QString &source, const QString &arguments, bool copy)
{
    return entry.verified && entry.copy == copy && entry.source == source && entry.arguments == arguments
           && entry.sourceState.size >= 0 && entry.sourceState == fileState(source)
           && entry.outputState.size >= 0 && entry.outputState == fileState(entry.output);
}
