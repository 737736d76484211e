#pragma once

// SIGINT, SIGTERM and SIGHUP (GNU parallel ending its jobs, an ssh session dropped, Ctrl-C)
// turned into a call on the event loop, for as long as the object lives.

#include <QSocketNotifier>
#include <functional>
#include <memory>

class StopSignals
{
public:
    explicit StopSignals(std::function<void()> stop);
    ~StopSignals();
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
};
