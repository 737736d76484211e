#include "cli/fileconversion.h"

#include "cli/stopsignals.h"
#include "core/engines/enginefolder.h"
#include "core/files/checksums.h"
#include "core/jobs/outputpath.h"
#include "core/run/runfiles.h"
#include "core/run/runreport.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QThreadPool>
#include <cstdio>

namespace {
void say(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fputc('\n', stream);
}
} // namespace

int convertFile(const ConversionJob &job, const QString &output, const QString &destination,
                const Engine &engine, const std::optional<SourceFacts> &facts)
{
    QThreadPool copies;
    copies.setMaxThreadCount(1);
    const RunTask::Tools tools{engine, findProbe(engine.program), &copies, destination};
    // The run makes the mirrored folder when it names the output.
    QDir().mkpath(QFileInfo(output).path());

    RunTask task(job, output, partialPath(output, 0), tools, nullptr);
    task.resumeFrom(readJournal(destination));
    QEventLoop loop;
    bool stopping = false;
    QObject::connect(&task, &RunTask::sourceRead, &loop, [&] {
        if (!stopping)
            task.start();
    });
    QObject::connect(&task, &RunTask::concluded, &loop, &QEventLoop::quit);
    const StopSignals signals_([&] {
        stopping = true;
        task.stop();
        if (task.phase() == RunTask::Phase::Waiting) {
            task.skip(StoppedText);
            loop.quit();
        }
    });
    // A file already converted is done at once, as is one whose engine cannot start.
    if (task.phase() != RunTask::Phase::Done) {
        // The facts the batch line brings stand for the source while it is unchanged.
        if (!facts || !task.knowSource(*facts))
            task.readSource();
        if (task.ready())
            task.start();
    }
    if (task.phase() != RunTask::Phase::Done)
        loop.exec();
    copies.waitForDone();

    QStringList remarks;
    if (!task.journalError().isEmpty())
        remarks.append(DesktopFileNotWrittenText.arg(QDir(destination).filePath(JournalFileName), task.journalError()));
    // A copy found already converted keeps the line it was given then.
    QString error;
    if (job.copyOnly && task.outcome() == Outcome::Converted
        && !recordChecksums(destination, {{QDir(destination).relativeFilePath(output), task.hash()}}, &error))
        remarks.append(QStringLiteral("%1: %2").arg(ChecksumFileName, error));
    const Outcome outcome = stopping && task.outcome() == Outcome::NotStarted ? Outcome::Stopped : task.outcome();
    const QString details = reportDetails({{output, outcome, task.reason(), task.details()}},
                                          !tools.probe.isEmpty() || job.copyOnly, remarks.join(QLatin1Char('\n')));
    if (outcome == Outcome::Converted || outcome == Outcome::AlreadyConverted) {
        say(stdout, details);
        return 0;
    }
    say(stderr, details.section(QLatin1Char('\n'), 0, 0));
    return 1;
}
