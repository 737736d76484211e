// The main window: the program started from elsewhere, sources, destination and ANALYZE.

#include "ui/mainwindow/mainwindow.h"
#include "ui/common/modal.h"
#include "ui/form/eksform.h"
#include "core/engines/deletewrongengine.h"
#include "testsupport.h"
#include "uisupport.h"

#include <QMediaPlayer>
#include <QtTest>
#include <QtWidgets>
#include <sys/stat.h>

namespace {
template<typename T = QWidget>
T *child(const QWidget &window, const char *name)
{
    return window.findChild<T *>(QLatin1String(name));
}

QStringList entries(const MainWindow &window)
{
    QStringList texts;
    const auto *list = child<QListWidget>(window, "listWidget");
    for (int row = 0; row < list->count(); ++row)
        texts.append(list->item(row)->text());
    return texts;
}

// Presses ANALYZE, closing the form of the analysis before. What the new form received,
// every file as "extension:path" in the order of the result; nothing without a new form.
QStringList analyze(MainWindow &window)
{
    delete window.form;
    child<QPushButton>(window, "pushButton_2")->click();
    if (!window.form)
        return {};
    const QStringList lista = window.form->extensionModel->stringList();
    QStringList files;
    for (qsizetype i = 0; i < lista.size(); ++i) {
        for (const QString &path : window.form->groupFiles.value(i))
            files.append(lista.at(i) + QLatin1Char(':') + path);
    }
    return files;
}
} // namespace

class MainWindowTest final : public QObject
{
    Q_OBJECT

private slots:
    // A desktop menu starts the program in the home folder; the bundle lies beside the program.
    void programWorksFromItsOwnFolderWhereverStarted()
    {
        Sandbox sandbox;
        const QString program = QStringLiteral(ORLENNE_PROGRAM);
        QProcess process;
        process.setWorkingDirectory(sandbox.path());
        process.start(program, {});
        QVERIFY(process.waitForStarted());
        const QString cwd = QStringLiteral("/proc/%1/cwd").arg(process.processId());
        QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(cwd).canonicalFilePath(), QFileInfo(program).canonicalPath(),
                                  10000);
        QCOMPARE(process.state(), QProcess::Running);
        process.kill();
        process.waitForFinished();
    }

    // Delete works while the main window is active, whatever has the focus. The check mark
    // says that a destination was chosen, until the list is emptied.
    void sourcesAreDroppedInOrderDeletedWithTheKeyAndTheDestinationShown()
    {
        Sandbox sandbox;
        MainWindow window;
        DialogAnswers answers(QMessageBox::No);
        const QStringList listed{"/Users/a/b.mov", "/Users/a/100% take #2?.mov", "/Users/a/Footage",
                                 "/Users/a/Footage", "/Users/a/FFMPEG"};
        // A path naming ffmpeg, even in a folder name, is asked about; answered No, it is
        // neither installed nor listed.
        QVERIFY(dropPaths(&window, QStringList{"/Users/a/ffmpeg"} + listed
                                       + QStringList{"/Users/a/ffmpeg-x/clip.mov"}));
        QCOMPARE(answers.texts.size(), 2);
        QVERIFY(QDir(sandbox.engines()).isEmpty());
        QStringList expected;
        for (const QString &path : listed)
            expected.append(QStringLiteral("file://") + path);
        QCOMPARE(entries(window), expected);

        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QString answer = QStringLiteral("/Volumes/Out/2024 Wedding Smith-Jones/Exports/day 1");
        Modal::setDirectoryChooser([&](QWidget *, const QString &, const QString &, QFileDialog::Options) {
            return answer;
        });
        const auto restore = qScopeGuard([] { Modal::setDirectoryChooser({}); });
        auto *destination = child(window, "pushButton_3");
        auto *shown = child<QLabel>(window, "labelDestination");
        auto *checkMark = child(window, "label");
        QTest::mouseClick(destination, Qt::LeftButton);
        QCOMPARE(destdir, answer);
        QVERIFY(checkMark->isVisible());
        // Shortened in the middle to fit, in full as a tip.
        QVERIFY(shown->text().startsWith("/Volumes/") && shown->text().endsWith("day 1"));
        QCOMPARE(shown->toolTip(), answer);
        QCOMPARE(cutLabels(&window), QString());

        destination->setFocus();
        auto *list = child<QListWidget>(window, "listWidget");
        for (int row : {0, 2, 3})
            list->item(row)->setSelected(true);
        QTest::keyClick(&window, Qt::Key_Delete);
        QCOMPARE(entries(window), (QStringList{expected.at(1), expected.at(4)}));
        QVERIFY(checkMark->isVisible());
        list->selectAll();
        QTest::keyClick(&window, Qt::Key_Delete);
        QVERIFY(entries(window).isEmpty());
        QVERIFY(!checkMark->isVisible());

        answer.clear(); // the dialog cancelled: no destination any more
        QTest::mouseClick(destination, Qt::LeftButton);
        QCOMPARE(destdir, QString());
        QCOMPARE(shown->text(), QString());
    }

    void engineDroppedAndConfirmedIsInstalledWholeOrNotAtAll()
    {
        Sandbox sandbox;
        const QString binary = sandbox.path() + QStringLiteral("/download/ffmpeg");
        const QByteArray content = QByteArray("\x7f" "ELF") + QByteArray(70000, '\x7f');
        QVERIFY(touchFile(binary, content));
        QVERIFY(QFile::setPermissions(binary, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        MainWindow window;
        DialogAnswers answers(QMessageBox::Yes);

        QVERIFY(dropPaths(&window, {binary}));
        const QString installed = sandbox.engines() + QStringLiteral("/ffmpeg");
        QCOMPARE(readFile(installed), content);
        QCOMPARE(QFile::permissions(installed), QFileDevice::Permissions(0x7755)); // 0755
        // A copy that fails, the installed engine dropped onto itself, and what is no program
        // (a page saved under the engine's name, a large archive of it, a clip in a folder
        // named after it) keep it whole and install nothing the cleanup would delete.
        QStringList drops{sandbox.path() + QStringLiteral("/gone/ffmpeg"), installed};
        for (const char *path : {"/page/ffmpeg", "/archive/ffmpeg", "/ffmpeg-tests/clip.mov"}) {
            drops.append(sandbox.path() + QLatin1String(path));
            const bool large = drops.last().contains(QLatin1String("archive"));
            QVERIFY(touchFile(drops.last(), QByteArray(large ? MinimumEngineSize : 9, 'x')));
        }
        // A named pipe would keep a read waiting for a writer that never comes.
        drops.append(sandbox.path() + QStringLiteral("/ffmpeg-pipe"));
        QCOMPARE(mkfifo(QFile::encodeName(drops.last()).constData(), 0600), 0);
        QVERIFY(dropPaths(&window, drops));
        QCOMPARE(answers.texts.size(), 7);
        QCOMPARE(readFile(installed), content);
        QCOMPARE(QDir(sandbox.engines()).entryList(QDir::Files | QDir::Hidden), QStringList{"ffmpeg"});
        QVERIFY(entries(window).isEmpty());
    }

    void analyzeGroupsWhatItFindsByLowerCaseExtension_data()
    {
        // Files made below the source folder S ("link>target" links to S/target), entries
        // dropped (relative to S), the destination, and what the new form gets ("s" is S
        // without its leading slash, as files dropped alone come) or the message instead.
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("drops");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QStringList>("found");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("abort"); // Abort is clicked as soon as the scan lets it through

        QTest::newRow("hidden files and folders skipped, a dotted folder inside entered")
            << QStringList{"shown.mov", ".hidden.mov", ".cache/in.mov", "sub/.x/deep.mov", "t.2/in.mov"}
            << QStringList{""} << "/out" << QStringList{"mov:S/shown.mov", "mov:S/t.2/in.mov"} << ""
            << false;
        QTest::newRow("links to folders not followed, links to files taken")
            << QStringList{"a.mov", "sub/b.mov", "sub/up>", "sub/c.mov>a.mov", "sub/d.mov>gone.mov"}
            << QStringList{"/sub"} << "/out" << QStringList{"mov:S/sub/b.mov", "mov:S/sub/c.mov"} << ""
            << false;
        QTest::newRow("the destination inside a source holds outputs, not sources")
            << QStringList{"a.mov", "out/sources/a.MOV", "sub/out/b.mov"} << QStringList{""} << "S/out"
            << QStringList{"mov:S/a.mov", "mov:S/sub/out/b.mov"} << "" << false;
        QTest::newRow("dropped folder with a dot in its name taken for a file, not for one above it")
            << QStringList{"Footage.2012/clip.mov", "j.doe/Card/a.mov"} << QStringList{"/Footage.2012", "/j.doe/Card"}
            << "/out" << QStringList{"2012:s/Footage.2012", "mov:S/j.doe/Card/a.mov"} << "" << false;
        QTest::newRow("dropped files taken whatever their extension or name")
            << QStringList{"day1/notes.txt", "day1/a.mov", "notes.txt", "take #2 100%?.mov"}
            << QStringList{"/notes.txt", "/day1", "/take #2 100%?.mov"} << "/out"
            << QStringList{"mov:S/day1/a.mov", "mov:s/take #2 100%?.mov", "txt:s/notes.txt"} << ""
            << false;
        QTest::newRow("extensions in any case, web and tape ones, a file dropped and in a dropped folder")
            << QStringList{"card/CLIP.MOV", "card/Take.Mov", "card/Clip.WEBM", "card/tape.m2t"}
            << QStringList{"/card", "/card/CLIP.MOV"} << "/ab"
            << QStringList{"m2t:S/card/tape.m2t", "mov:S/card/CLIP.MOV", "mov:S/card/Take.Mov",
                           "mov:s/card/CLIP.MOV", "webm:S/card/Clip.WEBM"}
            << "" << false;
        QTest::newRow("folders twice, missing or sharing names: each file once")
            << QStringList{"camA/x.mov", "camB/x.mov", "camA/a.ts", "camB/c.mpeg", "camA/d.m2ts", "camA/f"}
            << QStringList{"/camB", "/camA", "/camA", "/gone"} << "/out"
            << QStringList{"m2ts:S/camA/d.m2ts", "mov:S/camA/x.mov", "mov:S/camB/x.mov",
                           "mpeg:S/camB/c.mpeg", "ts:S/camA/a.ts"}
            << "" << false;
        QTest::newRow("nothing known found, a dropped file without a dot scanned as a folder")
            << QStringList{"notes.txt", "sub/cover.jpg", "README"} << QStringList{"", "/README"} << "/out"
            << QStringList{} << NothingFoundText << false;
        QTest::newRow("destination of two characters") << QStringList{"a.mov"} << QStringList{""} << "ab"
                                                       << QStringList{} << NothingToAnalyzeText << false;
        QTest::newRow("no sources") << QStringList{} << QStringList{} << "/out" << QStringList{}
                                    << NothingToAnalyzeText << false;
        QStringList many;
        for (int i = 0; i < 1000; ++i)
            many.append(QStringLiteral("d%1/f%2.mov").arg(i % 4).arg(i));
        QTest::newRow("abort keeps what was found") << many << QStringList{""} << "/out" << QStringList{}
                                                    << "" << true;
    }

    void analyzeGroupsWhatItFindsByLowerCaseExtension()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, drops);
        QFETCH(QString, destination);
        QFETCH(QStringList, found);
        QFETCH(QString, message);
        QFETCH(bool, abort);
        Sandbox sandbox;
        DialogAnswers answers(QMessageBox::No); // the new form asks for an engine
        const QString source = sandbox.path() + QStringLiteral("/sources");
        for (const QString &file : files) {
            const QString path = source + QLatin1Char('/') + file.section(QLatin1Char('>'), 0, 0);
            if (!file.contains(QLatin1Char('>')))
                QVERIFY(touchFile(path));
            else
                QVERIFY(QFile::link(source + QLatin1Char('/') + file.section(QLatin1Char('>'), 1), path));
        }
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QStringList dropped;
        for (const QString &drop : drops)
            dropped.append(source + drop);
        QVERIFY(dropPaths(&window, dropped));
        destdir = QString(destination).replace(QLatin1String("S/"), source + QLatin1Char('/'));
        auto *checkMark = child(window, "label");
        checkMark->show();
        auto *abortButton = child(window, "pushButton_6");
        if (abort) {
            QTimer::singleShot(0, &window, [&] {
                const QPoint centre = abortButton->mapTo(&window, abortButton->rect().center());
                QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, centre);
            });
        }

        const QStringList sent = analyze(window);
        auto *label = child<QLabel>(window, "label_4");
        QCOMPARE(label->isVisible() ? label->text() : QString(), message);
        QCOMPARE(checkMark->isVisible(), message != NothingFoundText);
        QVERIFY(!abortButton->isVisible());
        QCOMPARE(window.form && window.form->isVisible(), message.isEmpty());
        const auto closeForm = qScopeGuard([&window] { delete window.form; });
        if (abort) {
            QVERIFY(!sent.isEmpty());
            QVERIFY(sent.size() < files.size());
            // The next analysis starts afresh.
            QCOMPARE(analyze(window).size(), files.size());
            return;
        }
        QStringList expected;
        for (QString file : found) {
            file.replace(QLatin1String(":S"), QLatin1Char(':') + source);
            expected.append(file.replace(QLatin1String(":s"), QLatin1Char(':') + source.mid(1)));
        }
        QCOMPARE(sent, expected);
    }

    // A form closed during a preview goes with its player: nothing decodes unseen, and the
    // main window is left holding no form.
    void closedFormIsDeletedAndItsPreviewStopped()
    {
        if (!haveFfmpeg())
            QSKIP("ffmpeg makes the clip");
        Sandbox sandbox;
        DialogAnswers answers(QMessageBox::No); // the new form asks for an engine
        QVERIFY(runFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x64:rate=25", "-t", "30",
                           sandbox.path() + "/c.mov"}));
        MainWindow window;
        QVERIFY(dropPaths(&window, {sandbox.path()}));
        destdir = sandbox.path() + QStringLiteral("/out");
        QVERIFY(!analyze(window).isEmpty());
        const QPointer<eksForm> form = window.form;
        QVERIFY(QTest::qWaitForWindowExposed(form));
        clickRows(child<QListView>(*form, "listView_2"), {0});
        const QPointer<QMediaPlayer> player = form->player();
        QTRY_VERIFY_WITH_TIMEOUT(player->position() > 0, 10000);
        form->close();
        QCOMPARE(player->playbackState(), QMediaPlayer::StoppedState);
        QTRY_VERIFY(form.isNull() && player.isNull() && !window.form);
    }

    // A folder of an earlier analysis, since removed from the list, does not decide where the
    // outputs of a later one land.
    void outputsFollowTheFoldersOfTheCurrentAnalysis()
    {
        Sandbox sandbox;
        DialogAnswers answers(QMessageBox::No);
        const QString outer = sandbox.path() + QStringLiteral("/A");
        QVERIFY(touchFile(outer + QStringLiteral("/B/x.mov")));
        destdir = sandbox.path() + QStringLiteral("/out");
        MainWindow window;
        window.show();
        QVERIFY(dropPaths(&window, {outer + QStringLiteral("/B")}) && !analyze(window).isEmpty());
        window.form->close();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        child<QListWidget>(window, "listWidget")->selectAll();
        QTest::keyClick(&window, Qt::Key_Delete);
        QVERIFY(dropPaths(&window, {outer}) && analyze(window).size() == 1);
        const QString output = window.form->napravioutput2(window.form->groupFiles[0][0], "MOV");
        QCOMPARE(output, destdir + QStringLiteral("/A/B/x.MOV"));
        delete window.form;
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
