#include "core/files/renameover.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

bool renameOver(const QString &from, const QString &to, QString *error)
{
    // QFile::rename would refuse an existing target; rename(2) replaces it atomically.
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    *error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}
