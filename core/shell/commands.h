#pragma once

// Every command line the program hands to the shell is built here.

#include <QString>
#include <QStringList>
#include <optional>

// "path" between double quotes; inside them \ " $ and ` are escaped, so the shell
// sees exactly this path and runs nothing else.
QString shellQuote(const QString &path);
// The path unchanged when it holds only characters the shell takes literally,
// otherwise shellQuote(path).
QString shellWord(const QString &path);

// The words the shell makes of text, quotes and backslashes honoured, nothing expanded
// and no operator recognised (a "#" at the start of a word ends the text); nothing when
// a quote or a trailing backslash is left open.
std::optional<QStringList> shellWords(const QString &text);

// The engine arguments as they go on the line: the field marks removed and separator
// pairs collapsed. A text without operators, expansions, globs or comments stays as
// typed; any other is split into its shellWords, each quoted, so that it can neither
// start a command nor swallow the output path. A text the shell cannot split becomes
// one quoted word, which the engine refuses.
QString engineArguments(const QString &arguments);
// The conversion engine: a program at a full path, or a name the shell looks up on its
// search path.
struct Engine
{
    QString program;
    bool onSearchPath = false;
};

// The conversion engine line. sourcePath is the source file, arguments the assigned engine
// arguments, outputPath the output file. options (already words of the shell) go just before
// the output path.
QString engineCommand(const Engine &engine, const QString &sourcePath, const QString &arguments,
                      const QString &outputPath, const QString &options = {});
// Working folder + "/VeltroanBatchConverter.app/ffplay " + the quoted file.
QString playerCommand(const QString &filePath);
// "open " + the quoted folder.
QString openFolderCommand(const QString &folder);
// "open " + the job script's path.
QString openJobScriptCommand();

inline constexpr const char *PlayerProbe = "./ffplay";
inline constexpr const char *EngineProbe = "./ffmpeg";
inline constexpr const char *WhichProbe = "/usr/bin/which ffmpeg >>gokipoki.txt";

