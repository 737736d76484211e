#include "core/media/guidance.h"

#include <QStringView>
#include <iterator>

namespace {

enum Widgets { LabelOnly, AudioCombos, RewrapBox };

struct Row
{
    const char16_t *key;
    const char16_t *otherKey; // the AIFF row answers to two keys
    const char16_t *text;
    Widgets widgets;
};

// Checked top to bottom; every matching row applies, so the last text stays.
constexpr Row rows[] = {
    {u"mov", nullptr, u"MOV is very common QuickTime Container. If you can play this file with VLC player, conversion is possible. Please select the conversion settings in the list below. For editing, Avid DNx codec is advised or in case of Standard Definition footage, PAL SD or NTSC SD.", LabelOnly},
    {u"avi", nullptr, u"AVI is default Microsoft Windows container that can support many codecs. If this file is playable with VLC Player, conversion is possible. For editing Avid DNx codec is advised or when working in lower resolutions (SD) PAL or NTSC.", LabelOnly},
    {u"mp4", nullptr, u"MP4 is common highly compressed video usually created by QuickTime.If needed for editing we would advise conversion. On some systems editing is possible in this codec.", LabelOnly},
    {u"wmv", nullptr, u"Windows Media Video (WMV) is a video compression format for several proprietary codecs developed by Microsoft. It is highly compressed so if intended for editing, please convert to Avid DNx.", LabelOnly},
    {u"mkv", nullptr, u"MKV is the extension of very popular MATROSKA Container. Usually used when downloading movies from the internet. Many hardware players support this format. Extremely compressed. Must be converted for editing!", LabelOnly},
    {u"3gp", nullptr, u"3gp = 3gpp (\u201C3rd Generation Partnership Project\u201D) - These files are usually coming from Mobile Phones or Low Rez cameras. Must be converted before editing.Conversion to PAL or NTSC is enough.", LabelOnly},
    {u"rmvb", nullptr, u"rmvb - real media variable bitrate format. highly compressed and often used on internet for movies.Conversion essential for editing.", LabelOnly},
    {u"rm", nullptr, u"RM - real media variable bitrate format. highly compressed and often used on internet for movies.Conversion essential for editing.", LabelOnly},
    {u"mp2v", nullptr, u"MP2V is an extension used for MPEG 2 files.Conversion essential for editing. Convert to SD PAL or NTSC.", LabelOnly},
    {u"m2v", nullptr, u"M2V is an extension used for MPEG 2 files.Conversion essential for editing. Convert to SD PAL or NTSC.", LabelOnly},
    {u"m2s", nullptr, u"M2S is an extension used for MPEG 2 files.Conversion essential for editing. Convert to SD PAL or NTSC.", LabelOnly},
    {u"mpa", nullptr, u"MPA is an extension used for MPEG 2 AUDIO.Convert to WAV for editing.", AudioCombos},
    {u"mp2", nullptr, u"MP2 Lossy Audio Codec.Convert to WAV for editing!", AudioCombos},
    {u"m2a", nullptr, u"M2A is an extension used for MPEG 2 AUDIO.Convert to WAV for editing.", LabelOnly},
    {u"mpeg", nullptr, u"MPEG is an extension used for motion pictures experts group video/audio .Convert to PAL or NTSC  for editing.", LabelOnly},
    {u"mpg", nullptr, u"MPG is an extension used for motion pictures experts group video/audio .Convert to PAL or NTSC  for editing.", LabelOnly},
    {u"mpe", nullptr, u"MPE is an extension used for motion pictures experts group video/audio .Convert to PAL or NTSC  for editing.", LabelOnly},
    {u"m1s", nullptr, u"M1S is an extension used for mpeg -1 video without audio .Convert to PAL or NTSC  for editing.", LabelOnly},
    {u"vob", nullptr, u"VOB is an extension used for mpeg-2 DVD.Convert to PAL or NTSC  for editing.", LabelOnly},
    {u"wma", nullptr, u"WMA is an extension used for Windows Media Audio File .Convert to WAV  for editing.", AudioCombos},
    {u"m4v", nullptr, u"M4V is raw MP4 Video only.For long form editing, convert to Avid DNx or SD PAL/NTSC.", LabelOnly},
    {u"m4a", nullptr, u"M4A is Compressed Audio Format. Convert to WAV for editing!.", AudioCombos},
    {u"flac", nullptr, u"FLAC is high quality audio file. Convert to WAV for editing.", AudioCombos},
    {u"flv", nullptr, u"FLV is Flash Video.Widely used on internet.For editing,conversion is essential.Use Avid DNx or SD PAL NTSC.", LabelOnly},
    {u"dts", nullptr, u"DTS is Multichannel Compressed Audio used in DVD/BlueRay/Cinema.Convert to WAV for editing.", AudioCombos},
    {u"amr", nullptr, u"AMR is low quality audio file usually coming from mobile phones.Convert to WAV for editing.", AudioCombos},
    {u"aif", u"aiff", u"AIFF is high quality Audio file.Convert to WAV for editing on Windows. On Apple,conversion not required.", AudioCombos},
    {u"asf", nullptr, u"ASF is Microsoft Streaming Format.Convert to Avid DNx or PAL/NTSC SD for editing.", LabelOnly},
    {u"dv", nullptr, u"DV is generic DV Video Container.No Conversion needed to edit.If uprez needed just convert to Avid DNx.", LabelOnly},
    {u"mjpeg", nullptr, u"MJPEG  video.Usually ,  No conversion needed!", LabelOnly},
    {u"mxf", nullptr, u"MXF is container used for many workflows.DCP/AVID/P2 etc. Please check if the mxf is playable in VLC before conversion!", LabelOnly},
    {u"divx", nullptr, u"DIVX is very popular format. Extremely Compressed. Needs conversion before editing.For HD DNx, for low res PAL or NTSC.", LabelOnly},
    {u"mts", nullptr, u"MTS are raw H.264 files usually used by Panasonic.Not suited for editing and will require conversion or in case you want to work with them anyway,they may still require re-wrapping to MP4 !", RewrapBox},
    {u"ts", nullptr, u"TS usually Mpeg 2 Files. Conversion essential for editing!.", LabelOnly},
    {u"dvf", nullptr, u"DVF is Sony made format for compressed audio. Please convert to WAV for editing!", AudioCombos},
    {u"m4b", nullptr, u"M4B is Mpeg 4. Please convert to edit advised .", LabelOnly},
    {u"mp3", nullptr, u"MP3 is Compressed Audio.Wav conversion advised, but not essential for editing.", AudioCombos},
    {u"ape", nullptr, u"APE Monkey's Audio is a  file format for lossless audio data compression. Convert into wav for editing.", AudioCombos},
    {u"tta", nullptr, u" TTA lossless audio codec. Convert into wav for editing.", AudioCombos},
    {u"vw", nullptr, u"WavPack is a free, open source lossless audio compression format developed by Orvale Convert into  wav for editing.", AudioCombos},
    {u"aac", nullptr, u"AAC is lossy audio codec. Usually together with video.convert to Wav for editing.", AudioCombos},
    {u"mpc", nullptr, u"Musepack or MPC is an open source lossy audio codec.convert to Wav for editing.", AudioCombos},
    {u"spx", nullptr, u"Speex is an open source lossy audio codec.convert to Wav for editing.", AudioCombos},
    {u"mp1", nullptr, u"MP1 Lossy Audio Codec.Convert to WAV for editing!", AudioCombos},
    {u"ogv", nullptr, u"Ogg Video. Convert to Avid DNx for editing", LabelOnly},
    {u"oga", nullptr, u"Ogg Audio. Convert to WAV editing", AudioCombos},
    {u"ogx", nullptr, u"Ogg - Convert to Avid DNx for editing", LabelOnly},
    {u"swf", nullptr, u"Flash -Convert to Avid DNx(HD)/PAL(SD)/NTSC(SD)  for editing", LabelOnly},
    {u"svi", nullptr, u"Samsung FileType for Players -Convert to Avid DNx(HD)/PAL(SD)/NTSC(SD)  for editing", LabelOnly},
    {u"wav", nullptr, u"WAV , no conversion needed to edit.", LabelOnly},
    {u"w64", nullptr, u"WAV64 , convert to WAV before editing.", AudioCombos},
    {u"dpx", nullptr, u"DPX , Wide range image format. Convert to Video file (Avid DNx)to edit!", LabelOnly},
    {u"jpg", nullptr, u"JPG , Image format. Convert to Video file (Avid DNx)to edit!", LabelOnly},
    {u"oma", nullptr, u"OMA Sony OpenMG audio Convert to WAV to edit!", LabelOnly},
    {u"r3d", nullptr, u"R3D RedCode Format.Decode works only for earlier Red One Codec.Use redcine!", LabelOnly},
    {u"srt", nullptr, u"SRT Subtitles! Possible Conversion to XML for DCP! ", LabelOnly},
    {u"mxg", nullptr, u"MxPEG clip. Convert to Avid DNx to edit! ", LabelOnly},
    {u"pcm", nullptr, u"PCM Audio! You need to provide Samplerate and BitDepth! Convert to WAV to edit! ", AudioCombos},
};

bool matches(const Row &row, const QString &key)
{
    return key == QStringView(row.key) || (row.otherKey && key == QStringView(row.otherKey));
}

} // namespace

Guidance guidanceFor(const QString &key)
{
    const QString wanted = key.toLower();
    Guidance guidance;
    for (const Row &row : rows) {
        if (!matches(row, wanted))
            continue;
        guidance.found = true;
        guidance.text = QString::fromUtf16(row.text);
        guidance.audioCombos = guidance.audioCombos || row.widgets == AudioCombos;
        guidance.rewrapBox = guidance.rewrapBox || row.widgets == RewrapBox;
    }
    return guidance;
}

QStringList guidanceKeys()
{
    QStringList keys;
    for (const Row &row : rows) {
        keys.append(QString::fromUtf16(row.key));
        if (row.otherKey)
            keys.append(QString::fromUtf16(row.otherKey));
    }
    return keys;
}
