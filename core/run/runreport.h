#pragma once

// The run's words: the report, its details, and the line that tells how far the run is.

#include "core/run/runoutcome.h"

#include <QList>
#include <QString>
#include <QStringList>

QString reportText(const QStringList &notConverted);
inline const QString FinishedText = QStringLiteral(
    "Finished.Please check the destination folder for results,FFmpeg script is located on "
    "desktop for debug!");

inline const QString StoppedText = QStringLiteral("stopped");
inline const QString NotStartedText = QStringLiteral("not started");
inline const QString AlreadyConvertedText = QStringLiteral("already converted");
// The output's name leads to the source itself (a folder mounted twice, a disk that does not
// tell case apart); the file is left alone.
inline const QString OutputIsSourceText = QStringLiteral("the output's name leads to its source, which is kept");
// Another process (a render node, the same batch run twice) is writing the output right now.
inline const QString BeingWrittenText = QStringLiteral("being written by another run");
// "%1" how many partial files an earlier, interrupted run had left beside the outputs.
inline const QString LeftoversRemovedText = QStringLiteral("Partial files left by an earlier run, removed: %1");

struct ReportLine
{
    QString output;
    Outcome outcome = Outcome::NotStarted;
    QString reason;
    QStringList notes = {};  // said after the output's line when its engine ran
};
// One line per output saying what became of it (and its notes), then the run's own remarks
// (each a line).
QString reportDetails(const QList<ReportLine> &lines, bool probed, const QString &remark);

// The outputs need more room than the destination has free: the question whether to run anyway.
QString roomShortText(qint64 needed, qint64 free);
// The details' line of a run that a full destination stopped.
QString noSpaceStopText(const QString &destination);

// "reading the sources: N of M", while the run reads every source before the first engine.
QString readingLine(int read, int total);
// "N of M files done (K already converted), about ... left - now: a.mov, b.mov"; leftMs
// negative: not known yet. The files done include those already converted.
QString progressLine(int finished, int total, qint64 leftMs, const QStringList &running,
                     int alreadyConverted = 0);
