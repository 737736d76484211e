#include "core/base/tracing.h"

#include <QLoggingCategory>

void setUpTracing()
{
    const bool wanted = qEnvironmentVariable("ORLENNE_TRACE") == QLatin1String("1");
    QLoggingCategory::setFilterRules(wanted ? QStringLiteral("default.debug=true")
                                            : QStringLiteral("default.debug=false"));
}
