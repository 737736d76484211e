#include "core/media/settingscatalogue.h"

#include "core/media/intermediates.h"

#include <QLatin1Char>
#include <QRegularExpression>

namespace Settings {

QStringList sampleRates()
{
    return {QStringLiteral("192000"), QStringLiteral("96000"), QStringLiteral("48000"),
            QStringLiteral("44100"),  QStringLiteral("22000"), QStringLiteral("8000")};
}

QStringList bitDepths()
{
    return {QStringLiteral("24"), QStringLiteral("16")};
}

namespace {

struct DnxhdRow
{
    const char *label;
    const char *arguments;
};

// Menu order. "720/50 185" runs at 180M: 185M at 1280x720 is no DNxHD profile and the
// engine refuses it. DNxHD is 4:2:2 8-bit: without the pixel format fixed, 10-bit and 4:4:4
// sources fail. Rates are the broadcast rationals: 29.97 written as such drifts from
// 30000/1001 cameras. The 1080i profiles are 25 and 30000/1001 interlaced frames (50 and
// 59.94 fields); setfield marks the frames, or the encoder codes them as progressive.
constexpr DnxhdRow dnxhdRows[] = {
    {"1080p/29.97 36", "-vcodec dnxhd -pix_fmt yuv422p -s 1920x1080 -b 36M -r 30000/1001 -acodec pcm_s16le -ar 48000 "},
    {"1080p/29.97 145", "-vcodec dnxhd -pix_fmt yuv422p -s 1920x1080 -b 145M -r 30000/1001 -acodec pcm_s16le -ar 48000 "},
    {"1080p/29.97 220", "-vcodec dnxhd -pix_fmt yuv422p -s 1920x1080 -b 220M -r 30000/1001 -acodec pcm_s16le -ar 48000 "},
    {"720/50 120", "-vcodec dnxhd -pix_fmt yuv422p -s 1280x720 -b 120M -r 50 -acodec pcm_s16le -ar 48000 "},
    {"720/50 185", "-vcodec dnxhd -pix_fmt yuv422p -s 1280x720 -b 180M -r 50 -acodec pcm_s16le -ar 48000 "},
    {"720p/25 60", "-vcodec dnxhd -pix_fmt yuv422p -s 1280x720 -b 60M -r 25 -acodec pcm_s16le -ar 48000 "},
    {"720p/29.97 75", "-vcodec dnxhd -pix_fmt yuv422p -s 1280x720 -b 75M -r 30000/1001 -acodec pcm_s16le -ar 48000 "},
    {"720p/29.97 110", "-vcodec dnxhd -pix_fmt yuv422p -s 1280x720 -b 110M -r 30000/1001 -acodec pcm_s16le -ar 48000 "},
    {"720p/23.976 60", "-vcodec dnxhd -pix_fmt yuv422p -s 1280x720 -b 60M -r 24000/1001 -acodec pcm_s16le -ar 48000 "},
    {"720p/23.976 90", "-vcodec dnxhd -pix_fmt yuv422p -s 1280x720 -b 90M -r 24000/1001 -acodec pcm_s16le -ar 48000 "},
    {"720p/59.94 145", "-vcodec dnxhd -pix_fmt yuv422p -s 1280x720 -b 145M -r 60000/1001 -acodec pcm_s16le -ar 48000 "},
    {"720p/59.94 220", "-vcodec dnxhd -pix_fmt yuv422p -s 1280x720 -b 220M -r 60000/1001 -acodec pcm_s16le -ar 48000 "},
    {"1080p/24 36", "-vcodec dnxhd -pix_fmt yuv422p -s 1920x1080 -b 36M -r 24 -acodec pcm_s16le -ar 48000 "},
    {"1080p/24 115", "-vcodec dnxhd -pix_fmt yuv422p -s 1920x1080 -b 115M -r 24 -acodec pcm_s16le -ar 48000 "},
    {"1080p/24 175", "-vcodec dnxhd -pix_fmt yuv422p -s 1920x1080 -b 175M -r 24 -acodec pcm_s16le -ar 48000 "},
    {"1080p/23.976 36", "-vcodec dnxhd -pix_fmt yuv422p -s 1920x1080 -b 36M -r 24000/1001 -acodec pcm_s16le -ar 48000 "},
    {"1080p/23.976 115", "-vcodec dnxhd -pix_fmt yuv422p -s 1920x1080 -b 115M -r 24000/1001 -acodec pcm_s16le -ar 48000 "},
    {"1080p/23.976 175", "-vcodec dnxhd -pix_fmt yuv422p -s 1920x1080 -b 175M -r 24000/1001 -acodec pcm_s16le -ar 48000 "},
    {"1080p/25 36", "-vcodec dnxhd -pix_fmt yuv422p -s 1920x1080 -b 36M -r 25 -acodec pcm_s16le -ar 48000 "},
    {"1080p/25 120", "-vcodec dnxhd -pix_fmt yuv422p -s 1920x1080 -b 120M -r 25 -acodec pcm_s16le -ar 48000 "},
    {"1080p/25 185", "-vcodec dnxhd -pix_fmt yuv422p -s 1920x1080 -b 185M -r 25 -acodec pcm_s16le -ar 48000 "},
    {"1080i/50 120", "-vcodec dnxhd -pix_fmt yuv422p -s 1920x1080 -b 120M -r 25 -flags +ildct+ilme -vf setfield=tff -acodec pcm_s16le -ar 48000 "},
    {"1080i/50 185", "-vcodec dnxhd -pix_fmt yuv422p -s 1920x1080 -b 185M -r 25 -flags +ildct+ilme -vf setfield=tff -acodec pcm_s16le -ar 48000 "},
    {"1080i/59.94 145", "-vcodec dnxhd -pix_fmt yuv422p -s 1920x1080 -b 145M -r 30000/1001 -flags +ildct+ilme -vf setfield=tff -acodec pcm_s16le -ar 48000 "},
    {"1080i/59.94 220", "-vcodec dnxhd -pix_fmt yuv422p -s 1920x1080 -b 220M -r 30000/1001 -flags +ildct+ilme -vf setfield=tff -acodec pcm_s16le -ar 48000 "},
};

const QString DvPalArguments = QStringLiteral(
        " -s 720x576 -pix_fmt yuv420p -r 25 -vcodec dvvideo -acodec pcm_s16le -ac 2 -ar 48000 ");
const QString DvNtscArguments = QStringLiteral(
        "-s 720x480 -pix_fmt yuv411p -r ntsc -vcodec dvvideo -acodec pcm_s16le -ac 2 -ar 48000 ");
// 8-bit 4:2:0 with even sides (odd ones rounded down), the profile every editor reads.
const QString H264Arguments = QStringLiteral(
        " -vcodec libx264 -pix_fmt yuv420p"
        " -vf scale=iw:ih:force_original_aspect_ratio=decrease:force_divisible_by=2 ");

// A preset line is "*" NAME "*" arguments "*" extension; index into its "*"-fields.
QString presetField(const QString &line, int index)
{
    const QStringList fields = line.split(QLatin1Char('*'), Qt::KeepEmptyParts);
    return index < fields.size() ? fields.at(index) : QString();
}

} // namespace

QStringList dnxhdLabels()
{
    QStringList labels;
    for (const DnxhdRow &row : dnxhdRows)
        labels.append(QString::fromLatin1(row.label));
    return labels;
}

std::map<std::string, std::string> dnxhdTable()
{
    std::map<std::string, std::string> table;
    for (const DnxhdRow &row : dnxhdRows)
        table[row.label] = row.arguments;
    return table;
}

static QString dnxhdArguments(const QString &label)
{
    for (const DnxhdRow &row : dnxhdRows) {
        if (label == QLatin1String(row.label))
            return QString::fromLatin1(row.arguments);
    }
    return QString();
}

QString argumentsFor(const Choice &choice)
{
    if (choice.rewrap)
        return Rewrap;

    const QString &name = choice.name;
    if (name == Dnxhd)
        return dnxhdArguments(choice.dnxhdLabel);
    if (name == Dnxhr || name == Prores)
        return intermediateArguments(name, choice.profile);
    // The sample rate goes to -ar: -ab would set a bit rate, which PCM ignores.
    if (name == Wav)
        return QLatin1String("-acodec pcm_s") + choice.bitDepth + QLatin1String("le -vn -ar ")
               + choice.sampleRate;
    if (name == DvPal)
        return DvPalArguments;
    if (name == DvNtsc)
        return DvNtscArguments;
    if (name == H264)
        return H264Arguments;
    if (name.startsWith(QLatin1Char('*')))
        return presetField(name, 2);
    return name;
}

QString outputExtension(const QString &entry)
{
    // The assignment marker of a preset starts "|*"; a "*" in the file's own path must
    // not be taken for it. An entry holding only the marker text starts with "*".
    QString marker;
    if (entry.startsWith(QLatin1Char('*'))) {
        marker = entry;
    } else {
        const qsizetype start = entry.indexOf(QLatin1String("|*"));
        if (start < 0)
            return QStringLiteral("MOV");
        marker = entry.mid(start + 1);
    }
    const QStringList fields = marker.split(QLatin1Char('*'), Qt::KeepEmptyParts);
    // A marker with fewer than four fields carries no extension.
    if (fields.size() < 4)
        return QStringLiteral("MOV");
    return fields.at(3);
}

namespace {
QSize sizeArgument(const QString &arguments)
{
    static const QRegularExpression size(QStringLiteral("-s (\\d+)x(\\d+)"));
    const QRegularExpressionMatch match = size.match(arguments);
    return match.hasMatch() ? QSize(match.captured(1).toInt(), match.captured(2).toInt()) : QSize();
}

Rational rateArgument(const QString &arguments)
{
    static const QRegularExpression rate(QStringLiteral("(^|\\s)-r (\\S+)"));
    const QString text = rate.match(arguments).captured(2);
    if (text == QLatin1String("ntsc"))
        return {30000, 1001};
    return Rational::parse(text);
}
} // namespace

OutputDemand demandOf(const QString &arguments)
{
    OutputDemand demand;
    // Whatever the setting, a stream it leaves out is not demanded.
    static const QRegularExpression noVideo(QStringLiteral("(^|\\s)-vn(\\s|$)"));
    static const QRegularExpression noAudio(QStringLiteral("(^|\\s)-an(\\s|$)"));
    demand.noVideo = noVideo.match(arguments).hasMatch();
    demand.noAudio = noAudio.match(arguments).hasMatch();
    const auto video = [&](const char *codec) {
        demand.likeSource = false;
        demand.everyAudio = true;
        demand.videoCodec = QLatin1String(codec);
        demand.frameSize = sizeArgument(arguments);
        demand.frameRate = rateArgument(arguments);
    };
    for (const DnxhdRow &row : dnxhdRows) {
        if (arguments == QLatin1String(row.arguments)) {
            video("dnxhd");
            demand.scan = arguments.contains(QLatin1String("+ildct")) ? OutputDemand::Scan::Fields
                                                                       : OutputDemand::Scan::Progressive;
        }
    }
    // DV is interlaced by nature, whatever the source.
    if (arguments == DvPalArguments || arguments == DvNtscArguments)
        video("dvvideo");
    if (arguments == H264Arguments) {
        video("h264");
        demand.evenSourceSize = true;
        demand.sourceRate = true;
    }
    Intermediate intermediate;
    if (intermediateOf(arguments, &intermediate)) {
        video(arguments.startsWith(QLatin1String("-vcodec dnxhd")) ? "dnxhd" : "prores");
        demand.evenSourceSize = true;
        demand.sourceRate = true;
        demand.profile = intermediate.profile;
        demand.pixelFormat = intermediate.pixelFormat;
        demand.scan = intermediate.keepsFields ? OutputDemand::Scan::LikeSource : OutputDemand::Scan::Progressive;
        demand.pcmLikeSource = true;
        demand.sampleRate = 48000;
    }
    if (arguments == Rewrap) {
        demand.everyAudio = true;
        demand.copiesVideo = true;
    }
    static const QRegularExpression wav(QStringLiteral("^-acodec (pcm_s\\d+le) -vn -ar (\\d+)$"));
    const QRegularExpressionMatch match = wav.match(arguments);
    if (match.hasMatch()) {
        demand.likeSource = false;
        demand.everyAudio = true;
        demand.audioCodec = match.captured(1);
        demand.sampleRate = match.captured(2).toInt();
    }
    return demand;
}

} // namespace Settings
