#pragma once

#include <QString>

// Copies oldFilePath to newFilePath byte for byte through a 16000-byte buffer.
// True when the paths name the same file (left untouched) or the whole file was
// copied; false when a file could not be opened or a read or write failed.
bool SRCopyFile2(QString oldFilePath, QString newFilePath);

// The same copy; with traceMarkers the progress markers go to the debug channel.
bool copyFile(const QString &oldFilePath, const QString &newFilePath, bool traceMarkers);

// Whether two path strings name one existing file (same device and inode).
bool isSameFile(const QString &first, const QString &second);
