#pragma once

// What ffprobe tells about a media file, and whether an output is what was asked for.

#include <QByteArray>
#include <QSize>
#include <QString>
#include <QStringList>

namespace Settings {
struct OutputDemand;
}

struct MediaInfo
{
    bool readable = false;  // ffprobe could open the file
    double duration = -1;   // seconds; negative when unknown
    bool hasVideo = false;  // a picture stream, cover art not counted
    bool hasAudio = false;
    QString videoCodec;
    QSize frameSize;
    QString audioCodec;
    int sampleRate = 0;
    QString creationTime;
};

// ffprobe's arguments for reading path.
QStringList probeArguments(const QString &path);
// ffprobe's JSON answer; an empty or broken answer gives a MediaInfo that is not readable.
MediaInfo parseProbe(const QByteArray &json);

// Why output is not a good conversion of source under demand; empty when it is.
QString checkOutput(const Settings::OutputDemand &demand, const MediaInfo &source, const MediaInfo &output);
