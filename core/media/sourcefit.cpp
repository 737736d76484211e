#include "core/media/sourcefit.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

using Settings::OutputDemand;

QList<StreamInfo> keptAudio(const MediaInfo &source)
{
    QList<StreamInfo> kept;
    for (const StreamInfo &stream : source.streams) {
        if (stream.type == QLatin1String("audio") && !stream.codec.isEmpty()
            && stream.codec != QLatin1String("none"))
            kept.append(stream);
    }
    return kept;
}

int pcmDepth(const StreamInfo &audio)
{
    if (audio.bitsPerSample > 16)
        return 24;
    // A decoder that hands out 32-bit integers without telling its depth (most lossless ones).
    if (audio.bitsPerSample == 0 && audio.sampleFormat.startsWith(QLatin1String("s32")))
        return 24;
    return 16;
}

bool variableRate(const StreamInfo &video)
{
    if (!video.rate.known() || !video.averageRate.known())
        return false;
    // Interlaced streams often give the field rate as their base rate.
    if (!ratesDiffer(video.rate, Rational{video.averageRate.num * 2, video.averageRate.den}))
        return false;
    return ratesDiffer(video.rate, video.averageRate);
}

Rational nearestStandardRate(double fps)
{
    static const Rational standard[] = {{24000, 1001}, {24, 1}, {25, 1}, {30000, 1001}, {30, 1},
                                        {48, 1}, {50, 1}, {60000, 1001}, {60, 1}, {100, 1},
                                        {120000, 1001}, {120, 1}};
    Rational best = standard[0];
    for (const Rational &rate : standard) {
        if (std::abs(std::log(rate.value() / fps)) < std::abs(std::log(best.value() / fps)))
            best = rate;
    }
    return best;
}

namespace {
Rational sourceRate(const StreamInfo &video)
{
    if (variableRate(video) || !video.rate.known())
        return video.averageRate;
    return video.rate;
}

// The setting's own filter chain of kind ("-vf" or "-af"), with more appended: the engine
// takes only the last chain of a kind, so one that adds must repeat the setting's.
QString chain(const QString &arguments, const QString &kind, const QString &more)
{
    const QRegularExpression own(QStringLiteral("(^|\\s)%1 (\\S+)").arg(kind));
    const QString present = own.match(arguments).captured(2);
    return QStringLiteral(" %1 %2").arg(kind, present.isEmpty() ? more : present + QLatin1Char(',') + more);
}

QString leftOutLine(const StreamInfo &stream, const QString &why)
{
    const QString what = stream.codec.isEmpty() ? stream.type : stream.type + QLatin1Char(' ') + stream.codec;
    return QStringLiteral("stream %1 (%2) left out: %3").arg(stream.index).arg(what, why);
}
} // namespace

Rational writtenRate(const OutputDemand &demand, const MediaInfo &source)
{
    if (demand.frameRate.known())
        return demand.frameRate;
    const StreamInfo *video = source.video();
    if (!demand.sourceRate || !video)
        return {};
    return variableRate(*video) ? nearestStandardRate(video->averageRate.value()) : sourceRate(*video);
}

QString writtenFieldOrder(const OutputDemand &demand, const MediaInfo &source)
{
    const StreamInfo *video = source.video();
    const QString order = video ? video->fieldOrder : QString();
    switch (demand.scan) {
    case OutputDemand::Scan::Any:
        return QString();
    case OutputDemand::Scan::Progressive:
        return QStringLiteral("progressive");
    case OutputDemand::Scan::Fields:
        return order == QLatin1String("bb") ? order : QStringLiteral("tt");
    case OutputDemand::Scan::LikeSource:
        return order;
    }
    return QString();
}

bool fieldsMatter(const OutputDemand &demand)
{
    return demand.scan == OutputDemand::Scan::Fields || demand.scan == OutputDemand::Scan::LikeSource
           || (demand.scan == OutputDemand::Scan::Progressive && demand.sourceRate);
}

QString fpsText(double fps)
{
    QString text = QString::number(fps, 'f', 3);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

SourceFit fitToSource(const QString &arguments, const MediaInfo &source)
{
    SourceFit fit;
    const OutputDemand demand = Settings::demandOf(arguments);
    if (!demand.everyAudio || !source.readable)
        return fit;

    QStringList maps;
    QString extra;
    const StreamInfo *video = demand.noVideo ? nullptr : source.video();
    const QList<StreamInfo> audio = demand.noAudio ? QList<StreamInfo>() : keptAudio(source);
    fit.expectedAudioStreams = int(audio.size());
    for (const StreamInfo &stream : source.streams) {
        const bool isAudio = stream.type == QLatin1String("audio");
        if ((video && stream.index == video->index)
            || std::any_of(audio.cbegin(), audio.cend(), [&](const StreamInfo &s) { return s.index == stream.index; })) {
            maps.append(QStringLiteral("-map 0:%1").arg(stream.index));
        } else if (isAudio && !demand.noAudio) {
            fit.details.append(leftOutLine(stream, QStringLiteral("the engine cannot decode it")));
        } else if (stream.type == QLatin1String("video") && !demand.noVideo) {
            fit.details.append(leftOutLine(stream, stream.coverArt ? QStringLiteral("cover art is not converted")
                                                                   : QStringLiteral("only the first picture is converted")));
        } else if (!isAudio && stream.type != QLatin1String("video")
                   && !(stream.type == QLatin1String("data") && !stream.timecode.isEmpty())) {
            // A timecode track is carried by the picture's timecode tag, not mapped.
            fit.details.append(leftOutLine(stream, QStringLiteral("the output cannot hold it")));
        }
    }
    extra = maps.join(QLatin1Char(' '));

    if (demand.pcmLikeSource) {
        for (int i = 0; i < audio.size(); ++i) {
            if (pcmDepth(audio.at(i)) == 24)
                extra += QStringLiteral(" -c:a:%1 pcm_s24le").arg(i);
        }
    }

    if (video) {
        const Rational written = writtenRate(demand, source);
        const Rational own = sourceRate(*video);
        const bool varies = variableRate(*video);
        // The fps filter counts frames by the source's length; -r alone lets the last
        // frame run on, up to two frames past the audio.
        QStringList filters;
        if (demand.copiesVideo && varies) {
            fit.details.append(QStringLiteral("variable-rate source: the output keeps a variable rate"));
        } else if (written.known() && varies) {
            filters.append(QLatin1String("fps=") + written.text());
            if (!demand.frameRate.known())
                extra += QLatin1String(" -r ") + written.text();
            extra += QLatin1String(" -fps_mode cfr") + chain(arguments, QStringLiteral("-af"),
                                                             QStringLiteral("aresample=async=1"));
            fit.details.append(QStringLiteral("variable-rate source (%1 fps on average) written at a constant %2 fps")
                                   .arg(fpsText(own.value()), fpsText(written.value())));
        } else if (written.known() && own.known() && ratesDiffer(written, own)) {
            filters.append(QLatin1String("fps=") + written.text());
            fit.details.append(QStringLiteral("%1 fps source written at %2 fps (frames %3)")
                                   .arg(fpsText(own.value()), fpsText(written.value()),
                                        written.value() < own.value() ? QStringLiteral("dropped")
                                                                      : QStringLiteral("duplicated")));
        }

        // The engine writes a drop-frame timecode only at a multiple of 29.97 fps; at any other
        // rate it leaves the timecode out without a word.
        const QString &timecode = source.timecode;
        const bool dropFrame = timecode.contains(QLatin1Char(';')) || timecode.contains(QLatin1Char('.'));
        if (dropFrame && written.known() && qRound(written.value()) % 30 != 0)
            fit.details.append(QStringLiteral("drop-frame timecode %1 left out: it cannot run at %2 fps")
                                   .arg(timecode, fpsText(written.value())));

        const QString order = writtenFieldOrder(demand, source);
        const bool interlacedSource = video->fieldOrder == QLatin1String("tt") || video->fieldOrder == QLatin1String("bb");
        const QString setfield = order == QLatin1String("bb") ? QStringLiteral("setfield=bff") : QStringLiteral("setfield=tff");
        QString ownFilters = arguments;
        if (demand.scan == OutputDemand::Scan::Fields && order == QLatin1String("bb")) {
            ownFilters.clear();  // the row's own chain is only its top-first mark
            filters.append(setfield);
        } else if (demand.scan == OutputDemand::Scan::LikeSource && interlacedSource) {
            extra += QLatin1String(" -flags +ildct+ilme");
            filters.append(setfield);
        } else if (demand.scan == OutputDemand::Scan::Progressive && interlacedSource && demand.sourceRate) {
            fit.details.append(QStringLiteral("interlaced source written as whole frames: DNxHR has no interlaced profiles"));
        }
        if (!filters.isEmpty())
            extra += chain(ownFilters, QStringLiteral("-vf"), filters.join(QLatin1Char(',')));
    }
    fit.extraArguments = extra.trimmed();
    return fit;
}
