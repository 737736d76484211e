#pragma once

// Every command line the program gives the shell runs here: through /bin/sh -c, started
// by QProcess, so that the event loop never waits for an outside program.

#include <QString>
#include <functional>

class QObject;
class QProcess;

namespace Shell {

// Starts command and returns its process (child of parent), stdin from /dev/null, its
// output and its messages readable apart. The shell execs the command, which leads a process
// group of its own (numbered by its process id), so that a signal reaches whatever the
// command started, and it is killed when the program ends, however it ends. command must be
// one simple command: after exec nothing else of the line runs.
QProcess *start(const QString &command, QObject *parent);
void signalGroup(qint64 group, int sig);
// Whether every process of the group has ended.
bool groupGone(qint64 group);

// The process, once started, is killed when the program ends, however it ends (for
// processes not started here, such as the run's probes). Replaces its child process modifier.
void dieWithParent(QProcess *process);

// Starts command and lets it live on its own (the player, the opener); what it prints is
// dropped.
bool startDetached(const QString &command);

// Runs command with its output dropped and calls done with its exit status (non-zero when
// the shell could not run it or it crashed), unless context is gone by then.
void probe(const QString &command, QObject *context, std::function<void(int status)> done);

} // namespace Shell
