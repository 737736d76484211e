#pragma once

// The files a run leaves on the Desktop (paths in core/base/workingfolder.h). Each is written
// into the Desktop folder, which is made when it is missing. The functions that return text
// return an empty one when the file was written, or else a line for the report saying which
// file could not be written where and why (DesktopFileNotWrittenText).

#include <QByteArray>
#include <QString>
#include <QStringList>

// "%1" the file's path, "%2" the system's reason.
inline const QString DesktopFileNotWrittenText = QStringLiteral("%1 could not be written: %2");

// The batch file: a run's engine commands, one per line, plain text, for running them again
// elsewhere (GNU parallel takes it as it is).
QString writeBatchFile(const QStringList &commands);

// The engine log: every engine's own messages of a run.
QString startEngineLog();
QString appendEngineLog(const QString &command, const QByteArray &messages);

// Appends text and a line feed to the job script as one entry (with its own byte-order mark).
QString jobScriptEntry(QString text);
// The same, for callers that go on whatever happened.
void logthis3(QString text);
void deletejobfile();
