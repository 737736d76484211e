// The preview of the conversion form: the embedded player and the file list's context
// menu, with stand-ins for the package's player and the desktop opener.

#include "app/modal.h"
#include "convert/eksform.h"
#include "testsupport.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDirIterator>
#include <QFileInfo>
#include <QListView>
#include <QListWidget>
#include <QMediaPlayer>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

namespace {
const QString OpenLocation = QStringLiteral("Open Location in Finder");
const QString Play = QStringLiteral("Play");
} // namespace

class PreviewTest final : public QObject
{
    Q_OBJECT

private:
    // A stand-in engine keeps the form from asking for one; stand-ins record what the
    // package's player and the opener are given.
    struct Fixture
    {
        Sandbox sandbox;
        DialogAnswers answers{QMessageBox::No};
        QString root = QFileInfo(sandbox.path()).canonicalFilePath();
        QString playerRecord = sandbox.path() + QLatin1String("/player-calls");
        QString openerRecord = sandbox.path() + QLatin1String("/open-calls");

        Fixture()
        {
            writeRecordingProgram(sandbox.engines() + QLatin1String("/ffmpeg"),
                                  sandbox.path() + QLatin1String("/engine-calls"));
            writeExactRecordingProgram(sandbox.bundle() + QLatin1String("/ffplay"), playerRecord);
            writeExactRecordingProgram(sandbox.bin() + QLatin1String("/open"), openerRecord);
        }
        QList<QByteArrayList> playerCalls() const { return exactRecordedCalls(playerRecord); }
        QList<QByteArrayList> openerCalls() const { return exactRecordedCalls(openerRecord); }
    };

    // Texts of the last menu shown; the runner picks the action named m_choice.
    QStringList m_menuTexts;
    QString m_choice;
    int m_menus = 0;

    template <typename T> static T *child(eksForm &form, const char *name)
    {
        T *widget = form.findChild<T *>(QLatin1String(name));
        Q_ASSERT(widget);
        return widget;
    }

    static QString makeFile(const QString &path, const QByteArray &content = "not a clip\n")
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        return writeFile(path, content) ? path : QString();
    }

    // One extension group holding the given job entries.
    static void deliver(eksForm &form, const QStringList &entries, const QString &root)
    {
        form.receiveEXT({QStringLiteral("mov")}, {entries},
                        {QLatin1String("file://") + root + QLatin1String("/clips")},
                        root + QLatin1String("/out"));
    }

    static QModelIndex fileRow(eksForm &form, int row)
    {
        auto *view = child<QListView>(form, "listView_2");
        return view->model()->index(row, 0);
    }

    static void show(eksForm &form)
    {
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
    }

    // A right-click on the file list, as the user makes it.
    static void rightClickFiles(eksForm &form)
    {
        auto *view = child<QListView>(form, "listView_2");
        const QPoint pos = view->viewport()->rect().center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, view->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(view->viewport(), &event);
    }

    static bool sandboxHolds(const QString &root, const QString &namePrefix)
    {
        QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            if (QFileInfo(it.next()).fileName().startsWith(namePrefix))
                return true;
        }
        return false;
    }

private slots:
    void init()
    {
        m_menuTexts.clear();
        m_choice.clear();
        m_menus = 0;
        Modal::setMenuRunner([this](QMenu *menu, const QPoint &) -> QAction * {
            ++m_menus;
            m_menuTexts.clear();
            QAction *chosen = nullptr;
            for (QAction *action : menu->actions()) {
                m_menuTexts.append(action->text());
                if (action->text() == m_choice)
                    chosen = action;
            }
            return chosen;
        });
    }

    void cleanup() { Modal::setMenuRunner({}); }

    void clickingAnAssignedFilePreviewsTheFileItself()
    {
        Fixture fixture;
        const QString clip = makeFile(fixture.root + QLatin1String("/clips/day 1/a.mov"));
        eksForm form;
        show(form);
        deliver(form, {clip}, fixture.root);

        auto *view = child<QListView>(form, "listView_2");
        view->selectionModel()->select(fileRow(form, 0), QItemSelectionModel::ClearAndSelect);
        auto *settings = child<QListWidget>(form, "listWidget");
        settings->setCurrentItem(
            settings->findItems(QStringLiteral("720x576 DV PAL"), Qt::MatchExactly).value(0));
        child<QPushButton>(form, "pushButton")->click();
        QVERIFY(fileRow(form, 0).data().toString().endsWith(QLatin1String("|720x576 DV PAL|")));

        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          view->visualRect(fileRow(form, 0)).center());
        QCOMPARE(form.player()->source(), QUrl::fromLocalFile(clip));
    }

    void doubleClickingAFileDroppedOnItsOwnPreviewsIt()
    {
        Fixture fixture;
        const QString clip = makeFile(fixture.root + QLatin1String("/loose/b.mov"));
        eksForm form;
        show(form);
        // Dropped on its own: the entry comes without its leading slash.
        deliver(form, {clip.mid(1) + QLatin1String("|720x576 DV PAL|")}, fixture.root);

        auto *view = child<QListView>(form, "listView_2");
        emit view->doubleClicked(fileRow(form, 0));
        QCOMPARE(form.player()->source(), QUrl::fromLocalFile(clip));
    }

    void playPauseSwitchesThePlayer_data()
    {
        QTest::addColumn<bool>("decodable");
        QTest::newRow("not a clip") << false;
        QTest::newRow("real clip") << true;
    }

    void playPauseSwitchesThePlayer()
    {
        QFETCH(bool, decodable);
        Fixture fixture;
        const QString clip = fixture.root + QLatin1String("/clips/c.mov");
        if (decodable) {
            if (!haveFfmpeg())
                QSKIP("ffmpeg makes the clip");
            QDir().mkpath(fixture.root + QLatin1String("/clips"));
            QVERIFY(runFfmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                               QStringLiteral("testsrc=size=64x64:rate=25"), QStringLiteral("-t"),
                               QStringLiteral("5"), QStringLiteral("-pix_fmt"),
                               QStringLiteral("yuv420p"), clip}));
        } else {
            makeFile(clip);
        }
        eksForm form;
        show(form);
        deliver(form, {clip}, fixture.root);
        form.playfile(clip);

        QMediaPlayer *player = form.player();
        auto *button = child<QPushButton>(form, "pushButton_8");
        for (int press = 0; press < 3; ++press) {
            const QMediaPlayer::PlaybackState before = player->playbackState();
            button->click();
            if (before == QMediaPlayer::PlayingState)
                QCOMPARE(player->playbackState(), QMediaPlayer::PausedState);
            else if (player->error() == QMediaPlayer::NoError) // a failed decode may stop it
                QCOMPARE(player->playbackState(), QMediaPlayer::PlayingState);
        }
        QCOMPARE(player->source(), QUrl::fromLocalFile(clip));
    }

    void menuOffersPlayOnlyWithThePlayer_data()
    {
        QTest::addColumn<int>("player");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("player") << 1 << QStringList({OpenLocation, Play});
        QTest::newRow("no player") << 0 << QStringList({OpenLocation});
    }

    void menuOffersPlayOnlyWithThePlayer()
    {
        QFETCH(int, player);
        QFETCH(QStringList, texts);
        Fixture fixture;
        eksForm form;
        show(form);
        deliver(form, {makeFile(fixture.root + QLatin1String("/clips/a.mov"))}, fixture.root);
        child<QListView>(form, "listView_2")->setCurrentIndex(fileRow(form, 0));
        ffplay = player;

        rightClickFiles(form); // no action chosen
        QCOMPARE(m_menus, 1);
        QCOMPARE(m_menuTexts, texts);
        QVERIFY(fixture.openerCalls().isEmpty());
        QVERIFY(fixture.playerCalls().isEmpty());
        QCOMPARE(child<QProgressBar>(form, "progressBar")->value(), 0);
    }

    void menuWithoutCurrentFileRunsNothing_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<bool>("extensionCurrent");
        QTest::newRow("open, no file row") << OpenLocation << true;
        QTest::newRow("play, no file row") << Play << true;
        QTest::newRow("open, no extension row") << OpenLocation << false;
        QTest::newRow("play, no extension row") << Play << false;
    }

    void menuWithoutCurrentFileRunsNothing()
    {
        QFETCH(QString, choice);
        QFETCH(bool, extensionCurrent);
        Fixture fixture;
        eksForm form;
        show(form);
        deliver(form, {makeFile(fixture.root + QLatin1String("/clips/a.mov"))}, fixture.root);
        ffplay = 1;
        auto *files = child<QListView>(form, "listView_2");
        if (extensionCurrent) {
            files->selectionModel()->clearCurrentIndex();
        } else {
            files->setCurrentIndex(fileRow(form, 0));
            child<QListView>(form, "listView")->selectionModel()->clearCurrentIndex();
        }
        m_choice = choice;

        rightClickFiles(form);
        QCOMPARE(m_menus, 1);
        QVERIFY(fixture.openerCalls().isEmpty());
        QVERIFY(fixture.playerCalls().isEmpty());
        QCOMPARE(child<QProgressBar>(form, "progressBar")->value(), 0);
    }

    void openLocationShowsTheLinkTargetFolder()
    {
        Fixture fixture;
        const QString target = fixture.root + QLatin1String("/disk/footage");
        makeFile(target + QLatin1String("/a.mov"));
        QVERIFY(QDir().mkpath(fixture.root + QLatin1String("/clips")));
        QVERIFY(QFile::link(target, fixture.root + QLatin1String("/clips/linked")));
        eksForm form;
        show(form);
        deliver(form, {fixture.root + QLatin1String("/clips/linked/a.mov")}, fixture.root);
        child<QListView>(form, "listView_2")->setCurrentIndex(fileRow(form, 0));
        ffplay = 1;
        m_choice = OpenLocation;

        rightClickFiles(form);
        QCOMPARE(fixture.openerCalls(), QList<QByteArrayList>({{target.toUtf8()}}));
        QVERIFY(fixture.playerCalls().isEmpty());
        QCOMPARE(child<QProgressBar>(form, "progressBar")->value(), 100);
    }

    void playRunsThePackagePlayerWithTheFile()
    {
        Fixture fixture;
        const QString clip = makeFile(fixture.root + QLatin1String("/clips/a b.mov"));
        eksForm form;
        show(form);
        deliver(form, {clip + QLatin1String("|H.264|")}, fixture.root);
        child<QListView>(form, "listView_2")->setCurrentIndex(fileRow(form, 0));
        ffplay = 1;
        m_choice = Play;

        rightClickFiles(form);
        const QList<QByteArrayList> calls = fixture.playerCalls();
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first().size(), 1);
        QCOMPARE(QFileInfo(QString::fromUtf8(calls.first().first())).canonicalFilePath(), clip);
        QVERIFY(fixture.openerCalls().isEmpty());
        QCOMPARE(child<QProgressBar>(form, "progressBar")->value(), 0);
    }

    void shellCharactersInPathsReachTheProgramsUnharmed()
    {
        Fixture fixture;
        const QString folder
            = fixture.root + QStringLiteral("/clips/my \"best\" $(touch pwned) it's 日本語");
        const QString clip
            = makeFile(folder + QStringLiteral("/映像 \"1\" `touch pwned2` $HOME.mov"));
        QVERIFY(!clip.isEmpty());
        eksForm form;
        show(form);
        // Dropped on its own, so the player is given exactly "/" + the entry.
        deliver(form, {clip.mid(1)}, fixture.root);
        child<QListView>(form, "listView_2")->setCurrentIndex(fileRow(form, 0));
        ffplay = 1;

        m_choice = Play;
        rightClickFiles(form);
        m_choice = OpenLocation;
        rightClickFiles(form);

        QCOMPARE(fixture.playerCalls(), QList<QByteArrayList>({{clip.toUtf8()}}));
        QCOMPARE(fixture.openerCalls(), QList<QByteArrayList>({{folder.toUtf8()}}));
        QVERIFY(!sandboxHolds(fixture.sandbox.path(), QStringLiteral("pwned")));
    }
};

QTEST_MAIN(PreviewTest)
#include "tst_preview.moc"
