#include "testsupport.h"

#include "core/files/destinationlock.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
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

bool writeRecordingProgram(const QString &path, const QString &recordFile, const QByteArray &does)
{
    // Each argument ends in a NUL after a "--- call" field, so line feeds in names are kept.
    const QByteArray script = "#!/bin/sh\n{ printf -- '--- call\\0'; for a in \"$@\"; do printf '%s\\0' \"$a\"; done; }"
                              " >> '" + QFile::encodeName(recordFile) + "'\nfor last in \"$@\"; do :; done\n" + does + '\n';
    return writeFile(path, script) && makeExecutable(path);
}

QList<QStringList> recordedCalls(const QString &recordFile)
{
    QList<QStringList> calls;
    for (const QByteArrayList &call : exactRecordedCalls(recordFile)) {
        calls.append(QStringList());
        for (const QByteArray &argument : call)
            calls.last().append(QString::fromUtf8(argument));
    }
    return calls;
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

bool touchFile(const QString &path, const QByteArray &content)
{
    return QDir().mkpath(QFileInfo(path).path()) && writeFile(path, content);
}

SmallDisk::SmallDisk(const QString &folder, qint64 size, bool readOnly) : folder(folder)
{
    QDir().mkpath(folder);
    const QString how = QStringLiteral("size=%1").arg(size) + (readOnly ? QStringLiteral(",ro") : QString());
    const QStringList options{"-t", "tmpfs", "-o", how, "tmpfs", folder};
    mounted = QProcess::execute(QStringLiteral("mount"), options) == 0;
}

SmallDisk::~SmallDisk()
{
    if (mounted)
        QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), folder});
}

QStringList filesBelow(const QString &root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = QDir(root).relativeFilePath(it.next());
        if (file != JournalFileName)
            files.append(file);
    }
    files.sort();
    return files;
}

QStringList jobScriptLines(const Sandbox &sandbox)
{
    return QString::fromUtf8(readFile(sandbox.jobScript())).remove(QChar(0xFEFF)).split('\n');
}
