#pragma once

// Every command line the program hands to the shell is built here.

#include <QString>

// "path" between double quotes; inside them \ " $ and ` are escaped, so the shell
// sees exactly this path and runs nothing else.
QString shellQuote(const QString &path);
// The path unchanged when it holds only characters the shell takes literally,
// otherwise shellQuote(path).
QString shellWord(const QString &path);

// The engine arguments as they go on the line: the field marks removed and separator
// pairs collapsed; arguments holding shell-special characters are split into words and
// each word quoted.
QString engineArguments(const QString &arguments);
// The conversion engine line. engine is the engine path (a full path, or the bare
// name followed by a blank), sourcePath the job entry's path (a "/" is put in front),
// arguments the assigned engine arguments, outputPath the output file.
QString engineCommand(const QString &engine, const QString &sourcePath, const QString &arguments,
                      const QString &outputPath);
// Working folder + "/VeltroanBatchConverter.app/ffplay " + the quoted file.
QString playerCommand(const QString &filePath);
// "open " + the quoted folder.
QString openFolderCommand(const QString &folder);
// "open " + the job script's path.
QString openJobScriptCommand();

inline constexpr const char *PlayerProbe = "./ffplay";
inline constexpr const char *EngineProbe = "./ffmpeg";
inline constexpr const char *WhichProbe = "/usr/bin/which ffmpeg >>gokipoki.txt";

