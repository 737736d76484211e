#include "core/run/sourcefacts.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
const QString Source = QStringLiteral("source");
const QString Probe = QStringLiteral("probe");

// Seconds with every digit a double holds.
QString seconds(double value)
{
    return QString::number(value, 'g', 17);
}

// A stream as ffprobe's -show_streams gives it, with only what parseProbe reads.
QJsonObject streamObject(const StreamInfo &stream)
{
    QJsonObject object{{QStringLiteral("index"), stream.index},
                       {QStringLiteral("codec_type"), stream.type},
                       {QStringLiteral("codec_name"), stream.codec},
                       {QStringLiteral("profile"), stream.profile},
                       {QStringLiteral("pix_fmt"), stream.pixelFormat},
                       {QStringLiteral("sample_fmt"), stream.sampleFormat},
                       {QStringLiteral("bits_per_raw_sample"), stream.bitsPerSample},
                       {QStringLiteral("sample_rate"), stream.sampleRate},
                       {QStringLiteral("channels"), stream.channels},
                       {QStringLiteral("width"), stream.frameSize.width()},
                       {QStringLiteral("height"), stream.frameSize.height()},
                       {QStringLiteral("r_frame_rate"), stream.rate.text()},
                       {QStringLiteral("avg_frame_rate"), stream.averageRate.text()},
                       {QStringLiteral("field_order"), stream.fieldOrder},
                       {QStringLiteral("start_time"), seconds(stream.start)},
                       {QStringLiteral("tags"), QJsonObject{{QStringLiteral("timecode"), stream.timecode}}},
                       {QStringLiteral("disposition"),
                        QJsonObject{{QStringLiteral("attached_pic"), stream.coverArt ? 1 : 0}}}};
    if (stream.duration >= 0)
        object.insert(QStringLiteral("duration"), seconds(stream.duration));
    return object;
}

QJsonObject probeObject(const MediaInfo &info)
{
    QJsonObject format{{QStringLiteral("tags"), QJsonObject{{QStringLiteral("creation_time"), info.creationTime},
                                                            {QStringLiteral("timecode"), info.timecode}}}};
    if (info.duration >= 0)
        format.insert(QStringLiteral("duration"), seconds(info.duration));
    QJsonArray streams;
    for (const StreamInfo &stream : info.streams)
        streams.append(streamObject(stream));
    return {{QStringLiteral("format"), format}, {QStringLiteral("streams"), streams}};
}
} // namespace

QByteArray sourceFactsText(const SourceFacts &facts)
{
    const QJsonObject object{{Source, fileStateObject(facts.state)}, {Probe, probeObject(facts.info)}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<SourceFacts> parseSourceFacts(const QByteArray &text)
{
    const QJsonObject object = QJsonDocument::fromJson(text).object();
    const SourceFacts facts{fileStateFrom(object.value(Source)), parseProbe(object.value(Probe).toObject())};
    if (facts.state.size < 0 || !facts.info.readable)
        return std::nullopt;
    return facts;
}
