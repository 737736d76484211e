#include "core/run/conversionrun.h"

#include "core/base/workingfolder.h"
#include "core/files/checksums.h"
#include "core/jobs/outputpath.h"
#include "core/jobs/uniqueoutputnames.h"
#include "core/run/distinctjobs.h"
#include "core/run/roomestimate.h"
#include "core/run/runprogress.h"
#include "core/run/runfiles.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace {
constexpr int StatusIntervalMs = 500;
} // namespace

ConversionRun::ConversionRun(const QList<ConversionJob> &jobs, const QStringList &sourceDirs,
                             const QString &destinationDir, const Engine &engine, QObject *parent)
    : QObject(parent), m_jobs(distinctJobs(jobs)), m_sourceDirs(sourceDirs), m_destinationDir(destinationDir)
{
    m_tools.engine = engine;
    m_tools.copies = &m_copies;
    m_tools.journalFolder = destinationDir;
    m_progressTimer.setInterval(StatusIntervalMs);
    connect(&m_progressTimer, &QTimer::timeout, this, &ConversionRun::reportProgress);
}

ConversionRun::~ConversionRun()
{
    // The copies' threads report to their tasks: none may be left when the tasks go.
    for (const auto &task : m_tasks)
        task->stop();
    m_copies.waitForDone();
    m_tasks.clear();
}

void ConversionRun::keepIntact(const QStringList &paths)
{
    m_keepIntact = paths;
}

void ConversionRun::setEnginesAtOnce(int count)
{
    m_enginesAtOnce = std::max(1, count);
}

void ConversionRun::plan()
{
    const Journal journal = m_convertAgain ? Journal() : readJournal(m_destinationDir);
    // Nor may an output take the name of the destination's own bookkeeping.
    QStringList sources = m_keepIntact + QStringList{QDir(m_destinationDir).filePath(JournalFileName),
                                                     QDir(m_destinationDir).filePath(ChecksumFileName)};
    for (const ConversionJob &job : std::as_const(m_jobs))
        sources.append(job.path);
    OutputNames names(sources);
    OutputPaths paths(m_sourceDirs, m_destinationDir);
    for (const ConversionJob &job : std::as_const(m_jobs)) {
        const QString extension = job.copyOnly ? QFileInfo(job.path).suffix() : job.outputExtension;
        const QString output = names.claim(paths.outputPath(job.path, extension));
        auto task = std::make_unique<RunTask>(job, output, partialPath(output, int(m_tasks.size())), m_tools, nullptr);
        connect(task.get(), &RunTask::sourceRead, this, &ConversionRun::readSources);
        connect(task.get(), &RunTask::slotFreed, this, &ConversionRun::releaseSlot);
        connect(task.get(), &RunTask::concluded, this, [this, task = task.get()] {
            if (!task->journalError().isEmpty())
                noteFileProblem(DesktopFileNotWrittenText.arg(
                    QDir(m_destinationDir).filePath(JournalFileName), task->journalError()));
            // The first file the full destination refused ends the run: the others would fail too.
            if (task->outOfRoom() && !m_stopping) {
                noteFileProblem(noSpaceStopText(m_destinationDir));
                stop();
            }
            writeFinishedEntries();
            QMetaObject::invokeMethod(this, &ConversionRun::startNext, Qt::QueuedConnection);
        });
        m_tasks.push_back(std::move(task));
    }
    m_leftoversRemoved = resumeTasks(m_tasks, journal);
    noteFileProblem(startEngineLog());
}

void ConversionRun::start()
{
    if (m_running || m_finished)
        return;
    m_running = true;
    m_clock.start();
    plan();
    m_progressTimer.start();
    m_copies.setMaxThreadCount(m_enginesAtOnce);
    reportProgress();
    readSources();
}

void ConversionRun::stop()
{
    if (!m_running || m_stopping)
        return;
    m_stopping = true;
    for (const auto &task : m_tasks)
        task->stop();
    QMetaObject::invokeMethod(this, &ConversionRun::startNext, Qt::QueuedConnection);
}

void ConversionRun::startNext()
{
    // Job order, once every source has been read; files already converted are passed over.
    const int count = int(m_tasks.size());
    for (;;) {
        while (m_next < count && m_tasks[std::size_t(m_next)]->phase() == RunTask::Phase::Done)
            ++m_next;
        if (m_stopping || !m_sourcesRead || m_active >= m_enginesAtOnce || m_next >= count
            || !m_tasks[std::size_t(m_next)]->ready())
            break;
        ++m_active;
        m_tasks[std::size_t(m_next++)]->start();
    }
    if (!busy() && (m_stopping || m_next >= count))
        finish();
}

void ConversionRun::readSources()
{
    if (m_sourcesRead)
        return;
    // The room the outputs need goes by the sources' lengths: all are read before the first
    // engine starts, a few at once, and each task keeps what was read of its source.
    int read = 0;
    int reading = 0;
    for (const auto &task : m_tasks) {
        if (task->ready() || task->phase() == RunTask::Phase::Done)
            ++read;
        else if (task->reading())
            ++reading;
        else if (!m_stopping && reading < 2 * m_enginesAtOnce) {
            task->readSource();
            reading += task->reading();
        }
    }
    if (m_sourcesRead)
        return;
    if (read < int(m_tasks.size()) && !m_stopping) {
        reportProgress();
        return;
    }
    m_sourcesRead = true;
    if (!m_stopping && !roomAgreed()) {
        m_stopping = true;
        removeEmptyFolders();
    }
    // The time left goes by the work alone: not the reading, nor a room question left waiting.
    m_clock.start();
    startNext();
}

bool ConversionRun::roomAgreed()
{
    if (!m_roomQuestion)
        return true;
    qint64 needed = 0;
    for (const auto &task : m_tasks) {
        if (task->phase() != RunTask::Phase::Done) // already converted
            needed += roomNeeded(task->job(), task->sourceInfo(), QFileInfo(task->source()).size());
    }
    const qint64 free = freeRoom(m_destinationDir);
    return needed <= free || m_roomQuestion(needed, free);
}

void ConversionRun::removeEmptyFolders()
{
    // The outputs' folders were made for a run that now starts nothing.
    const QString destination = QDir::cleanPath(m_destinationDir) + QLatin1Char('/');
    for (const auto &task : m_tasks) {
        QString folder = QFileInfo(task->output()).path();
        while (folder.startsWith(destination) && QDir().rmdir(folder))
            folder = QFileInfo(folder).path();
    }
}

void ConversionRun::releaseSlot()
{
    --m_active;
    QMetaObject::invokeMethod(this, &ConversionRun::startNext, Qt::QueuedConnection);
}

bool ConversionRun::busy() const
{
    return std::any_of(m_tasks.cbegin(), m_tasks.cend(), [](const auto &task) {
        return task->phase() != RunTask::Phase::Waiting && task->phase() != RunTask::Phase::Done;
    });
}

void ConversionRun::writeFinishedEntries()
{
    // Job order, whatever order the engines finish in.
    while (m_logged < int(m_tasks.size()) && m_tasks[std::size_t(m_logged)]->phase() == RunTask::Phase::Done) {
        RunTask &task = *m_tasks[std::size_t(m_logged++)];
        if (task.job().copyOnly || task.outcome() == Outcome::NotStarted
            || task.outcome() == Outcome::AlreadyConverted)
            continue;
        noteFileProblem(jobScriptEntry(task.command()));
        noteFileProblem(appendEngineLog(task.command(), task.takeMessages()));
    }
}

void ConversionRun::writeChecksums()
{
    QList<QPair<QString, QByteArray>> checksums;
    const QDir destination(m_destinationDir);
    for (const auto &task : m_tasks) {
        // A copy skipped as already converted keeps its line, written again from the journal.
        if (task->job().copyOnly && !task->hash().isEmpty()
            && (task->outcome() == Outcome::Converted || task->outcome() == Outcome::AlreadyConverted)) {
            checksums.append({destination.relativeFilePath(task->output()), task->hash()});
            if (!fitsOnOneLine(checksums.constLast().first))
                noteFileProblem(LeftOutText.arg(ChecksumFileName, task->output()));
        }
    }
    QString error;
    if (!checksums.isEmpty() && !recordChecksums(m_destinationDir, checksums, &error))
        noteFileProblem(QStringLiteral("%1: %2").arg(ChecksumFileName, error));
}

void ConversionRun::noteFileProblem(const QString &problem)
{
    if (!problem.isEmpty() && !m_fileProblems.contains(problem))
        m_fileProblems.append(problem);
}

void ConversionRun::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_progressTimer.stop();
    QStringList commands;
    const Engine batchEngine = NodeCommand::batchEngine(m_tools.engine);
    for (const auto &task : m_tasks) {
        if (task->phase() == RunTask::Phase::Waiting)
            task->skip(NotStartedText);
        // Every file, whatever became of it here: elsewhere it converts, or is found done.
        const std::optional<SourceFacts> facts = task->sourceFacts();
        commands.append(NodeCommand::line(batchEngine, m_destinationDir, task->source(), task->output(),
                                          task->job().arguments, task->job().copyOnly,
                                          facts ? sourceFactsText(*facts) : QByteArray()));
        if (!fitsOnOneLine(commands.constLast()))
            noteFileProblem(LeftOutText.arg(QFileInfo(batchFilePath()).fileName(), task->source()));
    }
    writeFinishedEntries();
    noteFileProblem(writeBatchFile(commands));
    writeChecksums();
    noteFileProblem(jobScriptEntry(report()));
    m_running = false;
    emit progressed(100, QString());
    emit finished();
}

QList<ConversionRun::Result> ConversionRun::results() const
{
    QList<Result> results;
    for (const auto &task : m_tasks)
        results.append({task->source(), task->output(), task->outcome(), task->reason()});
    return results;
}

QStringList ConversionRun::notConverted() const
{
    QStringList outputs;
    for (const auto &task : m_tasks) {
        if (task->outcome() != Outcome::Converted && task->outcome() != Outcome::AlreadyConverted)
            outputs.append(task->output());
    }
    return outputs;
}

QString ConversionRun::report() const
{
    return reportText(notConverted());
}

QString ConversionRun::reportDetails() const
{
    QList<ReportLine> lines;
    for (const auto &task : m_tasks)
        lines.append({task->output(), task->outcome(), task->reason(), task->details()});
    QStringList remarks = m_fileProblems;
    if (m_leftoversRemoved > 0)
        remarks.prepend(LeftoversRemovedText.arg(m_leftoversRemoved));
    return ::reportDetails(lines, !m_tools.probe.isEmpty(), remarks.join(QLatin1Char('\n')));
}

void ConversionRun::reportProgress()
{
    const RunProgress progress = !m_sourcesRead && !m_tools.probe.isEmpty()
                                     ? readingProgress(m_tasks)
                                     : workProgress(m_tasks, m_clock.elapsed());
    emit progressed(progress.percent, progress.line);
}
