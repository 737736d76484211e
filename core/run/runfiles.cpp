#include "core/run/runfiles.h"

#include "core/base/workingfolder.h"

#include <QFile>
#include <QSaveFile>
#include <QTextStream>




bool writeBatchFile(const QStringList &commands)
{
    QSaveFile file(batchFilePath());
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (const QString &command : commands) {
        // A file name holding a line break cannot stand on one line; that file is only
        // in the job script.
        if (!command.contains(QLatin1Char('\n')) && !command.contains(QLatin1Char('\r')))
            file.write(command.toUtf8() + '\n');
    }
    return file.commit();
}


void startEngineLog()
{
    QFile file(engineLogPath());
    file.open(QIODevice::WriteOnly); // without a Desktop folder there is no log; nothing to tell
}

void appendEngineLog(const QString &command, const QByteArray &messages)
{
    QFile file(engineLogPath());
    if (!file.open(QIODevice::Append))
        return;
    file.write("$ " + command.toUtf8() + '\n' + messages);
    if (!messages.endsWith('\n'))
        file.write("\n");
}

void logthis3(QString text)
{
    const QString path = jobScriptPath();
    text += QLatin1Char('\n');

    QFile file(path);
    if (!file.exists()) {
        // Fails without creating anything when the Desktop folder is missing.
        if (!file.open(QIODevice::ReadWrite))
            return;
        file.write("# Start of the file:\n");
        file.close();
    }
    if (!file.open(QIODevice::Append | QIODevice::Text))
        return;
    // A new writer per entry: each entry carries its own byte-order mark.
    QTextStream out(&file);
    out.setEncoding(QStringConverter::Utf8);
    out.setGenerateByteOrderMark(true);
    out << text;
    out.flush();
    file.close();
}

void deletejobfile()
{
    QFile::remove(jobScriptPath());
}
