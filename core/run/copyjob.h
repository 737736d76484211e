#pragma once

// One copy at work on a thread of its own: copied, read back and checked against the
// source's hash, then moved onto its final name.

#include "core/run/runoutcome.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

class QObject;
class QThreadPool;

class CopyJob
{
public:
    // done runs on context's thread with the outcome, why the file was not copied, and the
    // hash the copy shares with its source. The copy is written as partial first.
    using Done = std::function<void(Outcome outcome, const QString &reason, const QByteArray &hash)>;
    CopyJob(QThreadPool &pool, const QString &source, const QString &partial, const QString &output,
            QObject *context, Done done);

    // The copy ends, unfinished, and leaves nothing behind.
    void cancel();
    // How far it is, from 0 to 1 (the copy, the source's hash and the read-back each a third).
    double fraction() const;

private:
    struct State;
    std::shared_ptr<State> m_state;
};
