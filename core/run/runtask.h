#pragma once

// One job of a run from start to end: its source read by ffprobe, then its engine and the
// check of its output, or its copy.

#include "core/files/partialclaim.h"
#include "core/files/runjournal.h"
#include "core/media/mediaprobe.h"
#include "core/run/runoutcome.h"
#include "core/run/sourcefacts.h"
#include "core/shell/commands.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class CopyJob;
class EngineJob;
class QProcess;
class QThreadPool;

struct ConversionJob
{
    QString path;            // the source file, an absolute path
    QString arguments;       // the engine arguments as assigned (a copy has none)
    QString outputExtension; // a copy keeps the source's own
    bool copyOnly = false;
};

class RunTask : public QObject
{
    Q_OBJECT

public:
    // Checking: the engine has ended and freed its slot; ffprobe reads what it wrote.
    enum class Phase { Waiting, Converting, Checking, Copying, Done };
    // What every task of a run works with. probe empty: no source is read, and an output is
    // judged by the engine's exit status and its size.
    struct Tools
    {
        Engine engine;
        QString probe;
        QThreadPool *copies = nullptr;
        // The destination whose journal learns of every file concluded; empty: none.
        QString journalFolder;
    };

    RunTask(const ConversionJob &job, const QString &output, const QString &partial,
            const Tools &tools, QObject *parent);
    ~RunTask() override;

    // Starts reading the source's facts (once); sourceRead() follows.
    void readSource();
    // Whether ffprobe is reading the source now.
    bool reading() const { return m_sourceProbe != nullptr; }
    const MediaInfo &sourceInfo() const { return m_sourceInfo; }
    // What was read of the source, for a machine that converts the file elsewhere; nothing
    // when the source was not read or ffprobe could not read it.
    std::optional<SourceFacts> sourceFacts() const;
    // Takes facts read elsewhere instead of reading the source, when the source is still as
    // it was then; whether it took them.
    bool knowSource(const SourceFacts &facts);
    // Whether the work may start now: a copy always, an engine once its source is read (or
    // nothing is to be read).
    bool ready() const;
    // Starts the engine or the copy; when another process is writing the same output, marks
    // the job not started instead.
    void start();
    // Ends the engine or the copy, or the reading of a source that never started.
    void stop();
    // Marks a job that never started.
    void skip(const QString &reason);
    // Before the job starts: marks it already converted when the destination's journal shows
    // its output still standing, or else removes this output's partial file left by an
    // earlier run that ended before it could; whether there was one.
    bool resumeFrom(const Journal &journal);

    const ConversionJob &job() const { return m_job; }
    const QString &source() const { return m_source; }
    const QString &output() const { return m_output; }
    Phase phase() const { return m_phase; }
    Outcome outcome() const { return m_outcome; }
    const QString &reason() const { return m_reason; }
    // Whether it failed because the destination is full.
    bool outOfRoom() const;
    const QByteArray &hash() const { return m_hash; }
    // Why the journal could not learn of this file, when it could not.
    const QString &journalError() const { return m_journalError; }
    // The engine line as the job script shows it (empty for a copy): as it ran, or as it
    // would have run.
    QString command() const;
    // What the report says of this file besides its outcome, each line led by the source's
    // name: streams left out, a changed rate.
    const QStringList &details() const { return m_details; }
    // The engine's messages, handed over once.
    QByteArray takeMessages() { return std::exchange(m_messages, {}); }
    // How far the work is, from 0 to 1; a file being checked counts as converted.
    double fraction();

signals:
    void sourceRead();
    // The engine or the copy has ended; a check may still follow.
    void slotFreed();
    void concluded();

private:
    bool removeLeftover();
    void skipAsConverted(const JournalEntry &entry);
    void probeSource(bool readFrames);
    void engineEnded(int exitCode, bool crashed, bool stopped);
    void checkOutput();
    void accept();
    void conclude(Outcome outcome, const QString &reason = {});

    ConversionJob m_job;
    QString m_source;
    QString m_output;
    QString m_partial;
    PartialClaim m_claim;
    Tools m_tools;
    Phase m_phase = Phase::Waiting;
    Outcome m_outcome = Outcome::NotStarted;
    QString m_reason;
    QProcess *m_sourceProbe = nullptr;
    bool m_sourceKnown = false;
    FileState m_sourceState; // the source when its reading began
    MediaInfo m_sourceInfo;
    QString m_command;
    QStringList m_details;
    EngineJob *m_engine = nullptr;
    QByteArray m_messages;
    double m_duration = -1;
    std::unique_ptr<CopyJob> m_copy;
    QByteArray m_hash;
    QString m_journalError;
};

// RunTask::resumeFrom for every task, the files looked at a few at once: on a network share
// every look is a round trip, and a night's batch holds thousands of files. Gives the number
// of leftovers removed.
int resumeTasks(const std::vector<std::unique_ptr<RunTask>> &tasks, const Journal &journal);
