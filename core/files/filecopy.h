#pragma once

#include <QString>
#include <atomic>

// Copies oldFilePath to newFilePath byte for byte through a 16000-byte buffer.
// True when the paths name the same file (left untouched) or the whole file was
// copied and is on the disk; false when a file could not be opened, a read or write
// failed or the source went away.
bool SRCopyFile2(QString oldFilePath, QString newFilePath);

// Lets a copy running on another thread be followed and stopped.
struct CopyControl
{
    const std::atomic<bool> *cancel = nullptr; // set: the copy ends, unfinished
    std::atomic<qint64> *copied = nullptr;     // bytes copied so far
    QString error;                             // why the copy failed, as the system says
};

// What a failed copy's error starts with when the system's message alone would not say
// which file it is about; the system's message follows after ": ".
inline const QString SourceLostText = QStringLiteral("the source went away during the copy");
inline const QString DestinationMissingText = QStringLiteral("the destination folder is missing");
inline const QString DestinationReadOnlyText = QStringLiteral("the destination cannot be written");

// Writes all of data to the descriptor, going on after a partial write or an interruption.
// false with errno set when it could not: a disk that fills up takes part of a write and
// refuses the next one with its reason.
bool writeAll(int to, const char *data, qint64 size);

// The system's own words for an errno value.
QString systemMessage(int error);

// Why a file cannot be written in its folder, for a reason that the system's words alone
// would leave unclear (no folder, a folder that cannot be written).
QString destinationMessage(int error);

// Makes the folder the file at path goes in, with every folder above it, when missing;
// 0, or the errno of why it cannot be there (ENOTDIR where a file has one of the names).
int makeFolderOf(const QString &path);

// The same copy; with traceMarkers the progress markers go to the debug channel.
bool copyFile(const QString &oldFilePath, const QString &newFilePath, bool traceMarkers,
              CopyControl *control = nullptr);

// Gives `to` the last access and modification times of `from`; false when it cannot.
bool copyFileTimes(const QString &from, const QString &to);

// Whether two path strings name one existing file (same device and inode).
bool isSameFile(const QString &first, const QString &second);
