// The preview of the conversion form: the embedded player and the file list's context
// menu, with stand-ins for the package's player and the desktop opener.

#include "app/modal.h"
#include "convert/eksform.h"
#include "testsupport.h"
#include "uisupport.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDirIterator>
#include <QFileInfo>
#include <QListView>
#include <QMediaPlayer>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

namespace {
const QString OpenLocation = QStringLiteral("Open Location in Finder");
const QString Play = QStringLiteral("Play");

// A shown form in its own sandbox. A stand-in engine keeps the form from asking for one;
// stand-ins record what the package's player and the opener are given.
struct Fixture
{
    Sandbox sandbox;
    DialogAnswers answers{QMessageBox::No};
    QString root = QFileInfo(sandbox.path()).canonicalFilePath();
    QString playerRecord = sandbox.path() + QLatin1String("/player-calls");
    QString openerRecord = sandbox.path() + QLatin1String("/open-calls");
    eksForm form;

    Fixture()
    {
        writeRecordingProgram(sandbox.engines() + QLatin1String("/ffmpeg"), sandbox.path() + "/engine-calls");
        writeRecordingProgram(sandbox.bundle() + QLatin1String("/ffplay"), playerRecord, Recording::Exact);
        writeRecordingProgram(sandbox.bin() + QLatin1String("/open"), openerRecord, Recording::Exact);
        form.show();
        exposed = QTest::qWaitForWindowExposed(&form);
    }
    bool exposed = false;
    QList<QByteArrayList> playerCalls() const { return exactRecordedCalls(playerRecord); }
    QList<QByteArrayList> openerCalls() const { return exactRecordedCalls(openerRecord); }

    QString makeFile(const QString &inRoot)
    {
        return touchFile(root + inRoot, "not a clip\n") ? root + inRoot : QString();
    }
    // One extension group holding the given job entries; the first becomes current.
    void deliver(const QStringList &entries)
    {
        QVERIFY(exposed);
        form.receiveEXT({QStringLiteral("mov")}, {entries}, {QLatin1String("file://") + root + "/clips"},
                        root + QLatin1String("/out"));
        files()->setCurrentIndex(fileRow(0));
    }
    QListView *files() { return form.findChild<QListView *>(QStringLiteral("listView_2")); }
    QModelIndex fileRow(int row) { return files()->model()->index(row, 0); }
    QProgressBar *bar() { return form.findChild<QProgressBar *>(QStringLiteral("progressBar")); }

    // A right-click on the file list, as the user makes it.
    void rightClickFiles()
    {
        const QPoint pos = files()->viewport()->rect().center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, files()->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(files()->viewport(), &event);
    }
};

bool sandboxHolds(const QString &root, const QString &namePrefix)
{
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        if (QFileInfo(it.next()).fileName().startsWith(namePrefix))
            return true;
    }
    return false;
}
} // namespace

class PreviewTest final : public QObject
{
    Q_OBJECT

    // Texts of the last menu shown; the runner picks the action named m_choice.
    QStringList m_menuTexts;
    QString m_choice;
    int m_menus = 0;

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

    void clickingOrDoubleClickingAFilePreviewsTheFileItself()
    {
        Fixture f;
        const QString clip = f.makeFile(QStringLiteral("/clips/day 1/a.mov"));
        const QString loose = f.makeFile(QStringLiteral("/loose/b.mov"));
        // The second was dropped on its own: its entry comes without the leading slash.
        f.deliver({clip + QLatin1String("|720x576 DV PAL|"), loose.mid(1) + QLatin1String("|H.264|")});

        QTest::mouseClick(f.files()->viewport(), Qt::LeftButton, {}, f.files()->visualRect(f.fileRow(0)).center());
        QCOMPARE(f.form.player()->source(), QUrl::fromLocalFile(clip));
        emit f.files()->doubleClicked(f.fileRow(1));
        QCOMPARE(f.form.player()->source(), QUrl::fromLocalFile(loose));
    }

    // Camera footage with its sound, clicked in the file list: the picture moves, with or
    // without a sound server, and Play/Pause pauses and resumes it.
    void clickedCameraFormatsPlay_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("encoding");
        QTest::newRow("MPEG-PS")
            << "a.mpg" << QStringList{"-c:v", "mpeg2video", "-c:a", "mp2", "-f", "vob"};
        QTest::newRow("AVCHD: MPEG-TS, H.264")
            << "00001.MTS"
            << QStringList{"-c:v", "libx264", "-c:a", "ac3", "-f", "mpegts", "-mpegts_m2ts_mode", "1"};
        QTest::newRow("MP4, H.264") << "c.mp4" << QStringList{"-c:v", "libx264", "-c:a", "aac"};
    }

    void clickedCameraFormatsPlay()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, encoding);
        if (!haveFfmpeg())
            QSKIP("ffmpeg makes the clips");
        Fixture f;
        const QString clip = f.makeFile(QStringLiteral("/clips/") + name);
        QVERIFY(runFfmpeg(QStringList{"-f", "lavfi", "-i", "testsrc=size=64x64:rate=25", "-f",
                                      "lavfi", "-i", "sine", "-t", "5", "-pix_fmt", "yuv420p"}
                          + encoding + QStringList{clip}));
        f.deliver({clip});

        const QPoint row = f.files()->visualRect(f.fileRow(0)).center();
        QTest::mouseClick(f.files()->viewport(), Qt::LeftButton, {}, row);
        QMediaPlayer *player = f.form.player();
        QTRY_VERIFY_WITH_TIMEOUT(player->position() > 0, 10000);
        QCOMPARE(player->error(), QMediaPlayer::NoError);
        auto *playPause = f.form.findChild<QPushButton *>(QStringLiteral("pushButton_8"));
        playPause->click();
        QCOMPARE(player->playbackState(), QMediaPlayer::PausedState);
        playPause->click();
        QCOMPARE(player->playbackState(), QMediaPlayer::PlayingState);
    }

    void menuRunsNothingWithoutChoiceOrCurrentRows_data()
    {
        QTest::addColumn<int>("player");
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("lost"); // the list left without a current row
        QTest::addColumn<QStringList>("texts");
        const QStringList both{OpenLocation, Play};
        QTest::newRow("player, nothing chosen") << 1 << QString() << "" << both;
        QTest::newRow("no player") << 0 << QString() << "" << QStringList{OpenLocation};
        QTest::newRow("open, no file row") << 1 << OpenLocation << "listView_2" << both;
        QTest::newRow("play, no file row") << 1 << Play << "listView_2" << both;
        QTest::newRow("open, no extension row") << 1 << OpenLocation << "listView" << both;
        QTest::newRow("play, no extension row") << 1 << Play << "listView" << both;
    }

    void menuRunsNothingWithoutChoiceOrCurrentRows()
    {
        QFETCH(int, player);
        QFETCH(QString, choice);
        QFETCH(QString, lost);
        QFETCH(QStringList, texts);
        Fixture f;
        f.deliver({f.makeFile(QStringLiteral("/clips/a.mov"))});
        ffplay = player;
        if (!lost.isEmpty())
            f.form.findChild<QListView *>(lost)->selectionModel()->clearCurrentIndex();
        m_choice = choice;

        f.rightClickFiles();
        QCOMPARE(m_menus, 1);
        QCOMPARE(m_menuTexts, texts);
        QVERIFY(f.openerCalls().isEmpty());
        QVERIFY(f.playerCalls().isEmpty());
        QCOMPARE(f.bar()->value(), 0);
    }

    void playAndOpenGiveShellCharactersInPathsUnharmed()
    {
        Fixture f;
        const QString folder = QStringLiteral("/disk/my \"best\" $(touch pwned) it's 日本語");
        const QString name = QStringLiteral("/映像 \"1\" `touch pwned2` $HOME.mov");
        QVERIFY(!f.makeFile(folder + name).isEmpty());
        // Reached through a link: the location opened is the link's target.
        QVERIFY(QDir().mkpath(f.root + QLatin1String("/clips")));
        QVERIFY(QFile::link(f.root + folder, f.root + QLatin1String("/clips/linked")));
        const QString clip = f.root + QLatin1String("/clips/linked") + name;
        // Dropped on its own, so the player is given exactly "/" + the entry.
        f.deliver({clip.mid(1) + QLatin1String("|H.264|")});
        ffplay = 1;

        m_choice = Play;
        f.rightClickFiles();
        QTRY_COMPARE(f.playerCalls(), QList<QByteArrayList>({{clip.toUtf8()}}));
        QVERIFY(f.openerCalls().isEmpty());
        QCOMPARE(f.bar()->value(), 0);

        m_choice = OpenLocation;
        f.rightClickFiles();
        QTRY_COMPARE(f.openerCalls(), QList<QByteArrayList>({{(f.root + folder).toUtf8()}}));
        QCOMPARE(f.bar()->value(), 100);
        QVERIFY(!sandboxHolds(f.sandbox.path(), QStringLiteral("pwned")));
    }
};

QTEST_MAIN(PreviewTest)
#include "tst_preview.moc"
