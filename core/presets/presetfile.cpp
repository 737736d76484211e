#include "core/presets/presetfile.h"

#include "core/base/pathhelpers.h"
#include "core/shell/commands.h"
#include "core/base/workingfolder.h"

#include <QDebug>
#include <QFile>
#include <fstream>

QString presetsFilePath()
{
    return bundlePath(QStringLiteral("presets.txt"));
}

QString presetLine(const QString &name, const QString &arguments, const QString &extension)
{
    return QLatin1Char('*') + name.toUpper() + QLatin1Char('*') + arguments + QLatin1Char('*')
           + extension;
}

QString presetRefusal(const QString &arguments, const QString &extension)
{
    if (arguments.trimmed().isEmpty() || extension.trimmed().isEmpty())
        return QStringLiteral("A preset needs its arguments and the extension of the resulting "
                              "file (MOV, AVI, DV etc.).");
    if (!shellWords(arguments))
        return QStringLiteral("The arguments of a preset must not leave a quote or a backslash "
                              "open.");
    return QString();
}

QString presetLineRefusal(const QString &line)
{
    if (!line.startsWith(QLatin1Char('*')))
        return QString();
    return presetRefusal(line.section(QLatin1Char('*'), 2, 2),
                         line.section(QLatin1Char('*'), 3, 3));
}

void savepreset(std::string line)
{
    std::ofstream file(QFile::encodeName(presetsFilePath()).constData(),
                       std::ios::out | std::ios::app | std::ios::binary);
    if (!file.is_open())
        return; // the preset stays in the form that made it; nothing to tell the user
    file << line << '\n';
    file.flush();
}

QStringList loadpresets()
{
    const QString path = presetsFilePath();
    qDebug() << path;
    QStringList lines;
    std::ifstream file(QFile::encodeName(path).constData(), std::ios::in | std::ios::binary);
    if (!file.is_open())
        return lines;
    // Testing before each read gives a file ending in a line feed one more, empty, line;
    // the form skips it with the other short lines.
    while (file.good()) {
        std::string line;
        std::getline(file, line);
        lines.append(QString::fromLatin1(line.data(), qsizetype(line.size())));
    }
    return lines;
}
