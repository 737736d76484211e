#include "core/media/mediaprobe.h"

#include "core/media/settingscatalogue.h"
#include "core/media/sourcefit.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

QString Rational::text() const
{
    return den == 1 ? QString::number(num) : QStringLiteral("%1/%2").arg(num).arg(den);
}

Rational Rational::parse(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('/'));
    bool numberOk = false, denominatorOk = true;
    const qint64 num = parts.value(0).toLongLong(&numberOk);
    const qint64 den = parts.size() > 1 ? parts.at(1).toLongLong(&denominatorOk) : 1;
    if (!numberOk || !denominatorOk || parts.size() > 2 || num <= 0 || den <= 0)
        return {};
    return {num, den};
}

bool ratesDiffer(const Rational &a, const Rational &b)
{
    return std::abs(a.value() - b.value()) > 0.001 * std::max(a.value(), b.value());
}

const StreamInfo *MediaInfo::video() const
{
    for (const StreamInfo &stream : streams) {
        if (stream.type == QLatin1String("video") && !stream.coverArt)
            return &stream;
    }
    return nullptr;
}

QList<StreamInfo> MediaInfo::streamsOf(const QString &type) const
{
    QList<StreamInfo> found;
    for (const StreamInfo &stream : streams) {
        if (stream.type == type && !stream.coverArt)
            found.append(stream);
    }
    return found;
}

QStringList probeArguments(const QString &path, bool readFrames)
{
    QStringList arguments{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-print_format"),
                          QStringLiteral("json"), QStringLiteral("-show_format"), QStringLiteral("-show_streams")};
    if (readFrames)
        arguments << QStringLiteral("-show_frames") << QStringLiteral("-read_intervals") << QStringLiteral("%+#12");
    // "file:" keeps a name holding a colon from being read as a protocol.
    return arguments << QLatin1String("file:") + path;
}

namespace {
QString text(const QJsonObject &object, const char *key)
{
    return object.value(QLatin1String(key)).toString();
}

int number(const QJsonObject &object, const char *key)
{
    const QJsonValue value = object.value(QLatin1String(key));
    return value.isString() ? value.toString().toInt() : value.toInt();
}

// position: where ffprobe listed it, which is its index when it gives none.
StreamInfo streamOf(const QJsonObject &stream, int position)
{
    StreamInfo info;
    info.index = stream.value(QLatin1String("index")).toInt(position);
    info.type = text(stream, "codec_type");
    info.codec = text(stream, "codec_name");
    info.profile = text(stream, "profile");
    info.pixelFormat = text(stream, "pix_fmt");
    info.sampleFormat = text(stream, "sample_fmt");
    info.bitsPerSample = number(stream, "bits_per_raw_sample");
    if (info.bitsPerSample == 0)
        info.bitsPerSample = number(stream, "bits_per_sample");
    info.sampleRate = number(stream, "sample_rate");
    info.channels = number(stream, "channels");
    info.frameSize = QSize(number(stream, "width"), number(stream, "height"));
    // A phone stores an upright picture lying down and has the container turn it; the engine
    // turns it upright as it decodes. The size that counts is the size as shown.
    int rotation = number(stream.value(QLatin1String("tags")).toObject(), "rotate");
    for (const QJsonValue &data : stream.value(QLatin1String("side_data_list")).toArray()) {
        if (data.toObject().contains(QLatin1String("rotation")))
            rotation = number(data.toObject(), "rotation");
    }
    if (rotation % 180 != 0)
        info.frameSize.transpose();
    info.rate = Rational::parse(text(stream, "r_frame_rate"));
    info.averageRate = Rational::parse(text(stream, "avg_frame_rate"));
    const QString order = text(stream, "field_order");
    // tb and bt are coded with one field first and shown with the other; what counts for
    // an editor is which field is shown first.
    if (order == QLatin1String("tt") || order == QLatin1String("tb"))
        info.fieldOrder = QStringLiteral("tt");
    else if (order == QLatin1String("bb") || order == QLatin1String("bt"))
        info.fieldOrder = QStringLiteral("bb");
    else if (order == QLatin1String("progressive"))
        info.fieldOrder = order;
    bool known = false;
    const double start = text(stream, "start_time").toDouble(&known);
    if (known)
        info.start = start;
    const double duration = text(stream, "duration").toDouble(&known);
    if (known)
        info.duration = duration;
    info.timecode = text(stream.value(QLatin1String("tags")).toObject(), "timecode");
    info.coverArt = stream.value(QLatin1String("disposition")).toObject().value(QLatin1String("attached_pic")).toInt();
    return info;
}
} // namespace

MediaInfo parseProbe(const QByteArray &json)
{
    return parseProbe(QJsonDocument::fromJson(json).object());
}

MediaInfo parseProbe(const QJsonObject &root)
{
    MediaInfo info;
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

    info.timecode = text(format.value(QLatin1String("tags")).toObject(), "timecode");
    for (const QJsonValue &value : root.value(QLatin1String("streams")).toArray())
        info.streams.append(streamOf(value.toObject(), int(info.streams.size())));
    for (const QJsonValue &value : root.value(QLatin1String("frames")).toArray()) {
        const QJsonObject frame = value.toObject();
        for (StreamInfo &stream : info.streams) {
            if (stream.index != frame.value(QLatin1String("stream_index")).toInt(-1) || !stream.fieldOrder.isEmpty()
                || !frame.contains(QLatin1String("interlaced_frame")))
                continue;
            if (!number(frame, "interlaced_frame"))
                stream.fieldOrder = QStringLiteral("progressive");
            else
                stream.fieldOrder = number(frame, "top_field_first") ? QStringLiteral("tt") : QStringLiteral("bb");
        }
    }
    for (const StreamInfo &stream : std::as_const(info.streams)) {
        if (info.timecode.isEmpty())
            info.timecode = stream.timecode;
    }
    if (const StreamInfo *video = info.video()) {
        info.hasVideo = true;
        info.videoCodec = video->codec;
        info.frameSize = video->frameSize;
    }
    const QList<StreamInfo> audio = info.streamsOf(QStringLiteral("audio"));
    if (!audio.isEmpty()) {
        info.hasAudio = true;
        info.audioCodec = audio.first().codec;
        info.sampleRate = audio.first().sampleRate;
    }
    return info;
}

namespace {
QString sizeText(const QSize &size)
{
    return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}

QString fieldText(const QString &order)
{
    if (order == QLatin1String("tt"))
        return QStringLiteral("top field first");
    if (order == QLatin1String("bb"))
        return QStringLiteral("bottom field first");
    return order.isEmpty() ? QStringLiteral("unknown") : order;
}

double lengthTolerance(double seconds)
{
    return std::max(0.01 * seconds, 0.5);
}

// The picture's codec, profile, pixel format, rate and fields, and every audio stream the
// setting takes, each as long as the source's.
QString checkStreams(const Settings::OutputDemand &demand, const MediaInfo &source, const MediaInfo &output)
{
    const StreamInfo *video = output.video();
    if (video && !demand.profile.isEmpty() && video->profile != demand.profile)
        return QStringLiteral("the output's profile is %1, not %2").arg(video->profile, demand.profile);
    if (video && !demand.pixelFormat.isEmpty() && video->pixelFormat != demand.pixelFormat)
        return QStringLiteral("the output's pixels are %1, not %2").arg(video->pixelFormat, demand.pixelFormat);
    const Rational rate = writtenRate(demand, source);
    // An answer without rate or fields (a still picture) is not held against the output.
    if (video && rate.known() && video->rate.known() && (ratesDiffer(video->rate, rate) || variableRate(*video)))
        return QStringLiteral("the output runs at %1 fps, not %2 fps")
            .arg(fpsText(video->averageRate.value()), fpsText(rate.value()));
    const QString order = writtenFieldOrder(demand, source);
    if (video && !order.isEmpty() && !video->fieldOrder.isEmpty() && video->fieldOrder != order)
        return QStringLiteral("the output's fields are %1, not %2").arg(fieldText(video->fieldOrder), fieldText(order));
    // Facts read from the engine's messages list no streams: nothing to count against.
    if (!demand.everyAudio || demand.noAudio || source.streams.isEmpty())
        return QString();

    const QList<StreamInfo> kept = keptAudio(source);
    const QList<StreamInfo> written = output.streamsOf(QStringLiteral("audio"));
    if (written.size() != kept.size())
        return QStringLiteral("the output has %1 of the source's %2 audio tracks").arg(written.size()).arg(kept.size());
    const StreamInfo *sourceVideo = source.video();
    for (int i = 0; i < kept.size(); ++i) {
        const StreamInfo &in = kept.at(i), &out = written.at(i);
        const QString pcm = QStringLiteral("pcm_s%1le").arg(pcmDepth(in));
        if (demand.pcmLikeSource && out.codec != pcm)
            return QStringLiteral("audio track %1 is %2, not %3").arg(i + 1).arg(out.codec, pcm);
        if (in.duration > 0 && (out.duration < 0 || std::abs(out.duration - in.duration) > lengthTolerance(in.duration)))
            return QStringLiteral("audio track %1 is %2 s, the source's %3 s")
                .arg(i + 1)
                .arg(std::max(out.duration, 0.0), 0, 'f', 2)
                .arg(in.duration, 0, 'f', 2);
        // Where the rate is made constant, audio must end with the picture as it did in the
        // source, give or take a frame.
        if (rate.known() && video && sourceVideo && sourceVideo->end() >= 0 && in.end() >= 0 && video->end() >= 0
            && out.end() >= 0) {
            const double drift = std::abs(out.end() - video->end()) - std::abs(in.end() - sourceVideo->end());
            if (drift > 1.0 / rate.value() + 0.001)
                return QStringLiteral("audio track %1 ends %2 s away from the picture").arg(i + 1).arg(
                    std::abs(out.end() - video->end()), 0, 'f', 3);
        }
    }
    return QString();
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
    // A source without sound gives an output without sound, whatever rate the setting asks.
    if (demand.sampleRate > 0 && output.hasAudio && output.sampleRate != demand.sampleRate)
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
    return checkStreams(demand, source, output);
}
