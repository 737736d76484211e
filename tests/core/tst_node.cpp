#include "cli/journalreport.h"
#include "core/base/workingfolder.h"
#include "core/engines/enginefolder.h"
#include "core/files/checksums.h"
#include "core/files/runjournal.h"
#include "core/media/settingscatalogue.h"
#include "core/run/conversionrun.h"
#include "core/run/runfiles.h"
#include "core/run/runreport.h"
#include "testsupport.h"

#include <QDateTime>
#include <QSignalSpy>
#include <QtTest>
#include <algorithm>
#include <functional>

namespace {
// The batch file, run by GNU parallel with two job slots; its exit status (the number of
// lines that failed).
int runBatch(const QString &batch)
{
    int status = -1;
    runProgram(QStringLiteral("/bin/sh"), {"-c", "parallel --will-cite -j 2 < \"$0\"", batch}, &status);
    return status;
}

// What the checks compare: every stream's codec and picture size, one line each.
QByteArray streams(const QString &path)
{
    return runProgram(QStringLiteral("ffprobe"), {"-v", "error", "-show_entries", "stream=codec_name,width,height",
                                                  "-of", "csv=p=0", path});
}

QMap<QString, QDateTime> modified(const QString &root)
{
    QMap<QString, QDateTime> times;
    for (const QString &file : filesBelow(root))
        times.insert(file, QFileInfo(root + '/' + file).lastModified());
    return times;
}

QStringList outcomeLines(const QString &details)
{
    QStringList lines = details.split('\n').filter(QRegularExpression("^(not )?converted: "));
    lines.sort();
    return lines;
}
} // namespace

class NodeTest final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_media;

    QString clip() const { return m_media.filePath("clip.mov"); }

private slots:
    void initTestCase()
    {
        for (const char *program : {"ffmpeg", "ffprobe", "parallel", "xxhsum"}) {
            if (QStandardPaths::findExecutable(program).isEmpty())
                QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(program)));
        }
        QVERIFY(runFfmpeg({"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-f", "lavfi", "-i",
                           "sine=sample_rate=48000", "-t", "0.5", "-pix_fmt", "yuv420p", clip()}));
    }

    // A mixed batch written by the desktop run, its lines run by GNU parallel into an empty
    // destination: the same outputs, verified, and the same report; run again, it converts
    // nothing.
    void theBatchFileRunsTheWholeRunOnOtherMachines()
    {
        Sandbox sandbox;
        QVERIFY(QFile::link(ORLENNE_CONVERT, sandbox.bin() + '/' + NodeCommand::Name));
        const QString source = sandbox.path() + "/footage", destination = sandbox.path() + "/out";
        const QString dv = Settings::argumentsFor({Settings::DvPal, {}, {}, {}, false});
        const QList<QPair<QString, QString>> files{{"a.mov", dv},
                                                   {"day 2/b.mov", Settings::Rewrap},
                                                   {"a'b $(touch x) \"c\".mov", dv},
                                                   {"sound.mov", QString()},
                                                   {"notes.mov", dv}};
        QList<ConversionJob> jobs;
        for (const auto &[name, arguments] : files) {
            const QString path = source + '/' + name;
            QVERIFY(QDir().mkpath(QFileInfo(path).path()));
            QVERIFY(name == "notes.mov" ? writeFile(path, QByteArray(5000, 'n')) : QFile::copy(clip(), path));
            jobs.append({path, arguments, QStringLiteral("MOV"), arguments.isEmpty()});
        }
        QVERIFY(QDir().mkpath(destination));
        ConversionRun desktop(jobs, {"file://" + source}, destination, Engine{QStringLiteral("ffmpeg"), true});
        desktop.setProbe(findProbe(QStringLiteral("ffmpeg")));
        desktop.setEnginesAtOnce(2);
        QSignalSpy done(&desktop, &ConversionRun::finished);
        desktop.start();
        QVERIFY(done.wait(120000));
        QCOMPARE(desktop.notConverted(), QStringList(desktop.results().last().output));
        QCOMPARE(readFile(batchFilePath()).count('\n'), files.size());

        const QString onDesktop = sandbox.path() + "/desktop-out";
        QVERIFY(QDir().rename(destination, onDesktop) && QDir().mkpath(destination));
        QCOMPARE(runBatch(batchFilePath()), 1);
        QCOMPARE(filesBelow(destination).filter(QRegularExpression("^[^.]")),
                 filesBelow(onDesktop).filter(QRegularExpression("^[^.]")));
        for (const ConversionRun::Result &result : desktop.results().mid(0, 4)) {
            QCOMPARE(streams(result.output), streams(onDesktop + result.output.mid(destination.size())));
            QCOMPARE(QFileInfo(result.output).lastModified(), QFileInfo(result.source).lastModified());
        }
        QVERIFY(!QFile::exists(sandbox.path() + "/x") && !QFile::exists(source + "/x"));
        int status = -1;
        const QString report = QString::fromUtf8(runProgram(ORLENNE_CONVERT, {"--report", destination}, &status));
        QCOMPARE(outcomeLines(report), outcomeLines(desktop.reportDetails()));
        QCOMPARE(status, 1);
        runProgram("/bin/sh", {"-c", "cd \"$0\" && xxhsum -c " + ChecksumFileName, destination}, &status);
        QCOMPARE(status, 0);

        const QMap<QString, QDateTime> before = modified(destination);
        QCOMPARE(runBatch(batchFilePath()), 1);
        const QMap<QString, QDateTime> after = modified(destination);
        for (const ConversionRun::Result &result : desktop.results().mid(0, 4)) {
            const QString name = QDir(destination).relativeFilePath(result.output);
            QCOMPARE(after.value(name), before.value(name));
        }
        QCOMPARE(after.keys(), before.keys());
    }

    // A line brings what the desktop run read of its source: the node reads only its own
    // output, unless the source changed since.
    void aNodeReadsTheSourceAgainOnlyWhenItChanged()
    {
        const QString realProbe = QStandardPaths::findExecutable("ffprobe");
        Sandbox sandbox;
        QVERIFY(QFile::link(ORLENNE_CONVERT, sandbox.bin() + '/' + NodeCommand::Name));
        const QString probes = sandbox.path() + "/probes";
        QVERIFY(writeRecordingProgram(sandbox.bin() + "/ffprobe", probes, "exec '" + realProbe.toUtf8() + "' \"$@\""));
        const QString source = sandbox.path() + "/footage/a.mov", destination = sandbox.path() + "/out";
        QVERIFY(QDir().mkpath(sandbox.path() + "/footage") && QFile::copy(clip(), source) && QDir().mkpath(destination));
        const QString dv = Settings::argumentsFor({Settings::DvPal, {}, {}, {}, false});
        ConversionRun desktop({{source, dv, QStringLiteral("MOV"), false}}, {"file://" + sandbox.path() + "/footage"},
                              destination, Engine{QStringLiteral("ffmpeg"), true});
        desktop.setProbe(findProbe(QStringLiteral("ffmpeg")));
        QSignalSpy done(&desktop, &ConversionRun::finished);
        desktop.start();
        QVERIFY(done.wait(60000));
        QCOMPARE(desktop.notConverted(), QStringList());
        const QString line = QString::fromUtf8(readFile(batchFilePath())).trimmed();
        QVERIFY2(line.contains(" --" + NodeCommand::SourceFactsOption + "="), qPrintable(line));

        // Each time into an empty destination; the second time the source was touched.
        for (const int readings : {0, 1}) {
            QVERIFY(QDir(destination).removeRecursively() && QDir().mkpath(destination));
            QFile::remove(probes);
            if (readings)
                QVERIFY(touchFile(source, readFile(clip())));
            int status = -1;
            runProgram("/bin/sh", {"-c", line}, &status);
            QCOMPARE(status, 0);
            const QList<QStringList> calls = recordedCalls(probes);
            QCOMPARE(calls.size(), readings + 1);
            QCOMPARE(std::count_if(calls.cbegin(), calls.cend(),
                                   [&source](const QStringList &call) { return call.last() == "file:" + source; }),
                     readings);
        }
        // Facts that cannot be read are the call's fault, not the file's.
        int status = -1;
        runProgram(ORLENNE_CONVERT, {"--destination", destination, "--arguments", dv, "--" + NodeCommand::SourceFactsOption,
                                     "{\"probe\":{}}", source, destination + "/b.MOV"}, &status);
        QCOMPARE(status, 2);
    }

    // The same line run twice at once (a batch file handed out twice): one process converts,
    // the other leaves the output to it, and the journal tells only the truth.
    void theSameLineRunTwiceAtOnceConvertsOnce()
    {
        Sandbox sandbox;
        QVERIFY(QFile::link(ORLENNE_CONVERT, sandbox.bin() + '/' + NodeCommand::Name));
        const QString engine = sandbox.bin() + "/slow-ffmpeg", destination = sandbox.path() + "/out";
        QVERIFY(writeFile(engine, "#!/bin/sh\nsleep 1\nexec ffmpeg \"$@\"\n") && makeExecutable(engine));
        const QString output = destination + "/a.MOV";
        const QString line = NodeCommand::line({engine, false}, destination, clip(), output,
                                               Settings::argumentsFor({Settings::DvPal, {}, {}, {}, false}), false);
        const QString batch = sandbox.path() + "/batch";
        QVERIFY(writeFile(batch, (line + '\n' + line + '\n').toUtf8()));
        const QString said = QString::fromUtf8(
            runProgram("/bin/sh", {"-c", "parallel --will-cite -j 2 < \"$0\" 2>&1", batch}));
        QCOMPARE(outcomeLines(said), QStringList("converted: " + output));
        QVERIFY2(said.contains(BeingWrittenText + ": " + output), qPrintable(said));
        int status = -1;
        runProgram(ORLENNE_CONVERT, {"--report", destination}, &status);
        QCOMPARE(status, 0);
        QCOMPARE(filesBelow(destination), QStringList("a.MOV"));
    }

    // A call whose output would take the place of its own source changes nothing.
    void aNodeNeverWritesOverItsSource_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("outputName");
        QTest::newRow("converted onto itself") << "--arguments=-an" << "a.mov";
        QTest::newRow("copied onto itself") << "--" + NodeCommand::Copy << "a.mov";
        QTest::newRow("converted onto itself through a folder link") << "--arguments=-an" << "link/a.mov";
    }
    void aNodeNeverWritesOverItsSource()
    {
        QFETCH(QString, how);
        QFETCH(QString, outputName);
        QTemporaryDir destination;
        const QString source = destination.filePath("a.mov");
        QVERIFY(QFile::copy(clip(), source));
        QVERIFY(QFile::link(destination.path(), destination.filePath("link")));
        int status = -1;
        const QString said = QString::fromUtf8(runProgram(
            "/bin/sh", {"-c", "\"$0\" --destination \"$1\" \"$2\" -- \"$3\" \"$4\" 2>&1", ORLENNE_CONVERT,
                        destination.path(), how, source, destination.filePath(outputName)},
            &status));
        QCOMPARE(status, 1);
        QVERIFY2(said.contains(OutputIsSourceText), qPrintable(said));
        QCOMPARE(readFile(source), readFile(clip()));
    }

    // A report with nothing to tell says why: nothing ran there, or its journal is unreadable.
    void anEmptyReportSaysWhy()
    {
        QTemporaryDir destination;
        const QString journal = destination.filePath(JournalFileName);
        const QList<QPair<std::function<bool()>, QString>> cases{
            {[] { return true; }, NoJournalText},
            {[&] { return writeFile(journal, "{\"output\": \"cut"); }, NoWholeLineText},
            {[&] { return QFile::remove(journal) && QDir().mkdir(journal); }, UnreadableJournalText.arg(QString())}};
        for (const auto &[make, why] : cases) {
            QVERIFY(make());
            int status = -1;
            const QByteArray said = runProgram("/bin/sh", {"-c", "\"$0\" --report \"$1\" 2>&1", ORLENNE_CONVERT, destination.path()}, &status);
            QVERIFY2(said.contains(why.toUtf8()), said.constData());
            QCOMPARE(status, 1);
        }
    }

    // A line names the engine only when a node would not find it as the ffmpeg on its PATH.
    void aLineNamesOnlyAnEngineOtherThanTheFfmpegOnPath()
    {
        Sandbox sandbox;
        const QString link = sandbox.engines() + "/ffmpeg", other = sandbox.bin() + "/other";
        QVERIFY(QFile::link(QStandardPaths::findExecutable("ffmpeg"), link));
        QVERIFY(writeFile(other, "#!/bin/sh\n") && makeExecutable(other));
        const QList<QPair<Engine, bool>> cases{{{"ffmpeg", true}, false}, {{link, false}, false}, {{other, false}, true}};
        for (const auto &[engine, named] : cases) {
            const QString line = NodeCommand::line(NodeCommand::batchEngine(engine), "/d", "/s", "/d/o", "-an", false);
            QCOMPARE(line.contains("--" + NodeCommand::EngineOption + "=" + shellQuote(engine.program)), named);
        }
    }

    // Two nodes finishing copies into one destination at the same moments: every copy keeps
    // its line.
    void nodesWritingOneDestinationAtOnceLoseNoLine()
    {
        Sandbox sandbox;
        QVERIFY(QFile::link(ORLENNE_CONVERT, sandbox.bin() + '/' + NodeCommand::Name));
        const QString destination = sandbox.path() + "/out";
        QStringList lines;
        constexpr int Copies = 100;
        for (int i = 0; i < Copies; ++i) {
            const QString path = sandbox.path() + QStringLiteral("/cards/%1.wav").arg(i);
            QVERIFY(touchFile(path, QByteArray::number(i)));
            lines.append(NodeCommand::line({"ffmpeg", true}, destination, path, destination + QStringLiteral("/cards/%1.wav").arg(i),
                                           {}, true));
        }
        const QString batch = sandbox.path() + "/batch";
        QVERIFY(writeFile(batch, lines.join('\n').toUtf8() + '\n'));
        QCOMPARE(runBatch(batch), 0);
        int status = -1;
        runProgram("/bin/sh", {"-c", "cd \"$0\" && xxhsum -c " + ChecksumFileName, destination}, &status);
        QCOMPARE(status, 0);
        QCOMPARE(readFile(destination + '/' + ChecksumFileName).count('\n'), Copies);
        QCOMPARE(readJournal(destination).size(), Copies);
    }
};

QTEST_GUILESS_MAIN(NodeTest)
#include "tst_node.moc"
