#pragma once

// The built-in conversion settings and the rule that turns a chosen setting into
// engine arguments.

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
};
// The demand of a setting, known by its engine arguments.
OutputDemand demandOf(const QString &arguments);

// Output extension the run gives an assigned job entry: a preset's extension field,
// otherwise "MOV".
QString outputExtension(const QString &entry);

} // namespace Settings
