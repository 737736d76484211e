#include "core/jobs/uniqueoutputnames.h"

#include <QDir>
#include <QFileInfo>

namespace {
// One spelling per file: the canonical folder (when it exists) and the file name.
QString fileKey(const QString &path)
{
    const QFileInfo info(path);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    if (folder.isEmpty())
        return QDir::cleanPath(info.absoluteFilePath());
    return QDir::cleanPath(folder + QLatin1Char('/') + info.fileName());
}
} // namespace

OutputNames::OutputNames(const QStringList &sources)
{
    for (const QString &source : sources)
        m_taken.insert(fileKey(source));
}

bool OutputNames::isTaken(const QString &path) const
{
    return m_taken.contains(fileKey(path));
}

QString OutputNames::claim(const QString &candidate)
{
    QString name = candidate;
    for (int n = 2; isTaken(name); ++n)
        name = numberedName(candidate, n);
    m_taken.insert(fileKey(name));
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
