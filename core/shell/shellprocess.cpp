#include "core/shell/shellprocess.h"

#include <QDebug>
#include <QPointer>
#include <QProcess>
#include <cerrno>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace {
const QString ShellProgram = QStringLiteral("/bin/sh");

// Runs in the child between fork and exec. The kernel kills the child when the thread that
// started it ends: QProcess forks on the thread calling start(), the GUI thread here, so that
// is when the program ends, however it ends. A parent gone before prctl is seen by getppid.
void dieWith(pid_t program)
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != program)
        ::_exit(127);
}

QStringList shellArguments(const QString &command)
{
    return {QStringLiteral("-c"), command};
}
} // namespace

namespace Shell {

QProcess *start(const QString &command, QObject *parent)
{
    qDebug() << command;
    auto *process = new QProcess(parent);
    process->setProgram(ShellProgram);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setChildProcessModifier([program = ::getpid()] {
        ::setpgid(0, 0);
        dieWith(program);
    });
    // The shell becomes the engine: no shell stays between the program and its engine to
    // outlive either.
    process->setArguments(shellArguments(QLatin1String("exec ") + command));
    process->start();
    return process;
}

void signalGroup(qint64 group, int sig)
{
    if (group > 0)
        ::kill(-pid_t(group), sig);
}

bool groupGone(qint64 group)
{
    return group <= 0 || (::kill(-pid_t(group), 0) != 0 && errno == ESRCH);
}

void dieWithParent(QProcess *process)
{
    process->setChildProcessModifier([program = ::getpid()] { dieWith(program); });
}

bool startDetached(const QString &command)
{
    qDebug() << command;
    QProcess process;
    process.setProgram(ShellProgram);
    process.setArguments(shellArguments(command));
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

void probe(const QString &command, QObject *context, std::function<void(int status)> done)
{
    qDebug() << command;
    // Not a child of context: a widget deletes its children while half destroyed, and the
    // answer must never reach it then. The process goes away when it ends, or with context.
    auto *process = new QProcess;
    QObject::connect(context, &QObject::destroyed, process, [process] {
        process->disconnect();
        delete process; // one still running is killed
    });
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    dieWithParent(process);
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    QObject::connect(process, &QProcess::finished, context,
                     [done](int exitCode, QProcess::ExitStatus status) {
                         done(status == QProcess::NormalExit ? exitCode : -1);
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, guard = QPointer<QObject>(context), done](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return; // a crash also ends in finished()
                         process->deleteLater();
                         if (guard)
                             done(-1);
                     });
    process->start(ShellProgram, shellArguments(command));
}

} // namespace Shell
