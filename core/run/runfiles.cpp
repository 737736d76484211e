#include "core/run/runfiles.h"

#include "core/base/workingfolder.h"
#include "core/files/checksums.h"
#include "core/files/filecopy.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>

namespace {
QString notWritten(const QString &path, const QString &why)
{
    return DesktopFileNotWrittenText.arg(path, why);
}

QString openOrSay(QFileDevice &file, QIODevice::OpenMode mode)
{
    // The Desktop folder is made when it is missing.
    QString error;
    if (const int failure = makeFolderOf(file.fileName()))
        error = notWritten(file.fileName(), systemMessage(failure));
    else if (!file.open(mode))
        error = notWritten(file.fileName(), file.errorString());
    return error;
}
} // namespace

QString writeBatchFile(const QStringList &commands)
{
    QSaveFile file(batchFilePath());
    QString error = openOrSay(file, QIODevice::WriteOnly);
    if (!error.isEmpty())
        return error;
    for (const QString &command : commands) {
        // That file is only in the job script.
        if (fitsOnOneLine(command))
            file.write(command.toUtf8() + '\n');
    }
    if (!file.commit())
        error = notWritten(file.fileName(), file.errorString());
    return error;
}

Engine NodeCommand::batchEngine(const Engine &engine)
{
    const QString name = QStringLiteral("ffmpeg");
    if (engine.onSearchPath)
        return engine.program.trimmed() == name ? Engine{name, true} : engine;
    const QString onPath = QStandardPaths::findExecutable(name);
    const QString target = QFileInfo(engine.program).canonicalFilePath();
    if (!onPath.isEmpty() && !target.isEmpty() && QFileInfo(onPath).canonicalFilePath() == target)
        return {name, true};
    return engine;
}

QString NodeCommand::line(const Engine &engine, const QString &destination, const QString &source,
                          const QString &output, const QString &arguments, bool copyOnly,
                          const QByteArray &sourceFacts)
{
    const auto option = [](const QString &name, const QString &value) {
        return QLatin1String(" --") + name + QLatin1Char('=') + shellQuote(value);
    };
    QString line = Name + option(Destination, destination);
    if (!engine.onSearchPath || engine.program.trimmed() != QLatin1String("ffmpeg"))
        line += option(EngineOption, engine.program.trimmed());
    line += copyOnly ? QLatin1String(" --") + Copy : option(Arguments, arguments);
    if (!sourceFacts.isEmpty())
        line += option(SourceFactsOption, QString::fromUtf8(sourceFacts));
    // "--": a path that starts with a dash is still a path.
    return line + QLatin1String(" -- ") + shellQuote(source) + QLatin1Char(' ') + shellQuote(output);
}

QString startEngineLog()
{
    QFile file(engineLogPath());
    return openOrSay(file, QIODevice::WriteOnly);
}

QString appendEngineLog(const QString &command, const QByteArray &messages)
{
    QFile file(engineLogPath());
    const QString error = openOrSay(file, QIODevice::Append);
    if (!error.isEmpty())
        return error;
    QByteArray entry = "$ " + command.toUtf8() + '\n' + messages;
    if (!messages.endsWith('\n'))
        entry += '\n';
    if (file.write(entry) != entry.size() || !file.flush())
        return notWritten(file.fileName(), file.errorString());
    return QString();
}

QString jobScriptEntry(QString text)
{
    const QString path = jobScriptPath();
    text += QLatin1Char('\n');

    QFile file(path);
    if (!file.exists()) {
        const QString error = openOrSay(file, QIODevice::ReadWrite);
        if (!error.isEmpty())
            return error;
        file.write("# Start of the file:\n");
        file.close();
    }
    if (!file.open(QIODevice::Append | QIODevice::Text))
        return notWritten(path, file.errorString());
    // A new writer per entry: each entry carries its own byte-order mark.
    QTextStream out(&file);
    out.setEncoding(QStringConverter::Utf8);
    out.setGenerateByteOrderMark(true);
    out << text;
    out.flush();
    if (!file.flush())
        return notWritten(path, file.errorString());
    return QString();
}

void logthis3(QString text)
{
    jobScriptEntry(std::move(text));
}

void deletejobfile()
{
    QFile::remove(jobScriptPath());
}
