// The windows while RUN IT NOW works: alive, showing progress, refusing what would change the
// job, and stopping on request.

#include "ui/mainwindow/mainwindow.h"
#include "ui/common/modal.h"
#include "core/base/runchoices.h"
#include "core/run/conversionrun.h"
#include "ui/form/eksform.h"
#include "core/jobs/jobmodel.h"
#include "core/media/settingscatalogue.h"
#include "core/presets/presetfile.h"
#include "core/files/partialclaim.h"
#include "core/jobs/outputpath.h"
#include "core/run/roomestimate.h"
#include "testsupport.h"
#include "uisupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

namespace {
// A form with files in "footage" set to DV PAL (or the given setting), converted by a stand-in engine that runs the
// shell text `does` before writing its output. The ffprobe beside it finds every file a
// sound DV PAL clip; the opener is a recording stand-in.
struct Fixture
{
    Sandbox sandbox;
    QString source = sandbox.path() + QLatin1String("/footage");
    DialogAnswers answers{QMessageBox::No};
    eksForm form;

    explicit Fixture(const QByteArray &does, int files = 2, const QString &setting = Settings::DvPal)
    {
        writeRecordingProgram(sandbox.engines() + "/ffmpeg", sandbox.path() + "/calls",
                              does + "\nhead -c 3000 /dev/zero > \"$last\"");
        writeRecordingProgram(sandbox.bin() + "/open", sandbox.path() + "/opened");
        writeFile(sandbox.engines() + "/ffprobe",
                  R"(#!/bin/sh
echo '{"format": {"duration": "1.0"}, "streams": [
  {"codec_type": "video", "codec_name": "dvvideo", "width": 720, "height": 576},
  {"codec_type": "audio", "codec_name": "pcm_s16le", "sample_rate": "48000"}]}')");
        makeExecutable(sandbox.engines() + "/ffprobe");
        QStringList paths;
        for (int i = 0; i < files; ++i) {
            paths.append(source + QStringLiteral("/clip%1.mov").arg(i));
            touchFile(paths.last());
        }
        form.show();
        form.receiveEXT({"mov"}, {paths}, {"file://" + source}, sandbox.path() + "/out");
        for (int j = 0; j < files; ++j) {
            form.groupSettings[0][j] = Settings::argumentsFor({setting, {}, {}, {}, false});
            form.groupFiles[0][j] += "|" + setting + "|";
        }
        child<QSpinBox>("spinBoxEngines")->setValue(1);
    }
    template<typename T> T *child(const char *name) { return form.findChild<T *>(name); }
    QPushButton *button(const char *name) { return child<QPushButton>(name); }
    void run() { button("pushButton_4")->click(); }
};
} // namespace

class LiveRunTest final : public QObject
{
    Q_OBJECT

private slots:
    void windowsStayAliveAndRefuseWhatWouldChangeTheJob()
    {
        Fixture f("sleep 1");
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start(20);
        MainWindow window;
        window.show();
        destdir = f.sandbox.path();
        window.findChild<QListWidget *>("listWidget")->addItem("file://" + f.source);
        f.run();

        QTRY_VERIFY(f.child<QLabel>("label_4")->text().startsWith("0 of 2 files done"));
        QVERIFY(f.button("pushButtonStop")->isVisible());
        for (const char *name : {"pushButton", "pushButton_2", "pushButton_3", "pushButton_4",
                                 "pushButton_5", "pushButton_7"})
            QVERIFY2(!f.button(name)->isEnabled(), name);
        QVERIFY(!f.child<QSpinBox>("spinBoxEngines")->isEnabled());
        // The main window takes no new analysis or sources meanwhile.
        window.findChild<QPushButton *>("pushButton_2")->click();
        QVERIFY(window.form == nullptr);
        QVERIFY(window.findChild<QLabel *>("label_4")->isVisible());
        QVERIFY(!dropPaths(&window, {f.source}) || window.findChild<QListWidget *>("listWidget")->count() == 1);
        // Closing asks first; answered No, the form stays and the run goes on.
        QVERIFY(!f.form.close());
        QVERIFY(f.form.isVisible());
        QCOMPARE(f.answers.texts.size(), 1);

        QTRY_COMPARE_WITH_TIMEOUT(f.answers.texts.size(), 2, 10000);
        QVERIFY2(ticks > 50, qPrintable(QString::number(ticks)));
        QCOMPARE(f.answers.texts.last(), reportText({}));
        QCOMPARE(f.child<QProgressBar>("progressBar")->value(), 100);
        QCOMPARE(f.child<QLabel>("label_4")->text(), FinishedText);
        QVERIFY(f.button("pushButton_4")->isEnabled() && !f.button("pushButtonStop")->isVisible());
        QTRY_COMPARE(recordedCalls(f.sandbox.path() + "/opened"), QList<QStringList>({{f.sandbox.jobScript()}}));
    }

    void stopButtonEndsTheRunAndTheReportSaysWhatBecameOfEachFile()
    {
        Fixture f("sleep 30", 2);
        f.run();
        QTRY_COMPARE(recordedCalls(f.sandbox.path() + "/calls").size(), 1);
        f.button("pushButtonStop")->click();
        QTRY_COMPARE_WITH_TIMEOUT(f.answers.texts.size(), 1, 10000);
        const QString out = f.sandbox.path() + "/out/footage/";
        QCOMPARE(f.answers.texts.first(), reportText({out + "clip0.MOV", out + "clip1.MOV"}));
        QCOMPARE(f.answers.detailed.first(), StoppedText + ": " + out + "clip0.MOV\n" + NotStartedText + ": " + out + "clip1.MOV");
        QCOMPARE(f.child<QLabel>("label_4")->text(), StoppedFinishedText);
        QVERIFY(f.child<QProgressBar>("progressBar")->value() < 100);
    }

    // Another run (a render node, the batch started twice) is writing one output: this run
    // leaves it alone and ends by itself, which is what the window says.
    void aRunThatLeftAnOutputToAnotherRunWasNotStopped()
    {
        Fixture f({});
        const QString out = f.sandbox.path() + "/out/footage/";
        QVERIFY(QDir().mkpath(out));
        PartialClaim elsewhere;
        QVERIFY(elsewhere.take(partialPath(out + "clip0.MOV", 0)));
        f.run();
        QTRY_COMPARE_WITH_TIMEOUT(f.answers.texts.size(), 1, 10000);
        QCOMPARE(f.answers.texts.first(), reportText({out + "clip0.MOV"}));
        QVERIFY(f.answers.detailed.first().contains(BeingWrittenText));
        QCOMPARE(f.child<QLabel>("label_4")->text(), FinishedText);
        QCOMPARE(f.child<QProgressBar>("progressBar")->value(), 100);
    }

    // Closing asks first, and Yes stops the run before the form closes. A run may also end by
    // itself while the question waits: its report comes, and Yes closes the form.
    void closingDuringARunStopsItAndThenCloses_data()
    {
        QTest::addColumn<bool>("endsWhileAsked");
        QTest::addColumn<int>("boxes");
        QTest::newRow("stopped by the answer") << false << 1; // no report box for a closed form
        QTest::newRow("ended while asked") << true << 2;
    }

    void closingDuringARunStopsItAndThenCloses()
    {
        QFETCH(bool, endsWhileAsked);
        QFETCH(int, boxes);
        Fixture f(endsWhileAsked ? "sleep 1" : "sleep 30");
        int shown = 0;
        Modal::setDialogRunner([&](QDialog *) {
            if (++shown == 1 && endsWhileAsked)
                (void)QTest::qWaitFor([&] { return !f.form.isRunning(); }, 10000);
            return int(QMessageBox::Yes);
        });
        f.run();
        QTRY_VERIFY(f.form.isRunning());
        f.form.close();
        QTRY_VERIFY_WITH_TIMEOUT(!f.form.isVisible(), 10000);
        QVERIFY(!f.form.isRunning());
        QCOMPARE(shown, boxes);
    }

    // While a run stopped for closing ends, the file menu may be open: it outlives its form,
    // and what is chosen in it then is dropped.
    void fileMenuChosenAfterItsFormClosedDoesNothing()
    {
        Sandbox sandbox;
        DialogAnswers answers{QMessageBox::Yes};
        QVERIFY(writeRecordingProgram(sandbox.engines() + "/ffmpeg", sandbox.path() + "/calls", "sleep 30"));
        QVERIFY(writeRecordingProgram(sandbox.bin() + "/open", sandbox.path() + "/opened"));
        const QString clip = sandbox.path() + "/footage/a.mov";
        QVERIFY(touchFile(clip));
        MainWindow window;
        window.openNewWindow(); // deleted when closed
        const QPointer<eksForm> form = window.form;
        form->receiveEXT({"mov"}, {{JobModel::assigned(clip, Settings::DvPal)}}, {}, sandbox.path() + "/out");
        form->groupSettings[0][0] = Settings::argumentsFor({Settings::DvPal, {}, {}, {}, false});
        auto *files = form->findChild<QListView *>("listView_2");
        files->setCurrentIndex(files->model()->index(0, 0));
        form->findChild<QPushButton *>("pushButton_4")->click();
        QTRY_COMPARE(recordedCalls(sandbox.path() + "/calls").size(), 1);
        form->close();
        QVERIFY(form);

        Modal::setMenuRunner([&form](QMenu *menu, const QPoint &) {
            (void)QTest::qWaitFor([&form] { return form.isNull(); }, 10000);
            return menu->actions().value(0); // Open Location
        });
        const auto restore = qScopeGuard([] { Modal::setMenuRunner({}); });
        QContextMenuEvent event(QContextMenuEvent::Mouse, {5, 5}, files->viewport()->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(files->viewport(), &event);
        QVERIFY(form.isNull());
        QTest::qWait(200);
        QVERIFY(!QFileInfo::exists(sandbox.path() + "/opened"));
    }

    // Short of room, RUN IT NOW asks before anything starts; No starts nothing and leaves
    // the destination as it was.
    void aDestinationShortOfRoomIsAskedAbout_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("run anyway") << int(QMessageBox::Yes);
        QTest::newRow("no") << int(QMessageBox::No);
    }
    void aDestinationShortOfRoomIsAskedAbout()
    {
        QFETCH(int, answer);
        Fixture f({});
        const QString out = f.sandbox.path() + "/out";
        SmallDisk disk(out, 1 << 20);
        if (!disk.mounted)
            QSKIP("no tmpfs can be mounted here");
        f.answers.setAnswer(answer);
        f.run();
        QTRY_COMPARE_WITH_TIMEOUT(f.answers.texts.size(), 2, 10000);
        const MediaInfo clip = parseProbe(runProgram(f.sandbox.engines() + "/ffprobe", {}));
        qint64 needed = 0;
        for (const char *name : {"clip0.mov", "clip1.mov"}) {
            const QString path = f.source + "/" + name;
            needed += roomNeeded({path, f.form.groupSettings[0][0], "MOV", false}, clip, QFileInfo(path).size());
        }
        QCOMPARE(f.answers.texts.first(), roomShortText(needed, 1 << 20));
        const bool yes = answer == QMessageBox::Yes;
        QCOMPARE(recordedCalls(f.sandbox.path() + "/calls").size(), yes ? 2 : 0);
        QCOMPARE(f.answers.detailed.last().count(NotStartedText), yes ? 0 : 2);
        QCOMPARE(QDir(out).isEmpty(), !yes);
    }

    void aSecondRunSkipsWhatIsConvertedUnlessToldAndTheChoicesAreKept_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::newRow("DV PAL") << Settings::DvPal;
        QTest::newRow("preset with its own extension") << presetLine("mine", "-an", "mp4");
    }
    void aSecondRunSkipsWhatIsConvertedUnlessToldAndTheChoicesAreKept()
    {
        QFETCH(QString, setting);
        Fixture f({}, 2, setting);
        QCheckBox *again = f.child<QCheckBox>("checkBoxConvertAgain");
        // Off at first; then it is kept between sessions, so a later row finds the one before's.
        if (QTest::currentDataTag() == QLatin1String("DV PAL"))
            QVERIFY(!again->isChecked());
        again->setChecked(false);
        const QString calls = f.sandbox.path() + "/calls";
        const QString extension = Settings::outputExtension(setting);
        const QString out = f.sandbox.path() + "/out/footage/";
        for (int run : {1, 2}) {
            f.run();
            QTRY_COMPARE_WITH_TIMEOUT(f.answers.texts.size(), run, 10000);
        }
        QCOMPARE(recordedCalls(calls).size(), 2);
        QCOMPARE(f.answers.texts.last(), reportText({}));
        QCOMPARE(f.answers.detailed.last(), AlreadyConvertedText + ": " + out + "clip0." + extension + "\n"
                                                + AlreadyConvertedText + ": " + out + "clip1." + extension);
        // A run with nothing left to do ran to its end: it was not stopped.
        QCOMPARE(f.child<QLabel>("label_4")->text(), FinishedText);
        QCOMPARE(f.child<QProgressBar>("progressBar")->value(), 100);

        again->setChecked(true);
        f.child<QSpinBox>("spinBoxEngines")->setValue(2);
        f.run();
        QTRY_COMPARE_WITH_TIMEOUT(f.answers.texts.size(), 3, 10000);
        QCOMPARE(recordedCalls(calls).size(), 4);
        QCOMPARE(QDir(out).entryList(QDir::Files), QStringList({"clip0." + extension, "clip1." + extension}));
        eksForm other;
        QVERIFY(other.findChild<QCheckBox *>("checkBoxConvertAgain")->isChecked());
        QCOMPARE(savedEnginesAtOnce(), std::min(2, QThread::idealThreadCount()));
        QCOMPARE(other.findChild<QSpinBox *>("spinBoxEngines")->value(), savedEnginesAtOnce());
    }
};

QTEST_MAIN(LiveRunTest)
#include "tst_liverun.moc"
