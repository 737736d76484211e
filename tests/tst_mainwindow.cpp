#include "app/mainwindow.h"
#include "app/modal.h"
#include "testsupport.h"
#include "uisupport.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>
#include <iostream>
#include <sstream>
#include <sys/stat.h>

namespace {
const QString EngineQuestion = QStringLiteral(
    "you have chosen a binary, would you like to use this as an conversion engine?");

template<typename T>
T *child(const MainWindow &window, const char *name)
{
    T *found = window.findChild<T *>(QLatin1String(name));
    if (!found)
        qWarning("no child %s", name);
    return found;
}

QListWidget *sourceList(const MainWindow &window)
{
    return child<QListWidget>(window, "listWidget");
}

QStringList entries(const MainWindow &window)
{
    QStringList texts;
    QListWidget *list = sourceList(window);
    for (int row = 0; row < list->count(); ++row)
        texts.append(list->item(row)->text());
    return texts;
}

int modeOf(const QString &path)
{
    struct stat info {};
    if (stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}

// Whether the drop picture is drawn: the lower half of the list, below a few entries, is
// then not of one colour.
bool showsDropPicture(const MainWindow &window)
{
    QListWidget *list = sourceList(window);
    QRect lower = list->viewport()->geometry();
    lower.setTop(lower.center().y());
    const QImage shot = list->grab(lower).toImage();
    QImage plain(shot.size(), shot.format());
    plain.fill(shot.pixel(0, 0));
    return shot != plain;
}

void showActive(MainWindow &window)
{
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

// What the code under test writes to std::cout while running call.
template<typename F>
std::string captureCout(F call)
{
    std::ostringstream stream;
    std::streambuf *old = std::cout.rdbuf(stream.rdbuf());
    call();
    std::cout.rdbuf(old);
    return stream.str();
}
} // namespace

// Receives the URLs the menu actions open instead of the desktop's browser.
class UrlRecorder final : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void openUrl(const QUrl &url) { urls.append(url); }
};

class MainWindowTest final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startsHiddenAndShowsOnlyItsTwoButtons();
    void webLinksOpenTutorialAndMakerSite();

    void droppedUrlsAreListedAsTheirTextInDropOrder();
    void engineAnsweredYesIsInstalledExecutable();

    void deleteKeyRemovesSelectedEntriesWhateverHasTheFocus();
    void destinationChoiceShowsCheckMarkAndCancelEmptiesDestination();
    void sendINReplacesTheMapAndPrintsItInKeyOrder();
};

void MainWindowTest::init()
{
    destdir = QStringLiteral(" ");
    kadebevme = QStringLiteral("/home");
}

void MainWindowTest::cleanup()
{
    Modal::setDirectoryChooser({});
    Modal::setDialogRunner({});
}

void MainWindowTest::startsHiddenAndShowsOnlyItsTwoButtons()
{
    MainWindow window;
    QVERIFY(window.isHidden());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!child<QLabel>(window, "label")->isVisible());
    QVERIFY(!child<QLabel>(window, "label_4")->isVisible());
    QVERIFY(!child<QPushButton>(window, "pushButton_6")->isVisible());
    QVERIFY(child<QPushButton>(window, "pushButton_2")->isVisible());
    // The top row is only 32 pixels high: vertical margins would squash the buttons.
    QVERIFY(child<QPushButton>(window, "pushButton_3")->height() >= 20);
    QCOMPARE(child<QProgressBar>(window, "progressBar")->value(), 0);
    for (const char *image : {":/addfilesfolders.png", ":/CONVERTER2-CROPPEDPNG.png", ":/splashform.png"})
        QVERIFY2(!QPixmap(QLatin1String(image)).isNull(), image);
}

void MainWindowTest::webLinksOpenTutorialAndMakerSite()
{
    MainWindow window;
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "openUrl");
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &recorder, "openUrl");
    child<QAction>(window, "actionCheck_out_youtube_tutorial")->trigger();
    child<QAction>(window, "actionGo_to_Veltroan_site")->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));

    QCOMPARE(recorder.urls.size(), 2);
    QVERIFY(recorder.urls.at(0).host().contains(QStringLiteral("youtube")));
    QVERIFY(recorder.urls.at(1).isValid());
    QVERIFY(!recorder.urls.at(1).host().contains(QStringLiteral("youtube")));
}

void MainWindowTest::droppedUrlsAreListedAsTheirTextInDropOrder()
{
    Sandbox sandbox;
    MainWindow window;
    DialogAnswers answers(QMessageBox::No);
    const QStringList listed{"/Users/a/Footage/b.mov", "/Users/a/a clip.mp4", "/Users/a/Footage",
                             "/Users/a/100% take #2?.mov", "/Users/a/day%201.mov"};
    // A path naming ffmpeg, even in a folder name, is asked about; answered No, it is
    // neither installed nor listed.
    QVERIFY(dropPaths(&window, QStringList{"/Users/a/ffmpeg"} + listed.mid(0, 3)
                                   + QStringList{"/Users/a/ffmpeg-x/clip.mov"} + listed.mid(3)));
    QCOMPARE(answers.texts, QStringList(2, EngineQuestion));
    QVERIFY(QDir(sandbox.engines()).isEmpty());
    // A folder dropped twice is listed twice; upper-case FFMPEG is no engine.
    const QStringList more{"/Users/a/Footage", "/Users/a/FFMPEG", "/Users/a/FFmpeg-tests/clip.mov"};
    QVERIFY(dropPaths(&window, more));
    // Text and empty drops are accepted but add nothing.
    QMimeData text;
    text.setText(QStringLiteral("file:///Users/a/text"));
    QVERIFY(dropData(&window, &text));
    QMimeData empty;
    QVERIFY(dropData(&window, &empty));

    QStringList expected;
    for (const QString &path : listed + more)
        expected.append("file://" + path);
    QCOMPARE(entries(window), expected);
    QCOMPARE(answers.texts.size(), 2);
}

void MainWindowTest::engineAnsweredYesIsInstalledExecutable()
{
    Sandbox sandbox;
    QVERIFY(QDir(sandbox.path()).mkdir(QStringLiteral("download")));
    const QString binary = sandbox.path() + QStringLiteral("/download/ffmpeg");
    const QByteArray content(70000, '\x7f');
    QVERIFY(writeFile(binary, content));
    QVERIFY(QFile::setPermissions(binary, QFileDevice::ReadOwner | QFileDevice::WriteOwner));

    MainWindow window;
    DialogAnswers answers(QMessageBox::Yes);
    answers.onDialog([](QDialog *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        QVERIFY(box);
        QCOMPARE(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box->standardButton(box->defaultButton()), QMessageBox::Yes);
    });
    QVERIFY(dropPaths(&window, {binary}));

    QCOMPARE(answers.texts, QStringList{EngineQuestion});
    QCOMPARE(sourceList(window)->count(), 0);
    const QString installed = sandbox.engines() + QStringLiteral("/ffmpeg");
    QVERIFY(readFile(installed) == content);
    QCOMPARE(modeOf(installed), 0755);
    QCOMPARE(modeOf(binary), 0600);

    // Dropping the installed engine itself keeps it whole.
    QVERIFY(dropPaths(&window, {installed}));
    QCOMPARE(answers.texts.size(), 2);
    QVERIFY(readFile(installed) == content);
    QCOMPARE(modeOf(installed), 0755);
    QCOMPARE(QDir(sandbox.engines()).entryList(QDir::Files), QStringList{QStringLiteral("ffmpeg")});

    // Without an engines folder nothing is created and nothing is listed.
    QVERIFY(QDir(sandbox.engines()).removeRecursively());
    QVERIFY(dropPaths(&window, {binary}));
    QCOMPARE(answers.texts.size(), 3);
    QVERIFY(!QFileInfo::exists(sandbox.engines()));
    QCOMPARE(sourceList(window)->count(), 0);
}

void MainWindowTest::deleteKeyRemovesSelectedEntriesWhateverHasTheFocus()
{
    MainWindow window;
    QVERIFY(dropPaths(&window, {QStringLiteral("/a.mov"), QStringLiteral("/b.mov"),
                               QStringLiteral("/c.mov"), QStringLiteral("/d.mov")}));
    auto *checkMark = child<QLabel>(window, "label");
    checkMark->show();
    showActive(window);
    QVERIFY(!showsDropPicture(window));
    auto *destination = child<QPushButton>(window, "pushButton_3");
    destination->setFocus();
    QVERIFY(destination->hasFocus());

    // Nothing selected: nothing happens.
    QListWidget *list = sourceList(window);
    list->clearSelection();
    QTest::keyClick(&window, Qt::Key_Delete);
    QCOMPARE(list->count(), 4);
    QVERIFY(checkMark->isVisible());

    list->item(0)->setSelected(true);
    list->item(2)->setSelected(true);
    QTest::keyClick(&window, Qt::Key_Delete);
    QCOMPARE(entries(window), (QStringList{QStringLiteral("file:///b.mov"), QStringLiteral("file:///d.mov")}));
    QVERIFY(checkMark->isVisible());

    // Emptying the list hides the check mark, and so does Delete on an empty list.
    list->selectAll();
    QTest::keyClick(&window, Qt::Key_Delete);
    QCOMPARE(list->count(), 0);
    QVERIFY(!checkMark->isVisible());
    QVERIFY(showsDropPicture(window));
    checkMark->show();
    QTest::keyClick(&window, Qt::Key_Delete);
    QVERIFY(!checkMark->isVisible());
}

void MainWindowTest::destinationChoiceShowsCheckMarkAndCancelEmptiesDestination()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QList<QPair<QWidget *, QString>> calls; // parent and start folder of each chooser
    QString answer = QStringLiteral("/Volumes/Out/2024 Wedding Smith-Jones/Exports/day 1");
    Modal::setDirectoryChooser([&](QWidget *parent, const QString &caption, const QString &dir,
                                   QFileDialog::Options options) {
        calls.append({parent, dir});
        [&] {
            QCOMPARE(caption, QStringLiteral("Open Directory"));
            QCOMPARE(options, QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
        }();
        return answer;
    });
    auto *destination = child<QPushButton>(window, "pushButton_3");
    auto *checkMark = child<QLabel>(window, "label");

    auto *shown = child<QLabel>(window, "labelDestination");

    QTest::mouseClick(destination, Qt::LeftButton);
    QCOMPARE(calls, (QList<QPair<QWidget *, QString>>{{&window, QStringLiteral("/home")}}));
    QCOMPARE(destdir, answer);
    QCOMPARE(kadebevme, answer);
    QVERIFY(checkMark->isVisible());
    // The chosen folder is shown, shortened in the middle to fit, in full as a tip.
    QVERIFY(shown->text().startsWith("/Volumes/") && shown->text().endsWith("day 1"));
    QCOMPARE(shown->toolTip(), answer);
    QCOMPARE(cutLabels(&window), QString());
    answer = QStringLiteral("/Volumes/Out");
    QTest::mouseClick(destination, Qt::LeftButton);
    QCOMPARE(shown->text(), answer);

    // Cancelled: the destination is gone, the check mark and the start folder stay.
    answer.clear();
    QTest::mouseClick(destination, Qt::LeftButton);
    QCOMPARE(calls.size(), 3);
    QCOMPARE(calls.at(2).second, QStringLiteral("/Volumes/Out"));
    QCOMPARE(destdir, QString());
    QCOMPARE(kadebevme, QStringLiteral("/Volumes/Out"));
    QVERIFY(checkMark->isVisible());
    QCOMPARE(shown->text(), QString());
}

void MainWindowTest::sendINReplacesTheMapAndPrintsItInKeyOrder()
{
    MainWindow window;
    const std::map<std::string, std::string> map{
        {"mov", "-vcodec dnxhd -b 120M"}, {"avi", "-target pal-dv"}, {"mts", ""}};
    const std::string stars(34, '*');
    QCOMPARE(captureCout([&] { window.sendIN(map); }),
             stars + "\navi\t-target pal-dv\nmov\t-vcodec dnxhd -b 120M\nmts\t\n" + stars + "\n");
    QVERIFY(window.mapa == map);

    QCOMPARE(captureCout([&] { window.sendIN({}); }), stars + "\n" + stars + "\n");
    QVERIFY(window.mapa.empty());
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
