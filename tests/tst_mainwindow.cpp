#include "app/mainwindow.h"
#include "app/modal.h"
#include "testsupport.h"

#include <QAction>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
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

// Drops the data onto the window as the file manager would; returns whether the drop
// was accepted.
bool drop(MainWindow &window, QMimeData *data)
{
    // The toolkit hands a drop only to the widget that accepted the drag's entry.
    QDragEnterEvent enter(QPoint(100, 200), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QDropEvent event(QPointF(100, 200), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    event.setAccepted(false);
    QApplication::sendEvent(&window, &event);
    return event.isAccepted();
}

bool dropUrls(MainWindow &window, const QList<QUrl> &urls)
{
    QMimeData data;
    data.setUrls(urls);
    return drop(window, &data);
}

QUrl fileUrl(const QString &path)
{
    return QUrl::fromLocalFile(path);
}

int modeOf(const QString &path)
{
    struct stat info {};
    if (stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}

// Captures what the code under test writes to std::cout.
class CoutCapture
{
public:
    CoutCapture() : m_old(std::cout.rdbuf(m_stream.rdbuf())) {}
    ~CoutCapture() { std::cout.rdbuf(m_old); }
    std::string text() const { return m_stream.str(); }

private:
    std::ostringstream m_stream;
    std::streambuf *m_old;
};
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

    void startsHiddenWithCheckMarkWarningAndAbortInvisible();
    void windowHasTheDesignedGeometryAndTexts();
    void buttonsAndListHaveTheDesignedProperties();
    void greyLabelLiesAboveTheLogo();
    void menusHoldTheirActionsInOrder();
    void aboutShowsTheProductTextExactly();
    void webLinksOpenTutorialAndMakerSite();

    void droppedUrlsAreListedInDropOrder();
    void droppedNamesKeepTheirRealCharacters();
    void folderDroppedTwiceIsListedTwice();
    void textOnlyDropAddsNothing();
    void everyDragIsAccepted();

    void engineAnsweredYesIsInstalledExecutable();
    void engineAnsweredNoIsNeitherInstalledNorListed();
    void ffmpegInAFolderNameAsksTheEngineQuestion();
    void upperCaseFfmpegIsListedNormally();
    void failedEngineCopyInstallsNothingAndKeepsTheOldEngine();

    void deleteKeyRemovesSelectedEntriesWhateverHasTheFocus();
    void deleteOnEmptyListHidesTheCheckMark();
    void destinationChoiceShowsCheckMarkAndCancelEmptiesDestination();

    void sendINPrintsTheMapInKeyOrderBetweenStarLines();
    void sendINWithEmptyMapPrintsOnlyStarLines();
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

void MainWindowTest::startsHiddenWithCheckMarkWarningAndAbortInvisible()
{
    MainWindow window;
    QVERIFY(window.isHidden());
    QCOMPARE(window.abortFlag, 0);
    QVERIFY(window.mapa.empty());
    QVERIFY(window.sourcedirs.isEmpty());
    QVERIFY(window.form == nullptr);

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!child<QLabel>(window, "label")->isVisible());
    QVERIFY(!child<QLabel>(window, "label_4")->isVisible());
    QVERIFY(!child<QPushButton>(window, "pushButton_6")->isVisible());
    QVERIFY(child<QPushButton>(window, "pushButton_2")->isVisible());
    QVERIFY(child<QPushButton>(window, "pushButton_3")->isVisible());
    auto *bar = child<QProgressBar>(window, "progressBar");
    QCOMPARE(bar->value(), 0);
    QVERIFY(!bar->isTextVisible());
    QVERIFY(!bar->invertedAppearance());
}

void MainWindowTest::windowHasTheDesignedGeometryAndTexts()
{
    MainWindow window;
    QCOMPARE(window.size(), QSize(587, 522));
    QCOMPARE(window.minimumSize(), QSize(0, 0));
    QCOMPARE(window.maximumSize(), QSize(2000, 1000));
    QVERIFY(window.acceptDrops());
    QCOMPARE(window.windowModality(), Qt::NonModal);
    QCOMPARE(window.windowTitle(), QStringLiteral("Orlenne Converter"));
    QCOMPARE(window.objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(window.centralWidget()->objectName(), QStringLiteral("centralWidget"));

    QCOMPARE(child<QWidget>(window, "label_5")->geometry(), QRect(20, 12, 561, 91));
    QCOMPARE(child<QWidget>(window, "label_5")->minimumSize(), QSize(561, 91));
    QCOMPARE(child<QWidget>(window, "label_5")->maximumSize(), QSize(561, 91));
    QCOMPARE(child<QWidget>(window, "label_5")->styleSheet(),
             QStringLiteral("image: url(:/CONVERTER2-CROPPEDPNG.png);"));
    QCOMPARE(child<QLabel>(window, "label_5")->text(), QString());
    QCOMPARE(child<QWidget>(window, "layoutWidget")->geometry(), QRect(8, 100, 561, 32));
    QCOMPARE(child<QWidget>(window, "layoutWidget1")->geometry(), QRect(10, 130, 563, 353));
    QCOMPARE(child<QWidget>(window, "label_2")->geometry(), QRect(470, 10, 111, 81));
    QCOMPARE(child<QWidget>(window, "label_2")->styleSheet(),
             QStringLiteral("background-color: rgb(235, 235, 235);"));

    QCOMPARE(child<QPushButton>(window, "pushButton_3")->text(), QStringLiteral("DESTINATION"));
    QCOMPARE(child<QPushButton>(window, "pushButton_2")->text(), QStringLiteral("ANALYZE"));
    QCOMPARE(child<QPushButton>(window, "pushButton_6")->text(), QStringLiteral("Abort Analyzing!"));
    const QString checkMark = child<QLabel>(window, "label")->text();
    QVERIFY(checkMark.contains(QChar(0x2714)));
    QVERIFY(checkMark.contains(QStringLiteral("font-size:18pt")));
    QVERIFY(checkMark.contains(QStringLiteral("font-weight:600")));
    QVERIFY(checkMark.contains(QStringLiteral("#55aa00")));
    const QString warning = child<QLabel>(window, "label_4")->text();
    QVERIFY(warning.contains(QStringLiteral("you have to choose your source folder first!")));
    QVERIFY(warning.contains(QStringLiteral("#ff0000")));
}

void MainWindowTest::buttonsAndListHaveTheDesignedProperties()
{
    MainWindow window;
    QWidget *top = child<QWidget>(window, "layoutWidget");
    auto *row = qobject_cast<QHBoxLayout *>(top->layout());
    QVERIFY(row);
    QCOMPARE(row->objectName(), QStringLiteral("horizontalLayout"));
    QCOMPARE(row->spacing(), 6);
    // No room above and below in a 32-pixel row: the buttons would be 10 pixels tall.
    QCOMPARE(row->contentsMargins(), QMargins(11, 0, 11, 0));
    QVERIFY(child<QPushButton>(window, "pushButton_3")->height() >= 20);
    QCOMPARE(row->count(), 3);
    QCOMPARE(row->itemAt(0)->widget()->objectName(), QStringLiteral("pushButton_3"));
    QCOMPARE(row->itemAt(1)->widget()->objectName(), QStringLiteral("label"));
    QCOMPARE(row->itemAt(2)->widget()->objectName(), QStringLiteral("pushButton_2"));

    auto *destination = child<QPushButton>(window, "pushButton_3");
    QVERIFY(destination->isDefault());
    QVERIFY(destination->autoDefault());
    QVERIFY(!destination->isFlat());
    auto *analyze = child<QPushButton>(window, "pushButton_2");
    QVERIFY(!analyze->isDefault());
    QVERIFY(analyze->autoDefault());
    QVERIFY(!analyze->isFlat());
    QVERIFY(analyze->autoFillBackground());
    QCOMPARE(child<QLabel>(window, "label")->maximumSize(), QSize(21, 20));

    QWidget *bottom = child<QWidget>(window, "layoutWidget1");
    auto *column = qobject_cast<QVBoxLayout *>(bottom->layout());
    QVERIFY(column);
    QCOMPARE(column->objectName(), QStringLiteral("verticalLayout"));
    QCOMPARE(column->spacing(), 6);
    QCOMPARE(column->contentsMargins(), QMargins(11, 11, 11, 11));
    QCOMPARE(column->count(), 3);
    QCOMPARE(column->itemAt(0)->widget()->objectName(), QStringLiteral("listWidget"));
    QLayout *buttons = column->itemAt(1)->layout();
    QVERIFY(buttons);
    QCOMPARE(buttons->objectName(), QStringLiteral("horizontalLayout_2"));
    QCOMPARE(buttons->spacing(), 6);
    QCOMPARE(buttons->itemAt(0)->widget()->objectName(), QStringLiteral("pushButton_6"));
    QCOMPARE(buttons->itemAt(1)->widget()->objectName(), QStringLiteral("label_4"));
    QCOMPARE(column->itemAt(2)->widget()->objectName(), QStringLiteral("progressBar"));
    QCOMPARE(child<QWidget>(window, "pushButton_6")->maximumSize(), QSize(161, 41));
    const QSizePolicy barPolicy = child<QWidget>(window, "progressBar")->sizePolicy();
    QCOMPARE(barPolicy.horizontalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(barPolicy.verticalPolicy(), QSizePolicy::Fixed);

    QListWidget *list = sourceList(window);
    QCOMPARE(list->minimumSize(), QSize(561, 281));
    QCOMPARE(list->maximumSize(), QSize(561, 281));
    QVERIFY(list->acceptDrops());
    QCOMPARE(list->layoutDirection(), Qt::LeftToRight);
    QVERIFY(list->autoFillBackground());
    QCOMPARE(list->lineWidth(), 0);
    QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    QVERIFY(list->styleSheet().contains(QStringLiteral("url(:/addfilesfolders.png)")));
    QVERIFY(list->styleSheet().contains(QStringLiteral("rgb(156, 156, 156)")));
    QVERIFY(list->styleSheet().contains(QStringLiteral("#6a6ea9")));
    QVERIFY(!QPixmap(QStringLiteral(":/addfilesfolders.png")).isNull());
    QVERIFY(!QPixmap(QStringLiteral(":/CONVERTER2-CROPPEDPNG.png")).isNull());
    QVERIFY(!QPixmap(QStringLiteral(":/splashform.png")).isNull());
}

void MainWindowTest::greyLabelLiesAboveTheLogo()
{
    MainWindow window;
    QStringList stacking; // bottom to top
    for (QObject *object : window.centralWidget()->children()) {
        if (object->isWidgetType())
            stacking.append(object->objectName());
    }
    QCOMPARE(stacking.mid(stacking.size() - 3),
             (QStringList{QStringLiteral("layoutWidget"), QStringLiteral("label_5"),
                          QStringLiteral("label_2")}));
}

void MainWindowTest::menusHoldTheirActionsInOrder()
{
    MainWindow window;
    QMenuBar *bar = window.menuBar();
    QCOMPARE(bar->objectName(), QStringLiteral("menuBar"));
    const QList<QAction *> menus = bar->actions();
    QCOMPARE(menus.size(), 2);
    QMenu *product = menus.at(0)->menu();
    QMenu *help = menus.at(1)->menu();
    QVERIFY(product && help);
    QCOMPARE(product->objectName(), QStringLiteral("menuOrlenne_Converter"));
    QCOMPARE(product->title(), QStringLiteral("Orlenne Converter"));
    QCOMPARE(help->objectName(), QStringLiteral("menuHelp"));
    QCOMPARE(help->title(), QStringLiteral("Help"));

    QCOMPARE(product->actions().size(), 1);
    QCOMPARE(product->actions().at(0)->objectName(), QStringLiteral("actionAbout"));
    QCOMPARE(product->actions().at(0)->text(), QStringLiteral("About"));
    QCOMPARE(help->actions().size(), 2);
    QCOMPARE(help->actions().at(0)->objectName(),
             QStringLiteral("actionCheck_out_youtube_tutorial"));
    QCOMPARE(help->actions().at(0)->text(), QStringLiteral("check out youtube tutorial"));
    QCOMPARE(help->actions().at(1)->objectName(), QStringLiteral("actionGo_to_Veltroan_site"));
    QVERIFY(help->actions().at(1)->text().startsWith(QStringLiteral("go to ")));
    QVERIFY(help->actions().at(1)->text().size() > 6);
}

void MainWindowTest::aboutShowsTheProductTextExactly()
{
    MainWindow window;
    DialogAnswers answers(QMessageBox::Ok);
    answers.onDialog([](QDialog *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        QVERIFY(box);
        QCOMPARE(box->icon(), QMessageBox::NoIcon);
        QVERIFY(box->parentWidget() == nullptr);
    });
    child<QAction>(window, "actionAbout")->trigger();
    QCOMPARE(answers.texts,
             QStringList{QStringLiteral(
                 "Veltroan Orlenne Batch Converter is the only tool that enables fully automated "
                 "workflow when converting whole disks or folders.It can be used to create "
                 "intraframe footage from the original H.264 / AVCHD footage. But it's use "
                 "doesn't end here. It's great for making proxies,ideal for laptop editing.In "
                 "addition to this, Veltroan OB Converter is extremely fast utilizing all CPU "
                 "cores.")});
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

void MainWindowTest::droppedUrlsAreListedInDropOrder()
{
    MainWindow window;
    DialogAnswers answers(QMessageBox::No);
    QVERIFY(dropUrls(window, {fileUrl(QStringLiteral("/Users/a/Footage/b.mov")),
                              fileUrl(QStringLiteral("/Users/a/a clip.mp4")),
                              fileUrl(QStringLiteral("/Users/a/Footage")),
                              fileUrl(QStringLiteral("/Users/a/notes.txt"))}));
    QVERIFY(dropUrls(window, {fileUrl(QStringLiteral("/Volumes/Disk/day1"))}));
    QCOMPARE(entries(window),
             (QStringList{QStringLiteral("file:///Users/a/Footage/b.mov"),
                          QStringLiteral("file:///Users/a/a clip.mp4"),
                          QStringLiteral("file:///Users/a/Footage"),
                          QStringLiteral("file:///Users/a/notes.txt"),
                          QStringLiteral("file:///Volumes/Disk/day1")}));
    QVERIFY(answers.texts.isEmpty());
    // Ordinary names read as the URL's own text.
    QCOMPARE(entries(window).at(1), fileUrl(QStringLiteral("/Users/a/a clip.mp4")).toString());
}

void MainWindowTest::droppedNamesKeepTheirRealCharacters()
{
    MainWindow window;
    const QString odd = QStringLiteral("/Users/a/100% take #2?.mov");
    const QString escaped = QStringLiteral("/Users/a/day%201.mov");
    QVERIFY(dropUrls(window, {fileUrl(odd), fileUrl(escaped)}));
    QCOMPARE(entries(window), (QStringList{QStringLiteral("file://") + odd,
                                           QStringLiteral("file://") + escaped}));
}

void MainWindowTest::folderDroppedTwiceIsListedTwice()
{
    MainWindow window;
    const QUrl folder = fileUrl(QStringLiteral("/Users/a/Footage"));
    QVERIFY(dropUrls(window, {folder}));
    QVERIFY(dropUrls(window, {folder}));
    QCOMPARE(entries(window), QStringList(2, QStringLiteral("file:///Users/a/Footage")));
}

void MainWindowTest::textOnlyDropAddsNothing()
{
    MainWindow window;
    QMimeData text;
    text.setText(QStringLiteral("file:///Users/a/Footage"));
    QVERIFY(drop(window, &text));
    QMimeData empty;
    QVERIFY(drop(window, &empty));
    QCOMPARE(sourceList(window)->count(), 0);
}

void MainWindowTest::everyDragIsAccepted()
{
    MainWindow window;
    QMimeData text;
    text.setText(QStringLiteral("anything"));
    QDragEnterEvent enter(QPoint(10, 200), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    enter.setAccepted(false);
    QApplication::sendEvent(&window, &enter);
    QVERIFY(enter.isAccepted());
    QCOMPARE(enter.dropAction(), Qt::CopyAction);

    QMimeData urls;
    urls.setUrls({fileUrl(QStringLiteral("/Users/a/ffmpeg"))});
    QDragMoveEvent move(QPoint(10, 200), Qt::CopyAction, &urls, Qt::LeftButton, Qt::NoModifier);
    move.setAccepted(false);
    QApplication::sendEvent(&window, &move);
    QVERIFY(move.isAccepted());

    QDragLeaveEvent leave;
    leave.setAccepted(false);
    QApplication::sendEvent(&window, &leave);
    QVERIFY(leave.isAccepted());
    QCOMPARE(sourceList(window)->count(), 0);
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
        QVERIFY(box->parentWidget() == nullptr);
        QCOMPARE(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box->standardButton(box->defaultButton()), QMessageBox::Yes);
    });
    QVERIFY(dropUrls(window, {fileUrl(binary)}));

    QCOMPARE(answers.texts, QStringList{EngineQuestion});
    QCOMPARE(sourceList(window)->count(), 0);
    const QString installed = sandbox.engines() + QStringLiteral("/ffmpeg");
    QVERIFY(readFile(installed) == content);
    QCOMPARE(modeOf(installed), 0755);
    QCOMPARE(QDir(sandbox.engines()).entryList(QDir::Files), QStringList{QStringLiteral("ffmpeg")});
    QCOMPARE(modeOf(binary), 0600);

    // Dropping the installed engine itself keeps it whole.
    QVERIFY(dropUrls(window, {fileUrl(installed)}));
    QCOMPARE(answers.texts.size(), 2);
    QVERIFY(readFile(installed) == content);
    QCOMPARE(modeOf(installed), 0755);
    QCOMPARE(QDir(sandbox.engines()).entryList(QDir::Files), QStringList{QStringLiteral("ffmpeg")});
}

void MainWindowTest::engineAnsweredNoIsNeitherInstalledNorListed()
{
    Sandbox sandbox;
    const QString binary = sandbox.path() + QStringLiteral("/ffmpeg");
    QVERIFY(writeFile(binary, QByteArray(70000, 'e')));

    MainWindow window;
    DialogAnswers answers(QMessageBox::No);
    QVERIFY(dropUrls(window, {fileUrl(binary)}));
    QCOMPARE(answers.texts, QStringList{EngineQuestion});
    QCOMPARE(sourceList(window)->count(), 0);
    QVERIFY(QDir(sandbox.engines()).isEmpty());
}

void MainWindowTest::ffmpegInAFolderNameAsksTheEngineQuestion()
{
    Sandbox sandbox;
    const QString folder = sandbox.path() + QStringLiteral("/ffmpeg-tests");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(writeFile(folder + QStringLiteral("/clip.mov"), "clip"));

    MainWindow window;
    DialogAnswers answers(QMessageBox::No);
    QVERIFY(dropUrls(window, {fileUrl(sandbox.path() + QStringLiteral("/a.mov")),
                              fileUrl(folder + QStringLiteral("/clip.mov")),
                              fileUrl(sandbox.path() + QStringLiteral("/b.mov"))}));
    QCOMPARE(answers.texts, QStringList{EngineQuestion});
    QCOMPARE(entries(window),
             (QStringList{QStringLiteral("file://") + sandbox.path() + QStringLiteral("/a.mov"),
                          QStringLiteral("file://") + sandbox.path() + QStringLiteral("/b.mov")}));
    QVERIFY(QDir(sandbox.engines()).isEmpty());

    // Answered Yes, the file is installed under its own name.
    answers.setAnswer(QMessageBox::Yes);
    QVERIFY(dropUrls(window, {fileUrl(folder + QStringLiteral("/clip.mov"))}));
    QCOMPARE(answers.texts.size(), 2);
    QCOMPARE(readFile(sandbox.engines() + QStringLiteral("/clip.mov")), QByteArray("clip"));
    QCOMPARE(sourceList(window)->count(), 2);
}

void MainWindowTest::upperCaseFfmpegIsListedNormally()
{
    MainWindow window;
    DialogAnswers answers(QMessageBox::Yes);
    QVERIFY(dropUrls(window, {fileUrl(QStringLiteral("/Users/a/FFMPEG")),
                              fileUrl(QStringLiteral("/Users/a/FFmpeg-tests/clip.mov"))}));
    QVERIFY(answers.texts.isEmpty());
    QCOMPARE(entries(window), (QStringList{QStringLiteral("file:///Users/a/FFMPEG"),
                                           QStringLiteral("file:///Users/a/FFmpeg-tests/clip.mov")}));
}

void MainWindowTest::failedEngineCopyInstallsNothingAndKeepsTheOldEngine()
{
    Sandbox sandbox;
    const QString installed = sandbox.engines() + QStringLiteral("/ffmpeg");
    QVERIFY(writeFile(installed, QByteArray(70000, 'g')));
    QVERIFY(QFile::setPermissions(installed, QFileDevice::Permissions(0x7700)));
    const int oldMode = modeOf(installed);

    MainWindow window;
    DialogAnswers answers(QMessageBox::Yes);
    // A source that cannot be read leaves the engine already installed as it was.
    QVERIFY(dropUrls(window, {fileUrl(sandbox.path() + QStringLiteral("/gone/ffmpeg"))}));
    QCOMPARE(answers.texts.size(), 1);
    QCOMPARE(readFile(installed), QByteArray(70000, 'g'));
    QCOMPARE(modeOf(installed), oldMode);
    QCOMPARE(QDir(sandbox.engines()).entryList(QDir::Files | QDir::Hidden | QDir::System),
             QStringList{QStringLiteral("ffmpeg")});

    // Without an engines folder nothing is created and nothing is listed.
    const QString binary = sandbox.path() + QStringLiteral("/ffmpeg-new");
    QVERIFY(writeFile(binary, QByteArray(70000, 'n')));
    QVERIFY(QDir(sandbox.engines()).removeRecursively());
    QVERIFY(dropUrls(window, {fileUrl(binary)}));
    QCOMPARE(answers.texts.size(), 2);
    QVERIFY(!QFileInfo::exists(sandbox.engines()));
    QCOMPARE(sourceList(window)->count(), 0);
}

void MainWindowTest::deleteKeyRemovesSelectedEntriesWhateverHasTheFocus()
{
    MainWindow window;
    QVERIFY(dropUrls(window, {fileUrl(QStringLiteral("/a.mov")), fileUrl(QStringLiteral("/b.mov")),
                              fileUrl(QStringLiteral("/c.mov")), fileUrl(QStringLiteral("/d.mov"))}));
    child<QLabel>(window, "label")->show();
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto *destination = child<QPushButton>(window, "pushButton_3");
    destination->setFocus();
    QVERIFY(destination->hasFocus());

    // Nothing selected: nothing happens.
    QListWidget *list = sourceList(window);
    list->clearSelection();
    QTest::keyClick(&window, Qt::Key_Delete);
    QCOMPARE(list->count(), 4);
    QVERIFY(child<QLabel>(window, "label")->isVisible());

    list->item(0)->setSelected(true);
    list->item(2)->setSelected(true);
    QTest::keyClick(&window, Qt::Key_Delete);
    QCOMPARE(entries(window),
             (QStringList{QStringLiteral("file:///b.mov"), QStringLiteral("file:///d.mov")}));
    QVERIFY(child<QLabel>(window, "label")->isVisible());

    list->selectAll();
    QTest::keyClick(&window, Qt::Key_Delete);
    QCOMPARE(list->count(), 0);
    QVERIFY(!child<QLabel>(window, "label")->isVisible());
}

void MainWindowTest::deleteOnEmptyListHidesTheCheckMark()
{
    MainWindow window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    child<QLabel>(window, "label")->show();
    QTest::keyClick(&window, Qt::Key_Delete);
    QVERIFY(!child<QLabel>(window, "label")->isVisible());
}

void MainWindowTest::destinationChoiceShowsCheckMarkAndCancelEmptiesDestination()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    struct Call
    {
        QWidget *parent;
        QString caption;
        QString dir;
        QFileDialog::Options options;
    };
    QList<Call> calls;
    QString answer = QStringLiteral("/Volumes/Out");
    Modal::setDirectoryChooser([&](QWidget *parent, const QString &caption, const QString &dir,
                                   QFileDialog::Options options) {
        calls.append({parent, caption, dir, options});
        return answer;
    });
    auto *destination = child<QPushButton>(window, "pushButton_3");
    auto *checkMark = child<QLabel>(window, "label");

    QTest::mouseClick(destination, Qt::LeftButton);
    QCOMPARE(calls.size(), 1);
    QVERIFY(calls.at(0).parent == &window);
    QCOMPARE(calls.at(0).caption, QStringLiteral("Open Directory"));
    QCOMPARE(calls.at(0).dir, QStringLiteral("/home"));
    QCOMPARE(calls.at(0).options, QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    QCOMPARE(destdir, QStringLiteral("/Volumes/Out"));
    QCOMPARE(kadebevme, QStringLiteral("/Volumes/Out"));
    QVERIFY(checkMark->isVisible());

    // Cancelled: the destination is gone, the check mark and the start folder stay.
    answer.clear();
    QTest::mouseClick(destination, Qt::LeftButton);
    QCOMPARE(calls.size(), 2);
    QCOMPARE(calls.at(1).dir, QStringLiteral("/Volumes/Out"));
    QCOMPARE(destdir, QString());
    QCOMPARE(kadebevme, QStringLiteral("/Volumes/Out"));
    QVERIFY(checkMark->isVisible());

    // Emptying the list with Delete hides it.
    QVERIFY(dropUrls(window, {fileUrl(QStringLiteral("/a.mov"))}));
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    sourceList(window)->selectAll();
    QTest::keyClick(&window, Qt::Key_Delete);
    QVERIFY(!checkMark->isVisible());
}

void MainWindowTest::sendINPrintsTheMapInKeyOrderBetweenStarLines()
{
    MainWindow window;
    std::map<std::string, std::string> map{{"mov", "-vcodec dnxhd -b 120M"},
                                           {"avi", "-target pal-dv"},
                                           {"mts", ""}};
    std::string printed;
    {
        CoutCapture capture;
        window.sendIN(map);
        printed = capture.text();
    }
    const std::string stars(34, '*');
    QCOMPARE(printed, stars + "\navi\t-target pal-dv\nmov\t-vcodec dnxhd -b 120M\nmts\t\n" + stars
                          + "\n");
    QVERIFY(window.mapa == map);

    // A later map replaces the earlier one.
    {
        CoutCapture capture;
        window.sendIN({{"ts", "-acodec copy"}});
    }
    QCOMPARE(window.mapa.size(), size_t(1));
    QCOMPARE(window.mapa.at("ts"), std::string("-acodec copy"));
}

void MainWindowTest::sendINWithEmptyMapPrintsOnlyStarLines()
{
    MainWindow window;
    window.mapa = {{"mov", "x"}};
    std::string printed;
    {
        CoutCapture capture;
        window.sendIN({});
        printed = capture.text();
    }
    const std::string stars(34, '*');
    QCOMPARE(printed, stars + "\n" + stars + "\n");
    QVERIFY(window.mapa.empty());
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
