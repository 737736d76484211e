#include "core/shell/commands.h"

#include "core/base/pathhelpers.h"
#include "core/base/workingfolder.h"

#include <QDebug>
#include <algorithm>
#include <cstring>
#include <glib.h>

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

std::optional<QStringList> shellWords(const QString &text)
{
    QStringList words;
    gint count = 0;
    gchar **argv = nullptr;
    GError *error = nullptr;
    if (g_shell_parse_argv(text.toUtf8().constData(), &count, &argv, &error)) {
        for (gint i = 0; i < count; ++i)
            words.append(QString::fromUtf8(argv[i]));
        g_strfreev(argv);
        return words;
    }
    const bool blank = g_error_matches(error, G_SHELL_ERROR, G_SHELL_ERROR_EMPTY_STRING);
    g_error_free(error);
    if (blank)
        return words;
    return std::nullopt;
}

QString engineArguments(const QString &arguments)
{
    // A NUL would end the whole command line, the output path with it.
    QString cleaned = takeoutduplicatehash(takeoutspecial(arguments)).remove(QChar(0));
    const std::optional<QStringList> words = shellWords(cleaned);
    if (!words)
        return shellQuote(cleaned);
    // Without these the shell only splits words and removes quotes, as GLib does. With
    // them it could run or expand something: the words GLib found are quoted instead.
    const QLatin1String active("$`;|&<>()*?[#~\n");
    const bool asTyped = std::none_of(cleaned.cbegin(), cleaned.cend(), [&](QChar c) {
        return active.contains(c);
    });
    if (asTyped)
        return cleaned;
    QStringList quoted = *words;
    for (QString &word : quoted)
        word = shellWord(word);
    return quoted.join(QLatin1Char(' '));
}

QString engineCommand(const Engine &engine, const QString &sourcePath, const QString &arguments,
                      const QString &outputPath, const QString &options)
{
    // A name on the search path stands bare, followed by a blank, as it always has.
    const QString enginePart = engine.onSearchPath ? engine.program + QLatin1Char(' ')
                                                   : shellWord(collapseSlashes(engine.program));
    const QString extra = options.isEmpty() ? QString() : options + QLatin1Char(' ');
    // Only the argument text is cleaned: the paths must reach the engine as they are on disk.
    // -map_metadata 0: without it the engine drops the source's creation time.
    return enginePart + QLatin1String("  -i ") + shellQuote(collapseSlashes(sourcePath))
           + QLatin1String(" -y -map_metadata 0 ") + engineArguments(arguments)
           + QLatin1Char(' ') + extra + shellQuote(collapseSlashes(outputPath));
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
