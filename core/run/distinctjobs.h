#pragma once

#include "core/run/runtask.h"

#include <QList>

// The jobs without those that repeat an earlier one: the same source (its path with doubled
// slashes and "." cleaned away) with the same setting. A file dropped on its own and found again in a dropped
// folder comes twice from the analysis; it is converted once.
QList<ConversionJob> distinctJobs(const QList<ConversionJob> &jobs);
