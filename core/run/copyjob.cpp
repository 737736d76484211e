#include "core/run/copyjob.h"

#include "core/files/checksums.h"
#include "core/files/filecopy.h"
#include "core/files/renameover.h"

#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QThreadPool>
#include <algorithm>
#include <atomic>

struct CopyJob::State
{
    std::atomic<bool> cancel{false};
    std::atomic<qint64> done{0};
    qint64 total = 1;
};

CopyJob::CopyJob(QThreadPool &pool, const QString &source, const QString &partial,
                 const QString &output, QObject *context, Done done)
    : m_state(std::make_shared<State>())
{
    m_state->total = 3 * std::max<qint64>(1, QFileInfo(source).size());
    const std::shared_ptr<State> state = m_state;
    pool.start([state, source, partial, output, context, done] {
        CopyControl control{&state->cancel, &state->done, {}};
        QString reason;
        const QByteArray hash = copyAndVerify(source, partial, control, &reason);
        // Asked once: a stop that comes after this lets the verified copy take its name and
        // count as what it is.
        const bool stopped = state->cancel;
        if (reason.isEmpty() && !stopped) {
            copyFileTimes(source, partial);
            renameOver(partial, output, &reason);
        }
        if (!reason.isEmpty() || stopped)
            QFile::remove(partial);
        const Outcome outcome = stopped               ? Outcome::Stopped
                                : !reason.isEmpty() ? Outcome::Failed
                                                    : Outcome::Converted;
        QMetaObject::invokeMethod(context, [done, outcome, reason, hash] { done(outcome, reason, hash); },
                                  Qt::QueuedConnection);
    });
}

void CopyJob::cancel()
{
    m_state->cancel = true;
}

double CopyJob::fraction() const
{
    return std::clamp(double(m_state->done) / m_state->total, 0.0, 1.0);
}
