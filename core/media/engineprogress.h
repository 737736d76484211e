#pragma once

// What the engine's own messages tell while it runs and when it ends.

#include <QByteArray>
#include <QString>

// Seconds of the latest whole "out_time_us=" line of the engine's "-progress" output (its
// tail is enough); negative when none has come yet.
double progressSeconds(const QByteArray &progress);
// Seconds of the first "Duration: HH:MM:SS.ss" of the engine's messages (the input's
// length), for a run without ffprobe; negative when none.
double durationSeconds(const QByteArray &messages);
// The engine's last line that says why it failed: not a progress line, not the closing
// "Conversion failed!".
QString lastErrorLine(const QByteArray &messages);
