#pragma once

// Shared test fixtures: a private working folder and HOME, stand-in programs, and
// answers for modal dialogs.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

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

// Writes a stand-in program at path that records the arguments of each call in recordFile,
// then runs the shell text `does`, in which "$last" is its last argument.
bool writeRecordingProgram(const QString &path, const QString &recordFile, const QByteArray &does = {});
// The argument lists of every call a recording program recorded.
QList<QStringList> recordedCalls(const QString &recordFile);
QList<QByteArrayList> exactRecordedCalls(const QString &recordFile);

// Whether a real ffmpeg is on PATH (end-to-end tests skip without it).
bool haveFfmpeg();
// Runs a program and returns its standard output (empty on failure).
QByteArray runProgram(const QString &program, const QStringList &arguments, int *exitCode = nullptr);


// Runs the real ffmpeg quietly (no stdin, overwrite allowed) with the given arguments;
// true when it exits with status 0. For making small test clips.
bool runFfmpeg(const QStringList &arguments);

// A small disk: a tmpfs of size bytes mounted on folder (made if missing) for the object's
// lifetime. mounted is false where the system refuses the mount (not root).
struct SmallDisk
{
    SmallDisk(const QString &folder, qint64 size, bool readOnly = false);
    ~SmallDisk();
    QString folder;
    bool mounted = false;
};

// Every file below root, hidden ones too but the journal, relative to it and sorted.
QStringList filesBelow(const QString &root);
// The job script's lines, byte-order marks left out.
QStringList jobScriptLines(const Sandbox &sandbox);

// Writes a small file, creating its folders first.
bool touchFile(const QString &path, const QByteArray &content = "media");
