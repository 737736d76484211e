#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// A source list entry as a folder path: without "file://", between slashes, separator
// pairs collapsed.
QString normalisedSourceDir(const QString &entry);

// The output paths of a run's files: each source folder is resolved, and its output folder
// made, once, however many files it holds.
class OutputPaths
{
public:
    OutputPaths(const QStringList &sourceDirs, const QString &destinationDir);
    // The output path of the source file at sourcePath (absolute) under the destination,
    // mirroring its folders below the first matching source folder (which is created).
    QString outputPath(const QString &sourcePath, const QString &extension);

private:
    QString outputFolder(const QString &sourceFolder) const;
    QString m_destination;
    QStringList m_sourceEntries;
    QHash<QString, QString> m_folders; // source folder, its output folder with a slash
};

// The output path of one source file at sourcePath (absolute) under the destination,
// mirroring its folders below the first matching source folder (which is created).
QString makeOutputPath(const QStringList &sourceDirs, const QString &destinationDir,
                       const QString &sourcePath, const QString &extension);

// The hidden name beside an output that the engine or the copy writes first: the same
// extension, so that the engine picks the same container. index makes a shortened name
// unique when the whole one would be too long.
QString partialPath(const QString &output, int index);
