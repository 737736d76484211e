#include "app/mainwindow.h"
#include "app/tracing.h"
#include "convert/conversionrun.h"
#include "convert/eksform.h"
#include "convert/filecopy.h"
#include "convert/jobscript.h"
#include "convert/settingscatalogue.h"
#include "testsupport.h"
#include "uisupport.h"

#include <QApplication>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QStorageInfo>
#include <QtTest>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const QString DvPal = QStringLiteral(
    " -s 720x576 -pix_fmt yuv420p -r 25 -vcodec dvvideo -acodec pcm_s16le -ac 2 -ar 48000 ");
const QString Success =
    QStringLiteral("Success! All your files were converted! PLease check destination!");

qint64 peakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Source files in "footage" (each with its own content) converted into "out", with a
// stand-in engine and opener; every modal dialog is answered and its text kept.
struct Job
{
    Sandbox sandbox;
    QString root = QFileInfo(sandbox.path()).canonicalFilePath();
    QString source = root + QLatin1String("/footage");
    QString destination = root + QLatin1String("/out");
    QString record = root + QLatin1String("/engine-calls");
    QMap<QString, QByteArray> contents; // source path -> bytes written
    DialogAnswers answers{QMessageBox::Ok};

    Job(const QStringList &names, const StandIn &engine = {2000})
    {
        QDir().mkpath(source);
        for (const QString &name : names) {
            const QByteArray content = "source " + name.toUtf8() + QByteArray(3000, 's');
            writeFile(source + QLatin1Char('/') + name, content);
            contents.insert(source + QLatin1Char('/') + name, content);
        }
        setEngine(engine);
        writeRecordingProgram(sandbox.bin() + QLatin1String("/open"), root + "/open-calls");
    }
    void setEngine(const StandIn &engine)
    {
        writeRecordingProgram(sandbox.engines() + QLatin1String("/ffmpeg"), record,
                              Recording::Exact, engine);
    }
    QString output(const QString &name) const { return destination + "/footage/" + name; }
    qint64 outputSize(const QString &name) const { return QFileInfo(output(name)).size(); }

    // Runs a form filled as ANALYZE fills it; settings[j] for file j (DV PAL when absent).
    // Returns the texts of the message boxes shown.
    QStringList run(const QStringList &names, const QStringList &settings = {})
    {
        eksForm form;
        QStringList files;
        for (const QString &name : names)
            files.append(source + QLatin1Char('/') + name);
        form.receiveEXT({QStringLiteral("mov")}, {files}, {"file://" + source}, destination);
        fill(form, settings);
        return press(form);
    }
    static void fill(eksForm &form, const QStringList &settings)
    {
        for (int j = 0; j < form.groupFiles.value(0).size(); ++j) {
            const QString setting = settings.value(j, DvPal);
            form.groupSettings[0][j] = setting;
            form.groupFiles[0][j] += QLatin1Char('|') + setting + QLatin1Char('|');
        }
    }
    QStringList press(eksForm &form)
    {
        answers.texts.clear();
        form.findChild<QPushButton *>(QStringLiteral("pushButton_4"))->click();
        return answers.texts;
    }

    // Drops the source folder on a main window and clicks ANALYZE; returns the new form.
    std::unique_ptr<eksForm> analyze(MainWindow &window)
    {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(source)});
        QDragEnterEvent enter(QPoint(100, 200), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        QDropEvent dropped(QPointF(100, 200), Qt::CopyAction, &data, Qt::LeftButton,
                           Qt::NoModifier);
        QApplication::sendEvent(&window, &dropped);
        destdir = destination;
        window.findChild<QPushButton *>(QStringLiteral("pushButton_2"))->click();
        return std::unique_ptr<eksForm>(window.form);
    }

    // Nothing lost: every source still holds what it was given (except those deleted).
    void verifySourcesIntact(const QStringList &deleted = {}) const
    {
        for (auto it = contents.cbegin(); it != contents.cend(); ++it)
            QVERIFY2(deleted.contains(it.key()) || readFile(it.key()) == it.value(),
                     qPrintable(it.key()));
    }
};

QStringList allFiles(const eksForm &form)
{
    QStringList files;
    for (const QStringList &group : form.groupFiles)
        files += group;
    return files;
}

} // namespace

class FaultsTest final : public QObject
{
    Q_OBJECT

private slots:
    // Quiet unless asked for: the program traces every path and command.
    void initTestCase() { setUpTracing(); }

    // First, so that the peak memory of the process is still that of its start.
    void sparseFourGibibyteFileIsCopiedInConstantMemory()
    {
        const QString tmp = QDir::tempPath();
        if (QStorageInfo(tmp).bytesAvailable() < 10LL * 1024 * 1024 * 1024)
            QSKIP("the copy of a sparse 4 GiB file is not sparse and needs 10 GB free to be safe");
        QTemporaryDir dir(tmp + QLatin1String("/tst_faults-sparse-XXXXXX"));
        const QString big = dir.path() + QLatin1String("/big.mxf");
        const QString copy = dir.path() + QLatin1String("/copy.mxf");
        const qint64 size = 4LL * 1024 * 1024 * 1024;
        {
            QFile file(big);
            // A mark at the very end shows that the copy went all the way.
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(size) && file.seek(size - 4));
            QCOMPARE(file.write("tail"), qint64(4));
        }
        const qint64 before = peakResidentKiB();
        const bool copied = SRCopyFile2(big, copy);
        const qint64 growthKiB = peakResidentKiB() - before;
        QFile file(copy);
        const qint64 copySize = file.size();
        const QByteArray tail =
            file.open(QIODevice::ReadOnly) && file.seek(size - 4) ? file.read(4) : QByteArray();
        file.remove();
        QFile::remove(big);
        QVERIFY(copied);
        QCOMPARE(copySize, size);
        QCOMPARE(tail, QByteArray("tail"));
        QVERIFY2(growthKiB < 50 * 1024, qPrintable(QString::number(growthKiB) + " KiB more"));
    }

    // Each engine fault costs only its own file, and is reported, never as success.
    void engineFaultsAreReportedAndCostOnlyTheirFile_data()
    {
        QTest::addColumn<int>("outputBytes");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<bool>("reported");
        QTest::newRow("crash after a large output") << 100000 << QByteArray("kill -SEGV $$") << true;
        QTest::newRow("failure after a large output") << (1 << 20) << QByteArray("exit 3") << true;
        QTest::newRow("clean exit, nothing written") << -1 << QByteArray() << true;
        QTest::newRow("slow but sound") << 2000 << QByteArray("sleep 2") << false;
    }
    void engineFaultsAreReportedAndCostOnlyTheirFile()
    {
        QFETCH(int, outputBytes);
        QFETCH(QByteArray, after);
        QFETCH(bool, reported);
        Job job({"a.mov", "b.mov"}, {outputBytes, 0, {}, after});
        const QStringList texts = job.run({"a.mov", "b.mov"});
        QCOMPARE(exactRecordedCalls(job.record).size(), 2);
        if (reported) {
            QCOMPARE(texts, QStringList(reportText({job.output("a.MOV"), job.output("b.MOV")})));
            if (outputBytes < 0)
                QVERIFY(!QFile::exists(job.output("a.MOV"))); // no empty file either
        } else {
            QCOMPARE(texts, QStringList(Success));
            QCOMPARE(job.outputSize("a.MOV"), qint64(2000));
        }
        job.verifySourcesIntact();
    }

    void destinationThatCannotBeCreatedReportsEveryOutput()
    {
        // Permissions do not stop root; a path through a regular file fails for everyone.
        Job job({"a.mov", "b.mov"}, {5000});
        const QString blocker = job.root + QLatin1String("/plain-file");
        QVERIFY(writeFile(blocker, "not a folder"));
        job.destination = blocker + QLatin1String("/out");
        const QString report = reportText({job.output("a.MOV"), job.output("b.mov")});
        QCOMPARE(job.run({"a.mov", "b.mov"}, {DvPal, Settings::CopyOnly}), QStringList(report));
        QCOMPARE(readFile(blocker), QByteArray("not a folder"));
        QVERIFY(readFile(job.sandbox.jobScript()).contains(report.toUtf8()));
        job.verifySourcesIntact();
    }

    void destinationRemovedDuringTheRunCostsOnlyThatFile()
    {
        Job job({"a.mov", "b.mov", "c.mov"});
        const QByteArray flag = QFile::encodeName(job.root + QLatin1String("/removed-once"));
        job.setEngine({5000, 0,
                       "if [ ! -e '" + flag + "' ]; then : > '" + flag + "'; rm -rf '"
                           + QFile::encodeName(job.destination) + "'; fi"});
        QCOMPARE(job.run({"a.mov", "b.mov", "c.mov"}),
                 QStringList(reportText({job.output("a.MOV")})));
        QCOMPARE(exactRecordedCalls(job.record).size(), 3);
        QVERIFY(!QFile::exists(job.output("a.MOV")));
        QCOMPARE(job.outputSize("b.MOV"), qint64(5000));
        QCOMPARE(job.outputSize("c.MOV"), qint64(5000));
        job.verifySourcesIntact();
    }

    void sourceDeletedBetweenAnalyzeAndRunIsReported()
    {
        // Like a real engine, the stand-in fails when its input is missing.
        Job job({"a.mov", "gone.mov", "gone-copy.mov", "z.mov"},
                {5000, 0, "[ -f \"$2\" ] || exit 1"});
        MainWindow window;
        std::unique_ptr<eksForm> form = job.analyze(window);
        QVERIFY(form);
        QCOMPARE(form->groupFiles.size(), 1);
        // Sorted: a, gone-copy, gone, z.
        Job::fill(*form, {DvPal, Settings::CopyOnly});
        const QStringList deleted{job.source + "/gone.mov", job.source + "/gone-copy.mov"};
        for (const QString &path : deleted)
            QVERIFY(QFile::remove(path));
        QCOMPARE(job.press(*form),
                 QStringList(reportText({job.output("gone-copy.mov"), job.output("gone.MOV")})));
        QCOMPARE(job.outputSize("a.MOV"), qint64(5000));
        QCOMPARE(job.outputSize("z.MOV"), qint64(5000));
        QVERIFY(!QFile::exists(job.output("gone-copy.mov")));
        job.verifySourcesIntact(deleted);
    }

    void sourceThatIsNotMediaIsReportedByTheRealEngine()
    {
        if (!haveFfmpeg())
            QSKIP("no ffmpeg on PATH");
        Job job({"notes.mov"});
        const QString clip = job.source + QLatin1String("/real.mov");
        QVERIFY(runFfmpeg({"-f", "lavfi", "-i", "testsrc=size=64x48:rate=25:duration=0.08", "-c:v",
                           "mpeg4", clip}));
        job.contents.insert(clip, readFile(clip));
        const QString engine = job.sandbox.engines() + QLatin1String("/ffmpeg");
        QVERIFY(QFile::remove(engine));
        QVERIFY(QFile::link(
            QFileInfo(QStandardPaths::findExecutable(QStringLiteral("ffmpeg"))).canonicalFilePath(),
            engine));
        QCOMPARE(job.run({"notes.mov", "real.mov"}),
                 QStringList(reportText({job.output("notes.MOV")})));
        QVERIFY(job.outputSize("real.MOV") >= MinimumOutputSize);
        job.verifySourcesIntact();
    }

    void withoutDesktopFolderTheReportIsStillShown()
    {
        Job job({"a.mov"});
        QVERIFY(QDir(job.sandbox.home() + QLatin1String("/Desktop")).removeRecursively());
        QCOMPARE(job.run({"a.mov"}), QStringList(Success));
        QVERIFY(!QFileInfo::exists(job.sandbox.home() + QLatin1String("/Desktop")));
        QCOMPARE(job.outputSize("a.MOV"), qint64(2000));
    }

    void unreadableSubfolderIsSkippedAndTheRestConverted()
    {
        if (geteuid() == 0)
            QSKIP("root reads every folder whatever its permissions");
        Job job({"a.mov"});
        const QString locked = job.source + QLatin1String("/locked");
        QVERIFY(QDir().mkpath(locked));
        QVERIFY(writeFile(locked + QLatin1String("/hidden.mov"), "x"));
        QVERIFY(QFile::setPermissions(locked, QFileDevice::Permissions()));
        MainWindow window;
        std::unique_ptr<eksForm> form = job.analyze(window);
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                          | QFileDevice::ExeOwner);
        QVERIFY(form);
        QCOMPARE(allFiles(*form), QStringList(job.source + QLatin1String("/a.mov")));
    }

    void symbolicLinkLoopEndsTheScanWithEveryFileOnce()
    {
        Job job({"a.mov"});
        QVERIFY(QDir().mkpath(job.source + QLatin1String("/day1/deeper")));
        QVERIFY(writeFile(job.source + QLatin1String("/day1/b.mov"), "b"));
        QVERIFY(writeFile(job.source + QLatin1String("/day1/deeper/c.mov"), "c"));
        // A link back to the top, one to its own folder, and two that point at each other.
        QVERIFY(QFile::link(job.source, job.source + QLatin1String("/day1/deeper/to-top")));
        QVERIFY(QFile::link(QLatin1String("."), job.source + QLatin1String("/day1/self")));
        QVERIFY(QFile::link(QLatin1String("ping.mov"), job.source + QLatin1String("/pong.mov")));
        QVERIFY(QFile::link(QLatin1String("pong.mov"), job.source + QLatin1String("/ping.mov")));
        MainWindow window;
        std::unique_ptr<eksForm> form = job.analyze(window);
        QVERIFY(form);
        QCOMPARE(allFiles(*form), QStringList({job.source + "/a.mov", job.source + "/day1/b.mov",
                                               job.source + "/day1/deeper/c.mov"}));
    }

    void copyToAFullDiskFailsAndIsReported()
    {
        Job job({"a.mov", "b.mov"});
        QVERIFY(!SRCopyFile2(job.source + "/a.mov", QStringLiteral("/dev/full")));
        // In a run: the copy's place in the destination leads to the full disk.
        QVERIFY(QDir().mkpath(job.destination + QLatin1String("/footage")));
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), job.output("b.mov")));
        QCOMPARE(job.run({"a.mov", "b.mov"}, {DvPal, Settings::CopyOnly}),
                 QStringList(reportText({job.output("b.mov")})));
        QVERIFY(QFileInfo(job.output("b.mov")).isSymLink());
        QCOMPARE(job.outputSize("a.MOV"), qint64(2000));
        job.verifySourcesIntact();
    }
};

QTEST_MAIN(FaultsTest)
#include "tst_faults.moc"
