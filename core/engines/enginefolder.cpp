#include "core/engines/enginefolder.h"

#include "core/base/pathhelpers.h"
#include "core/base/workingfolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString enginesFolder()
{
    return bundlePath(QStringLiteral("engines/"));
}

int enginesFolderEntryCount()
{
    return QDir(enginesFolder()).entryList(QDir::AllEntries).size();
}

Engine resolveEngine()
{
    const QString engine = enginesFolder() + QLatin1String("ffmpeg");
    if (QFile::exists(engine))
        return {engine, false};
    return {QStringLiteral("ffmpeg"), true};
}

QString findProbe(const QString &engine)
{
    const QString name = QStringLiteral("/ffprobe");
    const QFileInfo info(engine.trimmed());
    if (info.isAbsolute()) {
        QStringList folders{info.absolutePath()};
        const QString target = info.canonicalFilePath();
        if (!target.isEmpty())
            folders.append(QFileInfo(target).absolutePath());
        for (const QString &folder : std::as_const(folders)) {
            const QFileInfo probe(folder + name);
            if (probe.isFile() && probe.isExecutable())
                return probe.absoluteFilePath();
        }
    }
    return QStandardPaths::findExecutable(name.mid(1));
}
