#include "convert/jobscript.h"

#include <QFile>
#include <QSaveFile>
#include <QTextStream>
#include <pwd.h>
#include <unistd.h>

QString homeFolder()
{
    const QByteArray home = qgetenv("HOME");
    if (!home.isEmpty())
        return QFile::decodeName(home);
    const passwd *user = getpwuid(getuid());
    return user && user->pw_dir ? QFile::decodeName(user->pw_dir) : QString();
}

QString jobScriptPath()
{
    return homeFolder() + QLatin1String("/Desktop/log_file.txt");
}

QString batchFilePath()
{
    return homeFolder() + QLatin1String("/Desktop/batch_file.txt");
}

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

QString engineLogPath()
{
    return homeFolder() + QLatin1String("/Desktop/log_file_engines.txt");
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
