#include "core/media/mediaprobe.h"

#include "core/media/settingscatalogue.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

QStringList probeArguments(const QString &path)
{
    // "file:" keeps a name holding a colon from being read as a protocol.
    return {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-print_format"),
            QStringLiteral("json"), QStringLiteral("-show_format"), QStringLiteral("-show_streams"),
            QLatin1String("file:") + path};
}

MediaInfo parseProbe(const QByteArray &json)
{
    MediaInfo info;
    const QJsonObject root = QJsonDocument::fromJson(json).object();
    const QJsonObject format = root.value(QLatin1String("format")).toObject();
    if (format.isEmpty())
        return info;
    info.readable = true;
    bool known = false;
    const double duration = format.value(QLatin1String("duration")).toString().toDouble(&known);
    if (known)
        info.duration = duration;
    info.creationTime =
        format.value(QLatin1String("tags")).toObject().value(QLatin1String("creation_time")).toString();

    for (const QJsonValue &value : root.value(QLatin1String("streams")).toArray()) {
        const QJsonObject stream = value.toObject();
        const QString type = stream.value(QLatin1String("codec_type")).toString();
        const bool coverArt = stream.value(QLatin1String("disposition"))
                                  .toObject()
                                  .value(QLatin1String("attached_pic"))
                                  .toInt();
        if (type == QLatin1String("video") && !coverArt && !info.hasVideo) {
            info.hasVideo = true;
            info.videoCodec = stream.value(QLatin1String("codec_name")).toString();
            info.frameSize = QSize(stream.value(QLatin1String("width")).toInt(),
                                   stream.value(QLatin1String("height")).toInt());
        } else if (type == QLatin1String("audio") && !info.hasAudio) {
            info.hasAudio = true;
            info.audioCodec = stream.value(QLatin1String("codec_name")).toString();
            info.sampleRate = stream.value(QLatin1String("sample_rate")).toString().toInt();
        }
    }
    return info;
}

namespace {
QString sizeText(const QSize &size)
{
    return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}
} // namespace

QString checkOutput(const Settings::OutputDemand &demand, const MediaInfo &source,
                    const MediaInfo &output)
{
    if (!output.readable)
        return QStringLiteral("the output cannot be read as media");

    const bool wantVideo = !demand.videoCodec.isEmpty()
                           || (demand.likeSource && source.hasVideo && !demand.noVideo);
    if (wantVideo && !output.hasVideo)
        return QStringLiteral("the output has no video");
    if (demand.noVideo && output.hasVideo)
        return QStringLiteral("the output has video, which the setting leaves out");
    if (!demand.videoCodec.isEmpty() && output.videoCodec != demand.videoCodec)
        return QStringLiteral("the output's video is %1, not %2").arg(output.videoCodec, demand.videoCodec);
    QSize size = demand.frameSize;
    if (demand.evenSourceSize && source.frameSize.isValid())
        size = QSize(source.frameSize.width() & ~1, source.frameSize.height() & ~1);
    if (size.isValid() && output.frameSize != size)
        return QStringLiteral("the output's picture is %1, not %2").arg(sizeText(output.frameSize), sizeText(size));

    const bool wantAudio =
        !demand.audioCodec.isEmpty() || (source.hasAudio && !demand.noAudio);
    if (wantAudio && !output.hasAudio)
        return QStringLiteral("the output has no audio");
    if (!demand.audioCodec.isEmpty() && output.audioCodec != demand.audioCodec)
        return QStringLiteral("the output's audio is %1, not %2").arg(output.audioCodec, demand.audioCodec);
    if (demand.sampleRate > 0 && output.sampleRate != demand.sampleRate)
        return QStringLiteral("the output's audio runs at %1 Hz, not %2 Hz")
            .arg(output.sampleRate)
            .arg(demand.sampleRate);

    if (source.duration > 0) {
        const double tolerance = std::max(0.01 * source.duration, 0.5);
        if (output.duration < 0 || std::abs(output.duration - source.duration) > tolerance)
            return QStringLiteral("output is %1 s, source %2 s")
                .arg(std::max(output.duration, 0.0), 0, 'f', 1)
                .arg(source.duration, 0, 'f', 1);
    }
    return QString();
}
