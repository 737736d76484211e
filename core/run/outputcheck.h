#pragma once

// What tells whether an output counts: ffprobe's view of it (and of its source), or without
// ffprobe the engine's exit status and the output's size.

#include <QString>
#include <functional>

class QObject;
class QProcess;
struct MediaInfo;

// Runs probe on path (readFrames: its first frames too); done gets what it found (nothing
// readable when it could not run), unless context is gone by then. The process is a child
// of context.
QProcess *startProbe(const QString &probe, const QString &path, bool readFrames, QObject *context,
                     std::function<void(const MediaInfo &)> done);

// An output counts as produced only when the engine exited with status 0 and the output
// is a writable file of at least 2000 bytes. Creates no file.
bool outputProduced(int exitStatus, const QString &outputPath);
inline constexpr qint64 MinimumOutputSize = 2000;
