#pragma once

// What a built-in setting needs to know of one source: which streams it takes, at what
// rate and field order it writes them, and what the report must say about it.

#include "core/media/mediaprobe.h"
#include "core/media/settingscatalogue.h"

#include <QString>
#include <QStringList>

struct SourceFit
{
    QString extraArguments;   // goes on the engine line after the setting's arguments
    QStringList details;      // report lines about this source, without its name
    int expectedAudioStreams = -1;  // -1: not counted (a preset)
};

// The extra engine arguments of a setting for this source. A preset, or a source
// ffprobe could not read, gets none.
SourceFit fitToSource(const QString &arguments, const MediaInfo &source);

// The source's audio streams the engine can decode, in order: the ones a built-in
// setting takes.
QList<StreamInfo> keptAudio(const MediaInfo &source);
// 24 for a source stream deeper than 16 bits, else 16.
int pcmDepth(const StreamInfo &audio);
// Whether the stream's timestamps vary (an interlaced stream's field rate not counted).
bool variableRate(const StreamInfo &video);
// The standard rate nearest to fps (23.976 ... 120).
Rational nearestStandardRate(double fps);
// The rate a setting writes for this source: the setting's own, or for one that keeps
// the source's, the source's rate (snapped to a standard one when it varies); unknown
// when the setting leaves the rate as it comes.
Rational writtenRate(const Settings::OutputDemand &demand, const MediaInfo &source);
// The field order a setting writes for this source ("progressive", "tt", "bb"); empty
// when the setting leaves it as it comes.
QString writtenFieldOrder(const Settings::OutputDemand &demand, const MediaInfo &source);
// Whether what a setting writes depends on the source's field order (or its report names it).
bool fieldsMatter(const Settings::OutputDemand &demand);
// A rate as a person reads it: "29.97", "25", "23.976".
QString fpsText(double fps);
