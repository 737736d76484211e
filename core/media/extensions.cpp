#include "core/media/extensions.h"

#include <iterator>

namespace {

constexpr bool Scanned = true;
constexpr bool NotScanned = false;
constexpr SettingWidgets LabelOnly = SettingWidgets::LabelOnly;
constexpr SettingWidgets AudioCombos = SettingWidgets::AudioCombos;
constexpr SettingWidgets RewrapBox = SettingWidgets::RewrapBox;

constexpr char16_t aiffText[] = u"AIFF is high quality Audio file.Convert to WAV for editing on Windows. On Apple,conversion not required.";

// The scan takes its rows in this order, and the guidance reads the rows with a text in it.
constexpr ExtensionFacts rows[] = {
    {u"mov", Scanned, u"MOV is very common QuickTime Container. If you can play this file with VLC player, conversion is possible. Please select the conversion settings in the list below. For editing, Avid DNx codec is advised or in case of Standard Definition footage, PAL SD or NTSC SD. 4K keeps its size in Avid DNxHR or Apple ProRes.", LabelOnly},
    {u"avi", Scanned, u"AVI is default Microsoft Windows container that can support many codecs. If this file is playable with VLC Player, conversion is possible. For editing Avid DNx codec is advised or when working in lower resolutions (SD) PAL or NTSC.", LabelOnly},
    {u"mp4", Scanned, u"MP4 is common highly compressed video usually created by QuickTime.If needed for editing we would advise conversion. On some systems editing is possible in this codec. 4K and vertical phone clips keep their size in Avid DNxHR or Apple ProRes.", LabelOnly},
    {u"wmv", Scanned, u"Windows Media Video (WMV) is a video compression format for several proprietary codecs developed by Microsoft. It is highly compressed so if intended for editing, please convert to Avid DNx.", LabelOnly},
    // The scan has always listed mp4, wmv and mp2 twice.
    {u"mp4", Scanned, nullptr, LabelOnly},
    {u"wmv", Scanned, nullptr, LabelOnly},
    {u"mkv", Scanned, u"MKV is the extension of very popular MATROSKA Container. Usually used when downloading movies from the internet. Many hardware players support this format. Extremely compressed. Must be converted for editing!", LabelOnly},
    {u"3gp", Scanned, u"3gp = 3gpp (\u201C3rd Generation Partnership Project\u201D) - These files are usually coming from Mobile Phones or Low Rez cameras. Must be converted before editing.Conversion to PAL or NTSC is enough.", LabelOnly},
    {u"rmvb", Scanned, u"rmvb - real media variable bitrate format. highly compressed and often used on internet for movies.Conversion essential for editing.", LabelOnly},
    {u"rm", Scanned, u"RM - real media variable bitrate format. highly compressed and often used on internet for movies.Conversion essential for editing.", LabelOnly},
    {u"mp2v", Scanned, u"MP2V is an extension used for MPEG 2 files.Conversion essential for editing. Convert to SD PAL or NTSC.", LabelOnly},
    {u"m2v", Scanned, u"M2V is an extension used for MPEG 2 files.Conversion essential for editing. Convert to SD PAL or NTSC.", LabelOnly},
    {u"m2s", Scanned, u"M2S is an extension used for MPEG 2 files.Conversion essential for editing. Convert to SD PAL or NTSC.", LabelOnly},
    {u"mpa", Scanned, u"MPA is an extension used for MPEG 2 AUDIO.Convert to WAV for editing.", AudioCombos},
    {u"mp2", Scanned, u"MP2 Lossy Audio Codec.Convert to WAV for editing!", AudioCombos},
    {u"m2a", Scanned, u"M2A is an extension used for MPEG 2 AUDIO.Convert to WAV for editing.", LabelOnly},
    {u"mpeg", Scanned, u"MPEG is an extension used for motion pictures experts group video/audio .Convert to PAL or NTSC  for editing.", LabelOnly},
    {u"mpg", Scanned, u"MPG is an extension used for motion pictures experts group video/audio .Convert to PAL or NTSC  for editing.", LabelOnly},
    {u"mpe", Scanned, u"MPE is an extension used for motion pictures experts group video/audio .Convert to PAL or NTSC  for editing.", LabelOnly},
    {u"m1s", Scanned, u"M1S is an extension used for mpeg -1 video without audio .Convert to PAL or NTSC  for editing.", LabelOnly},
    {u"vob", Scanned, u"VOB is an extension used for mpeg-2 DVD.Convert to PAL or NTSC  for editing.", LabelOnly},
    {u"wma", Scanned, u"WMA is an extension used for Windows Media Audio File .Convert to WAV  for editing.", AudioCombos},
    {u"m4v", Scanned, u"M4V is raw MP4 Video only.For long form editing, convert to Avid DNx or SD PAL/NTSC.", LabelOnly},
    {u"m4a", Scanned, u"M4A is Compressed Audio Format. Convert to WAV for editing!.", AudioCombos},
    {u"flac", Scanned, u"FLAC is high quality audio file. Convert to WAV for editing.", AudioCombos},
    {u"flv", Scanned, u"FLV is Flash Video.Widely used on internet.For editing,conversion is essential.Use Avid DNx or SD PAL NTSC.", LabelOnly},
    {u"dts", Scanned, u"DTS is Multichannel Compressed Audio used in DVD/BlueRay/Cinema.Convert to WAV for editing.", AudioCombos},
    {u"amr", Scanned, u"AMR is low quality audio file usually coming from mobile phones.Convert to WAV for editing.", AudioCombos},
    {u"aif", Scanned, aiffText, AudioCombos},
    {u"aiff", Scanned, aiffText, AudioCombos},
    {u"asf", Scanned, u"ASF is Microsoft Streaming Format.Convert to Avid DNx or PAL/NTSC SD for editing.", LabelOnly},
    {u"dv", Scanned, u"DV is generic DV Video Container.No Conversion needed to edit.If uprez needed just convert to Avid DNx.", LabelOnly},
    {u"mjpeg", Scanned, u"MJPEG  video.Usually ,  No conversion needed!", LabelOnly},
    {u"mxf", Scanned, u"MXF is container used for many workflows.DCP/AVID/P2 etc. Please check if the mxf is playable in VLC before conversion!", LabelOnly},
    {u"divx", Scanned, u"DIVX is very popular format. Extremely Compressed. Needs conversion before editing.For HD DNx, for low res PAL or NTSC.", LabelOnly},
    {u"mts", Scanned, u"MTS are raw H.264 files usually used by Panasonic.Not suited for editing and will require conversion or in case you want to work with them anyway,they may still require re-wrapping to MP4 !", RewrapBox},
    {u"ts", Scanned, u"TS usually Mpeg 2 Files. Conversion essential for editing!.", LabelOnly},
    {u"dvf", Scanned, u"DVF is Sony made format for compressed audio. Please convert to WAV for editing!", AudioCombos},
    {u"m4b", Scanned, u"M4B is Mpeg 4. Please convert to edit advised .", LabelOnly},
    {u"mp3", Scanned, u"MP3 is Compressed Audio.Wav conversion advised, but not essential for editing.", AudioCombos},
    {u"mp2", Scanned, nullptr, LabelOnly},
    {u"ape", Scanned, u"APE Monkey's Audio is a  file format for lossless audio data compression. Convert into wav for editing.", AudioCombos},
    {u"tta", Scanned, u" TTA lossless audio codec. Convert into wav for editing.", AudioCombos},
    {u"vw", Scanned, u"WavPack is a free, open source lossless audio compression format developed by Orvale Convert into  wav for editing.", AudioCombos},
    {u"aac", Scanned, u"AAC is lossy audio codec. Usually together with video.convert to Wav for editing.", AudioCombos},
    {u"mpc", Scanned, u"Musepack or MPC is an open source lossy audio codec.convert to Wav for editing.", AudioCombos},
    {u"spx", Scanned, u"Speex is an open source lossy audio codec.convert to Wav for editing.", AudioCombos},
    {u"mp1", Scanned, u"MP1 Lossy Audio Codec.Convert to WAV for editing!", AudioCombos},
    {u"ogv", Scanned, u"Ogg Video. Convert to Avid DNx for editing", LabelOnly},
    {u"oga", Scanned, u"Ogg Audio. Convert to WAV editing", AudioCombos},
    {u"ogx", Scanned, u"Ogg - Convert to Avid DNx for editing", LabelOnly},
    {u"swf", NotScanned, u"Flash -Convert to Avid DNx(HD)/PAL(SD)/NTSC(SD)  for editing", LabelOnly},
    {u"sqf", Scanned, nullptr, LabelOnly},
    {u"svi", Scanned, u"Samsung FileType for Players -Convert to Avid DNx(HD)/PAL(SD)/NTSC(SD)  for editing", LabelOnly},
    {u"wav", Scanned, u"WAV , no conversion needed to edit.", LabelOnly},
    {u"w64", Scanned, u"WAV64 , convert to WAV before editing.", AudioCombos},
    {u"dpx", NotScanned, u"DPX , Wide range image format. Convert to Video file (Avid DNx)to edit!", LabelOnly},
    {u"jpg", NotScanned, u"JPG , Image format. Convert to Video file (Avid DNx)to edit!", LabelOnly},
    {u"oma", NotScanned, u"OMA Sony OpenMG audio Convert to WAV to edit!", LabelOnly},
    {u"r3d", Scanned, u"R3D RedCode Format.Decode works only for earlier Red One Codec.Use redcine!", LabelOnly},
    {u"srt", NotScanned, u"SRT Subtitles! Possible Conversion to XML for DCP! ", LabelOnly},
    {u"mxg", Scanned, u"MxPEG clip. Convert to Avid DNx to edit! ", LabelOnly},
    {u"pcm", NotScanned, u"PCM Audio! You need to provide Samplerate and BitDepth! Convert to WAV to edit! ", AudioCombos},
    {u"m2ts", Scanned, nullptr, LabelOnly},
    // Web and camera containers. Video ones are converted, never re-wrapped: VP9, AV1 and
    // long-GOP MPEG-2 gain nothing for editing in a QuickTime wrapper.
    {u"webm", Scanned, u"WEBM is the web's own format: VP9 or AV1 video with Opus or Vorbis audio. Convert to Avid DNxHR or Apple ProRes for editing, or to H.264 to share.", LabelOnly},
    {u"m2t", Scanned, u"M2T is HDV from tape camcorders: MPEG-2 video at 1440x1080, usually interlaced. Convert to Avid DNxHD 1080i or Apple ProRes for editing.", LabelOnly},
    {u"mod", Scanned, u"MOD is MPEG-2 Standard Definition video from JVC, Panasonic and Canon camcorders. Convert to PAL or NTSC for editing.", LabelOnly},
    {u"tod", Scanned, u"TOD is MPEG-2 High Definition video from JVC Everio camcorders, usually 1080i. Convert to Avid DNxHD 1080i or Apple ProRes for editing.", LabelOnly},
    {u"3g2", Scanned, u"3g2 = 3gpp2, the 3gp of CDMA mobile phones. Low resolution and highly compressed. Must be converted before editing. Conversion to PAL or NTSC is enough.", LabelOnly},
    // Mostly Vorbis sound, so the WAV depth and rate are offered.
    {u"ogg", Scanned, u"OGG is usually Vorbis audio, sometimes with Theora video. Convert to WAV for editing, or to Avid DNx when it holds video.", AudioCombos},
    {u"opus", Scanned, u"OPUS is the lossy audio of the web and of internet calls. Convert to WAV for editing.", AudioCombos},
};

} // namespace

ExtensionTable extensionTable()
{
    return {std::begin(rows), std::end(rows)};
}
