#include "core/run/conversionrun.h"

#include "core/base/pathhelpers.h"
#include "core/files/checksums.h"
#include "core/shell/commands.h"
#include "core/media/engineprogress.h"
#include "core/files/filecopy.h"
#include "core/run/runfiles.h"
#include "core/media/mediaprobe.h"
#include "core/jobs/uniqueoutputnames.h"
#include "core/jobs/outputpath.h"
#include "core/media/settingscatalogue.h"
#include "core/shell/shellprocess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QThread>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

int runsRunning = 0;
constexpr int StatusIntervalMs = 500;
constexpr int KillAfterMs = 3000;
constexpr int NameMax = 255;

const QString StoppedText = QStringLiteral("stopped");
const QString NotStartedText = QStringLiteral("not started");
const QString NoProbeText = QStringLiteral(
    "ffprobe was not found: outputs were judged by the engine's exit status and their size only.");

// Ending: the engine's shell has ended after a stop, what it started is still going away.
// AwaitingSource: converted; the engine said nothing of its source, so ffprobe reads it.
enum Phase { Waiting, Converting, Ending, AwaitingSource, ProbingOutput, Copying, Done };
constexpr int GroupPollMs = 50;

// The hidden name beside an output that the engine or the copy writes first: the same
// extension, so the engine picks the same container.
QString partialName(const QString &output, int index)
{
    const QFileInfo info(output);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    QString name = QLatin1Char('.') + info.completeBaseName() + QLatin1String(".partial") + suffix;
    if (QFile::encodeName(name).size() > NameMax)
        name = QStringLiteral(".orlenne-%1-%2.partial").arg(QCoreApplication::applicationPid()).arg(index)
               + suffix.left(16);
    return info.path() + QLatin1Char('/') + name;
}

QString failureReason(const QByteArray &messages, int exitCode, bool crashed)
{
    QString status;
    if (crashed)
        status = QStringLiteral("the engine was killed");
    else if (exitCode > 128)
        status = QStringLiteral("the engine ended by signal %1").arg(exitCode - 128);
    else
        status = QStringLiteral("the engine ended with status %1").arg(exitCode);
    const QString line = lastErrorLine(messages);
    return line.isEmpty() ? status : line + QLatin1String(" (") + status + QLatin1Char(')');
}

bool renameOver(const QString &from, const QString &to, QString *error)
{
    // rename(2) replaces an earlier output in one step; QFile::rename would refuse.
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    *error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

const QString EnginesAtOnceKey = QStringLiteral("run/enginesAtOnce");

QSettings settings()
{
    return QSettings(QStringLiteral("Veltroan"), QStringLiteral("Orlenne Converter"));
}

QString timeLeftText(qint64 ms)
{
    if (ms < 0)
        return QStringLiteral("estimating the time left");
    const qint64 s = (ms + 999) / 1000;
    if (s < 60)
        return QStringLiteral("about %1 s left").arg(s);
    if (s < 3600)
        return QStringLiteral("about %1 min %2 s left").arg(s / 60).arg(s % 60);
    return QStringLiteral("about %1 h %2 min left").arg(s / 3600).arg(s % 3600 / 60);
}

} // namespace

struct CopyState
{
    std::atomic<bool> cancel{false};
    std::atomic<qint64> done{0};
    qint64 total = 0;
};

struct ConversionRun::Task
{
    ConversionJob job;
    int index = 0;
    QString source;
    QString output;
    QString partial;
    QString command;    // as the job script shows it: the output under its own name
    QString runCommand; // as it runs: the engine writes the hidden name
    int phase = Waiting;
    Outcome outcome = Outcome::NotStarted;
    QString reason;
    bool engineRan = false;
    QProcess *process = nullptr;
    qint64 group = 0; // the engine's process group
    QByteArray messages;
    MediaInfo sourceInfo;
    double duration = -1;
    double position = 0;
    std::shared_ptr<CopyState> copy;
    QByteArray hash;
};

ConversionRun::ConversionRun(const QList<ConversionJob> &jobs, const QStringList &sourceDirs,
                             const QString &destinationDir, const QString &engine,
                             QObject *parent)
    : QObject(parent), m_sourceDirs(sourceDirs), m_destinationDir(destinationDir), m_engine(engine)
{
    for (const ConversionJob &job : jobs) {
        auto task = std::make_unique<Task>();
        task->job = job;
        task->index = int(m_tasks.size());
        m_tasks.push_back(std::move(task));
    }
    m_progressTimer.setInterval(StatusIntervalMs);
    connect(&m_progressTimer, &QTimer::timeout, this, &ConversionRun::reportProgress);
    m_killTimer.setSingleShot(true);
    m_killTimer.setInterval(KillAfterMs);
    connect(&m_killTimer, &QTimer::timeout, this, [this] {
        for (const auto &task : m_tasks) {
            if (task->phase == Converting || task->phase == Ending)
                Shell::signalGroup(task->group, SIGKILL);
        }
    });
}

ConversionRun::~ConversionRun()
{
    for (const auto &task : m_tasks) {
        if (task->phase == Converting || task->phase == Ending)
            Shell::signalGroup(task->group, SIGKILL);
        if (task->copy)
            task->copy->cancel = true;
    }
    m_copies.waitForDone();
    for (const auto &task : m_tasks) {
        if (task->phase != Done && task->phase != Waiting && task->phase != Copying)
            QFile::remove(task->partial);
    }
    if (m_running)
        --runsRunning;
}

void ConversionRun::keepIntact(const QStringList &paths)
{
    m_keepIntact = paths;
}

void ConversionRun::setProbe(const QString &probe)
{
    m_probe = probe;
}

void ConversionRun::setEnginesAtOnce(int count)
{
    m_enginesAtOnce = std::max(1, count);
}

bool ConversionRun::anyRunning()
{
    return runsRunning > 0;
}

int ConversionRun::savedEnginesAtOnce()
{
    const int cores = std::max(1, QThread::idealThreadCount());
    const int saved = settings().value(EnginesAtOnceKey, cores).toInt();
    return std::clamp(saved, 1, cores);
}

void ConversionRun::saveEnginesAtOnce(int count)
{
    settings().setValue(EnginesAtOnceKey, count);
}

void ConversionRun::plan()
{
    QStringList sources = m_keepIntact;
    for (const auto &task : m_tasks)
        sources.append(QLatin1Char('/') + task->job.path);
    OutputNames names(sources);
    QStringList commands;
    for (const auto &task : m_tasks) {
        const ConversionJob &job = task->job;
        task->source = collapseSlashes(QLatin1Char('/') + job.path);
        const QString extension = job.copyOnly ? QFileInfo(job.path).suffix() : job.outputExtension;
        task->output = names.claim(makeOutputPath(m_sourceDirs, m_destinationDir, job.path, extension));
        task->partial = partialName(task->output, task->index);
        if (job.copyOnly)
            continue;
        task->command = engineCommand(m_engine, job.path, job.arguments, task->output);
        task->runCommand = engineCommand(m_engine, job.path, job.arguments, task->partial);
        commands.append(task->command);
    }
    writeBatchFile(commands); // without a Desktop folder there is no batch file; nothing to tell
    startEngineLog();
}

void ConversionRun::start()
{
    if (m_running || m_finished)
        return;
    m_running = true;
    ++runsRunning;
    m_clock.start();
    plan();
    m_progressTimer.start();
    m_copies.setMaxThreadCount(m_enginesAtOnce);
    reportProgress();
    startNext();
}

void ConversionRun::stop()
{
    if (!m_running || m_stopping)
        return;
    m_stopping = true;
    for (const auto &task : m_tasks) {
        if (task->phase == Converting)
            Shell::signalGroup(task->group, SIGTERM);
        else if (task->phase == Copying)
            task->copy->cancel = true;
    }
    m_killTimer.start();
    QMetaObject::invokeMethod(this, &ConversionRun::startNext, Qt::QueuedConnection);
}

void ConversionRun::startNext()
{
    while (!m_stopping && m_active < m_enginesAtOnce && m_next < int(m_tasks.size())) {
        Task &task = *m_tasks[std::size_t(m_next++)];
        ++m_active;
        if (task.job.copyOnly)
            startCopy(task);
        else
            startEngine(task);
    }
    if (m_active == 0 && (m_stopping || m_next >= int(m_tasks.size())))
        finish();
}

QProcess *ConversionRun::startProbe(const QString &path, std::function<void(const MediaInfo &)> done)
{
    auto *probe = new QProcess(this);
    probe->setStandardInputFile(QProcess::nullDevice());
    probe->setStandardErrorFile(QProcess::nullDevice());
    const auto answer = [probe, done](const MediaInfo &info) {
        probe->disconnect();
        probe->deleteLater();
        done(info);
    };
    connect(probe, &QProcess::finished, this,
            [probe, answer] { answer(parseProbe(probe->readAllStandardOutput())); });
    connect(probe, &QProcess::errorOccurred, this, [answer](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) // nothing else comes then
            answer(MediaInfo());
    });
    probe->start(m_probe, probeArguments(path));
    return probe;
}

void ConversionRun::probeSource(Task &task)
{
    task.phase = AwaitingSource;
    startProbe(task.source, [this, &task](const MediaInfo &info) {
        task.sourceInfo = info;
        verifyOutput(task);
    });
}

void ConversionRun::startEngine(Task &task)
{
    task.phase = Converting;
    task.engineRan = true;
    QProcess *engine = Shell::start(task.runCommand, this);
    task.process = engine;
    task.group = engine->processId();
    connect(engine, &QProcess::readyReadStandardOutput, this, [&task, engine] {
        task.messages += engine->readAllStandardOutput();
        const double position = progressSeconds(task.messages);
        if (position >= 0)
            task.position = position;
        if (task.duration < 0)
            task.duration = durationSeconds(task.messages);
    });
    connect(engine, &QProcess::finished, this,
            [this, &task, engine](int exitCode, QProcess::ExitStatus status) {
                task.messages += engine->readAllStandardOutput();
                task.process = nullptr;
                engine->deleteLater();
                engineFinished(task, exitCode, status == QProcess::CrashExit);
            });
    connect(engine, &QProcess::errorOccurred, this, [this, &task, engine](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return; // anything else also ends in finished()
        task.messages += engine->errorString().toUtf8();
        task.process = nullptr;
        engine->deleteLater();
        engineFinished(task, -1, true);
    });
}

void ConversionRun::engineFinished(Task &task, int exitCode, bool crashed)
{
    if (m_stopping && (crashed || exitCode != 0)) {
        // The shell goes first; the engine may still be writing. Nothing is removed or
        // reported before the last process of its group is gone.
        task.phase = Ending;
        if (!Shell::groupGone(task.group)) {
            QTimer::singleShot(GroupPollMs, this, [this, &task] { engineFinished(task, -1, true); });
            return;
        }
        QFile::remove(task.partial);
        conclude(task, int(Outcome::Stopped), StoppedText);
        return;
    }
    if (crashed || exitCode != 0) {
        QFile::remove(task.partial);
        conclude(task, int(Outcome::Failed), failureReason(task.messages, exitCode, crashed));
        return;
    }
    if (!m_probe.isEmpty()) {
        // The engine tells what it read, as ffprobe would; asking ffprobe costs a program start.
        task.sourceInfo = sourceFromMessages(task.messages);
        if (task.sourceInfo.readable)
            verifyOutput(task);
        else
            probeSource(task);
        return;
    }
    if (!outputProduced(0, task.partial)) {
        QFile::remove(task.partial);
        conclude(task, int(Outcome::Failed),
                 QStringLiteral("the engine wrote less than %1 bytes").arg(MinimumOutputSize));
        return;
    }
    accept(task);
}

void ConversionRun::verifyOutput(Task &task)
{
    task.phase = ProbingOutput;
    startProbe(task.partial, [this, &task](const MediaInfo &output) {
        const QString reason = checkOutput(Settings::demandOf(task.job.arguments), task.sourceInfo, output);
        if (reason.isEmpty()) {
            accept(task);
            return;
        }
        QFile::remove(task.partial);
        conclude(task, int(Outcome::Failed), reason);
    });
}

void ConversionRun::accept(Task &task)
{
    QString error;
    copyFileTimes(task.source, task.partial);
    if (!renameOver(task.partial, task.output, &error)) {
        QFile::remove(task.partial);
        conclude(task, int(Outcome::Failed), error);
        return;
    }
    conclude(task, int(Outcome::Converted));
}

void ConversionRun::startCopy(Task &task)
{
    task.phase = Copying;
    task.copy = std::make_shared<CopyState>();
    task.copy->total = 3 * std::max<qint64>(1, QFileInfo(task.source).size());
    const std::shared_ptr<CopyState> state = task.copy;
    const QString source = task.source;
    const QString partial = task.partial;
    const QString output = task.output;
    Task *target = &task;
    m_copies.start([this, state, source, partial, output, target] {
        CopyControl control{&state->cancel, &state->done, {}};
        QString reason;
        const QByteArray hash = copyAndVerify(source, partial, control, &reason);
        if (reason.isEmpty() && !state->cancel) {
            copyFileTimes(source, partial);
            renameOver(partial, output, &reason);
        }
        const bool stopped = state->cancel;
        if (!reason.isEmpty() || stopped)
            QFile::remove(partial);
        QMetaObject::invokeMethod(this, [this, target, reason, hash, stopped] {
            target->hash = hash;
            if (stopped)
                conclude(*target, int(Outcome::Stopped), StoppedText);
            else if (!reason.isEmpty())
                conclude(*target, int(Outcome::Failed), reason);
            else
                conclude(*target, int(Outcome::Converted));
        }, Qt::QueuedConnection);
    });
}

void ConversionRun::conclude(Task &task, int outcome, const QString &reason)
{
    task.phase = Done;
    task.outcome = Outcome(outcome);
    task.reason = reason;
    --m_active;
    writeFinishedEntries();
    QMetaObject::invokeMethod(this, &ConversionRun::startNext, Qt::QueuedConnection);
}

void ConversionRun::writeFinishedEntries()
{
    // Job order, whatever order the engines finish in.
    while (m_logged < int(m_tasks.size()) && m_tasks[std::size_t(m_logged)]->phase == Done) {
        Task &task = *m_tasks[std::size_t(m_logged++)];
        if (!task.engineRan)
            continue;
        logthis3(task.command);
        appendEngineLog(task.command, task.messages);
        task.messages.clear();
    }
}

void ConversionRun::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_progressTimer.stop();
    m_killTimer.stop();
    for (const auto &task : m_tasks) {
        if (task->phase == Waiting) {
            task->phase = Done;
            task->reason = NotStartedText;
        }
    }
    writeFinishedEntries();

    QList<QPair<QString, QByteArray>> checksums;
    const QDir destination(m_destinationDir);
    for (const auto &task : m_tasks) {
        if (task->job.copyOnly && task->outcome == Outcome::Converted)
            checksums.append({destination.relativeFilePath(task->output), task->hash});
    }
    if (!checksums.isEmpty() && !recordChecksums(m_destinationDir, checksums, &m_checksumError))
        m_checksumError = QStringLiteral("%1: %2").arg(ChecksumFileName, m_checksumError);

    logthis3(report());
    m_running = false;
    --runsRunning;
    emit progressed(100, QString());
    emit finished();
}

QList<ConversionRun::Result> ConversionRun::results() const
{
    QList<Result> results;
    for (const auto &task : m_tasks)
        results.append({task->source, task->output, task->outcome, task->reason});
    return results;
}

QStringList ConversionRun::notConverted() const
{
    QStringList outputs;
    for (const auto &task : m_tasks) {
        if (task->outcome != Outcome::Converted)
            outputs.append(task->output);
    }
    return outputs;
}

QString ConversionRun::report() const
{
    return reportText(notConverted());
}

QString ConversionRun::reportDetails() const
{
    QStringList lines;
    for (const auto &task : m_tasks) {
        switch (task->outcome) {
        case Outcome::Converted:
            lines.append(QLatin1String("converted: ") + task->output);
            break;
        case Outcome::Stopped:
        case Outcome::NotStarted:
            lines.append(task->reason + QLatin1String(": ") + task->output);
            break;
        case Outcome::Failed:
            lines.append(QLatin1String("not converted: ") + task->output + QLatin1String(" (")
                         + task->reason + QLatin1Char(')'));
            break;
        }
    }
    if (m_probe.isEmpty())
        lines.append(NoProbeText);
    if (!m_checksumError.isEmpty())
        lines.append(m_checksumError);
    return lines.join(QLatin1Char('\n'));
}

void ConversionRun::reportProgress()
{
    const double total = std::max<std::size_t>(1, m_tasks.size());
    double done = 0;
    int finished = 0;
    QStringList running;
    for (const auto &task : m_tasks) {
        switch (task->phase) {
        case Done:
            ++finished;
            done += 1;
            break;
        case Converting:
            if (task->duration > 0)
                done += std::clamp(task->position / task->duration, 0.0, 1.0);
            running.append(QFileInfo(task->source).fileName());
            break;
        case AwaitingSource:
        case ProbingOutput:
            done += 1;
            running.append(QFileInfo(task->source).fileName());
            break;
        case Copying:
            done += std::clamp(double(task->copy->done) / task->copy->total, 0.0, 1.0);
            running.append(QFileInfo(task->source).fileName());
            break;
        default:
            break;
        }
    }
    const double fraction = done / total;
    const qint64 elapsed = m_clock.elapsed();
    const qint64 left = fraction > 0.01 ? qint64(elapsed * (1 - fraction) / fraction) : -1;
    QString status = QStringLiteral("%1 of %2 files done, %3")
                         .arg(finished)
                         .arg(m_tasks.size())
                         .arg(timeLeftText(left));
    if (!running.isEmpty())
        status += QLatin1String(" - now: ") + running.join(QLatin1String(", "));
    emit progressed(int(100 * fraction), status);
}

QString reportText(const QStringList &notConverted)
{
    if (notConverted.isEmpty())
        return QStringLiteral("Success! All your files were converted! PLease check destination!");
    QString list;
    for (int i = 0; i < notConverted.size(); ++i)
        list = QLatin1Char('\n') + list + QLatin1Char('\n') + QString::number(i)
               + QLatin1String("-->") + notConverted.at(i);
    return QStringLiteral("The Following Files were not converted :\n ") + list;
}

bool outputProduced(int exitStatus, const QString &outputPath)
{
    if (exitStatus != 0)
        return false;
    const QFileInfo info(outputPath);
    if (!info.isFile() || info.size() < MinimumOutputSize)
        return false;
    // Root may write anywhere: a file without write permission counts as stale all the same.
    if (!(info.permissions() & QFileDevice::WriteOwner))
        return false;
    QFile file(outputPath);
    return file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly);
}
