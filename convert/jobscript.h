#pragma once

#include <QString>

// HOME, or the home folder of the user running the program when HOME is not set.
QString homeFolder();
// homeFolder() + "/Desktop/log_file.txt"
QString jobScriptPath();

// homeFolder() + "/Desktop/batch_file.txt": a run's engine commands, one per line, plain
// text, for running them again elsewhere (GNU parallel takes it as it is).
QString batchFilePath();
bool writeBatchFile(const QStringList &commands);

// homeFolder() + "/Desktop/log_file_engines.txt": every engine's own messages of a run.
QString engineLogPath();
void startEngineLog();
void appendEngineLog(const QString &command, const QByteArray &messages);

// Appends text and a line feed as one entry (with its own byte-order mark).
void logthis3(QString text);
void deletejobfile();
