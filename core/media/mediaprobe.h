#pragma once

// What ffprobe tells about a media file, and whether an output is what was asked for.

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

namespace Settings {
struct OutputDemand;
}

// A frame or sample rate as ffprobe writes it ("30000/1001"); 0/0 when unknown.
struct Rational
{
    qint64 num = 0;
    qint64 den = 0;
    bool known() const { return num > 0 && den > 0; }
    double value() const { return known() ? double(num) / double(den) : 0.0; }
    QString text() const;
    static Rational parse(const QString &text);
    bool operator==(const Rational &other) const { return num == other.num && den == other.den; }
};

// Whether two rates differ by more than 0.1 %.
bool ratesDiffer(const Rational &a, const Rational &b);

struct StreamInfo
{
    int index = -1;
    QString type;        // "video", "audio", "data", "subtitle", ...
    QString codec;       // empty when ffprobe does not know it
    QString profile;
    QString pixelFormat;
    QString sampleFormat;
    int bitsPerSample = 0;  // bits_per_raw_sample, else bits_per_sample
    int sampleRate = 0;
    int channels = 0;
    QSize frameSize;        // as shown: sides swapped when the container turns it a quarter
    Rational rate;          // r_frame_rate
    Rational averageRate;   // avg_frame_rate
    // "progressive", "tt" or "bb" (top or bottom field first), empty when unknown: the
    // container's word, else the first decoded frame's.
    QString fieldOrder;
    double start = 0;
    double duration = -1;   // seconds; negative when unknown
    QString timecode;
    bool coverArt = false;

    double end() const { return duration < 0 ? -1 : start + duration; }
};

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
    QList<StreamInfo> streams = {};  // in the file's order
    QString timecode = {};      // the format's or the first stream's timecode tag

    // The first picture stream (cover art not counted), or nullptr.
    const StreamInfo *video() const;
    QList<StreamInfo> streamsOf(const QString &type) const;
};

// ffprobe's arguments for reading path; readFrames: the first frames too, for the field
// order where the container does not tell it (DNxHD in MOV). Decoding them costs more than
// the rest of the reading.
QStringList probeArguments(const QString &path, bool readFrames = true);
// ffprobe's JSON answer; an empty or broken answer gives a MediaInfo that is not readable.
MediaInfo parseProbe(const QByteArray &json);
MediaInfo parseProbe(const QJsonObject &root);

// Why output is not a good conversion of source under demand; empty when it is.
QString checkOutput(const Settings::OutputDemand &demand, const MediaInfo &source, const MediaInfo &output);
