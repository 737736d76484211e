#include "cli/journalreport.h"

#include "core/files/runjournal.h"
#include "core/run/runreport.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cstdio>

namespace {
const QString ChangedText = QStringLiteral("the output was removed or changed after it was verified");
} // namespace

int printJournalReport(const QString &destination)
{
    const Journal journal = readJournal(destination);
    if (journal.isEmpty()) {
        QFile file(QDir(destination).filePath(JournalFileName));
        const QString why = !file.exists()                  ? NoJournalText
                            : file.open(QIODevice::ReadOnly) ? NoWholeLineText
                                                             : UnreadableJournalText.arg(file.errorString());
        std::fprintf(stderr, "%s: %s\n", qPrintable(destination), qPrintable(why));
        return 1;
    }
    QList<JournalEntry> entries = journal.values();
    std::sort(entries.begin(), entries.end(),
              [](const JournalEntry &a, const JournalEntry &b) { return a.output < b.output; });
    QList<ReportLine> lines;
    bool allVerified = true;
    for (const JournalEntry &entry : std::as_const(entries)) {
        const bool standing = fileState(entry.output) == entry.outputState;
        const bool verified = entry.verified && standing;
        allVerified = allVerified && verified;
        lines.append({entry.output, verified ? Outcome::Converted : Outcome::Failed,
                      entry.verified ? ChangedText : entry.reason});
    }
    std::puts(reportDetails(lines, true, {}).toLocal8Bit().constData());
    return allVerified ? 0 : 1;
}
