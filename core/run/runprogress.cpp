#include "core/run/runprogress.h"

#include "core/run/runreport.h"
#include "core/run/runtask.h"

#include <QFileInfo>
#include <QStringList>
#include <algorithm>

RunProgress readingProgress(const std::vector<std::unique_ptr<RunTask>> &tasks)
{
    int read = 0;
    int total = 0;
    for (const auto &task : tasks) {
        // Copies and files already converted have nothing to be read.
        if (task->job().copyOnly || task->phase() == RunTask::Phase::Done)
            continue;
        ++total;
        read += task->ready();
    }
    return {0, readingLine(read, total)};
}

RunProgress workProgress(const std::vector<std::unique_ptr<RunTask>> &tasks, qint64 elapsedMs)
{
    double done = 0;
    int finished = 0;
    int skipped = 0;
    QStringList running;
    for (const auto &task : tasks) {
        if (task->outcome() == Outcome::AlreadyConverted) {
            ++skipped;
            continue;
        }
        done += task->fraction();
        if (task->phase() == RunTask::Phase::Done)
            ++finished;
        else if (task->phase() != RunTask::Phase::Waiting)
            running.append(QFileInfo(task->source()).fileName());
    }
    // The files skipped count as done on the bar, but took no time: the time left is judged
    // by the others alone.
    const int total = int(tasks.size());
    const double fraction = done / double(std::max(1, total - skipped));
    const qint64 left = fraction > 0.01 ? qint64(double(elapsedMs) * (1 - fraction) / fraction) : -1;
    const int percent = int(100 * (done + skipped) / double(std::max(1, total)));
    return {percent, progressLine(finished + skipped, total, left, running, skipped)};
}
