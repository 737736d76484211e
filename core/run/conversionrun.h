#pragma once

// RUN IT NOW without the window: converts and copies a list of jobs, a few at a time, checks
// every output before it counts, and tells how far it is and what became of each file.

#include "core/run/runoutcome.h"
#include "core/run/runreport.h"
#include "core/run/runtask.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

class ConversionRun : public QObject
{
    Q_OBJECT

public:
    using Outcome = ::Outcome;
    struct Result
    {
        QString source;
        QString output;
        Outcome outcome = Outcome::NotStarted;
        QString reason; // why it is not converted
    };

    ConversionRun(const QList<ConversionJob> &jobs, const QStringList &sourceDirs,
                  const QString &destinationDir, const Engine &engine, QObject *parent = nullptr);
    ~ConversionRun() override;

    // Files that no output may replace, besides the jobs' own sources.
    void keepIntact(const QStringList &paths);
    // The ffprobe that reads every source before its engine starts and checks every output;
    // empty: the exit status and the size decide.
    void setProbe(const QString &probe) { m_tools.probe = probe; }
    void setEnginesAtOnce(int count);
    // Converts and copies again what the destination's journal shows as already converted.
    void setConvertAgain(bool again) { m_convertAgain = again; }
    // Asked once, before anything starts, when the outputs need more room than the
    // destination has free; false: nothing starts. Without a question the run goes on.
    using RoomQuestion = std::function<bool(qint64 needed, qint64 free)>;
    void setRoomQuestion(RoomQuestion question) { m_roomQuestion = std::move(question); }

    void start();
    // Ends the running engines and copies and starts nothing more.
    void stop();
    bool isRunning() const { return m_running; }
    // Whether the run was cut short (Stop, a full destination, No to the room question)
    // rather than working through every job.
    bool wasStopped() const { return m_stopping; }

    QList<Result> results() const;
    // The outputs that were not produced, in job order.
    QStringList notConverted() const;
    // The report as the product words it, and why each file was not converted.
    QString report() const;
    QString reportDetails() const;

signals:
    // The whole batch in percent, and a line naming the running files, the files done and
    // the time left.
    void progressed(int percent, const QString &status);
    void finished();

private:
    void plan();
    void startNext();
    void readSources();
    bool roomAgreed();
    void removeEmptyFolders();
    void releaseSlot();
    bool busy() const;
    void writeFinishedEntries();
    void writeChecksums();
    // Adds a line for the report's details once; an empty one means nothing went wrong.
    void noteFileProblem(const QString &problem);
    void finish();
    void reportProgress();

    std::vector<std::unique_ptr<RunTask>> m_tasks;
    QList<ConversionJob> m_jobs;
    QStringList m_sourceDirs;
    QString m_destinationDir;
    RunTask::Tools m_tools;
    QStringList m_keepIntact;
    RoomQuestion m_roomQuestion;
    QStringList m_fileProblems; // files of the run that could not be written, and why
    int m_enginesAtOnce = 1;
    bool m_convertAgain = false;
    int m_leftoversRemoved = 0;
    int m_next = 0;
    int m_active = 0; // engines and copies running: the checks run outside this count
    int m_logged = 0;
    bool m_running = false;
    bool m_sourcesRead = false;
    bool m_stopping = false;
    bool m_finished = false;
    QTimer m_progressTimer;
    QElapsedTimer m_clock;
    QThreadPool m_copies;
};
