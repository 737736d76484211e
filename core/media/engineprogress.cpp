#include "core/media/engineprogress.h"

#include <QList>
#include <QRegularExpression>

namespace {
double seconds(const QRegularExpressionMatch &match)
{
    return match.captured(1).toInt() * 3600.0 + match.captured(2).toInt() * 60.0
           + match.captured(3).toDouble();
}

// The engine writes a block of a dozen short lines per report: the last kilobyte always
// holds the latest whole one.
constexpr qsizetype Tail = 1024;
} // namespace

double progressSeconds(const QByteArray &progress)
{
    // Only whole lines count: the last one may still be arriving.
    const QByteArray tail = progress.right(Tail);
    const QList<QByteArray> lines = tail.left(tail.lastIndexOf('\n') + 1).split('\n');
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        // out_time_ms holds microseconds as well, an old mistake the engine keeps.
        if (line->startsWith("out_time_us=") || line->startsWith("out_time_ms=")) {
            bool ok = false;
            const qint64 us = line->mid(line->indexOf('=') + 1).trimmed().toLongLong(&ok);
            if (ok && us >= 0)
                return double(us) / 1e6;
        }
    }
    return -1;
}

double durationSeconds(const QByteArray &messages)
{
    static const QRegularExpression duration(QStringLiteral("Duration: (\\d+):(\\d\\d):(\\d\\d(?:\\.\\d+)?)"));
    const QRegularExpressionMatch match = duration.match(QString::fromLatin1(messages.left(64 * 1024)));
    return match.hasMatch() ? seconds(match) : -1;
}

QString lastErrorLine(const QByteArray &messages)
{
    QList<QByteArray> lines = messages.right(64 * 1024).split('\n');
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        // A progress line may share a line with the one after its carriage return.
        const QByteArray text = line->mid(line->lastIndexOf('\r') + 1).trimmed();
        if (text.isEmpty() || text == "Conversion failed!" || text.startsWith("frame=")
            || text.startsWith("size=") || text.startsWith("video:")
            // "Error initializing output stream 0:1 -- " with nothing after: the reason is above.
            || text.endsWith("--"))
            continue;
        return QString::fromUtf8(text);
    }
    return QString();
}
