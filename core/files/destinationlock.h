#pragma once

// Several writers may share one destination: the desktop run and any number of render nodes
// running batch file lines. Whoever changes the destination's own bookkeeping (the journal,
// the checksum file) holds this lock meanwhile. It is a flock on the journal file, which
// every writer opens anyway; the lock ends with the object.

#include <QString>

inline const QString JournalFileName = QStringLiteral(".orlenne-journal");

class DestinationLock
{
public:
    explicit DestinationLock(const QString &destinationDir);
    ~DestinationLock();
    DestinationLock(const DestinationLock &) = delete;
    DestinationLock &operator=(const DestinationLock &) = delete;

    // Whether the lock is held; if not, error() says why.
    bool held() const { return m_fd >= 0; }
    const QString &error() const { return m_error; }
    // The journal file, open for appending while the lock is held.
    int journalDescriptor() const { return m_fd; }

private:
    int m_fd = -1;
    QString m_error;
};
