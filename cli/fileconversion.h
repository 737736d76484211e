#pragma once

// One file converted or copied exactly as a run does it (the same RunTask), then said in the
// run's own words.

#include "core/run/runtask.h"

#include <QString>
#include <optional>

// Converts or copies job's source to output, which lies under destination; a copy's hash goes
// into the destination's checksum file. The report's line goes to standard output, or on
// failure to standard error. SIGINT, SIGTERM and SIGHUP stop the engine or the copy and leave
// nothing half-written. facts: what the desktop run read of the source, taken instead of
// reading it again while the source is as it was. Returns the exit status: 0 when the output
// is verified.
int convertFile(const ConversionJob &job, const QString &output, const QString &destination,
                const Engine &engine, const std::optional<SourceFacts> &facts = std::nullopt);
