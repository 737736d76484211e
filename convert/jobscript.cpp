#include "convert/jobscript.h"

#include <QFile>
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
