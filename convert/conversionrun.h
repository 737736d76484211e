#pragma once

// The parts of RUN IT NOW that need no window: the engine, the output check, the names
// of the outputs and the report.

#include <QSet>
#include <QString>
#include <QStringList>

// Entries in the engines folder, "." and ".." included; 0 when the folder is missing.
int enginesFolderEntryCount();
// The engines folder's "ffmpeg" when it exists, otherwise the bare name "ffmpeg ".
QString resolveEngine();

// An output counts as produced only when the engine exited with status 0 and the
// output is a writable file of at least 2000 bytes. Creates no file.
bool outputProduced(int exitStatus, const QString &outputPath);
inline constexpr qint64 MinimumOutputSize = 2000;

QString reportText(const QStringList &notConverted);
inline const QString FinishedText = QStringLiteral(
    "Finished.Please check the destination folder for results,FFmpeg script is located on "
    "desktop for debug!");

// Hands out output paths so that no output of a run overwrites a source of the run or
// an output written earlier in it: a taken name A.MOV becomes A_2.MOV, A_3.MOV, ...
class OutputNames
{
public:
    explicit OutputNames(const QStringList &sources);
    QString claim(const QString &candidate);

private:
    bool isTaken(const QString &path) const;
    QSet<QString> m_taken;
};

// The name of the n-th alternative for a path: before the last dot of the file name,
// or at the end when the name has none.
QString numberedName(const QString &path, int n);
