#include "convert/conversionrun.h"

#include "engine/deletewrongengine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

int enginesFolderEntryCount()
{
    return QDir(enginesFolder()).entryList(QDir::AllEntries).size();
}

QString resolveEngine()
{
    const QString engine = enginesFolder() + QLatin1String("ffmpeg");
    return QFile::exists(engine) ? engine : QStringLiteral("ffmpeg ");
}

bool outputProduced(int exitStatus, const QString &outputPath)
{
    if (exitStatus != 0)
        return false;
    const QFileInfo info(outputPath);
    if (!info.isFile() || info.size() < MinimumOutputSize)
        return false;
    // Root may write anywhere: a file without write permission counts as stale all the same.
    if (!(info.permissions() & QFileDevice::WriteOwner))
        return false;
    QFile file(outputPath);
    return file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly);
}

QString reportText(const QStringList &notConverted)
{
    if (notConverted.isEmpty())
        return QStringLiteral("Success! All your files were converted! PLease check destination!");
    QString list;
    for (int i = 0; i < notConverted.size(); ++i)
        list = QLatin1Char('\n') + list + QLatin1Char('\n') + QString::number(i)
               + QLatin1String("-->") + notConverted.at(i);
    return QStringLiteral("The Following Files were not converted :\n ") + list;
}

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
