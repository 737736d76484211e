#pragma once

// The built-in conversion settings and the rule that turns a chosen setting into
// engine arguments.

#include "core/media/mediaprobe.h"

#include <QSize>
#include <QString>
#include <QStringList>
#include <map>
#include <string>

namespace Settings {

inline const QString CopyOnly = QStringLiteral("DON'T CONVERT (BUT COPY TO DEST FOLDER)");
inline const QString DvNtsc = QStringLiteral("720x480 DV NTSC");
inline const QString DvPal = QStringLiteral("720x576 DV PAL");
inline const QString Dnxhd = QStringLiteral("Avid DNxHD Codec");
inline const QString Dnxhr = QStringLiteral("Avid DNxHR Codec");
inline const QString Prores = QStringLiteral("Apple ProRes Codec");
inline const QString H264 = QStringLiteral("H.264");
inline const QString Wav = QStringLiteral("WAV-UNCOMPRESSED-AUDIO");
inline const QString Default = QStringLiteral("DEFAULT");
inline const QString Rewrap = QStringLiteral(" -vcodec copy -acodec pcm_s16le  ");

QStringList sampleRates();  // comboBox_3
QStringList bitDepths();    // comboBox_2
QStringList dnxhdLabels();  // comboBox, 25 labels in menu order

// Label of comboBox to engine arguments.
std::map<std::string, std::string> dnxhdTable();

struct Choice
{
    QString name;        // text of the settings list's current item
    QString dnxhdLabel;  // comboBox
    QString bitDepth;    // comboBox_2
    QString sampleRate;  // comboBox_3
    bool rewrap = false; // checkBox
    QString profile = {};  // profile box of DNxHR and ProRes
};

// Engine arguments of a choice, the re-wrap override applied.
QString argumentsFor(const Choice &choice);

// What the output of a setting must hold. A setting the catalogue does not know (a
// preset, the re-wrap) must give the kinds of streams its source has.
struct OutputDemand
{
    bool likeSource = true;
    QString videoCodec;           // empty: no video demanded
    QSize frameSize;              // invalid: any size
    bool evenSourceSize = false;  // the source's size with each side made even
    QString audioCodec;           // empty: any audio
    int sampleRate = 0;
    bool noVideo = false;         // "-vn"
    bool noAudio = false;         // "-an"

    // A built-in setting: it takes the first picture and every audio stream of the source.
    bool everyAudio = false;
    bool copiesVideo = false;     // the re-wrap
    QString profile;              // as ffprobe names it; empty: any
    QString pixelFormat;          // as ffprobe reads it back; empty: any
    Rational frameRate;           // the rate written; unknown: none set
    bool sourceRate = false;      // the source's rate kept, made constant when it varies
    enum class Scan { Any, Progressive, Fields, LikeSource };
    Scan scan = Scan::Any;        // Fields: top field first unless the source is bottom first
    bool pcmLikeSource = false;   // 24-bit PCM from a source deeper than 16 bits, else 16-bit
};
// The demand of a setting, known by its engine arguments.
OutputDemand demandOf(const QString &arguments);

// Output extension the run gives an assigned job entry: a preset's extension field,
// otherwise "MOV".
QString outputExtension(const QString &entry);

} // namespace Settings
