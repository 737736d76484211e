#include "core/jobs/outputpath.h"

#include "core/base/pathhelpers.h"
#include "core/shell/commands.h"

#include <QDir>
#include <QFileInfo>

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

QString makeOutputPath(QStringList &sourceDirs, QString &destinationDir, const QString &fajl,
                       const QString &ekstenzija)
{
    const QFileInfo source(QLatin1Char('/') + fajl);
    const QString base = baseWithDot(source.fileName());

    // The destination is a folder the user chose on this disk: its name is taken as it is
    // ("|", "*" and backslashes are letters of it), or the outputs would land beside it.
    if (!destinationDir.endsWith(QLatin1Char('/')))
        destinationDir += QLatin1Char('/');
    const QString destination = collapseSlashes(destinationDir);

    // Empty for a folder that does not exist, which then matches no source entry.
    const QString canonical = QDir(source.absolutePath()).canonicalPath();
    const QString folder =
            takeoutduplicatehash(QLatin1Char('/') + canonical + QLatin1Char('/'));

    QString matched;
    for (QString &entry : sourceDirs) {
        if (entry.startsWith(QLatin1String("file://")))
            entry.remove(0, 7);
        entry = takeoutduplicatehash(QLatin1Char('/') + entry + QLatin1Char('/'));
        if (folder.contains(entry)) {
            matched = entry;
            break;
        }
    }

    const QString name = cleanNames(base + ekstenzija);
    if (matched.isEmpty())
        return destination + name;

    QString parent = oddeliimeodpat2(matched);
    if (endsWithSeparator(parent))
        parent.chop(1);
    parent = oddeliimeodpat2(parent);
    // The entry may stand inside the folder's path rather than at its start (a link in the
    // entry): cutting there would give a meaningless relative part, even one beginning with
    // "../", so such a file goes directly into the destination.
    const QString literal = collapseSlashes(QLatin1Char('/') + canonical + QLatin1Char('/'));
    if (!literal.startsWith(parent))
        return destination + name;
    const QString relative = literal.mid(parent.size());

    // The folder is cleaned like the result, so that the output lands in a folder that exists
    // even when the source path holds "|" or "*".
    const QString outputFolder =
            collapseSlashes(destination + cleanNames(relative) + QLatin1Char('/'));
    QDir().mkpath(outputFolder); // a failure shows later as a missing output
    return outputFolder + name;
}
