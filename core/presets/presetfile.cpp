#include "core/presets/presetfile.h"

#include "core/base/pathhelpers.h"
#include "core/shell/commands.h"
#include "core/base/workingfolder.h"

#include <QDebug>
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

QString presetsFilePath()
{
    return bundlePath(QStringLiteral("presets.txt"));
}

QString presetLine(const QString &name, const QString &arguments, const QString &extension)
{
    return QLatin1Char('*') + name.toUpper() + QLatin1Char('*') + arguments + QLatin1Char('*')
           + extension;
}

QString presetRefusal(const QString &name, const QString &arguments, const QString &extension)
{
    if (arguments.trimmed().isEmpty() || extension.trimmed().isEmpty())
        return QStringLiteral("A preset needs its arguments and the extension of the resulting "
                              "file (MOV, AVI, DV etc.).");
    // "*" divides the fields of the preset's line and "|" ends a file's setting in the form:
    // either in the wrong field would give the engine other arguments or the output another
    // extension than the ones typed. The engine's line drops both from the arguments.
    const auto mark = [](const QString &field) {
        return field.contains(QLatin1Char('*')) || field.contains(QLatin1Char('|'));
    };
    if (mark(name) || mark(arguments) || mark(extension))
        return QStringLiteral("A preset cannot hold \"*\" or \"|\".");
    // A pasted line break would end the preset's line in the presets file: read back, the
    // preset would be torn in two, neither of them the one made.
    const auto lineEnd = [](const QString &field) {
        return field.contains(QLatin1Char('\n')) || field.contains(QLatin1Char('\r'));
    };
    if (lineEnd(name) || lineEnd(arguments) || lineEnd(extension))
        return QStringLiteral("A preset must stand on one line: its fields cannot hold a line break.");
    // The extension ends the output's name; with a "/" it would lead the output into another
    // folder, with ".." out of the destination.
    if (extension.contains(QLatin1Char('/')))
        return QStringLiteral("The extension of the resulting file cannot hold \"/\".");
    if (!shellWords(arguments))
        return QStringLiteral("The arguments of a preset must not leave a quote or a backslash "
                              "open.");
    return QString();
}

QString presetLineRefusal(const QString &line)
{
    if (!line.startsWith(QLatin1Char('*')))
        return QString();
    // Whatever follows the third "*" is taken for the extension, so that a line of more than
    // four fields is refused for its "*".
    return presetRefusal(line.section(QLatin1Char('*'), 1, 1), line.section(QLatin1Char('*'), 2, 2),
                         line.section(QLatin1Char('*'), 3));
}

void savepreset(std::string line)
{
    savepresets({QString::fromStdString(line)});
}

void savepresets(const QStringList &lines)
{
    if (lines.isEmpty())
        return;
    // The file is written whole, the old lines and the new ones, so that a crash while
    // saving never leaves half a presets file.
    const QString path = presetsFilePath();
    QFile old(path);
    QByteArray bytes;
    if (old.open(QIODevice::ReadOnly))
        bytes = old.readAll();
    else if (old.exists())
        return; // rewriting it would lose the presets it holds
    // A file last saved by an editor may end without a line end: appended to that last
    // line, the new preset would be lost in it at the next start.
    if (!bytes.isEmpty() && !bytes.endsWith('\n'))
        bytes.append('\n');
    for (const QString &line : lines)
        bytes.append(line.toUtf8()).append('\n');
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size())
        file.commit(); // a preset not saved stays in the form that made it: nothing to tell
}

QStringList presetLines(const QByteArray &bytes)
{
    QStringList lines;
    // Windows editors save "Unicode" as UTF-16 after a byte order mark.
    const std::optional<QStringConverter::Encoding> marked = QStringConverter::encodingForData(bytes);
    if (marked && *marked != QStringConverter::Utf8) {
        lines = QString(QStringDecoder(*marked).decode(bytes)).split(QLatin1Char('\n'));
        for (QString &line : lines) {
            if (line.endsWith(QLatin1Char('\r')))
                line.chop(1);
        }
        return lines;
    }
    for (QByteArray line : bytes.split('\n')) {
        // A file edited on Windows ends its lines in a carriage return too, which would
        // otherwise end the extension and so the output's name.
        if (line.endsWith('\r'))
            line.chop(1);
        // The decoder drops a byte order mark, which would hide the "*" that begins a preset.
        QStringDecoder utf8(QStringConverter::Utf8);
        const QString text = utf8.decode(line);
        // Older versions wrote Latin-1, which is seldom valid UTF-8.
        lines.append(utf8.hasError() ? QString::fromLatin1(line) : text);
    }
    return lines;
}

QStringList loadpresets()
{
    const QString path = presetsFilePath();
    qDebug() << path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // Splitting at every line feed gives a file ending in one a further, empty, line; the
    // form skips it with the other short lines.
    return presetLines(file.readAll());
}
