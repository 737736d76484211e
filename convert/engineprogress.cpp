#include "convert/engineprogress.h"

#include <QList>
#include <QRegularExpression>

namespace {
double seconds(const QRegularExpressionMatch &match)
{
    return match.captured(1).toInt() * 3600.0 + match.captured(2).toInt() * 60.0
           + match.captured(3).toDouble();
}

// Progress lines end in a carriage return and follow each other quickly: the last few
// hundred bytes always hold the latest whole one.
constexpr qsizetype Tail = 512;
} // namespace

double progressSeconds(const QByteArray &messages)
{
    static const QRegularExpression time(QStringLiteral("time=(\\d+):(\\d\\d):(\\d\\d(?:\\.\\d+)?)\\s"));
    const QString tail = QString::fromLatin1(messages.right(Tail));
    double last = -1;
    QRegularExpressionMatchIterator it = time.globalMatch(tail);
    while (it.hasNext())
        last = seconds(it.next());
    return last;
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
            || text.startsWith("size=") || text.startsWith("video:"))
            continue;
        return QString::fromUtf8(text);
    }
    return QString();
}
