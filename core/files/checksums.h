#pragma once

// xxHash checksums of copied files, and the checksum file that `xxhsum -c` reads.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

struct CopyControl;

// The file's XXH3 128-bit hash as the hex text xxhsum prints; empty when it cannot be read
// or the control's cancel is set. Bytes read are added to the control's count.
QByteArray fileHash(const QString &path, CopyControl *control = nullptr);

// Copies source to target (copyFile) while a second thread hashes the source, then reads the
// copy back from the disk (copyFile leaves none of it in the cache). Returns the hash the two
// share; empty when the copy failed, was cancelled or its bytes differ from the source's, with
// `reason` saying which ("copy failed: " and the copy's error, "the copy differs from its
// source"). A failed or cancelled copy may leave target behind.
QByteArray copyAndVerify(const QString &source, const QString &target, CopyControl &control,
                         QString *reason);

inline const QString ChecksumFileName = QStringLiteral("checksums.xxh128");

// Whether text can stand on one line of a file of lines (the checksum file, the batch file):
// a line break in a name would split it.
bool fitsOnOneLine(const QString &text);

// Adds lines for the files (paths relative to folder, with their hashes) to folder's
// checksum file, replacing older lines for the same files. A name that does not fit on one
// line (fitsOnOneLine) cannot be written in that format and is left out.
bool recordChecksums(const QString &folder, const QList<QPair<QString, QByteArray>> &files,
                     QString *error);
