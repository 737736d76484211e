#include "convert/shellprocess.h"

#include <QDebug>
#include <QProcess>
#include <csignal>
#include <unistd.h>

namespace {
const QString ShellProgram = QStringLiteral("/bin/sh");

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
    process->setArguments(shellArguments(command));
    process->setStandardInputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setChildProcessModifier([] { ::setpgid(0, 0); });
    process->start();
    return process;
}

void signalGroup(const QProcess *process, int sig)
{
    const qint64 pid = process->processId();
    if (pid > 0)
        ::kill(-pid_t(pid), sig);
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
    auto *process = new QProcess(context);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, context,
                     [process, done](int exitCode, QProcess::ExitStatus status) {
                         process->deleteLater();
                         done(status == QProcess::NormalExit ? exitCode : -1);
                     });
    QObject::connect(process, &QProcess::errorOccurred, context,
                     [process, done](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return; // a crash also ends in finished()
                         process->deleteLater();
                         done(-1);
                     });
    process->start(ShellProgram, shellArguments(command));
}

} // namespace Shell
