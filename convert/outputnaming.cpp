#include "convert/outputnaming.h"

#include "app/pathhelpers.h"

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

} // namespace

QString makeOutputPath(QStringList &sourceDirs, QString &destinationDir, const QString &fajl,
                       const QString &ekstenzija)
{
    const QFileInfo source(QLatin1Char('/') + fajl);
    const QString base = baseWithDot(source.fileName());

    if (!endsWithSeparator(destinationDir))
        destinationDir += QLatin1Char('/');

    // Empty for a folder that does not exist, which then matches no source entry.
    const QString folder = takeoutduplicatehash(
            QLatin1Char('/') + QDir(source.absolutePath()).canonicalPath() + QLatin1Char('/'));

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

    if (matched.isEmpty())
        return takeoutspecial(takeoutduplicatehash(destinationDir + base + ekstenzija));

    QString parent = oddeliimeodpat2(matched);
    if (endsWithSeparator(parent))
        parent.chop(1);
    parent = oddeliimeodpat2(parent);
    const QString relative = folder.mid(parent.size());

    // The folder is cleaned like the result, so that the output lands in a folder that exists
    // even when the source path holds "|" or "*".
    const QString outputFolder =
            takeoutspecial(takeoutduplicatehash(changehashdirection(destinationDir + relative)));
    QDir().mkpath(outputFolder); // a failure shows later as a missing output
    return takeoutspecial(takeoutduplicatehash(
            changehashdirection(destinationDir + relative + QLatin1Char('/') + base + ekstenzija)));
}
