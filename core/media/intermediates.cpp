#include "core/media/intermediates.h"

#include "core/media/settingscatalogue.h"

namespace Settings {

namespace {

struct Row
{
    bool prores;
    const char *label;
    const char *arguments;
    const char *probedProfile;
    const char *probedPixelFormat;
};

// No -s and no -r: the source's size (an odd side rounded down, which both encoders
// need) and rate are kept. The PCM depth follows the source, settled per file.
#define ORLENNE_EVEN " -vf scale=iw:ih:force_original_aspect_ratio=decrease:force_divisible_by=2"
#define ORLENNE_PCM " -acodec pcm_s16le -ar 48000 "
constexpr Row rows[] = {
    {false, "LB", "-vcodec dnxhd -profile:v dnxhr_lb -pix_fmt yuv422p" ORLENNE_EVEN ORLENNE_PCM, "DNXHR LB", "yuv422p"},
    {false, "SQ", "-vcodec dnxhd -profile:v dnxhr_sq -pix_fmt yuv422p" ORLENNE_EVEN ORLENNE_PCM, "DNXHR SQ", "yuv422p"},
    {false, "HQ", "-vcodec dnxhd -profile:v dnxhr_hq -pix_fmt yuv422p" ORLENNE_EVEN ORLENNE_PCM, "DNXHR HQ", "yuv422p"},
    {false, "HQX", "-vcodec dnxhd -profile:v dnxhr_hqx -pix_fmt yuv422p10le" ORLENNE_EVEN ORLENNE_PCM, "DNXHR HQX",
     "yuv422p10le"},
    {false, "444", "-vcodec dnxhd -profile:v dnxhr_444 -pix_fmt yuv444p10le" ORLENNE_EVEN ORLENNE_PCM, "DNXHR 444",
     "yuv444p10le"},
    {true, "422 Proxy", "-vcodec prores_ks -profile:v proxy -pix_fmt yuv422p10le" ORLENNE_EVEN ORLENNE_PCM, "Proxy",
     "yuv422p10le"},
    {true, "422 LT", "-vcodec prores_ks -profile:v lt -pix_fmt yuv422p10le" ORLENNE_EVEN ORLENNE_PCM, "LT",
     "yuv422p10le"},
    {true, "422", "-vcodec prores_ks -profile:v standard -pix_fmt yuv422p10le" ORLENNE_EVEN ORLENNE_PCM, "Standard",
     "yuv422p10le"},
    {true, "422 HQ", "-vcodec prores_ks -profile:v hq -pix_fmt yuv422p10le" ORLENNE_EVEN ORLENNE_PCM, "HQ",
     "yuv422p10le"},
    // The decoder gives 4444 back at 12 bits whatever was written.
    {true, "4444", "-vcodec prores_ks -profile:v 4444 -pix_fmt yuv444p10le" ORLENNE_EVEN ORLENNE_PCM, "4444",
     "yuv444p12le"},
};
#undef ORLENNE_EVEN
#undef ORLENNE_PCM

QStringList labels(bool prores)
{
    QStringList list;
    for (const Row &row : rows) {
        if (row.prores == prores)
            list.append(QString::fromLatin1(row.label));
    }
    return list;
}

} // namespace

QStringList dnxhrProfiles()
{
    return labels(false);
}

QStringList proresProfiles()
{
    return labels(true);
}

QString intermediateArguments(const QString &family, const QString &profile)
{
    const bool prores = family == Prores;
    if (!prores && family != Dnxhr)
        return QString();
    for (const Row &row : rows) {
        if (row.prores == prores && profile == QLatin1String(row.label))
            return QString::fromLatin1(row.arguments);
    }
    return QString();
}

bool intermediateOf(const QString &arguments, Intermediate *found)
{
    for (const Row &row : rows) {
        if (arguments != QLatin1String(row.arguments))
            continue;
        // DNxHR has no interlaced profiles: the engine refuses interlaced coding for it.
        *found = {QString::fromLatin1(row.probedProfile), QString::fromLatin1(row.probedPixelFormat), row.prores};
        return true;
    }
    return false;
}

} // namespace Settings
