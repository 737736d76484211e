#include "core/run/runtask.h"

#include "core/base/pathhelpers.h"
#include "core/files/filecopy.h"
#include "core/files/renameover.h"
#include "core/media/engineprogress.h"
#include "core/media/settingscatalogue.h"
#include "core/media/sourcefit.h"
#include "core/run/copyjob.h"
#include "core/run/enginejob.h"
#include "core/run/outputcheck.h"
#include "core/run/runreport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThreadPool>
#include <algorithm>
#include <atomic>
#include <cerrno>

RunTask::RunTask(const ConversionJob &job, const QString &output, const QString &partial,
                 const Tools &tools, QObject *parent)
    : QObject(parent), m_job(job), m_source(collapseSlashes(job.path)), m_output(output),
      m_partial(partial), m_tools(tools)
{
}

RunTask::~RunTask()
{
    if (m_copy)
        m_copy->cancel(); // the copy removes what it wrote
    delete m_engine;      // ends its whole process group
    if (m_phase == Phase::Converting || m_phase == Phase::Checking)
        QFile::remove(m_partial);
}

void RunTask::readSource()
{
    if (m_job.copyOnly || m_tools.probe.isEmpty() || m_sourceProbe || m_sourceKnown)
        return;
    m_sourceState = fileState(m_source);
    probeSource(false);
}

std::optional<SourceFacts> RunTask::sourceFacts() const
{
    if (!m_sourceKnown || !m_sourceInfo.readable || m_sourceState.size < 0)
        return std::nullopt;
    return SourceFacts{m_sourceState, m_sourceInfo};
}

bool RunTask::knowSource(const SourceFacts &facts)
{
    if (m_job.copyOnly || m_sourceKnown || m_sourceProbe || !facts.info.readable || facts.state.size < 0
        || facts.state != fileState(m_source))
        return false;
    m_sourceState = facts.state;
    m_sourceInfo = facts.info;
    m_sourceKnown = true;
    return true;
}

void RunTask::probeSource(bool readFrames)
{
    m_sourceProbe = startProbe(m_tools.probe, m_source, readFrames, this, [this, readFrames](const MediaInfo &info) {
        m_sourceProbe = nullptr;
        // Most containers tell the field order; the first frames are decoded only when the
        // setting goes by it and the container keeps silent.
        const StreamInfo *video = info.video();
        if (!readFrames && video && video->fieldOrder.isEmpty() && fieldsMatter(Settings::demandOf(m_job.arguments))) {
            probeSource(true);
            return;
        }
        m_sourceInfo = info;
        m_sourceKnown = true;
        emit sourceRead();
    });
}

bool RunTask::resumeFrom(const Journal &journal)
{
    const auto done = journal.constFind(QDir::cleanPath(m_output));
    if (done != journal.cend() && stillConverted(*done, m_source, m_job.arguments, m_job.copyOnly)) {
        skipAsConverted(*done);
        return false;
    }
    return removeLeftover();
}

bool RunTask::removeLeftover()
{
    // Only the partial name with the output's own name in it: the short one holds a process
    // id and may belong to a run going on now.
    return QFileInfo(m_partial).fileName().startsWith(QLatin1Char('.') + QFileInfo(m_output).completeBaseName())
           && PartialClaim::removeLeftover(m_partial);
}

void RunTask::skipAsConverted(const JournalEntry &entry)
{
    m_phase = Phase::Done;
    m_outcome = Outcome::AlreadyConverted;
    m_reason = AlreadyConvertedText;
    m_hash = entry.hash;
}

bool RunTask::ready() const
{
    return m_job.copyOnly || m_tools.probe.isEmpty() || m_sourceKnown;
}

bool RunTask::outOfRoom() const
{
    return m_outcome == Outcome::Failed && m_reason.contains(systemMessage(ENOSPC));
}

QString RunTask::command() const
{
    if (m_job.copyOnly || !m_command.isEmpty())
        return m_command;
    return EngineJob::commandLine(m_tools.engine, m_source, m_job.arguments, m_sourceInfo, m_output);
}

void RunTask::start()
{
    // The journal keeps the source as the work found it: one still changing meanwhile
    // (footage still arriving) is converted again by the next run.
    if (m_sourceState.size < 0)
        m_sourceState = fileState(m_source);
    // The source's folder under the destination was made with the plan; a destination gone
    // away or read-only since then says so here, before any engine or copy meets it.
    const int error = makeFolderOf(m_output);
    // A folder mounted twice or a disk that does not tell case apart can lead the output's
    // name to the source itself: no path shows it, the file's identity does.
    if (error || isSameFile(m_source, m_output)) {
        emit slotFreed();
        conclude(Outcome::Failed, error ? destinationMessage(error) : OutputIsSourceText);
        return;
    }
    if (!m_claim.take(m_partial)) {
        // Its journal line will tell what became of the output.
        skip(BeingWrittenText);
        emit slotFreed();
        emit concluded();
        return;
    }
    if (m_job.copyOnly) {
        m_phase = Phase::Copying;
        m_copy = std::make_unique<CopyJob>(
            *m_tools.copies, m_source, m_partial, m_output, this,
            [this](Outcome outcome, const QString &reason, const QByteArray &hash) {
                m_hash = hash;
                emit slotFreed();
                conclude(outcome, outcome == Outcome::Stopped ? StoppedText : reason);
            });
        return;
    }
    m_phase = Phase::Converting;
    // Built now, when the source's facts are in.
    m_command = EngineJob::commandLine(m_tools.engine, m_source, m_job.arguments, m_sourceInfo, m_output);
    const QString name = QFileInfo(m_source).fileName();
    for (const QString &line : fitToSource(m_job.arguments, m_sourceInfo).details)
        m_details.append(name + QLatin1String(": ") + line);
    if (m_sourceInfo.readable)
        m_duration = m_sourceInfo.duration;
    m_engine = new EngineJob(EngineJob::commandLine(m_tools.engine, m_source, m_job.arguments, m_sourceInfo,
                                                    m_partial, EngineJob::ProgressOptions),
                             this);
    connect(m_engine, &EngineJob::ended, this, &RunTask::engineEnded);
}

void RunTask::stop()
{
    if (m_engine)
        m_engine->stop();
    if (m_copy && m_phase == Phase::Copying)
        m_copy->cancel();
    if (m_sourceProbe)
        m_sourceProbe->kill();
}

void RunTask::skip(const QString &reason)
{
    m_phase = Phase::Done;
    m_reason = reason;
}

void RunTask::engineEnded(int exitCode, bool crashed, bool stopped)
{
    m_messages = m_engine->messages();
    const QString failure = m_engine->failureReason(exitCode, crashed);
    m_engine->deleteLater();
    m_engine = nullptr;
    emit slotFreed();
    if (stopped || crashed || exitCode != 0) {
        QFile::remove(m_partial);
        conclude(stopped ? Outcome::Stopped : Outcome::Failed, stopped ? StoppedText : failure);
    } else if (!m_tools.probe.isEmpty()) {
        checkOutput();
    } else if (!outputProduced(0, m_partial)) {
        QFile::remove(m_partial);
        conclude(Outcome::Failed, QStringLiteral("the engine wrote less than %1 bytes").arg(MinimumOutputSize));
    } else {
        accept();
    }
}

void RunTask::checkOutput()
{
    m_phase = Phase::Checking;
    const Settings::OutputDemand demand = Settings::demandOf(m_job.arguments);
    // Only interlaced outputs need their frames read: the engine writes whole frames unless
    // told otherwise.
    const QString fields = writtenFieldOrder(demand, m_sourceInfo);
    const bool readFrames = fields == QLatin1String("tt") || fields == QLatin1String("bb");
    startProbe(m_tools.probe, m_partial, readFrames, this, [this, demand](const MediaInfo &output) {
        const QString reason = ::checkOutput(demand, m_sourceInfo, output);
        if (reason.isEmpty()) {
            accept();
            return;
        }
        QFile::remove(m_partial);
        conclude(Outcome::Failed, reason);
    });
}

void RunTask::accept()
{
    QString error;
    copyFileTimes(m_source, m_partial);
    if (!renameOver(m_partial, m_output, &error)) {
        QFile::remove(m_partial);
        conclude(Outcome::Failed, error);
        return;
    }
    conclude(Outcome::Converted);
}

void RunTask::conclude(Outcome outcome, const QString &reason)
{
    m_claim.release();
    m_phase = Phase::Done;
    m_outcome = outcome;
    m_reason = reason;
    // A stopped file is neither: the next run takes it up as if it had never started.
    if (!m_tools.journalFolder.isEmpty() && outcome != Outcome::Stopped) {
        JournalEntry entry = journalEntry(m_source, m_job.arguments, m_job.copyOnly, m_output,
                                          outcome == Outcome::Converted, reason, m_hash);
        entry.sourceState = m_sourceState;
        appendJournal(m_tools.journalFolder, entry, &m_journalError);
    }
    emit concluded();
}

double RunTask::fraction()
{
    switch (m_phase) {
    case Phase::Waiting:
        return 0;
    case Phase::Converting:
        if (!m_engine)
            return 0;
        if (m_duration < 0) // without ffprobe the engine says how long its source is
            m_duration = durationSeconds(m_engine->messages());
        return m_duration > 0 ? std::clamp(m_engine->position() / m_duration, 0.0, 1.0) : 0;
    case Phase::Copying:
        return m_copy->fraction();
    case Phase::Checking:
    case Phase::Done:
        return 1;
    }
    return 0;
}

int resumeTasks(const std::vector<std::unique_ptr<RunTask>> &tasks, const Journal &journal)
{
    constexpr std::size_t FilesAPiece = 64;
    std::atomic<int> removed = 0;
    const auto resume = [&tasks, &journal, &removed](std::size_t first) {
        const std::size_t last = std::min(tasks.size(), first + FilesAPiece);
        for (std::size_t i = first; i < last; ++i)
            removed += tasks[i]->resumeFrom(journal) ? 1 : 0;
    };
    if (tasks.size() <= FilesAPiece) {
        resume(0);
        return removed;
    }
    QThreadPool pool;
    pool.setMaxThreadCount(8);
    for (std::size_t first = 0; first < tasks.size(); first += FilesAPiece)
        pool.start([&resume, first] { resume(first); });
    pool.waitForDone();
    return removed;
}
