#include "testsupport.h"

#include "app/modal.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>

Sandbox::Sandbox() : m_oldCwd(QDir::currentPath()), m_oldHome(qgetenv("HOME")), m_oldPath(qgetenv("PATH"))
{
    QDir root(m_dir.path());
    root.mkpath(QStringLiteral("VeltroanBatchConverter.app/engines"));
    root.mkpath(QStringLiteral("home/Desktop"));
    root.mkpath(QStringLiteral("bin"));
    QDir::setCurrent(m_dir.path());
    qputenv("HOME", QFile::encodeName(home()));
    qputenv("PATH", QFile::encodeName(bin()) + ':' + QByteArray(ORLENNE_OPENER_DIR) + ':' + m_oldPath);
}

Sandbox::~Sandbox()
{
    QDir::setCurrent(m_oldCwd);
    qputenv("HOME", m_oldHome);
    qputenv("PATH", m_oldPath);
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool makeExecutable(const QString &path)
{
    return QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner
                                           | QFileDevice::ExeGroup | QFileDevice::ExeOther);
}

bool writeRecordingProgram(const QString &path, const QString &recordFile, int outputBytes,
                           int exitStatus)
{
    QByteArray script = "#!/bin/sh\n"
                        "{ printf -- '--- call\\n'; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } >> '"
                        + QFile::encodeName(recordFile) + "'\n";
    if (outputBytes >= 0) {
        script += "for last in \"$@\"; do :; done\n"
                  "head -c " + QByteArray::number(outputBytes) + " /dev/zero > \"$last\"\n";
    }
    script += "exit " + QByteArray::number(exitStatus) + "\n";
    return writeFile(path, script) && makeExecutable(path);
}

QList<QStringList> recordedCalls(const QString &recordFile)
{
    QList<QStringList> calls;
    const QString text = QString::fromUtf8(readFile(recordFile));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (const QString &line : std::as_const(lines)) {
        if (line == QLatin1String("--- call"))
            calls.append(QStringList());
        else if (!calls.isEmpty())
            calls.last().append(line);
    }
    return calls;
}

DialogAnswers::DialogAnswers(int answer) : m_answer(answer)
{
    Modal::setDialogRunner([this](QDialog *dialog) {
        if (auto *box = qobject_cast<QMessageBox *>(dialog)) {
            texts.append(box->text());
            details.append(box->informativeText());
        }
        titles.append(dialog->windowTitle());
        if (m_inspect)
            m_inspect(dialog);
        return m_answer;
    });
}

DialogAnswers::~DialogAnswers()
{
    Modal::setDialogRunner({});
}

bool haveFfmpeg()
{
    return !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty();
}

QByteArray runProgram(const QString &program, const QStringList &arguments, int *exitCode)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(600000);
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return process.readAllStandardOutput();
}

bool writeExactRecordingProgram(const QString &path, const QString &recordFile)
{
    const QByteArray script = "#!/bin/sh\n"
                              "{ printf -- '--- call\\0'; for a in \"$@\"; do printf '%s\\0' \"$a\"; done; } >> '"
                              + QFile::encodeName(recordFile) + "'\n";
    return writeFile(path, script) && makeExecutable(path);
}

QList<QByteArrayList> exactRecordedCalls(const QString &recordFile)
{
    QList<QByteArrayList> calls;
    QByteArrayList fields = readFile(recordFile).split('\0');
    if (!fields.isEmpty() && fields.last().isEmpty())
        fields.removeLast();
    for (const QByteArray &field : std::as_const(fields)) {
        if (field == "--- call")
            calls.append(QByteArrayList());
        else if (!calls.isEmpty())
            calls.last().append(field);
    }
    return calls;
}

bool runFfmpeg(const QStringList &arguments)
{
    int status = -1;
    runProgram(QStringLiteral("ffmpeg"),
               QStringList{QStringLiteral("-nostdin"), QStringLiteral("-v"),
                           QStringLiteral("error"), QStringLiteral("-y")}
                   + arguments,
               &status);
    return status == 0;
}

bool writeExactRecordingEngine(const QString &path, const QString &recordFile, int outputBytes,
                               const QByteArray &before, const QByteArray &after)
{
    QByteArray script = "#!/bin/sh\n"
                        "{ printf -- '--- call\\0'; for a in \"$@\"; do printf '%s\\0' \"$a\"; done; } >> '"
                        + QFile::encodeName(recordFile) + "'\n"
                        "for last in \"$@\"; do :; done\n"
                        + before + "\n";
    if (outputBytes >= 0)
        script += "head -c " + QByteArray::number(outputBytes) + " /dev/zero > \"$last\"\n";
    script += after + "\n";
    return writeFile(path, script) && makeExecutable(path);
}
