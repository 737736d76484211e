#pragma once

// The destination's journal: one line for each file a run concluded, so that the same batch
// run again skips what is already converted, and a report can be read from the destination
// alone. Lines are appended under the destination's lock, one write each; a line cut short
// by a crash is passed over when the journal is read.

#include "core/files/destinationlock.h"

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

// A file as the journal knows it; size negative: there is no such file.
struct FileState
{
    qint64 size = -1;
    qint64 modifiedNs = 0; // nanoseconds since the epoch
    bool operator==(const FileState &other) const
    {
        return size == other.size && modifiedNs == other.modifiedNs;
    }
    bool operator!=(const FileState &other) const { return !(*this == other); }
};
FileState fileState(const QString &path);
// A state as the journal writes it, and read back; a state that cannot be read is none.
QJsonObject fileStateObject(const FileState &state);
FileState fileStateFrom(const QJsonValue &value);

struct JournalEntry
{
    QString source; // absolute
    FileState sourceState;
    QString arguments; // the setting's arguments; empty for a copy
    bool copy = false;
    QString output; // absolute; the journal stores it relative to the destination
    FileState outputState;
    bool verified = false;
    QString reason;  // why the file is not converted
    QByteArray hash; // a copy's XXH128, as the checksum file has it
};

// Describes source and output as they are on the disk now.
JournalEntry journalEntry(const QString &source, const QString &arguments, bool copy,
                          const QString &output, bool verified, const QString &reason = {},
                          const QByteArray &hash = {});

// The newest entry of each output, by its absolute path; empty when there is no journal.
using Journal = QHash<QString, JournalEntry>;
Journal readJournal(const QString &destinationDir);

// Adds one entry; false with the system's reason when it could not be written.
bool appendJournal(const QString &destinationDir, const JournalEntry &entry, QString *error);

// Whether entry still stands for this job: a verified output of this source, unchanged since,
// with the same arguments, and still there as it was written.
bool stillConverted(const JournalEntry &entry, const QString &source, const QString &arguments, bool copy);
