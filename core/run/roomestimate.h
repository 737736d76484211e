#pragma once

// How many bytes the outputs will take in the destination, and how many it has free, known
// before anything is written.

#include <QString>

struct ConversionJob;
struct MediaInfo;

// A figure on the safe side for the output of job, made from a source of sourceSize bytes
// that ffprobe read as source: bit rate times length where the setting fixes the rate (DNxHD,
// DNxHR, ProRes, DV, WAV); the source's size for a copy, and with its audio made PCM for a
// re-wrap; the source's size as a bound for H.264, presets and whatever ffprobe left unknown.
qint64 roomNeeded(const ConversionJob &job, const MediaInfo &source, qint64 sourceSize);

// The free bytes where path is or will be (its nearest existing folder); the most there can
// be when the system cannot tell.
qint64 freeRoom(QString path);
