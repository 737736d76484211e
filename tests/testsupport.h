#pragma once

// Shared test fixtures: a private working folder and HOME, stand-in programs, and
// answers for modal dialogs.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

// A temporary folder that becomes the working folder (with the bundle folders
// VeltroanBatchConverter.app/engines) and HOME (with a Desktop folder) for the
// fixture's lifetime. PATH gets the program's own opener first.
class Sandbox
{
public:
    Sandbox();
    ~Sandbox();

    QString path() const { return m_dir.path(); }
    QString home() const { return m_dir.path() + QLatin1String("/home"); }
    QString bundle() const { return m_dir.path() + QLatin1String("/VeltroanBatchConverter.app"); }
    QString engines() const { return bundle() + QLatin1String("/engines"); }
    QString jobScript() const { return home() + QLatin1String("/Desktop/log_file.txt"); }
    // A folder for stand-in programs, put at the front of PATH.
    QString bin() const { return m_dir.path() + QLatin1String("/bin"); }

private:
    QTemporaryDir m_dir;
    QString m_oldCwd;
    QByteArray m_oldHome;
    QByteArray m_oldPath;
};

bool writeFile(const QString &path, const QByteArray &content);
QByteArray readFile(const QString &path);
bool makeExecutable(const QString &path);

// What a stand-in program does after recording its arguments. In `before` and `after`
// (shell text) "$last" is the program's last argument.
struct StandIn
{
    StandIn(int outputBytes = -1, int exitStatus = 0, QByteArray before = {}, QByteArray after = {})
        : outputBytes(outputBytes), exitStatus(exitStatus), before(std::move(before)),
          after(std::move(after))
    {
    }
    int outputBytes;   // when >= 0, that many bytes are written to the last argument
    int exitStatus;
    QByteArray before; // run before the output is written
    QByteArray after;  // run after it (may exit with a status of its own)
};
enum class Recording {
    Lines, // each argument on a line after a "--- call" line: read with recordedCalls
    Exact, // each argument NUL-ended after a "--- call" field, line feeds kept: exactRecordedCalls
};
// Writes a stand-in program at path that records each call's arguments in recordFile,
// then does what `does` says.
bool writeRecordingProgram(const QString &path, const QString &recordFile,
                           Recording format = Recording::Lines, const StandIn &does = {});
// The argument lists of every call recorded by a recording program.
QList<QStringList> recordedCalls(const QString &recordFile);

// Answers every modal dialog with the given button / result and keeps the texts of
// message boxes that were shown. Restores the real dialogs when destroyed.
class DialogAnswers
{
public:
    explicit DialogAnswers(int answer);
    ~DialogAnswers();
    void setAnswer(int answer) { m_answer = answer; }
    // Called with each dialog before it is answered.
    void onDialog(std::function<void(class QDialog *)> inspect) { m_inspect = std::move(inspect); }
    QStringList texts;   // QMessageBox::text() of each box shown
    QStringList details; // QMessageBox::informativeText()
    QStringList titles;  // windowTitle() of each dialog

private:
    int m_answer;
    std::function<void(class QDialog *)> m_inspect;
};

// Whether a real ffmpeg is on PATH (end-to-end tests skip without it).
bool haveFfmpeg();
// Runs a program and returns its standard output (empty on failure).
QByteArray runProgram(const QString &program, const QStringList &arguments, int *exitCode = nullptr);

// The raw argument lists of every call recorded by an exact recording program.
QList<QByteArrayList> exactRecordedCalls(const QString &recordFile);

// Runs the real ffmpeg quietly (no stdin, overwrite allowed) with the given arguments;
// true when it exits with status 0. For making small test clips.
bool runFfmpeg(const QStringList &arguments);

class QMimeData;
class QWidget;
// Drops the data onto the widget as the file manager would: a drag entry, then the drop
// (the toolkit hands a drop only to a widget that accepted the entry). True when the
// drop was accepted.
bool dropData(QWidget *target, QMimeData *data);
// Drops the URLs of the given local paths.
bool dropPaths(QWidget *target, const QStringList &paths);
// Writes a small file, creating its folders first.
bool touchFile(const QString &path, const QByteArray &content = "media");
