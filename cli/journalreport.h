#pragma once

// What a destination's journal says of every output, in the words of the run's report.

#include <QString>

// Prints one line per output the journal knows (its newest entry), sorted by path: converted,
// or not converted and why. Returns the exit status: 0 when every output is verified and
// still as it was written.
int printJournalReport(const QString &destination);
