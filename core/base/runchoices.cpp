#include "core/base/runchoices.h"

#include <QSettings>
#include <QThread>
#include <algorithm>

namespace {
const QString EnginesAtOnceKey = QStringLiteral("run/enginesAtOnce");
const QString ConvertAgainKey = QStringLiteral("run/convertAgain");

QSettings settings()
{
    return QSettings(QStringLiteral("Veltroan"), QStringLiteral("Orlenne Converter"));
}
} // namespace

int savedEnginesAtOnce()
{
    const int cores = std::max(1, QThread::idealThreadCount());
    const int saved = settings().value(EnginesAtOnceKey, cores).toInt();
    return std::clamp(saved, 1, cores);
}

void saveEnginesAtOnce(int count)
{
    settings().setValue(EnginesAtOnceKey, count);
}

bool savedConvertAgain()
{
    return settings().value(ConvertAgainKey, false).toBool();
}

void saveConvertAgain(bool again)
{
    settings().setValue(ConvertAgainKey, again);
}
