#include "core/files/checksums.h"
#include "core/files/filecopy.h"
#include "core/files/runjournal.h"
#include "core/media/intermediates.h"
#include "core/jobs/outputpath.h"
#include "core/media/engineprogress.h"
#include "core/run/conversionrun.h"
#include "core/base/workingfolder.h"
#include "core/run/roomestimate.h"
#include "core/run/runfiles.h"
#include "core/media/settingscatalogue.h"
#include "testsupport.h"

#include <QDateTime>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>
#include <cerrno>
#include <csignal>
#include <memory>

namespace {
QString dvPal()
{
    return Settings::argumentsFor({Settings::DvPal, {}, {}, {}, false});
}
using Outcome = ConversionRun::Outcome;

// Sources in "footage" converted into "out" by a stand-in engine. The engine records its
// arguments, then runs the shell text "<source>.sh" when the test wrote one ("$last" is the
// file it must write), else writes 3000 bytes.
struct Fixture
{
    Sandbox sandbox;
    QString source = sandbox.path() + QLatin1String("/footage");
    QString destination = sandbox.path() + QLatin1String("/out");
    QString record = sandbox.path() + QLatin1String("/calls");
    QList<ConversionJob> jobs;
    QStringList sourceDirs{"file://" + source};
    std::unique_ptr<ConversionRun> run;
    bool again = false;      // convert again what is already converted
    ConversionRun::RoomQuestion roomQuestion;
    QStringList statusLines; // the live line, as the run said it

    Fixture()
    {
        QDir().mkpath(source);
        QDir().mkpath(destination);
        writeRecordingProgram(sandbox.engines() + QLatin1String("/ffmpeg"), record,
                              "[ -f \"$2.sh\" ] && . \"$2.sh\"\nhead -c 3000 /dev/zero > \"$last\"");
    }
    // A source named name whose engine runs does (empty: the default).
    void add(const QString &name, const QByteArray &does = {}, const QString &arguments = dvPal())
    {
        const QString path = source + QLatin1Char('/') + name;
        writeFile(path, "source " + name.toUtf8());
        if (!does.isEmpty())
            writeFile(path + QLatin1String(".sh"), does);
        jobs.append({path, arguments, QStringLiteral("MOV"), arguments.isEmpty()});
    }
    QString output(const QString &name) const
    {
        return destination + QLatin1String("/footage/") + name;
    }
    ConversionRun &start(int engines = 1, const QString &probe = {})
    {
        run = std::make_unique<ConversionRun>(jobs, sourceDirs, destination,
                                              Engine{sandbox.engines() + QLatin1String("/ffmpeg")});
        run->setEnginesAtOnce(engines);
        run->setProbe(probe);
        run->setConvertAgain(again);
        run->setRoomQuestion(roomQuestion);
        QObject::connect(run.get(), &ConversionRun::progressed,
                         [this](int, const QString &line) { statusLines.append(line); });
        run->start();
        return *run;
    }
    bool finish(int ms = 30000)
    {
        QSignalSpy done(run.get(), &ConversionRun::finished);
        return !run->isRunning() || done.wait(ms);
    }
    QList<Outcome> outcomes() const
    {
        QList<Outcome> list;
        for (const ConversionRun::Result &result : run->results())
            list.append(result.outcome);
        return list;
    }
    QStringList written() const { return filesBelow(destination); }
};

bool processAlive(const QString &pidFile)
{
    const int pid = readFile(pidFile).trimmed().toInt();
    return pid > 0 && ::kill(pid, 0) == 0;
}
} // namespace

class RunTest final : public QObject
{
    Q_OBJECT

private slots:
    void engineFaultsCostOnlyTheirFileAndSayWhy_data()
    {
        QTest::addColumn<QByteArray>("does");
        QTest::addColumn<QString>("reason");
        const QString tooSmall = QStringLiteral("the engine wrote less than 2000 bytes");
        QTest::newRow("error exit") << QByteArray("echo Unknown encoder x >&2; echo Conversion failed! >&2; exit 1")
                                    << "Unknown encoder x (the engine ended with status 1)";
        QTest::newRow("killed mid-write") << QByteArray("head -c 9000 /dev/zero > \"$last\"; kill -KILL $$")
                                          << "Killed (the engine ended by signal 9)";
        QTest::newRow("clean exit, nothing written") << QByteArray("exit 0") << tooSmall;
        QTest::newRow("clean exit, 1999 bytes") << QByteArray("head -c 1999 /dev/zero > \"$last\"; exit 0") << tooSmall;
    }
    void engineFaultsCostOnlyTheirFileAndSayWhy()
    {
        QFETCH(QByteArray, does);
        QFETCH(QString, reason);
        Fixture f;
        f.add(QStringLiteral("a.mov"), does);
        f.add(QStringLiteral("b.mov"));
        QVERIFY(QDir().mkpath(f.destination + QLatin1String("/footage")));
        QVERIFY(writeFile(f.output("a.MOV"), "earlier output"));
        f.start();
        QVERIFY(f.finish());
        QCOMPARE(f.outcomes(), QList<Outcome>({Outcome::Failed, Outcome::Converted}));
        QCOMPARE(f.run->results().first().reason, reason);
        QCOMPARE(f.run->report(), reportText({f.output("a.MOV")}));
        QVERIFY(f.run->reportDetails().contains(reason));
        // The earlier output survives byte for byte; nothing half-written is left.
        QCOMPARE(readFile(f.output("a.MOV")), QByteArray("earlier output"));
        QCOMPARE(f.written(), QStringList({"footage/a.MOV", "footage/b.MOV"}));
    }

    void aRerunConvertsOnlyWhatChangedFailedOrWasCutShort()
    {
        Fixture f;
        f.add(QStringLiteral("a.mov"));
        f.add(QStringLiteral("b.mov"), "exit 1");
        f.add(QStringLiteral("c.avi"), {}, {});
        f.add(QStringLiteral("d.mov"));
        f.add(QStringLiteral("e.mov"));
        f.add(QStringLiteral("f.mov"), "echo arriving >> \"$2\""); // its source grows meanwhile
        f.start();
        QVERIFY(f.finish());
        QCOMPARE(f.outcomes(), QList<Outcome>({Outcome::Converted, Outcome::Failed, Outcome::Converted,
                                               Outcome::Converted, Outcome::Converted, Outcome::Converted}));
        // Then b is mended, d's output edited and e's source changed; a crash cut the journal's
        // last line short and left b's partial file behind.
        QVERIFY(QFile::remove(f.source + "/b.mov.sh") && QFile::remove(f.source + "/f.mov.sh"));
        QVERIFY(writeFile(f.output("d.MOV"), "edited"));
        QVERIFY(writeFile(f.source + "/e.mov", "changed"));
        QFile journal(f.destination + '/' + JournalFileName);
        QVERIFY(journal.open(QIODevice::Append) && journal.write("{\"output\":\"footage/a") > 0);
        journal.close();
        const QString leftover = partialPath(f.output("b.MOV"), 1);
        QVERIFY(writeFile(leftover, "half"));
        QFile::remove(f.record);
        const QByteArray copyLine = fileHash(f.source + "/c.avi") + "  footage/c.avi\n";
        f.start();
        QVERIFY(f.finish());
        QCOMPARE(f.outcomes(), QList<Outcome>({Outcome::AlreadyConverted, Outcome::Converted,
                                               Outcome::AlreadyConverted, Outcome::Converted,
                                               Outcome::Converted, Outcome::Converted}));
        QCOMPARE(recordedCalls(f.record).size(), 4);
        QCOMPARE(f.run->report(), reportText({}));
        const QString details = f.run->reportDetails();
        QVERIFY2(details.contains(AlreadyConvertedText + ": " + f.output("a.MOV") + '\n')
                     && details.contains(LeftoversRemovedText.arg(1)),
                 qPrintable(details));
        QVERIFY(f.statusLines.contains(progressLine(2, 6, -1, {}, 2)));
        QVERIFY(!QFileInfo::exists(leftover));
        QVERIFY(readFile(f.destination + '/' + ChecksumFileName).contains(copyLine));
        // A third run has nothing to do, unless told to convert everything again.
        QFile::remove(f.record);
        f.start();
        QVERIFY(f.finish());
        QCOMPARE(f.outcomes(), QList<Outcome>(6, Outcome::AlreadyConverted));
        QVERIFY(!QFileInfo::exists(f.record));
        f.again = true;
        f.start();
        QVERIFY(f.finish());
        QCOMPARE(f.outcomes(), QList<Outcome>(6, Outcome::Converted));
        QCOMPARE(recordedCalls(f.record).size(), 5);
    }

    // A batch large enough to be looked at in pieces, from three folders: every file is
    // judged on its own, and each folder's outputs land in its own mirror.
    void aLargeBatchIsResumedFileByFile()
    {
        Fixture f;
        constexpr int Count = 150;
        const QStringList folders{"day1", "day2", "day3"};
        for (const QString &folder : folders)
            QVERIFY(QDir().mkpath(f.source + '/' + folder));
        const auto name = [&folders](int i) { return folders[i % 3] + "/clip" + QString::number(i); };
        for (int i = 0; i < Count; ++i)
            f.add(name(i) + ".mov");
        f.start(2);
        QVERIFY(f.finish(120000));
        QCOMPARE(f.outcomes(), QList<Outcome>(Count, Outcome::Converted));
        // Then every tenth output is lost with a partial file beside it, and one source changes.
        QList<Outcome> expected(Count, Outcome::AlreadyConverted);
        for (int i = 0; i < Count; i += 10) {
            QVERIFY(QFile::remove(f.output(name(i) + ".MOV")));
            QVERIFY(writeFile(partialPath(f.output(name(i) + ".MOV"), i), "half"));
            expected[i] = Outcome::Converted;
        }
        QVERIFY(writeFile(f.source + '/' + name(7) + ".mov", "changed"));
        expected[7] = Outcome::Converted;
        QFile::remove(f.record);
        f.start(2);
        QVERIFY(f.finish(120000));
        QCOMPARE(f.outcomes(), expected);
        QCOMPARE(recordedCalls(f.record).size(), int(expected.count(Outcome::Converted)));
        QVERIFY2(f.run->reportDetails().contains(LeftoversRemovedText.arg(Count / 10)),
                 qPrintable(f.run->reportDetails()));
        QStringList outputs;
        for (int i = 0; i < Count; ++i)
            outputs.append("footage/" + name(i) + ".MOV");
        outputs.sort();
        QCOMPARE(f.written(), outputs);
    }

    void jobScriptAndReportKeepJobOrderWhateverFinishesFirst()
    {
        Fixture f;
        f.add(QStringLiteral("a.mov"), "sleep 0.6; exit 1");
        f.add(QStringLiteral("b.mov"));
        f.add(QStringLiteral("c.avi"), {}, {}); // copies, in the same queue
        f.add(QStringLiteral("c.mov"));
        f.add(QStringLiteral("gone.avi"), {}, {});
        QVERIFY(QFile::remove(f.source + "/gone.avi"));
        f.start(2);
        QVERIFY(f.finish());
        QCOMPARE(f.outcomes(), QList<Outcome>({Outcome::Failed, Outcome::Converted, Outcome::Converted,
                                               Outcome::Converted, Outcome::Failed}));
        QCOMPARE(f.run->results().last().reason, QStringLiteral("copy failed: No such file or directory"));
        const QStringList lines = jobScriptLines(f.sandbox);
        QCOMPARE(lines.size(), 5 + f.run->report().count('\n') + 1);
        QCOMPARE(lines.at(0), QStringLiteral("# Start of the file:"));
        for (int i : {1, 2, 3})
            QVERIFY(lines.at(i).contains(QLatin1String("/footage/") + QLatin1Char("abc"[i - 1])));
        QCOMPARE(f.run->report(), reportText({f.output("a.MOV"), f.output("gone.avi")}));
        QCOMPARE(f.written(), QStringList({"checksums.xxh128", "footage/b.MOV", "footage/c.MOV", "footage/c.avi"}));
        // The copy is the source's bytes, dated like it, and its checksum is on record.
        QCOMPARE(readFile(f.output("c.avi")), QByteArray("source c.avi"));
        QCOMPARE(QFileInfo(f.output("c.avi")).lastModified(),
                 QFileInfo(f.source + "/c.avi").lastModified());
        QVERIFY(readFile(f.destination + '/' + ChecksumFileName)
                    .startsWith(fileHash(f.source + "/c.avi") + "  footage/c.avi\n"));
        // The batch file holds every file, copies and failures too, under the outputs' own names.
        const QByteArray batch = readFile(f.sandbox.home() + "/Desktop/batch_file.txt");
        QCOMPARE(batch.count('\n'), f.jobs.size());
        QVERIFY(batch.contains(QFile::encodeName(f.output("c.MOV"))));
        QVERIFY(!batch.contains(".partial"));
    }

    // The outputs still count; the report says which of the run's own files are missing and why.
    void desktopFilesThatCannotBeWrittenAreNamedInTheDetails()
    {
        Fixture f;
        const QString desktop = f.sandbox.home() + "/Desktop";
        QVERIFY(QDir(desktop).removeRecursively() && writeFile(desktop, "a file where the folder goes"));
        f.add(QStringLiteral("a.mov"));
        f.start(1);
        QVERIFY(f.finish());
        QCOMPARE(f.outcomes(), QList<Outcome>({Outcome::Converted}));
        for (const QString &file : {jobScriptPath(), engineLogPath(), batchFilePath()})
            QVERIFY2(f.run->reportDetails().contains(DesktopFileNotWrittenText.arg(file, "Not a directory")),
                     qPrintable(f.run->reportDetails()));
    }

    void twoEnginesOverlapAndOneNever()
    {
        for (const int engines : {1, 2}) {
            Fixture f;
            const QString spans = f.sandbox.path() + "/spans";
            // Each engine notes its start and its end: one at a time, they alternate.
            const QByteArray note = ">> '" + QFile::encodeName(spans) + "'";
            for (const char *name : {"a.mov", "b.mov", "c.mov"})
                f.add(QLatin1String(name), "printf s " + note + "; sleep 0.4; printf e " + note);
            f.start(engines);
            QVERIFY(f.finish());
            QCOMPARE(readFile(spans).left(2), engines == 1 ? QByteArray("se") : QByteArray("ss"));
            QCOMPARE(readFile(spans) == "sesese", engines == 1);
        }
    }

    // The time left goes by the engines' work alone, however long the room question waited.
    void progressFollowsTheEngineWhileTheEventLoopKeepsTicking_data()
    {
        QTest::addColumn<int>("thinkingMs");
        QTest::newRow("started at once") << 0;
        QTest::newRow("after a slow answer to the room question") << 4000;
    }
    void progressFollowsTheEngineWhileTheEventLoopKeepsTicking()
    {
        QFETCH(int, thinkingMs);
        Fixture f;
        f.add(QStringLiteral("clip.mov"),
              "printf 'Duration: 00:00:10.00, start: 0\\n' >&2;"
              "printf 'out_time_us=5000000\\nprogress=continue\\n'; sleep 1.5");
        if (thinkingMs > 0) {
            // A sparse source far larger than the disk: without ffprobe it bounds its output.
            QVERIFY(QFile::resize(f.jobs.first().path, 2 * freeRoom(f.destination) + 1));
            f.roomQuestion = [thinkingMs](qint64, qint64) { QThread::msleep(thinkingMs); return true; };
        }
        QTimer ticker;
        QSignalSpy ticks(&ticker, &QTimer::timeout);
        ticker.start(20);
        QSignalSpy reports(&f.start(), &ConversionRun::progressed);
        QVERIFY(f.finish());
        QVERIFY2(ticks.size() > 40, qPrintable(QString::number(ticks.size())));
        // Halfway through an engine that then takes 1.5 s more.
        QStringList fair;
        for (const qint64 ms : {0, 1000, 2000, 3000})
            fair.append(progressLine(0, 1, ms, {QStringLiteral("clip.mov")}));
        int halfway = 0;
        for (const QList<QVariant> &report : std::as_const(reports)) {
            if (report.at(0).toInt() != 50)
                continue;
            ++halfway;
            QVERIFY2(fair.contains(report.at(1).toString()), qPrintable(report.at(1).toString()));
        }
        QVERIFY(halfway > 0);
    }

    void stopEndsEveryEngineAndLeavesNoPartialFile()
    {
        Fixture f;
        const QString pids = f.sandbox.path() + QLatin1String("/pid-");
        // One engine ignores the polite request and must be killed.
        f.add(QStringLiteral("a.mov"), "trap '' TERM; echo $$ > '" + QFile::encodeName(pids) + "a';"
                                       "head -c 5000 /dev/zero > \"$last\"; sleep 30");
        f.add(QStringLiteral("b.mov"), "echo $$ > '" + QFile::encodeName(pids) + "b';"
                                       "head -c 5000 /dev/zero > \"$last\"; sleep 30");
        f.add(QStringLiteral("c.mov"));
        f.add(QStringLiteral("d.avi"), {}, {});
        ConversionRun &run = f.start(2);
        QTRY_VERIFY(processAlive(pids + "a") && processAlive(pids + "b"));
        QVERIFY(run.isRunning());
        run.stop();
        QVERIFY(f.finish(10000));
        QVERIFY(!run.isRunning());
        QVERIFY(!processAlive(pids + "a") && !processAlive(pids + "b"));
        QCOMPARE(f.outcomes(), QList<Outcome>({Outcome::Stopped, Outcome::Stopped,
                                               Outcome::NotStarted, Outcome::NotStarted}));
        QCOMPARE(recordedCalls(f.record).size(), 2);
        QCOMPARE(f.written(), QStringList());
        QCOMPARE(run.notConverted().size(), 4);
        const QString details = run.reportDetails();
        QVERIFY(details.contains(StoppedText + ": " + f.output("a.MOV")));
        QVERIFY(details.contains(NotStartedText + ": " + f.output("d.avi")));
    }

    // What an output needs, against the bytes its streams take at the rate the setting
    // writes (published figures for DNxHR and ProRes): never less, and not much more.
    void roomNeededIsTheSettingsRateTimesTheLength_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QByteArray>("probe"); // a 10 s source of 1 GB
        QTest::addColumn<double>("least");
        QTest::addColumn<double>("most");
        const auto clip = [](const QByteArray &streams, const char *duration = "10") {
            return "{\"format\": {\"duration\": \"" + QByteArray(duration) + "\"}, \"streams\": [" + streams + "]}";
        };
        const auto video = [](int width, int height, const char *rate) {
            return QStringLiteral(R"({"codec_type": "video", "width": %1, "height": %2, "r_frame_rate": "%3"})")
                .arg(width).arg(height).arg(rate).toLatin1();
        };
        const QByteArray stereo = R"({"codec_type": "audio", "channels": 2, "sample_rate": "44100"})";
        const QByteArray hd = video(1920, 1080, "30000/1001") + ',' + stereo;
        const double pcm = 48000 * 16 * 2 * 10.0 / 8; // 16-bit stereo at 48 kHz
        const double sourcePcm = 44100 * 16 * 2 * 10.0 / 8;
        const double size = 1e9;
        const auto stream = [](double bitsPerSecond) { return bitsPerSecond * 10 / 8; };
        QTest::newRow("copy") << QString() << clip(hd) << size << size;
        QTest::newRow("without ffprobe") << dvPal() << QByteArray() << size << size;
        QTest::newRow("length unknown") << dvPal() << clip(hd, "N/A") << size << size;
        QTest::newRow("H.264: the source bounds it")
            << Settings::argumentsFor({Settings::H264, {}, {}, {}, false}) << clip(hd) << size << size;
        QTest::newRow("preset") << QStringLiteral("-vcodec mpeg4 -q:v 2") << clip(hd) << size << size;
        QTest::newRow("re-wrap: the source, its audio as PCM") << Settings::Rewrap << clip(hd) << size + sourcePcm
                                                               << size + 1.05 * sourcePcm;
        const QString dnxhd = QString::fromStdString(Settings::dnxhdTable()["1080p/25 120"]);
        QTest::newRow("DNxHD 120 Mb/s") << dnxhd << clip(hd) << stream(120e6) + pcm << 1.05 * (stream(120e6) + pcm);
        QTest::newRow("DV 25 Mb/s in 144000-byte frames")
            << dvPal() << clip(hd) << stream(28.8e6) + pcm << 1.05 * (stream(28.8e6) + pcm);
        const double wav = 96000 * 6 * 24 * 10.0 / 8;
        QTest::newRow("WAV 24-bit 96 kHz, six channels")
            << Settings::argumentsFor({Settings::Wav, {}, "24", "96000", false})
            << clip(R"({"codec_type": "audio", "channels": 6, "sample_rate": "48000"})") << wav << 1.05 * wav;
        QTest::newRow("DNxHR HQ, 1080p 29.97: 220 Mb/s")
            << Settings::intermediateArguments(Settings::Dnxhr, "HQ") << clip(video(1920, 1080, "30000/1001"))
            << stream(220e6) << 1.25 * stream(220e6);
        QTest::newRow("DNxHR HQ, a varying rate made a constant 23.976: 176 Mb/s")
            << Settings::intermediateArguments(Settings::Dnxhr, "HQ")
            << clip(R"({"codec_type": "video", "width": 1920, "height": 1080, "r_frame_rate": "60/1",
                        "avg_frame_rate": "24000/1001"})")
            << stream(176e6) << 1.25 * stream(176e6);
        QTest::newRow("ProRes 422 HQ, 2160p 25: 737 Mb/s")
            << Settings::intermediateArguments(Settings::Prores, "422 HQ") << clip(video(3840, 2160, "25"))
            << stream(737e6) << 1.25 * stream(737e6);
    }
    void roomNeededIsTheSettingsRateTimesTheLength()
    {
        QFETCH(QString, arguments);
        QFETCH(QByteArray, probe);
        QFETCH(double, least);
        QFETCH(double, most);
        const ConversionJob job{"/footage/a.mov", arguments, "MOV", arguments.isEmpty()};
        const qint64 needed = roomNeeded(job, parseProbe(probe), 1000000000);
        QVERIFY2(needed >= least && needed <= most, qPrintable(QString::number(needed)));
    }

    // The first file the full destination refuses ends the run as Stop does, whether an
    // engine or a copy met it; nothing half-written stays.
    void aFullDestinationStopsTheRun_data()
    {
        QTest::addColumn<bool>("copy");
        QTest::newRow("an engine says so") << false;
        QTest::newRow("a copy meets it") << true;
    }
    void aFullDestinationStopsTheRun()
    {
        QFETCH(bool, copy);
        Fixture f;
        SmallDisk disk(f.destination, 64 * 1024);
        if (copy && !disk.mounted)
            QSKIP("no tmpfs can be mounted here");
        if (copy) {
            f.add(QStringLiteral("a.avi"), {}, {});
            QVERIFY(writeFile(f.source + "/a.avi", QByteArray(1 << 20, 'a')));
        } else {
            f.add(QStringLiteral("a.mov"), "head -c 5000 /dev/zero > \"$last\";"
                                           "echo \"Error closing file $last: No space left on device\" >&2;"
                                           "echo 'Conversion failed!' >&2; exit 1");
        }
        f.add(QStringLiteral("b.mov"), "sleep 30");
        f.add(QStringLiteral("c.mov"));
        f.add(QStringLiteral("d.avi"), {}, {});
        ConversionRun &run = f.start(2);
        QVERIFY(f.finish(10000));
        QCOMPARE(f.outcomes(), QList<Outcome>({Outcome::Failed, Outcome::Stopped, Outcome::NotStarted,
                                               Outcome::NotStarted}));
        QVERIFY(run.results().first().reason.contains(systemMessage(ENOSPC)));
        QVERIFY2(run.reportDetails().split('\n').contains(noSpaceStopText(f.destination)),
                 qPrintable(run.reportDetails()));
        QCOMPARE(f.written(), QStringList());
    }

    // A destination that cannot take the source's folder says so for every file, whether an
    // engine or a copy would have written there.
    void aReadOnlyDestinationSaysSo()
    {
        Fixture f;
        SmallDisk disk(f.destination, 64 * 1024, true);
        if (!disk.mounted)
            QSKIP("no tmpfs can be mounted here");
        f.add(QStringLiteral("a.mov"));
        f.add(QStringLiteral("b.avi"), {}, {});
        f.start();
        QVERIFY(f.finish());
        QCOMPARE(f.outcomes(), QList<Outcome>(2, Outcome::Failed));
        for (const ConversionRun::Result &result : f.run->results())
            QVERIFY2(result.reason.endsWith(DestinationReadOnlyText + ": " + systemMessage(EROFS)),
                     qPrintable(result.reason));
        QVERIFY(!QFileInfo::exists(f.record));
    }

    // The destination reaches the sources by a second way (a share mounted twice, a disk that
    // does not tell case apart): an output whose name is its source's does not replace it.
    void anOutputNeverReplacesItsSource()
    {
        Fixture f;
        f.add(QStringLiteral("a.MOV"));
        const QString alias = f.destination + QLatin1String("/footage");
        QVERIFY(QDir().mkpath(alias));
        if (QProcess::execute(QStringLiteral("mount"), {"--bind", f.source, alias}) != 0)
            QSKIP("no folder can be mounted here");
        const auto unmount = qScopeGuard([&] { QProcess::execute(QStringLiteral("umount"), {"-l", alias}); });
        f.start();
        QVERIFY(f.finish());
        QCOMPARE(f.outcomes(), QList<Outcome>{Outcome::Failed});
        QCOMPARE(f.run->results().first().reason, OutputIsSourceText);
        QCOMPARE(readFile(f.source + QLatin1String("/a.MOV")), QByteArray("source a.MOV"));
        QVERIFY(!QFileInfo::exists(f.record)); // known before any engine ran
    }

    // A file dropped on its own and found again in a dropped folder, given one setting, is
    // converted once; with another setting it is a file of its own.
    void aFileListedTwiceIsConvertedOnce()
    {
        Fixture f;
        f.add(QStringLiteral("a.mov"));
        f.add(QStringLiteral("a.mov"), {}, {});
        f.jobs.append(f.jobs.first());
        f.jobs.last().path.replace(QStringLiteral("/a.mov"), QStringLiteral("/./a.mov"));
        f.start();
        QVERIFY(f.finish());
        QCOMPARE(f.written(), QStringList({ChecksumFileName, "footage/a.MOV", "footage/a.mov"}));
    }

    // Dropped on their own, files named like the destination's bookkeeping land beside it.
    void anOutputNeverTakesTheDestinationsOwnFiles()
    {
        Fixture f;
        f.sourceDirs.clear();
        f.add(ChecksumFileName, {}, {});
        f.add(JournalFileName, {}, {});
        f.start();
        QVERIFY(f.finish());
        QCOMPARE(f.outcomes(), QList<Outcome>({Outcome::Converted, Outcome::Converted}));
        QCOMPARE(readJournal(f.destination).size(), 2);
        QVERIFY(!readFile(f.destination + '/' + ChecksumFileName).startsWith("source"));
    }

    // The engine's two streams as far as they have arrived: its "-progress" report, whose last
    // line may be cut anywhere, and its messages.
    void engineStreamsGiveProgressLengthAndReason_data()
    {
        QTest::addColumn<QByteArray>("progress");
        QTest::addColumn<QByteArray>("messages");
        QTest::addColumn<double>("position");
        QTest::addColumn<double>("duration");
        QTest::addColumn<QString>("reason");
        QTest::newRow("blocks, the last cut off")
            << QByteArray("out_time_us=1000000\nprogress=continue\nout_time_us=45000000\nout_time=00:00:45\n"
                          "progress=continue\nout_time_us=4600")
            << QByteArray("  Duration: 01:02:03.50, start: 0.0\n") << 45.0 << 3723.5
            << "Duration: 01:02:03.50, start: 0.0";
        QTest::newRow("before the first frame")
            << QByteArray("out_time_us=N/A\nout_time_ms=N/A\n") << QByteArray() << -1.0 << -1.0 << "";
        QTest::newRow("the older name, microseconds too")
            << QByteArray("out_time_ms=2500000\n") << QByteArray() << 2.5 << -1.0 << "";
        QTest::newRow("typical failure")
            << QByteArray("progress=end\n")
            << QByteArray("Input #0\n[libx264 @ 0x5] width not divisible by 2\nConversion failed!\n")
            << -1.0 << -1.0 << "[libx264 @ 0x5] width not divisible by 2";
        QTest::newRow("a wrap-up line with its reason left empty")
            << QByteArray() << QByteArray("[mov @ 0x5] vp9 only supported in MP4.\nCould not write header for output "
                                          "file #0 (incorrect codec parameters ?): Invalid argument\nError "
                                          "initializing output stream 0:1 -- \nConversion failed!\n")
            << -1.0 << -1.0 << "Could not write header for output file #0 (incorrect codec parameters ?): Invalid argument";
        QTest::newRow("progress lines among the messages")
            << QByteArray() << QByteArray("Error while decoding\nframe=  10 size=  1kB time=00:00:01.00 speed=1x    \n")
            << -1.0 << -1.0 << "Error while decoding";
    }
    void engineStreamsGiveProgressLengthAndReason()
    {
        QFETCH(QByteArray, progress);
        QFETCH(QByteArray, messages);
        QFETCH(double, position);
        QFETCH(double, duration);
        QFETCH(QString, reason);
        QCOMPARE(progressSeconds(progress), position);
        QCOMPARE(durationSeconds(messages), duration);
        QCOMPARE(lastErrorLine(messages), reason);
    }

    // ffprobe, standing in, takes its time over each source and each output: an engine starts
    // only once its source is read, the next engine starts while an output is checked, and
    // the output still counts only once the check has answered.
    void aSlowCheckHoldsNoEngineSlot()
    {
        Fixture f;
        const QString events = f.sandbox.path() + "/events";
        const QByteArray note = " >> '" + QFile::encodeName(events) + "'";
        const QString probe = f.sandbox.path() + "/ffprobe";
        QVERIFY(writeFile(probe, "#!/bin/sh\nfor last in \"$@\"; do :; done\ncase \"$last\" in *.partial*)"
                                 " echo check" + note + "; sleep 1; echo checked" + note + ";;\n"
                                 "*) sleep 0.3; echo read" + note + ";; esac\necho '{}'\n"));
        QVERIFY(QFile::setPermissions(probe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        for (const char *name : {"a.mov", "b.mov"})
            f.add(QLatin1String(name), "echo engine" + note);
        QSignalSpy reports(&f.start(1, probe), &ConversionRun::progressed);
        QVERIFY(f.finish());
        QCOMPARE(reports.first().at(1).toString(), readingLine(1, 2));
        const QByteArrayList lines = readFile(events).split('\n');
        QCOMPARE(lines.count("engine"), 2);
        QVERIFY2(lines.lastIndexOf("engine") < lines.indexOf("checked"), readFile(events).constData());
        // Every source is read once, all before the first engine starts.
        QCOMPARE(lines.count("read"), 2);
        QVERIFY2(lines.lastIndexOf("read") < lines.indexOf("engine"), readFile(events).constData());
        // An unreadable output does not count, however late the answer.
        QCOMPARE(f.outcomes(), QList<Outcome>({Outcome::Failed, Outcome::Failed}));
        QCOMPARE(f.written(), QStringList());
    }

    void outputsAreCheckedWithFfprobeBeforeTheyCount_data()
    {
        QTest::addColumn<QString>("prepared");
        QTest::addColumn<QString>("reason");
        QTest::newRow("sound") << "dv.mov" << QString();
        QTest::newRow("truncated") << "truncated.mov" << "the output cannot be read as media";
        QTest::newRow("too short") << "short.mov" << "output is 0.2 s, source 1.0 s";
        QTest::newRow("wrong codec") << "mpeg4.mov" << "the output's video is mpeg4, not dvvideo";
        QTest::newRow("no video") << "audio.mov" << "the output has no video";
        QTest::newRow("not media") << "notes.mov" << "the output cannot be read as media";
    }
    void outputsAreCheckedWithFfprobeBeforeTheyCount()
    {
        QFETCH(QString, prepared);
        QFETCH(QString, reason);
        if (!haveFfmpeg())
            QSKIP("no ffmpeg on PATH");
        static QTemporaryDir media;
        const QString m = media.path() + QLatin1Char('/');
        if (!QFile::exists(m + "source.mov")) {
            const QStringList av{"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-f", "lavfi",
                                 "-i", "sine=sample_rate=48000"};
            const QStringList dv{"-s", "720x576", "-pix_fmt", "yuv420p", "-vcodec", "dvvideo",
                                 "-acodec", "pcm_s16le", "-ac", "2"};
            QVERIFY(runFfmpeg(av + QStringList{"-t", "1", m + "source.mov"}));
            QVERIFY(runFfmpeg(av + QStringList{"-t", "1"} + dv + QStringList{m + "dv.mov"}));
            QVERIFY(runFfmpeg(av + QStringList{"-t", "0.2"} + dv + QStringList{m + "short.mov"}));
            QVERIFY(runFfmpeg(av + QStringList{"-t", "1", "-s", "720x576", "-vcodec", "mpeg4",
                                              "-acodec", "pcm_s16le", m + "mpeg4.mov"}));
            QVERIFY(runFfmpeg(av + QStringList{"-t", "1", "-vn", "-acodec", "pcm_s16le", m + "audio.mov"}));
            const QByteArray whole = readFile(m + "dv.mov");
            QVERIFY(writeFile(m + "truncated.mov", whole.left(whole.size() / 5)));
            QVERIFY(writeFile(m + "notes.mov", QByteArray(5000, 'n')));
        }
        Fixture f;
        f.add(QStringLiteral("a.mov"), "cp '" + QFile::encodeName(m + prepared) + "' \"$last\"; exit 0");
        QVERIFY(QFile::remove(f.source + "/a.mov") && QFile::copy(m + "source.mov", f.source + "/a.mov"));
        f.start(1, QStandardPaths::findExecutable(QStringLiteral("ffprobe")));
        QVERIFY(f.finish());
        QCOMPARE(f.run->results().first().reason, reason);
        QCOMPARE(f.outcomes().first(), reason.isEmpty() ? Outcome::Converted : Outcome::Failed);
        QCOMPARE(f.written(), reason.isEmpty() ? QStringList("footage/a.MOV") : QStringList());
        QVERIFY(!f.run->reportDetails().contains("ffprobe was not found"));
    }
};

QTEST_GUILESS_MAIN(RunTest)
#include "tst_run.moc"
