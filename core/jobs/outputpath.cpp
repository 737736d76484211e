#include "core/jobs/outputpath.h"

#include "core/base/pathhelpers.h"
#include "core/shell/commands.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace {

bool endsWithSeparator(const QString &text)
{
    return text.endsWith(QLatin1Char('/')) || text.endsWith(QLatin1Char('\\'));
}

// The file name without its last suffix, keeping the dot: A001.mov gives "A001.".
QString baseWithDot(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot + 1);
}

// A name read from the file system, without the field marks "|" and "*". A backslash
// is part of such a name, not a separator: turned into one it could lead the output
// into another folder, or with ".." out of the destination. A component that the
// removal would make "." or ".." gets "_" for its marks for the same reason.
QString cleanNames(const QString &relative)
{
    QStringList components = relative.split(QLatin1Char('/'));
    for (QString &component : components) {
        const QString cleaned = takeoutspecial(component);
        if (cleaned != QLatin1String(".") && cleaned != QLatin1String(".."))
            component = cleaned;
        else
            component.replace(QLatin1Char('|'), QLatin1Char('_')).replace(QLatin1Char('*'), QLatin1Char('_'));
    }
    return collapseSlashes(components.join(QLatin1Char('/')));
}

} // namespace

QString normalisedSourceDir(const QString &entry)
{
    const QString path = entry.startsWith(QLatin1String("file://")) ? entry.mid(7) : entry;
    return takeoutduplicatehash(QLatin1Char('/') + path + QLatin1Char('/'));
}

OutputPaths::OutputPaths(const QStringList &sourceDirs, const QString &destinationDir)
    // The destination is a folder the user chose on this disk: its name is taken as it is
    // ("|", "*" and backslashes are letters of it), or the outputs would land beside it.
    : m_destination(collapseSlashes(destinationDir + QLatin1Char('/')))
{
    for (const QString &text : sourceDirs)
        m_sourceEntries.append(normalisedSourceDir(text));
}

QString OutputPaths::outputPath(const QString &sourcePath, const QString &extension)
{
    const QFileInfo source(collapseSlashes(sourcePath));
    const QString sourceFolder = source.absolutePath();
    auto folder = m_folders.constFind(sourceFolder);
    if (folder == m_folders.cend())
        folder = m_folders.insert(sourceFolder, outputFolder(sourceFolder));
    return *folder + cleanNames(baseWithDot(source.fileName()) + extension);
}

QString OutputPaths::outputFolder(const QString &sourceFolder) const
{
    // Empty for a folder that does not exist, which then matches no source entry.
    const QString canonical = QDir(sourceFolder).canonicalPath();
    const QString folder = takeoutduplicatehash(QLatin1Char('/') + canonical + QLatin1Char('/'));
    // A source folder holds the file when its path begins the folder's: the same names further
    // in (a backup of the home folder on another disk) are another folder.
    const auto matched = std::find_if(m_sourceEntries.cbegin(), m_sourceEntries.cend(),
                                      [&folder](const QString &entry) { return folder.startsWith(entry); });
    if (matched == m_sourceEntries.cend())
        return m_destination;
    QString parent = oddeliimeodpat2(*matched);
    if (endsWithSeparator(parent))
        parent.chop(1);
    parent = oddeliimeodpat2(parent);
    // The entry was matched with backslash pairs collapsed: where the literal path does not
    // begin with its parent, cutting would give a meaningless relative part, even one beginning
    // with "../", so such a file goes directly into the destination.
    const QString literal = collapseSlashes(QLatin1Char('/') + canonical + QLatin1Char('/'));
    if (!literal.startsWith(parent))
        return m_destination;
    const QString relative = literal.mid(parent.size());

    // The folder is cleaned like the names, so that the output lands in a folder that exists
    // even when the source path holds "|" or "*".
    const QString outputFolder = collapseSlashes(m_destination + cleanNames(relative) + QLatin1Char('/'));
    QDir().mkpath(outputFolder); // a failure shows later as a missing output
    return outputFolder;
}

QString makeOutputPath(const QStringList &sourceDirs, const QString &destinationDir,
                       const QString &sourcePath, const QString &extension)
{
    return OutputPaths(sourceDirs, destinationDir).outputPath(sourcePath, extension);
}

QString partialPath(const QString &output, int index)
{
    constexpr qsizetype NameMax = 255;
    const QFileInfo info(output);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    QString name = QLatin1Char('.') + info.completeBaseName() + QLatin1String(".partial") + suffix;
    if (QFile::encodeName(name).size() > NameMax)
        name = QStringLiteral(".orlenne-%1-%2.partial").arg(QCoreApplication::applicationPid()).arg(index)
               + suffix.left(16);
    return info.path() + QLatin1Char('/') + name;
}
