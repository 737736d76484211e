// orlenne-convert: one file of a batch, converted or copied as the desktop run does it, on a
// machine without a display (a render node); and the report of a destination's journal.

#include "cli/fileconversion.h"
#include "cli/journalreport.h"
#include "core/base/tracing.h"
#include "core/run/runfiles.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

namespace {
constexpr int UsageError = 2;

const char *const Description =
    "Converts SOURCE to OUTPUT with the engine ARGS, or copies it (--copy), exactly as\n"
    "Orlenne Converter's run does: the output is written under a hidden name beside OUTPUT,\n"
    "checked with ffprobe, and takes its name and its source's dates only when it is what the\n"
    "arguments ask for; a copy is read back and compared with its source, and its xxHash goes\n"
    "into DEST/checksums.xxh128. OUTPUT must lie below DEST. The engine is ffmpeg on PATH\n"
    "unless --engine names another, ffprobe the one beside it or on PATH.\n"
    "Every line of the batch file the desktop run writes is one such call.\n"
    "\n"
    "  orlenne-convert --destination DEST (--arguments ARGS | --copy) [--engine PATH]\n"
    "                  [--source-facts JSON] SOURCE OUTPUT\n"
    "  orlenne-convert --report DEST\n"
    "\n"
    "Exit status: 0 when the output is verified (or was already converted), 1 when it is not\n"
    "(one line on standard error says why), 2 when the call itself is wrong. --report exits 0\n"
    "when every output of DEST's journal is verified.";

int usage(const QString &problem)
{
    std::fprintf(stderr, "%s: %s (see --help)\n", qPrintable(NodeCommand::Name), qPrintable(problem));
    return UsageError;
}

QString absolute(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(NodeCommand::Name);
    setUpTracing();

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(Description));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption destination(NodeCommand::Destination, "The batch's destination folder.", "DEST");
    const QCommandLineOption arguments(NodeCommand::Arguments, "The setting's engine arguments.", "ARGS");
    const QCommandLineOption copy(NodeCommand::Copy, "Copy SOURCE without converting it.");
    const QCommandLineOption engine(NodeCommand::EngineOption, "The engine to run instead of ffmpeg on PATH.",
                                    "PATH");
    const QCommandLineOption report(NodeCommand::Report,
                                    "Say from DEST's journal which outputs are verified, which failed and why.",
                                    "DEST");
    const QCommandLineOption facts(NodeCommand::SourceFactsOption,
                                   "What the desktop run read of SOURCE (the batch file gives it): SOURCE is not "
                                   "read again unless it changed since.",
                                   "JSON");
    parser.addOptions({destination, arguments, copy, engine, report, facts});
    parser.addPositionalArgument("SOURCE", "The file to convert or copy.");
    parser.addPositionalArgument("OUTPUT", "The output's path, below DEST.");
    if (!parser.parse(app.arguments()))
        return usage(parser.errorText());
    if (parser.isSet(help))
        parser.showHelp(0);

    if (parser.isSet(report))
        return printJournalReport(absolute(parser.value(report)));

    const QStringList paths = parser.positionalArguments();
    if (paths.size() != 2)
        return usage(QStringLiteral("give one SOURCE and one OUTPUT"));
    if (!parser.isSet(destination))
        return usage(QStringLiteral("--destination is missing"));
    if (parser.isSet(copy) == parser.isSet(arguments))
        return usage(QStringLiteral("give either --arguments or --copy"));
    const QString dest = absolute(parser.value(destination));
    const QString output = absolute(paths.at(1));
    if (!output.startsWith(dest + QLatin1Char('/')))
        return usage(QStringLiteral("OUTPUT must lie below DEST"));

    ConversionJob job;
    job.path = absolute(paths.at(0));
    job.copyOnly = parser.isSet(copy);
    job.arguments = parser.value(arguments);
    job.outputExtension = QFileInfo(output).suffix();
    const Engine chosen = parser.isSet(engine) ? Engine{parser.value(engine), false}
                                               : Engine{QStringLiteral("ffmpeg"), true};
    std::optional<SourceFacts> known;
    if (parser.isSet(facts) && !(known = parseSourceFacts(parser.value(facts).toUtf8())))
        return usage(QStringLiteral("--%1 is not readable").arg(NodeCommand::SourceFactsOption));
    return convertFile(job, output, dest, chosen, known);
}
