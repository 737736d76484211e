#include "core/jobs/uniqueoutputnames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
constexpr qsizetype NameMax = 255; // bytes of one name on the disk

// The path with number put before the last dot of the file name, or at the end when the name
// has none; a name that would not fit on the disk loses whole characters before the number.
QString nameWithin(const QString &path, const QString &number)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot <= slash + 1)
        dot = path.size();
    QString stem = path.mid(slash + 1, dot - slash - 1);
    const QString tail = number + path.mid(dot);
    const qsizetype room = NameMax - QFile::encodeName(tail).size();
    while (!stem.isEmpty() && QFile::encodeName(stem).size() > room)
        stem.chop(stem.size() > 1 && stem.back().isLowSurrogate() ? 2 : 1);
    return path.left(slash + 1) + stem + tail;
}
} // namespace

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
    QString name = nameWithin(candidate, {});
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
    return nameWithin(path, QLatin1Char('_') + QString::number(n));
}
