#pragma once

// The files a run leaves on the Desktop (paths in core/base/workingfolder.h).

#include <QByteArray>
#include <QString>
#include <QStringList>

// The batch file: a run's engine commands, one per line, plain text, for running them again
// elsewhere (GNU parallel takes it as it is).
bool writeBatchFile(const QStringList &commands);

// The engine log: every engine's own messages of a run.
void startEngineLog();
void appendEngineLog(const QString &command, const QByteArray &messages);

// Appends text and a line feed to the job script as one entry (with its own byte-order mark).
void logthis3(QString text);
void deletejobfile();
