#include "app/mainwindow.h"
#include "convert/conversionrun.h"
#include "convert/eksform.h"
#include "convert/filecopy.h"
#include "convert/jobscript.h"
#include "convert/settingscatalogue.h"
#include "testsupport.h"

#include <QApplication>
#include <QListView>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QStorageInfo>
#include <QtTest>
#include <memory>
#include <pwd.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const QString DvPalArguments = QStringLiteral(
    " -s 720x576 -pix_fmt yuv420p -r 25 -vcodec dvvideo -acodec pcm_s16le -ac 2 -ar 48000 ");
const QString Success =
    QStringLiteral("Success! All your files were converted! PLease check destination!");

QtMessageHandler previousHandler = nullptr;

// Keeps the log readable: the program traces every path and command.
void dropDebug(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtDebugMsg && previousHandler)
        previousHandler(type, context, message);
}

qint64 peakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

class FaultsTest final : public QObject
{
    Q_OBJECT

private:
    // Source files in "footage", each with its own content, converted (or copied) into
    // "out" by a form filled as ANALYZE fills it.
    struct Job
    {
        Sandbox sandbox;
        QString root = QFileInfo(sandbox.path()).canonicalFilePath();
        QString source = root + QLatin1String("/footage");
        QString destination = root + QLatin1String("/out");
        QString record = root + QLatin1String("/engine-calls");
        QMap<QString, QByteArray> contents; // source path -> bytes written

        QString output(const QString &name) const
        {
            return destination + QLatin1String("/footage/") + name;
        }
    };

    static void makeSources(Job &job, const QStringList &names)
    {
        QVERIFY(QDir().mkpath(job.source));
        for (const QString &name : names) {
            const QString path = job.source + QLatin1Char('/') + name;
            const QByteArray content = "source " + name.toUtf8() + QByteArray(3000, 's');
            QVERIFY(writeFile(path, content));
            job.contents.insert(path, content);
        }
    }

    // The form with every file of the folder; settings[j] for file j (DV PAL when absent).
    static std::unique_ptr<eksForm> prepareForm(Job &job, const QStringList &names,
                                                const QStringList &settings = {})
    {
        auto form = std::make_unique<eksForm>();
        QStringList files;
        for (const QString &name : names)
            files.append(job.source + QLatin1Char('/') + name);
        form->receiveEXT({QStringLiteral("mov")}, {files}, {QLatin1String("file://") + job.source},
                         job.destination);
        for (int j = 0; j < files.size(); ++j) {
            const QString setting = settings.value(j, DvPalArguments);
            form->groupSettings[0][j] = setting;
            form->groupFiles[0][j] += QLatin1Char('|') + setting + QLatin1Char('|');
        }
        return form;
    }

    static void run(eksForm &form)
    {
        form.findChild<QPushButton *>(QStringLiteral("pushButton_4"))->click();
    }

    static void installOpener(const Job &job)
    {
        QVERIFY(writeRecordingProgram(job.sandbox.bin() + QLatin1String("/open"),
                                      job.root + QLatin1String("/open-calls")));
    }

    static void installEngine(const Job &job, int outputBytes, const QByteArray &before = {},
                              const QByteArray &after = {})
    {
        QVERIFY(writeExactRecordingEngine(job.sandbox.engines() + QLatin1String("/ffmpeg"),
                                          job.record, outputBytes, before, after));
    }

    // Nothing lost: every source still holds what it was given (those deleted on purpose
    // excepted).
    static void verifySourcesIntact(const Job &job, const QStringList &deleted = {})
    {
        for (auto it = job.contents.cbegin(); it != job.contents.cend(); ++it) {
            if (deleted.contains(it.key()))
                continue;
            QVERIFY2(readFile(it.key()) == it.value(), qPrintable(it.key()));
        }
    }

    static void drop(MainWindow &window, const QString &path)
    {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        QDragEnterEvent enter(QPoint(100, 200), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        QDropEvent dropped(QPointF(100, 200), Qt::CopyAction, &data, Qt::LeftButton,
                           Qt::NoModifier);
        QApplication::sendEvent(&window, &dropped);
    }

    // Drops the folder, sets the destination and clicks ANALYZE; returns the new form.
    static eksForm *analyze(MainWindow &window, const QString &folder, const QString &destination)
    {
        drop(window, folder);
        destdir = destination;
        window.findChild<QPushButton *>(QStringLiteral("pushButton_2"))->click();
        return window.form;
    }

    static QStringList allFiles(const eksForm &form)
    {
        QStringList files;
        for (const QStringList &group : form.groupFiles)
            files += group;
        return files;
    }

private slots:
    void initTestCase() { previousHandler = qInstallMessageHandler(dropDebug); }

    // First, so that the peak memory of the process is still that of its start.
    void sparseFourGibibyteFileIsCopiedInConstantMemory()
    {
        const QString tmp = QDir::tempPath();
        const qint64 free = QStorageInfo(tmp).bytesAvailable();
        if (free < 10LL * 1024 * 1024 * 1024)
            QSKIP(qPrintable(QStringLiteral("%1 has %2 MB free; the copy of a sparse 4 GiB file is "
                                            "not sparse and needs 10 GB to be safe")
                                 .arg(tmp)
                                 .arg(free / 1000000)));
        QTemporaryDir dir(tmp + QLatin1String("/tst_faults-sparse-XXXXXX"));
        QVERIFY(dir.isValid());
        const QString big = dir.path() + QLatin1String("/big.mxf");
        const QString copy = dir.path() + QLatin1String("/copy.mxf");
        const qint64 size = 4LL * 1024 * 1024 * 1024;
        {
            QFile file(big);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.resize(size));
            // A mark at the very end shows that the copy went all the way.
            QVERIFY(file.seek(size - 4));
            QCOMPARE(file.write("tail"), qint64(4));
        }
        const qint64 before = peakResidentKiB();
        const bool copied = SRCopyFile2(big, copy);
        const qint64 growthKiB = peakResidentKiB() - before;
        const qint64 copySize = QFileInfo(copy).size();
        QByteArray tail;
        {
            QFile file(copy);
            if (file.open(QIODevice::ReadOnly) && file.seek(size - 4))
                tail = file.read(4);
        }
        QFile::remove(copy);
        QFile::remove(big);
        QVERIFY(copied);
        QCOMPARE(copySize, size);
        QCOMPARE(tail, QByteArray("tail"));
        QVERIFY2(growthKiB < 50 * 1024,
                 qPrintable(QStringLiteral("peak grew by %1 KiB").arg(growthKiB)));
    }

    void destinationThatCannotBeCreatedReportsEveryOutput()
    {
        // Permissions do not stop root; a path through a regular file fails for everyone
        // (ENOTDIR), so neither the folders nor the outputs can be made.
        Job job;
        const QString blocker = job.root + QLatin1String("/plain-file");
        QVERIFY(writeFile(blocker, "not a folder"));
        job.destination = blocker + QLatin1String("/out");
        makeSources(job, {"a.mov", "b.mov"});
        installEngine(job, 5000);
        installOpener(job);
        DialogAnswers answers(QMessageBox::Ok);
        auto form = prepareForm(job, {"a.mov", "b.mov"}, {DvPalArguments, Settings::CopyOnly});
        run(*form);

        QCOMPARE(answers.texts,
                 QStringList(reportText({job.output("a.MOV"), job.output("b.mov")})));
        QCOMPARE(readFile(blocker), QByteArray("not a folder"));
        verifySourcesIntact(job);
        QVERIFY(readFile(job.sandbox.jobScript())
                    .contains(reportText({job.output("a.MOV"), job.output("b.mov")}).toUtf8()));
    }

    void destinationRemovedDuringTheRunCostsOnlyThatFile()
    {
        Job job;
        makeSources(job, {"a.mov", "b.mov", "c.mov"});
        const QByteArray flag = QFile::encodeName(job.root + QLatin1String("/removed-once"));
        installEngine(job, 5000,
                      "if [ ! -e '" + flag + "' ]; then : > '" + flag + "'; rm -rf '"
                          + QFile::encodeName(job.destination) + "'; fi");
        installOpener(job);
        DialogAnswers answers(QMessageBox::Ok);
        auto form = prepareForm(job, {"a.mov", "b.mov", "c.mov"});
        run(*form);

        QCOMPARE(exactRecordedCalls(job.record).size(), 3);
        QCOMPARE(answers.texts, QStringList(reportText({job.output("a.MOV")})));
        QVERIFY(!QFile::exists(job.output("a.MOV")));
        QCOMPARE(QFileInfo(job.output("b.MOV")).size(), qint64(5000));
        QCOMPARE(QFileInfo(job.output("c.MOV")).size(), qint64(5000));
        verifySourcesIntact(job);
    }

    void crashingEngineIsReportedEvenWithALargeOutput()
    {
        Job job;
        makeSources(job, {"a.mov", "b.mov"});
        installEngine(job, 100000, {}, "kill -SEGV $$");
        installOpener(job);
        DialogAnswers answers(QMessageBox::Ok);
        auto form = prepareForm(job, {"a.mov", "b.mov"});
        run(*form);

        QCOMPARE(exactRecordedCalls(job.record).size(), 2);
        QCOMPARE(answers.texts,
                 QStringList(reportText({job.output("a.MOV"), job.output("b.MOV")})));
        verifySourcesIntact(job);
    }

    void slowEngineIsWaitedFor()
    {
        Job job;
        makeSources(job, {"a.mov"});
        installEngine(job, 2000, "sleep 2");
        installOpener(job);
        DialogAnswers answers(QMessageBox::Ok);
        auto form = prepareForm(job, {"a.mov"});
        run(*form);

        QCOMPARE(answers.texts, QStringList(Success));
        QCOMPARE(QFileInfo(job.output("a.MOV")).size(), qint64(2000));
        verifySourcesIntact(job);
    }

    void engineFailingAfterALargeOutputOrWritingNothingIsReported()
    {
        Job job;
        makeSources(job, {"a.mov"});
        installEngine(job, 1 << 20, {}, "exit 3");
        installOpener(job);
        DialogAnswers answers(QMessageBox::Ok);
        auto form = prepareForm(job, {"a.mov"});
        run(*form);
        QCOMPARE(answers.texts, QStringList(reportText({job.output("a.MOV")})));

        // An engine that writes nothing, with a clean exit: no output, and no empty file either.
        QVERIFY(QFile::remove(job.output("a.MOV")));
        installEngine(job, -1);
        answers.texts.clear();
        auto again = prepareForm(job, {"a.mov"});
        run(*again);
        QCOMPARE(answers.texts, QStringList(reportText({job.output("a.MOV")})));
        QVERIFY(!QFile::exists(job.output("a.MOV")));
        verifySourcesIntact(job);
    }

    void sourceDeletedBetweenAnalyzeAndRunIsReported()
    {
        Job job;
        makeSources(job, {"a.mov", "gone.mov", "gone-copy.mov", "z.mov"});
        // Like a real engine, the stand-in fails when its input is missing.
        installEngine(job, 5000, "[ -f \"$2\" ] || exit 1");
        installOpener(job);
        DialogAnswers answers(QMessageBox::Ok);
        MainWindow window;
        std::unique_ptr<eksForm> form(analyze(window, job.source, job.destination));
        QVERIFY(form);
        QCOMPARE(form->groupFiles.size(), 1);
        const QStringList settings{DvPalArguments, Settings::CopyOnly, DvPalArguments,
                                   DvPalArguments};
        // Sorted: a, gone-copy, gone, z.
        for (int j = 0; j < settings.size(); ++j) {
            form->groupSettings[0][j] = settings[j];
            form->groupFiles[0][j] += QLatin1Char('|') + settings[j] + QLatin1Char('|');
        }
        const QStringList deleted{job.source + "/gone.mov", job.source + "/gone-copy.mov"};
        for (const QString &path : deleted)
            QVERIFY(QFile::remove(path));
        answers.texts.clear();
        run(*form);

        QCOMPARE(answers.texts,
                 QStringList(reportText({job.output("gone-copy.mov"), job.output("gone.MOV")})));
        QCOMPARE(QFileInfo(job.output("a.MOV")).size(), qint64(5000));
        QCOMPARE(QFileInfo(job.output("z.MOV")).size(), qint64(5000));
        QVERIFY(!QFile::exists(job.output("gone-copy.mov")));
        verifySourcesIntact(job, deleted);
    }

    void sourceThatIsNotMediaIsReportedByTheRealEngine()
    {
        if (!haveFfmpeg())
            QSKIP("no ffmpeg on PATH");
        Job job;
        makeSources(job, {"notes.mov"});
        const QString clip = job.source + QLatin1String("/real.mov");
        QVERIFY(runFfmpeg({"-f", "lavfi", "-i", "testsrc=size=64x48:rate=25:duration=0.08", "-c:v",
                           "mpeg4", clip}));
        job.contents.insert(clip, readFile(clip));
        const QString engine =
            QFileInfo(QStandardPaths::findExecutable(QStringLiteral("ffmpeg"))).canonicalFilePath();
        QVERIFY(QFile::link(engine, job.sandbox.engines() + QLatin1String("/ffmpeg")));
        installOpener(job);
        DialogAnswers answers(QMessageBox::Ok);
        auto form = prepareForm(job, {"notes.mov", "real.mov"});
        run(*form);

        QCOMPARE(answers.texts, QStringList(reportText({job.output("notes.MOV")})));
        QVERIFY(QFileInfo(job.output("real.MOV")).size() >= MinimumOutputSize);
        verifySourcesIntact(job);
    }

    void withoutHomeTheJobScriptGoesToTheUsersOwnHome()
    {
        // Only the path is computed here: nothing may be written into the real home.
        const passwd *user = getpwuid(getuid());
        QVERIFY(user && user->pw_dir);
        const QString expected = QFile::decodeName(user->pw_dir)
            + QLatin1String("/Desktop/log_file.txt");
        Sandbox sandbox;
        qputenv("HOME", QByteArray());
        QCOMPARE(jobScriptPath(), expected);
        qunsetenv("HOME");
        QCOMPARE(jobScriptPath(), expected);
        qputenv("HOME", QFile::encodeName(sandbox.home()));
        QCOMPARE(jobScriptPath(), sandbox.jobScript());
    }

    void withoutDesktopFolderTheReportIsStillShown()
    {
        Job job;
        QVERIFY(QDir(job.sandbox.home() + QLatin1String("/Desktop")).removeRecursively());
        makeSources(job, {"a.mov"});
        installEngine(job, 2000);
        installOpener(job);
        DialogAnswers answers(QMessageBox::Ok);
        auto form = prepareForm(job, {"a.mov"});
        run(*form);

        QCOMPARE(answers.texts, QStringList(Success));
        QVERIFY(!QFileInfo::exists(job.sandbox.home() + QLatin1String("/Desktop")));
        QCOMPARE(QFileInfo(job.output("a.MOV")).size(), qint64(2000));
        verifySourcesIntact(job);
    }

    void unreadableSubfolderIsSkippedAndTheRestConverted()
    {
        if (geteuid() == 0)
            QSKIP("root reads every folder whatever its permissions; an unreadable folder cannot "
                  "be made");
        Job job;
        makeSources(job, {"a.mov"});
        const QString locked = job.source + QLatin1String("/locked");
        QVERIFY(QDir().mkpath(locked));
        QVERIFY(writeFile(locked + QLatin1String("/hidden.mov"), "x"));
        QVERIFY(QFile::setPermissions(locked, QFileDevice::Permissions()));
        installEngine(job, 2000);
        installOpener(job);
        DialogAnswers answers(QMessageBox::Ok);
        MainWindow window;
        std::unique_ptr<eksForm> form(analyze(window, job.source, job.destination));
        QFile::setPermissions(
            locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY(form);
        QCOMPARE(allFiles(*form), QStringList(job.source + QLatin1String("/a.mov")));
        verifySourcesIntact(job);
    }

    void symbolicLinkLoopEndsTheScanWithEveryFileOnce()
    {
        Job job;
        makeSources(job, {"a.mov"});
        QVERIFY(QDir().mkpath(job.source + QLatin1String("/day1/deeper")));
        QVERIFY(writeFile(job.source + QLatin1String("/day1/b.mov"), "b"));
        QVERIFY(writeFile(job.source + QLatin1String("/day1/deeper/c.mov"), "c"));
        // A link back to the top, one to its own folder, and two that point at each other.
        QVERIFY(QFile::link(job.source, job.source + QLatin1String("/day1/deeper/to-top")));
        QVERIFY(QFile::link(QLatin1String("."), job.source + QLatin1String("/day1/self")));
        QVERIFY(QFile::link(QLatin1String("ping.mov"), job.source + QLatin1String("/pong.mov")));
        QVERIFY(QFile::link(QLatin1String("pong.mov"), job.source + QLatin1String("/ping.mov")));
        installEngine(job, 2000);
        installOpener(job);
        DialogAnswers answers(QMessageBox::Ok);
        MainWindow window;
        std::unique_ptr<eksForm> form(analyze(window, job.source, job.destination));
        QVERIFY(form);
        QCOMPARE(allFiles(*form),
                 QStringList({job.source + QLatin1String("/a.mov"),
                              job.source + QLatin1String("/day1/b.mov"),
                              job.source + QLatin1String("/day1/deeper/c.mov")}));
        verifySourcesIntact(job);
    }

    void copyToAFullDiskFailsAndIsReported()
    {
        Sandbox sandbox;
        const QString source = sandbox.path() + QLatin1String("/clip.mov");
        QVERIFY(writeFile(source, QByteArray(100000, 'c')));
        QVERIFY(!SRCopyFile2(source, QStringLiteral("/dev/full")));
        QCOMPARE(readFile(source), QByteArray(100000, 'c'));

        // In a run: the copy's place in the destination leads to the full disk.
        Job job;
        makeSources(job, {"a.mov", "b.mov"});
        QVERIFY(QDir().mkpath(job.destination + QLatin1String("/footage")));
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), job.output("b.mov")));
        installEngine(job, 2000);
        installOpener(job);
        DialogAnswers answers(QMessageBox::Ok);
        auto form = prepareForm(job, {"a.mov", "b.mov"}, {DvPalArguments, Settings::CopyOnly});
        run(*form);

        QCOMPARE(answers.texts, QStringList(reportText({job.output("b.mov")})));
        QVERIFY(QFileInfo(job.output("b.mov")).isSymLink());
        QCOMPARE(QFileInfo(job.output("a.MOV")).size(), qint64(2000));
        verifySourcesIntact(job);
    }
};

QTEST_MAIN(FaultsTest)
#include "tst_faults.moc"
