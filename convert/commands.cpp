#include "convert/commands.h"

#include "app/pathhelpers.h"
#include "convert/jobscript.h"

#include <QProcess>
#include <algorithm>
#include <cstring>

static bool isShellLiteral(QChar c)
{
    if (c.unicode() >= 0x80)
        return false;
    const char ch = char(c.unicode());
    return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9')
           || (ch != '\0' && std::strchr("_@%+=:,./-", ch) != nullptr); // strchr finds the NUL
}

QString shellQuote(const QString &path)
{
    QString quoted;
    quoted.reserve(path.size() + 2);
    quoted.append(QLatin1Char('"'));
    for (const QChar c : path) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"') || c == QLatin1Char('$')
            || c == QLatin1Char('`'))
            quoted.append(QLatin1Char('\\'));
        quoted.append(c);
    }
    quoted.append(QLatin1Char('"'));
    return quoted;
}

QString shellWord(const QString &path)
{
    if (path.isEmpty())
        return shellQuote(path);
    for (const QChar c : path) {
        if (!isShellLiteral(c))
            return shellQuote(path);
    }
    return path;
}

QString engineArguments(const QString &arguments)
{
    const QString cleaned = takeoutduplicatehash(takeoutspecial(arguments));
    const bool plain = std::all_of(cleaned.cbegin(), cleaned.cend(), [](QChar c) {
        return c == QLatin1Char(' ') || isShellLiteral(c);
    });
    if (plain)
        return cleaned;
    // Arguments from a preset file must not start a command of their own: split them
    // into words (double quotes group) and quote each word.
    QStringList words = QProcess::splitCommand(cleaned);
    for (QString &word : words)
        word = shellWord(word);
    return words.join(QLatin1Char(' '));
}

QString engineCommand(const QString &engine, const QString &sourcePath, const QString &arguments,
                      const QString &outputPath)
{
    // The bare name "ffmpeg " is looked up on PATH and already ends in its separator.
    const QString enginePart =
        engine.endsWith(QLatin1Char(' ')) ? engine : shellWord(collapseSlashes(engine));
    // Only the argument text is cleaned: the paths must reach the engine as they are on disk.
    const QString source = collapseSlashes(QLatin1Char('/') + sourcePath);
    // -map_metadata 0: without it the engine drops the source's creation time.
    return enginePart + QLatin1String("  -i ") + shellQuote(source)
           + QLatin1String(" -y -map_metadata 0 ")
           + engineArguments(arguments) + QLatin1Char(' ')
           + shellQuote(collapseSlashes(outputPath));
}

QString playerCommand(const QString &filePath)
{
    return shellWord(bundlePath(QStringLiteral("ffplay"))) + QLatin1Char(' ')
           + shellQuote(filePath);
}

QString openFolderCommand(const QString &folder)
{
    return QLatin1String("open ") + shellQuote(folder);
}

QString openJobScriptCommand()
{
    return QLatin1String("open ") + shellWord(jobScriptPath());
}
