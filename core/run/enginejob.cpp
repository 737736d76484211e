#include "core/run/enginejob.h"

#include "core/media/engineprogress.h"
#include "core/media/sourcefit.h"
#include "core/shell/shellprocess.h"

#include <QProcess>
#include <csignal>
#include <cstring>

namespace {
constexpr int KillAfterMs = 3000;
constexpr int GroupPollMs = 50;
// The progress parser reads only the tail; older reports need not be kept.
constexpr qsizetype ProgressKept = 4096;
} // namespace

const QString EngineJob::ProgressOptions = QStringLiteral("-progress pipe:1 -nostats");

QString EngineJob::commandLine(const Engine &engine, const QString &source, const QString &arguments,
                               const MediaInfo &sourceInfo, const QString &output,
                               const QString &runOptions)
{
    // What the source needs (its every audio track, its rate and fields) follows the
    // setting's own arguments; a preset and an unread source get nothing.
    QString options = fitToSource(arguments, sourceInfo).extraArguments;
    if (!runOptions.isEmpty())
        options += (options.isEmpty() ? QString() : QStringLiteral(" ")) + runOptions;
    return engineCommand(engine, source, arguments, output, options);
}

EngineJob::EngineJob(const QString &command, QObject *parent) : QObject(parent)
{
    m_killTimer.setSingleShot(true);
    m_killTimer.setInterval(KillAfterMs);
    connect(&m_killTimer, &QTimer::timeout, this, [this] { Shell::signalGroup(m_group, SIGKILL); });

    m_process = Shell::start(command, this);
    m_group = m_process->processId();
    connect(m_process, &QProcess::readyReadStandardOutput, this, [this] {
        m_progress += m_process->readAllStandardOutput();
        if (m_progress.size() > 2 * ProgressKept)
            m_progress = m_progress.right(ProgressKept);
    });
    connect(m_process, &QProcess::readyReadStandardError, this,
            [this] { m_messages += m_process->readAllStandardError(); });
    connect(m_process, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
        m_messages += m_process->readAllStandardError();
        shellEnded(exitCode, status == QProcess::CrashExit);
    });
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return; // anything else also ends in finished()
        m_messages += m_process->errorString().toUtf8();
        shellEnded(-1, true);
    });
}

EngineJob::~EngineJob()
{
    if (m_running)
        Shell::signalGroup(m_group, SIGKILL);
}

void EngineJob::stop()
{
    if (!m_running || m_stopping)
        return;
    m_stopping = true;
    Shell::signalGroup(m_group, SIGTERM);
    m_killTimer.start();
}

double EngineJob::position() const
{
    return progressSeconds(m_progress);
}

QString EngineJob::failureReason(int exitCode, bool crashed) const
{
    QString status;
    QString line = lastErrorLine(m_messages);
    if (crashed && exitCode > 0) { // the engine itself, run by exec, died of signal exitCode
        status = QStringLiteral("the engine ended by signal %1").arg(exitCode);
        if (line.isEmpty())
            line = QString::fromLocal8Bit(::strsignal(exitCode));
    } else if (crashed)
        status = QStringLiteral("the engine was killed");
    else if (exitCode > 128)
        status = QStringLiteral("the engine ended by signal %1").arg(exitCode - 128);
    else
        status = QStringLiteral("the engine ended with status %1").arg(exitCode);
    return line.isEmpty() ? status : line + QLatin1String(" (") + status + QLatin1Char(')');
}

void EngineJob::shellEnded(int exitCode, bool crashed)
{
    if (m_process) {
        m_process->disconnect(this);
        m_process->deleteLater();
        m_process = nullptr;
    }
    const bool stopped = m_stopping && (crashed || exitCode != 0);
    // After a stop the shell goes first; the engine may still be writing. Nothing is
    // reported before the last process of its group is gone.
    if (stopped && !Shell::groupGone(m_group)) {
        QTimer::singleShot(GroupPollMs, this, [this, exitCode, crashed] { shellEnded(exitCode, crashed); });
        return;
    }
    m_running = false;
    m_killTimer.stop();
    emit ended(exitCode, crashed, stopped);
}
