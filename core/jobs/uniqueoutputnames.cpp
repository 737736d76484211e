#include "core/jobs/uniqueoutputnames.h"

#include <QDir>
#include <QFileInfo>

OutputNames::OutputNames(const QStringList &sources)
{
    for (const QString &source : sources)
        m_taken.insert(fileKey(source));
}

QString OutputNames::fileKey(const QString &path)
{
    const QFileInfo info(path);
    const QString absoluteFolder = info.absolutePath();
    auto known = m_canonicalFolders.constFind(absoluteFolder);
    if (known == m_canonicalFolders.cend()) {
        const QString folder = QFileInfo(absoluteFolder).canonicalFilePath();
        // A folder that does not exist yet is asked again next time.
        if (folder.isEmpty())
            return QDir::cleanPath(info.absoluteFilePath());
        known = m_canonicalFolders.insert(absoluteFolder, folder);
    }
    return QDir::cleanPath(*known + QLatin1Char('/') + info.fileName());
}

QString OutputNames::claim(const QString &candidate)
{
    QString name = candidate;
    QString key = fileKey(name);
    for (int n = 2; m_taken.contains(key); ++n) {
        name = numberedName(candidate, n);
        key = fileKey(name);
    }
    m_taken.insert(key);
    return name;
}

QString numberedName(const QString &path, int n)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    const QString number = QLatin1Char('_') + QString::number(n);
    if (dot <= slash + 1)
        return path + number;
    return path.left(dot) + number + path.mid(dot);
}
