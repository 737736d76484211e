#include "app/mainwindow.h"
#include "app/pathhelpers.h"
#include "convert/eksform.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>
#include <QtTest/qtestspontaneevent.h>
#include <unistd.h>

namespace {
const QString NothingToAnalyze = QStringLiteral(
    "Choose your destination folder and add at have at least one item in the sources!");
const QString NothingFound = QStringLiteral("No files found in the source folder! Please try Again!");

// The four arguments of one sendEXT.
struct Analysis
{
    QStringList lista;
    QVector<QStringList> filtrirani;
    QStringList sourcedirs;
    QString destindir;

    QStringList files(const QString &extension) const
    {
        const qsizetype at = lista.indexOf(extension);
        return at < 0 ? QStringList() : filtrirani.at(at);
    }
    int fileCount() const
    {
        int count = 0;
        for (const QStringList &group : filtrirani)
            count += int(group.size());
        return count;
    }
};

template<typename T>
T *child(const MainWindow &window, const char *name)
{
    return window.findChild<T *>(QLatin1String(name));
}

QString entryOf(const QString &path)
{
    return QStringLiteral("file://") + path;
}

// A path as it comes out of a file entry: without the leading slash.
QString droppedPath(const QString &path)
{
    return path.mid(1);
}

void dropPaths(MainWindow &window, const QStringList &paths)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls.append(QUrl::fromLocalFile(path));
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(100, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QDropEvent drop(QPointF(100, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
}

bool touch(const QString &path)
{
    return QDir().mkpath(QFileInfo(path).path()) && writeFile(path, "media");
}

QList<eksForm *> openForms()
{
    QList<eksForm *> forms;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *form = qobject_cast<eksForm *>(widget))
            forms.append(form);
    }
    return forms;
}

QtMessageHandler previousHandler = nullptr;

// Keeps the test log readable: a scan of thousands of files traces every path.
void dropDebug(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtDebugMsg && previousHandler)
        previousHandler(type, context, message);
}

QPoint centreInWindow(QWidget *widget)
{
    return widget->mapTo(widget->window(), widget->rect().center());
}
} // namespace

class AnalyzeTest final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void refusesWithoutDestinationOrSources();
    void folderWithDotInItsNameIsTakenForAFile();
    void fileEntryWithoutDotIsScannedAsAFolder();
    void droppedFileIsTakenWhateverItsExtension();
    void droppedOddNameStillNamesTheFile();
    void upperCaseExtensionsJoinTheLowerCaseGroup();
    void fileDroppedAndInsideADroppedFolderOccursTwice();
    void extensionsOfTwoThreeAndFourLettersGiveCleanPaths();
    void folderListedTwiceGivesEachFileOnce();
    void twoFoldersWithTheSameFileNameShareOneGroup();
    void nothingFoundShowsMessageAndHidesCheckMark();
    void missingFolderYieldsNothingButOthersAreAnalysed();
    void sourceFoldersAccumulateAcrossAnalyses();
    void unreadableSubfolderIsSkipped();
    void symbolicLinkLoopEndsWithoutDuplicates();
    void hiddenFilesAndFoldersAreIgnored();
    void abortDuringScanGivesPartialResultAndSwallowsOtherInput();

private:
    // Clicks ANALYZE and returns what it emitted, if anything.
    QList<Analysis> analyze(MainWindow &window);
    void verifyShape(const Analysis &analysis);

    Sandbox *m_sandbox = nullptr;
    DialogAnswers *m_answers = nullptr;
    QString m_source;
};

void AnalyzeTest::init()
{
    m_sandbox = new Sandbox;
    // Whatever the conversion form asks while it is being filled is answered at once.
    m_answers = new DialogAnswers(QMessageBox::Ok);
    m_source = m_sandbox->path() + QStringLiteral("/sources");
    QVERIFY(QDir().mkpath(m_source));
    QVERIFY(QDir().mkpath(m_sandbox->path() + QStringLiteral("/destination")));
    destdir = m_sandbox->path() + QStringLiteral("/destination");
    kadebevme = QStringLiteral("/home");
    nastavki.clear();
    eks2.clear();
    fajls_novi.clear();
}

void AnalyzeTest::cleanup()
{
    qDeleteAll(openForms());
    delete m_answers;
    m_answers = nullptr;
    delete m_sandbox;
    m_sandbox = nullptr;
}

QList<Analysis> AnalyzeTest::analyze(MainWindow &window)
{
    QSignalSpy spy(&window, &MainWindow::sendEXT);
    child<QPushButton>(window, "pushButton_2")->click();
    QList<Analysis> emitted;
    for (const QList<QVariant> &arguments : std::as_const(spy)) {
        Analysis analysis;
        analysis.lista = arguments.at(0).toStringList();
        analysis.filtrirani = arguments.at(1).value<QVector<QStringList>>();
        analysis.sourcedirs = arguments.at(2).toStringList();
        analysis.destindir = arguments.at(3).toString();
        verifyShape(analysis);
        emitted.append(analysis);
    }
    return emitted;
}

// What every result must look like, whatever was analysed.
void AnalyzeTest::verifyShape(const Analysis &analysis)
{
    QVERIFY(!analysis.lista.isEmpty());
    QCOMPARE(analysis.filtrirani.size(), analysis.lista.size());
    QStringList sorted = analysis.lista;
    sorted.sort();
    sorted.removeDuplicates();
    QCOMPARE(analysis.lista, sorted);
    for (qsizetype i = 0; i < analysis.lista.size(); ++i) {
        const QString &extension = analysis.lista.at(i);
        QVERIFY(!extension.isEmpty());
        QCOMPARE(extension, extension.toLower());
        QVERIFY(!extension.startsWith(QLatin1Char('.')));
        const QStringList &group = analysis.filtrirani.at(i);
        QVERIFY(!group.isEmpty());
        QStringList sortedGroup = group;
        sortedGroup.sort();
        sortedGroup.removeDuplicates();
        QCOMPARE(group, sortedGroup);
        for (const QString &path : group)
            QCOMPARE(QFileInfo(path).suffix().toLower(), extension);
    }
    QCOMPARE(analysis.destindir, destdir);
}

void AnalyzeTest::refusesWithoutDestinationOrSources()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *message = child<QLabel>(window, "label_4");

    // No source yet.
    QVERIFY(analyze(window).isEmpty());
    QCOMPARE(message->text(), NothingToAnalyze);
    QVERIFY(message->isVisible());
    QCOMPARE(message->palette().color(QPalette::WindowText), QColor(255, 0, 0));

    QVERIFY(touch(m_source + QStringLiteral("/a.mov")));
    dropPaths(window, {m_source});
    message->hide();
    for (const QString &destination : {QStringLiteral(" "), QStringLiteral("ab"), QString()}) {
        destdir = destination;
        QVERIFY(analyze(window).isEmpty());
        QCOMPARE(message->text(), NothingToAnalyze);
        QVERIFY(message->isVisible());
    }
    QVERIFY(window.sourcedirs.isEmpty());
    QVERIFY(openForms().isEmpty());
    QVERIFY(!child<QPushButton>(window, "pushButton_6")->isVisible());
    QCOMPARE(child<QProgressBar>(window, "progressBar")->value(), 0);

    // Three characters are enough; the old message stays after a success.
    destdir = QStringLiteral("/ab");
    const QList<Analysis> results = analyze(window);
    QCOMPARE(results.size(), 1);
    QCOMPARE(results.at(0).destindir, QStringLiteral("/ab"));
    QCOMPARE(message->text(), NothingToAnalyze);
    QVERIFY(message->isVisible());
    QCOMPARE(child<QProgressBar>(window, "progressBar")->value(), 100);
    QVERIFY(!child<QPushButton>(window, "pushButton_6")->isVisible());
    QCOMPARE(openForms().size(), 1);
    QVERIFY(window.form == openForms().at(0));
    QVERIFY(window.form->isVisible());
}

void AnalyzeTest::folderWithDotInItsNameIsTakenForAFile()
{
    const QString footage = m_source + QStringLiteral("/Footage.2012");
    QVERIFY(touch(footage + QStringLiteral("/clip.mov")));
    MainWindow window;
    dropPaths(window, {footage});

    const QList<Analysis> results = analyze(window);
    QCOMPARE(results.size(), 1);
    QCOMPARE(results.at(0).lista, QStringList{QStringLiteral("2012")});
    QCOMPARE(results.at(0).files(QStringLiteral("2012")), QStringList{droppedPath(footage)});
    QVERIFY(results.at(0).sourcedirs.isEmpty());
}

void AnalyzeTest::fileEntryWithoutDotIsScannedAsAFolder()
{
    const QString readme = m_source + QStringLiteral("/README");
    QVERIFY(writeFile(readme, "not media"));
    MainWindow window;
    dropPaths(window, {readme});
    child<QLabel>(window, "label")->show();

    QVERIFY(analyze(window).isEmpty());
    QCOMPARE(window.sourcedirs, QStringList{entryOf(readme)});
    QCOMPARE(child<QLabel>(window, "label_4")->text(), NothingFound);
    QVERIFY(openForms().isEmpty());
}

void AnalyzeTest::droppedFileIsTakenWhateverItsExtension()
{
    const QString folder = m_source + QStringLiteral("/day1");
    QVERIFY(touch(folder + QStringLiteral("/notes.txt")));
    QVERIFY(touch(folder + QStringLiteral("/clip.mov")));
    const QString notes = m_source + QStringLiteral("/notes.txt");
    QVERIFY(touch(notes));
    MainWindow window;
    dropPaths(window, {notes, folder});

    const QList<Analysis> results = analyze(window);
    QCOMPARE(results.size(), 1);
    QCOMPARE(results.at(0).lista, (QStringList{QStringLiteral("mov"), QStringLiteral("txt")}));
    QCOMPARE(results.at(0).files(QStringLiteral("txt")), QStringList{droppedPath(notes)});
    QCOMPARE(results.at(0).files(QStringLiteral("mov")),
             QStringList{folder + QStringLiteral("/clip.mov")});
    QCOMPARE(results.at(0).sourcedirs, QStringList{entryOf(folder)});
}

void AnalyzeTest::droppedOddNameStillNamesTheFile()
{
    const QString odd = m_source + QStringLiteral("/take #2 100%?.mov");
    QVERIFY(touch(odd));
    MainWindow window;
    dropPaths(window, {odd});

    const QList<Analysis> results = analyze(window);
    QCOMPARE(results.size(), 1);
    QCOMPARE(results.at(0).files(QStringLiteral("mov")), QStringList{droppedPath(odd)});
    QVERIFY(QFileInfo(QLatin1Char('/') + results.at(0).files(QStringLiteral("mov")).at(0)).isFile());
}

void AnalyzeTest::upperCaseExtensionsJoinTheLowerCaseGroup()
{
    const QString folder = m_source + QStringLiteral("/card");
    QVERIFY(touch(folder + QStringLiteral("/CLIP.MOV")));
    QVERIFY(touch(folder + QStringLiteral("/Take.Mov")));
    const QString dropped = m_source + QStringLiteral("/b.mov");
    QVERIFY(touch(dropped));
    MainWindow window;
    dropPaths(window, {folder, dropped});

    const QList<Analysis> results = analyze(window);
    QCOMPARE(results.size(), 1);
    QCOMPARE(results.at(0).lista, QStringList{QStringLiteral("mov")});
    QCOMPARE(results.at(0).files(QStringLiteral("mov")),
             (QStringList{folder + QStringLiteral("/CLIP.MOV"), folder + QStringLiteral("/Take.Mov"),
                          droppedPath(dropped)}));
}

void AnalyzeTest::fileDroppedAndInsideADroppedFolderOccursTwice()
{
    const QString clip = m_source + QStringLiteral("/clip.mts");
    QVERIFY(touch(clip));
    MainWindow window;
    dropPaths(window, {clip, m_source});

    const QList<Analysis> results = analyze(window);
    QCOMPARE(results.size(), 1);
    QCOMPARE(results.at(0).lista, QStringList{QStringLiteral("mts")});
    QCOMPARE(results.at(0).files(QStringLiteral("mts")), (QStringList{clip, droppedPath(clip)}));
}

void AnalyzeTest::extensionsOfTwoThreeAndFourLettersGiveCleanPaths()
{
    const QStringList names{QStringLiteral("a.ts"), QStringLiteral("b.mov"),
                            QStringLiteral("c.mpeg"), QStringLiteral("d.m2ts"),
                            QStringLiteral("e.txt"), QStringLiteral("f")};
    for (const QString &name : names)
        QVERIFY(touch(m_source + QLatin1Char('/') + name));
    MainWindow window;
    dropPaths(window, {m_source, m_source + QStringLiteral("/c.mpeg")});

    const QList<Analysis> results = analyze(window);
    QCOMPARE(results.size(), 1);
    const Analysis &result = results.at(0);
    QCOMPARE(result.lista, (QStringList{QStringLiteral("m2ts"), QStringLiteral("mov"),
                                        QStringLiteral("mpeg"), QStringLiteral("ts")}));
    QCOMPARE(result.files(QStringLiteral("ts")), QStringList{m_source + QStringLiteral("/a.ts")});
    QCOMPARE(result.files(QStringLiteral("mov")), QStringList{m_source + QStringLiteral("/b.mov")});
    QCOMPARE(result.files(QStringLiteral("mpeg")),
             (QStringList{m_source + QStringLiteral("/c.mpeg"),
                          droppedPath(m_source + QStringLiteral("/c.mpeg"))}));
    QCOMPARE(result.files(QStringLiteral("m2ts")), QStringList{m_source + QStringLiteral("/d.m2ts")});
    QCOMPARE(eks2, result.lista);
    QCOMPARE(window.filtrirani, result.filtrirani);
}

void AnalyzeTest::folderListedTwiceGivesEachFileOnce()
{
    QVERIFY(touch(m_source + QStringLiteral("/a.mov")));
    QVERIFY(touch(m_source + QStringLiteral("/sub/b.mov")));
    MainWindow window;
    dropPaths(window, {m_source});
    dropPaths(window, {m_source});

    const QList<Analysis> results = analyze(window);
    QCOMPARE(results.size(), 1);
    QCOMPARE(results.at(0).files(QStringLiteral("mov")),
             (QStringList{m_source + QStringLiteral("/a.mov"), m_source + QStringLiteral("/sub/b.mov")}));
    QCOMPARE(results.at(0).sourcedirs, QStringList(2, entryOf(m_source)));
}

void AnalyzeTest::twoFoldersWithTheSameFileNameShareOneGroup()
{
    const QString first = m_source + QStringLiteral("/camA");
    const QString second = m_source + QStringLiteral("/camB");
    QVERIFY(touch(first + QStringLiteral("/x.mov")));
    QVERIFY(touch(second + QStringLiteral("/x.mov")));
    MainWindow window;
    dropPaths(window, {second, first});

    const QList<Analysis> results = analyze(window);
    QCOMPARE(results.size(), 1);
    QCOMPARE(results.at(0).lista, QStringList{QStringLiteral("mov")});
    QCOMPARE(results.at(0).files(QStringLiteral("mov")),
             (QStringList{first + QStringLiteral("/x.mov"), second + QStringLiteral("/x.mov")}));
    QCOMPARE(results.at(0).sourcedirs, (QStringList{entryOf(second), entryOf(first)}));
}

void AnalyzeTest::nothingFoundShowsMessageAndHidesCheckMark()
{
    QVERIFY(touch(m_source + QStringLiteral("/notes.txt")));
    QVERIFY(touch(m_source + QStringLiteral("/sub/cover.jpg")));
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    dropPaths(window, {m_source});
    child<QLabel>(window, "label")->show();

    QVERIFY(analyze(window).isEmpty());
    auto *message = child<QLabel>(window, "label_4");
    QCOMPARE(message->text(), NothingFound);
    QVERIFY(message->isVisible());
    QCOMPARE(message->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QVERIFY(!child<QLabel>(window, "label")->isVisible());
    QVERIFY(!child<QPushButton>(window, "pushButton_6")->isVisible());
    QCOMPARE(child<QProgressBar>(window, "progressBar")->value(), 100);
    QVERIFY(openForms().isEmpty());
    QVERIFY(window.form == nullptr);
}

void AnalyzeTest::missingFolderYieldsNothingButOthersAreAnalysed()
{
    QVERIFY(touch(m_source + QStringLiteral("/a.avi")));
    const QString missing = m_sandbox->path() + QStringLiteral("/gone");
    MainWindow window;
    dropPaths(window, {missing, m_source});

    const QList<Analysis> results = analyze(window);
    QCOMPARE(results.size(), 1);
    QCOMPARE(results.at(0).lista, QStringList{QStringLiteral("avi")});
    QCOMPARE(results.at(0).files(QStringLiteral("avi")), QStringList{m_source + QStringLiteral("/a.avi")});
    QCOMPARE(results.at(0).sourcedirs, (QStringList{entryOf(missing), entryOf(m_source)}));
}

void AnalyzeTest::sourceFoldersAccumulateAcrossAnalyses()
{
    const QString first = m_source + QStringLiteral("/first");
    const QString second = m_source + QStringLiteral("/second");
    QVERIFY(touch(first + QStringLiteral("/a.mov")));
    QVERIFY(touch(second + QStringLiteral("/b.wav")));
    MainWindow window;
    dropPaths(window, {first});

    QList<Analysis> results = analyze(window);
    QCOMPARE(results.size(), 1);
    QCOMPARE(results.at(0).sourcedirs, QStringList{entryOf(first)});
    eksForm *firstForm = window.form;

    auto *list = child<QListWidget>(window, "listWidget");
    delete list->takeItem(0);
    dropPaths(window, {second});
    results = analyze(window);
    QCOMPARE(results.size(), 1);
    // Earlier folders stay, even when they are no longer listed.
    QCOMPARE(results.at(0).sourcedirs, (QStringList{entryOf(first), entryOf(second)}));
    QCOMPARE(results.at(0).lista, QStringList{QStringLiteral("wav")});
    QCOMPARE(results.at(0).files(QStringLiteral("wav")), QStringList{second + QStringLiteral("/b.wav")});
    QCOMPARE(window.sourcedirs, results.at(0).sourcedirs);

    // Each success opens a new form; the earlier one stays connected and open.
    QVERIFY(window.form != firstForm);
    QCOMPARE(openForms().size(), 2);
    QVERIFY(firstForm->isVisible());
    QVERIFY(QObject::disconnect(&window, &MainWindow::sendEXT, firstForm, &eksForm::receiveEXT));
    QVERIFY(QObject::disconnect(firstForm, &eksForm::sendOUT, &window, &MainWindow::sendIN));
    // The known extensions are appended once per analysis.
    QCOMPARE(nastavki.size(), 2 * 58);
}

void AnalyzeTest::unreadableSubfolderIsSkipped()
{
    if (geteuid() == 0)
        QSKIP("running as root: folder permissions do not stop root from reading");
    QVERIFY(touch(m_source + QStringLiteral("/a.mov")));
    QVERIFY(touch(m_source + QStringLiteral("/locked/b.mov")));
    QVERIFY(touch(m_source + QStringLiteral("/open/c.mov")));
    QVERIFY(QFile::setPermissions(m_source + QStringLiteral("/locked"), QFileDevice::Permissions()));
    MainWindow window;
    dropPaths(window, {m_source});

    const QList<Analysis> results = analyze(window);
    QFile::setPermissions(m_source + QStringLiteral("/locked"), QFileDevice::Permissions(0x7700));
    QCOMPARE(results.size(), 1);
    QCOMPARE(results.at(0).files(QStringLiteral("mov")),
             (QStringList{m_source + QStringLiteral("/a.mov"), m_source + QStringLiteral("/open/c.mov")}));
}

void AnalyzeTest::symbolicLinkLoopEndsWithoutDuplicates()
{
    QVERIFY(touch(m_source + QStringLiteral("/a.mov")));
    QVERIFY(touch(m_source + QStringLiteral("/sub/b.mov")));
    QVERIFY(QFile::link(m_source, m_source + QStringLiteral("/sub/loop")));
    QVERIFY(QFile::link(m_source + QStringLiteral("/sub"), m_source + QStringLiteral("/sub/self")));
    MainWindow window;
    dropPaths(window, {m_source});

    const QList<Analysis> results = analyze(window);
    QCOMPARE(results.size(), 1);
    QCOMPARE(results.at(0).files(QStringLiteral("mov")),
             (QStringList{m_source + QStringLiteral("/a.mov"), m_source + QStringLiteral("/sub/b.mov")}));
}

void AnalyzeTest::hiddenFilesAndFoldersAreIgnored()
{
    QVERIFY(touch(m_source + QStringLiteral("/shown.mov")));
    QVERIFY(touch(m_source + QStringLiteral("/.hidden.mov")));
    QVERIFY(touch(m_source + QStringLiteral("/.cache/inside.mov")));
    QVERIFY(touch(m_source + QStringLiteral("/sub/.x/deep.mov")));
    MainWindow window;
    dropPaths(window, {m_source});

    const QList<Analysis> results = analyze(window);
    QCOMPARE(results.size(), 1);
    QCOMPARE(results.at(0).lista, QStringList{QStringLiteral("mov")});
    QCOMPARE(results.at(0).files(QStringLiteral("mov")), QStringList{m_source + QStringLiteral("/shown.mov")});
}

void AnalyzeTest::abortDuringScanGivesPartialResultAndSwallowsOtherInput()
{
    const int total = 20000;
    for (int folder = 0; folder < 20; ++folder) {
        const QString dir = m_source + QStringLiteral("/d%1").arg(folder, 2, 10, QLatin1Char('0'));
        QVERIFY(QDir().mkpath(dir));
        for (int file = 0; file < total / 20; ++file) {
            QFile media(dir + QStringLiteral("/f%1.mov").arg(file, 4, 10, QLatin1Char('0')));
            QVERIFY(media.open(QIODevice::WriteOnly));
        }
    }
    previousHandler = qInstallMessageHandler(dropDebug);
    const auto restoreHandler = qScopeGuard([] { qInstallMessageHandler(previousHandler); });
    MainWindow window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    dropPaths(window, {m_source});
    auto *analyzeButton = child<QPushButton>(window, "pushButton_2");
    auto *abortButton = child<QPushButton>(window, "pushButton_6");
    auto *list = child<QListWidget>(window, "listWidget");
    list->selectAll();
    QSignalSpy analyzeClicks(analyzeButton, &QPushButton::clicked);

    bool ranDuringScan = false;
    bool abortShown = false;
    bool barShown = false;
    bool closeAccepted = true;
    QTimer::singleShot(0, &window, [&] {
        ranDuringScan = true;
        abortShown = abortButton->isVisible();
        barShown = child<QProgressBar>(window, "progressBar")->isVisible();
        // The user's other input goes nowhere while the scan runs.
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, centreInWindow(analyzeButton));
        QTest::keyClick(&window, Qt::Key_Delete);
        dropPaths(window, {m_source});
        // A close request from the window manager is refused.
        QCloseEvent close;
        QSpontaneKeyEvent::setSpontaneous(&close);
        qApp->notify(&window, &close);
        closeAccepted = close.isAccepted();
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, centreInWindow(abortButton));
    });
    QList<Analysis> results = analyze(window);

    QVERIFY(ranDuringScan);
    QVERIFY(abortShown);
    QVERIFY(barShown);
    // Only the click that started the analysis.
    QCOMPARE(analyzeClicks.size(), 1);
    QCOMPARE(list->count(), 1);
    QVERIFY(!closeAccepted);
    QVERIFY(window.isVisible());
    QCOMPARE(window.abortFlag, 1);
    QCOMPARE(results.size(), 1);
    QVERIFY(results.at(0).fileCount() > 0);
    QVERIFY(results.at(0).fileCount() < total);
    QCOMPARE(openForms().size(), 1);
    QVERIFY(!abortButton->isVisible());

    // The next analysis starts afresh and finds everything.
    results = analyze(window);
    QCOMPARE(window.abortFlag, 0);
    QCOMPARE(results.size(), 1);
    QCOMPARE(results.at(0).lista, QStringList{QStringLiteral("mov")});
    QCOMPARE(results.at(0).fileCount(), total);
    QCOMPARE(openForms().size(), 2);

    // Once the scan is over, the window takes input again.
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, centreInWindow(analyzeButton));
    QCOMPARE(analyzeClicks.size(), 3);
    QCOMPARE(openForms().size(), 3);
}

QTEST_MAIN(AnalyzeTest)
#include "tst_analyze.moc"
