#pragma once

// How far a run is, judged from its tasks: the bar's share and the line under it.

#include <QString>
#include <memory>
#include <vector>

class RunTask;

struct RunProgress
{
    int percent = 0;
    QString line;
};

// While the sources are read, before the first engine starts.
RunProgress readingProgress(const std::vector<std::unique_ptr<RunTask>> &tasks);
// Once the engines run; elapsedMs since the run started, for the time left.
RunProgress workProgress(const std::vector<std::unique_ptr<RunTask>> &tasks, qint64 elapsedMs);
