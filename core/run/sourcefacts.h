#pragma once

// What a run read of a source, with the source's size and time then. The batch file hands
// them to the render node that converts the file, which then need not read the source again:
// a node that finds the source changed since reads it anew.

#include "core/files/runjournal.h"
#include "core/media/mediaprobe.h"

#include <QByteArray>
#include <optional>

struct SourceFacts
{
    FileState state; // as the source was when it was read
    MediaInfo info;
};

// One line of compact JSON; the facts ffprobe gave are written as ffprobe writes them, so
// that parseProbe reads them back as they were.
QByteArray sourceFactsText(const SourceFacts &facts);
// Nothing for a text that is not such a line.
std::optional<SourceFacts> parseSourceFacts(const QByteArray &text);
