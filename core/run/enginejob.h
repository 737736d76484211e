#pragma once

// One engine at work: its command, its process group, its progress, and ending it on request.

#include "core/shell/commands.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

class QProcess;
struct MediaInfo;

class EngineJob : public QObject
{
    Q_OBJECT

public:
    // The engine line of one job, writing output: the setting's arguments, then what the
    // source needs under a built-in setting (known when a probe read the source; not readable
    // otherwise). runOptions are added only to the line that runs, not to the one the job
    // script and the batch file show.
    static QString commandLine(const Engine &engine, const QString &source, const QString &arguments,
                               const MediaInfo &sourceInfo, const QString &output,
                               const QString &runOptions = {});
    // What the running line adds: the engine reports its progress on its output.
    static const QString ProgressOptions;

    // Starts command at once.
    EngineJob(const QString &command, QObject *parent);
    ~EngineJob() override;

    // Asks the engine's whole process group to end, and kills it 3 s later.
    void stop();
    // The seconds of the source the engine has converted; negative before its first report.
    double position() const;
    // The engine's messages so far (its standard error).
    const QByteArray &messages() const { return m_messages; }
    bool running() const { return m_running; }
    // Why the engine failed, as its last words and its exit say.
    QString failureReason(int exitCode, bool crashed) const;

signals:
    // The engine's shell ended, and after a stop every process it started too. stopped: it
    // ended because of stop() (not cleanly).
    void ended(int exitCode, bool crashed, bool stopped);

private:
    void shellEnded(int exitCode, bool crashed);

    QProcess *m_process = nullptr;
    qint64 m_group = 0;
    QByteArray m_progress;
    QByteArray m_messages;
    QTimer m_killTimer;
    bool m_running = true;
    bool m_stopping = false;
};
