#pragma once

// RUN IT NOW without the window: converts and copies a list of jobs, a few at a time, checks
// every output before it counts, and tells how far it is and what became of each file.

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

class QProcess;
struct MediaInfo;

struct ConversionJob
{
    QString path;            // the job entry's path; a "/" is put in front of it
    QString arguments;       // the engine arguments as assigned (a copy has none)
    QString outputExtension; // a copy keeps the source's own
    bool copyOnly = false;
};

class ConversionRun : public QObject
{
    Q_OBJECT

public:
    enum class Outcome { NotStarted, Converted, Failed, Stopped };
    struct Result
    {
        QString source;
        QString output;
        Outcome outcome = Outcome::NotStarted;
        QString reason; // why it is not converted
    };

    // engine is the engine path: a full path, or the bare name followed by a blank.
    ConversionRun(const QList<ConversionJob> &jobs, const QStringList &sourceDirs,
                  const QString &destinationDir, const QString &engine,
                  QObject *parent = nullptr);
    ~ConversionRun() override;

    // Files that no output may replace, besides the jobs' own sources.
    void keepIntact(const QStringList &paths);
    // The ffprobe that checks every output; empty: the exit status and the size decide.
    void setProbe(const QString &probe);
    void setEnginesAtOnce(int count);

    void start();
    // Ends the running engines and copies and starts nothing more.
    void stop();
    bool isRunning() const { return m_running; }
    static bool anyRunning();

    QList<Result> results() const;
    // The outputs that were not produced, in job order.
    QStringList notConverted() const;
    // The report as the product words it, and why each file was not converted.
    QString report() const;
    QString reportDetails() const;

    // "engines at once", kept between sessions; one per core unless chosen otherwise.
    static int savedEnginesAtOnce();
    static void saveEnginesAtOnce(int count);

signals:
    // The whole batch in percent, and a line naming the running files, the files done and
    // the time left.
    void progressed(int percent, const QString &status);
    void finished();

private:
    struct Task;

    void plan();
    void startNext();
    // Runs ffprobe on path; done gets what it found (nothing when it could not run).
    QProcess *startProbe(const QString &path, std::function<void(const MediaInfo &)> done);
    void probeSource(Task &task);
    void startEngine(Task &task);
    void engineFinished(Task &task, int exitCode, bool crashed);
    void verifyOutput(Task &task);
    void startCopy(Task &task);
    void accept(Task &task);
    void conclude(Task &task, int outcome, const QString &reason = {});
    void writeFinishedEntries();
    void finish();
    void reportProgress();
    Task *taskOf(const QObject *process);

    std::vector<std::unique_ptr<Task>> m_tasks;
    QStringList m_sourceDirs;
    QString m_destinationDir;
    QString m_engine;
    QString m_probe;
    QStringList m_keepIntact;
    QString m_checksumError;
    int m_enginesAtOnce = 1;
    int m_next = 0;
    int m_active = 0;
    int m_logged = 0;
    bool m_running = false;
    bool m_stopping = false;
    bool m_finished = false;
    QTimer m_progressTimer;
    QTimer m_killTimer;
    QElapsedTimer m_clock;
    QThreadPool m_copies;
};

QString reportText(const QStringList &notConverted);
inline const QString FinishedText = QStringLiteral(
    "Finished.Please check the destination folder for results,FFmpeg script is located on "
    "desktop for debug!");

// An output counts as produced only when the engine exited with status 0 and the output
// is a writable file of at least 2000 bytes. Creates no file.
bool outputProduced(int exitStatus, const QString &outputPath);
inline constexpr qint64 MinimumOutputSize = 2000;
