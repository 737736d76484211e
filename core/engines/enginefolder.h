#pragma once

// Where the conversion engines are.

#include "core/shell/commands.h"

#include <QString>

// Working folder + "/VeltroanBatchConverter.app/engines/"
QString enginesFolder();
// Entries in the engines folder, "." and ".." included; 0 when the folder is missing.
int enginesFolderEntryCount();
// The engines folder's "ffmpeg" when it exists, otherwise "ffmpeg" on the search path.
Engine resolveEngine();
// The ffprobe that belongs to an engine: beside it (or beside the program a link names),
// otherwise the one on PATH; empty when there is none.
QString findProbe(const QString &engine);
