#pragma once

// The files a run leaves on the Desktop (paths in core/base/workingfolder.h). Each is written
// into the Desktop folder, which is made when it is missing. The functions that return text
// return an empty one when the file was written, or else a line for the report saying which
// file could not be written where and why (DesktopFileNotWrittenText).

#include "core/shell/commands.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// "%1" the file's path, "%2" the system's reason.
inline const QString DesktopFileNotWrittenText = QStringLiteral("%1 could not be written: %2");

// The batch file: one command per line, plain text, for running the batch again elsewhere
// (GNU parallel takes it as it is). A command holding a line break is left out.
QString writeBatchFile(const QStringList &commands);
// "%1" the file of lines (batch_file.txt, the checksum file), "%2" the file it leaves out.
inline const QString LeftOutText = QStringLiteral("left out of %1, as its name holds a line break: %2");

// The headless command that converts or copies one file as a run does, and its options. The
// batch file calls it once a line, found on the search path: a batch file written on one
// machine then runs on any other that has it installed.
namespace NodeCommand {
inline const QString Name = QStringLiteral("orlenne-convert");
inline const QString Destination = QStringLiteral("destination");
inline const QString Arguments = QStringLiteral("arguments");
inline const QString Copy = QStringLiteral("copy");
inline const QString EngineOption = QStringLiteral("engine");
inline const QString Report = QStringLiteral("report");
inline const QString SourceFactsOption = QStringLiteral("source-facts");

// The engine as a batch line gives it: the ffmpeg on the search path, by name, when engine is
// that very program (or a link to it, as the set-up lays out the bundle); else engine itself.
// Asked once a batch: it searches the path.
Engine batchEngine(const Engine &engine);
// The call for one file, every value quoted. An engine other than ffmpeg on the search path
// is named, so that every machine runs the engine this one ran. sourceFacts (sourceFactsText),
// when given, spare the node reading the source again.
QString line(const Engine &engine, const QString &destination, const QString &source,
             const QString &output, const QString &arguments, bool copyOnly,
             const QByteArray &sourceFacts = {});
} // namespace NodeCommand

// The engine log: every engine's own messages of a run.
QString startEngineLog();
QString appendEngineLog(const QString &command, const QByteArray &messages);

// Appends text and a line feed to the job script as one entry (with its own byte-order mark).
QString jobScriptEntry(QString text);
// The same, for callers that go on whatever happened.
void logthis3(QString text);
void deletejobfile();
