#include "core/base/enginesatonce.h"

#include <QSettings>
#include <QThread>
#include <algorithm>

namespace {
const QString EnginesAtOnceKey = QStringLiteral("run/enginesAtOnce");

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
