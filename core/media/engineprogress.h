#pragma once

// What the engine's own messages tell while it runs and when it ends.

#include <QByteArray>
#include <QString>

#include "core/media/mediaprobe.h"

// Seconds of the last complete "time=HH:MM:SS.ss" in the messages' tail; negative when none.
double progressSeconds(const QByteArray &messages);
// Seconds of the first "Duration: HH:MM:SS.ss" (the input's length); negative when none.
double durationSeconds(const QByteArray &messages);
// What the engine said of its first input (the source) before it began: its length and its
// streams, as ffprobe would. Not readable when the engine said nothing of it.
MediaInfo sourceFromMessages(const QByteArray &messages);
// The engine's last line that says why it failed: not a progress line, not the closing
// "Conversion failed!".
QString lastErrorLine(const QByteArray &messages);
