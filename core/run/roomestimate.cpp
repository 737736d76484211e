#include "core/run/roomestimate.h"

#include "core/media/mediaprobe.h"
#include "core/media/settingscatalogue.h"
#include "core/media/sourcefit.h"
#include "core/run/runtask.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStorageInfo>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The container's share and the encoders' rounding around the rate they are given.
constexpr double Overhead = 1.02;
// dvvideo writes fixed frames: 144000 bytes 25 times a second (PAL), 120000 bytes 30000/1001
// times (NTSC), the same 28.8 Mb/s.
constexpr double DvBitsPerSecond = 28.8e6;
constexpr int UnknownChannels = 2;

// DNxHR and ProRes are given no bit rate: it follows the frame size. Bits per pixel of each
// profile (as ffprobe names it) from the published 1080p 29.97 rates (Avid's DNxHR table:
// LB 45, SQ 145, HQ and HQX 220, 444 440 Mb/s; Apple's ProRes paper: Proxy 45, LT 102,
// 422 147, HQ 220, 4444 330 Mb/s) over 1920 x 1080 x 29.97 pixels a second, raised by 15 %:
// ProRes runs above its target on detailed pictures.
struct ProfileRate
{
    const char *profile;
    double bitsPerPixel;
};
constexpr ProfileRate profileRates[] = {
    {"DNXHR LB", 0.84}, {"DNXHR SQ", 2.69}, {"DNXHR HQ", 4.08}, {"DNXHR HQX", 4.08}, {"DNXHR 444", 8.15},
    {"Proxy", 0.84},    {"LT", 1.89},       {"Standard", 2.73}, {"HQ", 4.08},        {"4444", 6.11},
};

double number(const QString &arguments, const char *pattern)
{
    const QRegularExpression option(QLatin1String("(?:^|\\s)") + QLatin1String(pattern)
                                    + QLatin1String("(?:\\s|$)"));
    return option.match(arguments).captured(1).toDouble();
}

// "-b 120M" or "-b:v 120M"; 0 when the setting gives none.
double videoBitRate(const QString &arguments)
{
    static const QRegularExpression rate(QStringLiteral("(?:^|\\s)-b(?::v)? (\\d+(?:\\.\\d+)?)([kKmMgG]?)(?:\\s|$)"));
    const QRegularExpressionMatch match = rate.match(arguments);
    if (!match.hasMatch())
        return 0;
    const QString unit = match.captured(2).toUpper();
    const double scale = unit == QLatin1String("K")   ? 1e3
                         : unit == QLatin1String("M") ? 1e6
                         : unit == QLatin1String("G") ? 1e9
                                                      : 1;
    return match.captured(1).toDouble() * scale;
}

// frames: the rate the output is written at.
double pixelBitRate(const QString &profile, const StreamInfo &video, double frames)
{
    const auto row = std::find_if(std::begin(profileRates), std::end(profileRates),
                                  [&](const ProfileRate &rate) { return profile == QLatin1String(rate.profile); });
    if (row == std::end(profileRates))
        return 0;
    return row->bitsPerPixel * video.frameSize.width() * video.frameSize.height() * frames;
}

// The PCM the setting writes from every audio stream of the source.
double pcmBitRate(const QString &arguments, const Settings::OutputDemand &demand, const MediaInfo &source)
{
    if (demand.noAudio)
        return 0;
    double bits = number(arguments, "-acodec pcm_s(\\d+)[lb]e");
    if (bits == 0)
        bits = 16;
    const double rate = number(arguments, "-ar (\\d+)");
    const double channels = number(arguments, "-ac (\\d+)");
    double total = 0;
    for (const StreamInfo &audio : source.streamsOf(QStringLiteral("audio"))) {
        const double depth = demand.pcmLikeSource && audio.bitsPerSample > 16 ? 24 : bits;
        total += depth * (channels > 0 ? channels : audio.channels > 0 ? audio.channels : UnknownChannels)
                 * (rate > 0 ? rate : audio.sampleRate);
        if (!demand.everyAudio)
            break;
    }
    return total;
}

} // namespace

qint64 roomNeeded(const ConversionJob &job, const MediaInfo &source, qint64 sourceSize)
{
    if (job.copyOnly || !source.readable || source.duration <= 0)
        return sourceSize;
    const Settings::OutputDemand demand = Settings::demandOf(job.arguments);
    const double audio = pcmBitRate(job.arguments, demand, source);
    const auto bytes = [&](double bitsPerSecond) {
        return qint64(std::ceil(bitsPerSecond * source.duration / 8 * Overhead));
    };
    if (demand.copiesVideo)
        return sourceSize + bytes(audio);
    if (demand.likeSource && demand.audioCodec.isEmpty())
        return sourceSize; // a preset: nothing known of what it writes
    double video = 0;
    const StreamInfo *picture = source.video();
    if (picture && !demand.noVideo && !demand.videoCodec.isEmpty()) {
        if (demand.videoCodec == QLatin1String("dvvideo"))
            video = DvBitsPerSecond;
        else if (!demand.profile.isEmpty())
            video = pixelBitRate(demand.profile, *picture, writtenRate(demand, source).value());
        else
            video = videoBitRate(job.arguments);
        if (video <= 0) // H.264, or a picture whose size or rate ffprobe did not tell
            return sourceSize;
    }
    return bytes(video + audio);
}

qint64 freeRoom(QString path)
{
    while (!QFileInfo::exists(path) && QFileInfo(path).path() != path)
        path = QFileInfo(path).path();
    const QStorageInfo storage(path);
    return storage.isValid() ? storage.bytesAvailable() : std::numeric_limits<qint64>::max();
}
