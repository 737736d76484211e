#pragma once

// Trace lines (qDebug) are for whoever works on the program, not for its users: they are
// dropped unless the environment variable ORLENNE_TRACE is 1. QT_LOGGING_RULES still
// overrides this either way.
void setUpTracing();
