#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

// Hands out output paths so that no output of a run overwrites a source of the run or
// an output written earlier in it: a taken name A.MOV becomes A_2.MOV, A_3.MOV, ... A name
// too long for the disk (255 bytes) is shortened first.
class OutputNames
{
public:
    explicit OutputNames(const QStringList &sources);
    QString claim(const QString &candidate);

private:
    // One spelling per file: the canonical folder (when it exists) and the file name.
    QString fileKey(const QString &path);
    // A batch holds many files of few folders: each folder is resolved once.
    QHash<QString, QString> m_canonicalFolders;
    QSet<QString> m_taken;
};

// The name of the n-th alternative for a path: before the last dot of the file name,
// or at the end when the name has none, shortened to fit the disk.
QString numberedName(const QString &path, int n);
