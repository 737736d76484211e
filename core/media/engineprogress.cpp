#include "core/media/engineprogress.h"

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

MediaInfo sourceFromMessages(const QByteArray &messages)
{
    MediaInfo info;
    const qsizetype input = messages.indexOf("Input #0");
    if (input < 0)
        return info;
    const qsizetype output = messages.indexOf("\nOutput #0", input);
    // Streams and the length stand two blanks in; metadata, which anyone can write, deeper.
    const QString text = QString::fromUtf8(messages.mid(input, output < 0 ? 64 * 1024 : output - input));
    static const QRegularExpression duration(QStringLiteral("^  Duration: (\\d+):(\\d\\d):(\\d\\d(?:\\.\\d+)?)"),
                                             QRegularExpression::MultilineOption);
    const QRegularExpressionMatch length = duration.match(text);
    if (!length.hasMatch())
        return info;
    info.readable = true;
    info.duration = seconds(length);
    static const QRegularExpression stream(QStringLiteral("^  Stream #0:\\d+\\S*: (Video|Audio): (\\w+)(.*)$"),
                                           QRegularExpression::MultilineOption);
    static const QRegularExpression size(QStringLiteral(", (\\d+)x(\\d+)[ ,]"));
    static const QRegularExpression rate(QStringLiteral(", (\\d+) Hz,"));
    QRegularExpressionMatchIterator it = stream.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const QString rest = match.captured(3);
        if (match.captured(1) == QLatin1String("Video") && !info.hasVideo
            && !rest.contains(QLatin1String("(attached pic)"))) {
            info.hasVideo = true;
            info.videoCodec = match.captured(2);
            const QRegularExpressionMatch frame = size.match(rest);
            if (frame.hasMatch())
                info.frameSize = QSize(frame.captured(1).toInt(), frame.captured(2).toInt());
        } else if (match.captured(1) == QLatin1String("Audio") && !info.hasAudio) {
            info.hasAudio = true;
            info.audioCodec = match.captured(2);
            info.sampleRate = rate.match(rest).captured(1).toInt();
        }
    }
    return info;
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
