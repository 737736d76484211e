#include "core/base/workingfolder.h"

#include <QFile>
#include <pwd.h>
#include <unistd.h>

static std::string workingFolder()
{
    char buffer[1024];
    if (!getcwd(buffer, sizeof buffer))
        return std::string();
    return std::string(buffer);
}

std::string get_working_path()
{
    return workingFolder();
}

std::string get_working_path1()
{
    return workingFolder();
}

QString bundlePath(const QString &inside)
{
    return QString::fromStdString(get_working_path()) + QLatin1String("/VeltroanBatchConverter.app/")
           + inside;
}

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

QString engineLogPath()
{
    return homeFolder() + QLatin1String("/Desktop/log_file_engines.txt");
}
