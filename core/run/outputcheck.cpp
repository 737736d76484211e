#include "core/run/outputcheck.h"

#include "core/media/mediaprobe.h"
#include "core/shell/shellprocess.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

QProcess *startProbe(const QString &probe, const QString &path, bool readFrames, QObject *context,
                     std::function<void(const MediaInfo &)> done)
{
    auto *process = new QProcess(context);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    const auto answer = [process, done](const MediaInfo &info) {
        process->disconnect();
        process->deleteLater();
        done(info);
    };
    QObject::connect(process, &QProcess::finished, context,
                     [process, answer] { answer(parseProbe(process->readAllStandardOutput())); });
    QObject::connect(process, &QProcess::errorOccurred, context, [answer](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) // nothing else comes then
            answer(MediaInfo());
    });
    Shell::dieWithParent(process); // no probe outlives the program, however it ends
    process->start(probe, probeArguments(path, readFrames));
    return process;
}

bool outputProduced(int exitStatus, const QString &outputPath)
{
    if (exitStatus != 0)
        return false;
    const QFileInfo info(outputPath);
    if (!info.isFile() || info.size() < MinimumOutputSize)
        return false;
    // Root may write anywhere: a file without write permission counts as stale all the same.
    if (!(info.permissions() & QFileDevice::WriteOwner))
        return false;
    QFile file(outputPath);
    return file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly);
}
