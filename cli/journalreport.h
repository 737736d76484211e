#pragma once

// What a destination's journal says of every output, in the words of the run's report.

#include <QString>

// Why a report has no output to tell of.
inline const QString NoJournalText = QStringLiteral("no file was converted there (no journal)");
inline const QString NoWholeLineText = QStringLiteral("no file was converted there (no whole line in its journal)");
// "%1" the system's reason.
inline const QString UnreadableJournalText = QStringLiteral("its journal cannot be read: %1");

// Prints one line per output the journal knows (its newest entry), sorted by path: converted,
// or not converted and why. Returns the exit status: 0 when every output is verified and
// still as it was written.
int printJournalReport(const QString &destination);
