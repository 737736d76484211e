#include "app/mainwindow.h"
#include "app/pathhelpers.h"
#include "app/tracing.h"
#include "convert/eksform.h"
#include "testsupport.h"
#include "uisupport.h"

#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>
#include <QtTest/qtestspontaneevent.h>
#include <sys/stat.h>
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

    // Every file as "extension:path", in result order.
    QStringList flat() const
    {
        QStringList files;
        for (qsizetype i = 0; i < lista.size() && i < filtrirani.size(); ++i) {
            for (const QString &path : filtrirani.at(i))
                files.append(lista.at(i) + QLatin1Char(':') + path);
        }
        return files;
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

QList<eksForm *> openForms()
{
    QList<eksForm *> forms;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *form = qobject_cast<eksForm *>(widget))
            forms.append(form);
    }
    return forms;
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
    void groupsFilesByLowerCaseExtension_data();
    void groupsFilesByLowerCaseExtension();
    void nothingFoundShowsMessageAndHidesCheckMark();
    void linkLoopsAndUnreadableFoldersAreScannedOnce();
    void sourceFoldersAccumulateAcrossAnalyses();
    void abortDuringScanGivesPartialResultAndSwallowsOtherInput();

private:
    // Clicks ANALYZE and returns what it emitted, if anything.
    QList<Analysis> analyze(MainWindow &window);
    void verifyShape(const Analysis &analysis);
    // "S" at the start of a table path stands for the source folder, "s" for the same
    // path without its leading slash (as a file dropped on its own is delivered).
    QString expand(const QString &path) const;

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

QString AnalyzeTest::expand(const QString &path) const
{
    if (path.startsWith(QLatin1Char('S')))
        return m_source + path.mid(1);
    if (path.startsWith(QLatin1Char('s')))
        return m_source.mid(1) + path.mid(1);
    return path;
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

// What every result must look like: sorted distinct lower-case extensions, each with a
// sorted distinct group of files that carry it.
void AnalyzeTest::verifyShape(const Analysis &analysis)
{
    QVERIFY(!analysis.lista.isEmpty());
    QCOMPARE(analysis.filtrirani.size(), analysis.lista.size());
    QStringList sorted = analysis.lista;
    sorted.sort();
    sorted.removeDuplicates();
    QCOMPARE(analysis.lista, sorted);
    for (qsizetype i = 0; i < analysis.lista.size(); ++i) {
        QStringList group = analysis.filtrirani.at(i);
        group.sort();
        group.removeDuplicates();
        QVERIFY(!group.isEmpty());
        QCOMPARE(analysis.filtrirani.at(i), group);
        for (const QString &path : group)
            QCOMPARE(QFileInfo(path).suffix().toLower(), analysis.lista.at(i));
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
    QCOMPARE(cutLabels(&window), QString());

    QVERIFY(touchFile(m_source + QStringLiteral("/a.mov")));
    dropPaths(&window, {m_source});
    message->hide();
    for (const QString &destination : {QStringLiteral(" "), QStringLiteral("ab"), QString()}) {
        destdir = destination;
        QVERIFY(analyze(window).isEmpty());
        QCOMPARE(message->text(), NothingToAnalyze);
        QVERIFY(message->isVisible());
    }
    QVERIFY(window.sourcedirs.isEmpty());
    QVERIFY(openForms().isEmpty());

    // Three characters are enough; the old message stays after a success.
    destdir = QStringLiteral("/ab");
    const QList<Analysis> results = analyze(window);
    QCOMPARE(results.size(), 1);
    QVERIFY(message->isVisible());
    QCOMPARE(child<QProgressBar>(window, "progressBar")->value(), 100);
    QVERIFY(!child<QPushButton>(window, "pushButton_6")->isVisible());
    QCOMPARE(openForms(), QList<eksForm *>{window.form});
    QVERIFY(window.form->isVisible());
}

void AnalyzeTest::groupsFilesByLowerCaseExtension_data()
{
    QTest::addColumn<QStringList>("files");   // created below the source folder
    QTest::addColumn<QStringList>("drops");   // dropped, relative to the source folder
    QTest::addColumn<QStringList>("folders"); // drops expected among the source folders
    QTest::addColumn<QStringList>("found");   // "extension:path" in result order

    QTest::newRow("folder with a dot is taken for a file")
        << QStringList{"Footage.2012/clip.mov"} << QStringList{"/Footage.2012"} << QStringList{}
        << QStringList{"2012:s/Footage.2012"};
    QTest::newRow("dropped file whatever its extension")
        << QStringList{"day1/notes.txt", "day1/clip.mov", "notes.txt"}
        << QStringList{"/notes.txt", "/day1"} << QStringList{"/day1"}
        << QStringList{"mov:S/day1/clip.mov", "txt:s/notes.txt"};
    QTest::newRow("odd dropped name")
        << QStringList{"take #2 100%?.mov"} << QStringList{"/take #2 100%?.mov"} << QStringList{}
        << QStringList{"mov:s/take #2 100%?.mov"};
    QTest::newRow("upper-case extensions")
        << QStringList{"card/CLIP.MOV", "card/Take.Mov", "b.mov"} << QStringList{"/card", "/b.mov"}
        << QStringList{"/card"} << QStringList{"mov:S/card/CLIP.MOV", "mov:S/card/Take.Mov", "mov:s/b.mov"};
    QTest::newRow("file dropped and inside a dropped folder")
        << QStringList{"clip.mts"} << QStringList{"/clip.mts", ""} << QStringList{""}
        << QStringList{"mts:S/clip.mts", "mts:s/clip.mts"};
    QTest::newRow("extensions of two to four letters")
        << QStringList{"a.ts", "b.mov", "c.mpeg", "d.m2ts", "e.txt", "f"} << QStringList{"", "/c.mpeg"}
        << QStringList{""}
        << QStringList{"m2ts:S/d.m2ts", "mov:S/b.mov", "mpeg:S/c.mpeg", "mpeg:s/c.mpeg", "ts:S/a.ts"};
    QTest::newRow("folder listed twice")
        << QStringList{"a.mov", "sub/b.mov"} << QStringList{"", ""} << QStringList{"", ""}
        << QStringList{"mov:S/a.mov", "mov:S/sub/b.mov"};
    QTest::newRow("same name in two folders")
        << QStringList{"camA/x.mov", "camB/x.mov"} << QStringList{"/camB", "/camA"}
        << QStringList{"/camB", "/camA"} << QStringList{"mov:S/camA/x.mov", "mov:S/camB/x.mov"};
    QTest::newRow("missing folder")
        << QStringList{"a.avi"} << QStringList{"/gone", ""} << QStringList{"/gone", ""}
        << QStringList{"avi:S/a.avi"};
    QTest::newRow("hidden files and folders, a dotted folder inside")
        << QStringList{"shown.mov", ".hidden.mov", ".cache/in.mov", "sub/.x/deep.mov", "t.2/in.mov"}
        << QStringList{""} << QStringList{""} << QStringList{"mov:S/shown.mov", "mov:S/t.2/in.mov"};
}

void AnalyzeTest::groupsFilesByLowerCaseExtension()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, drops);
    QFETCH(QStringList, folders);
    QFETCH(QStringList, found);
    for (const QString &file : files)
        QVERIFY(touchFile(m_source + QLatin1Char('/') + file));
    QStringList dropped;
    for (const QString &path : drops)
        dropped.append(m_source + path);
    MainWindow window;
    dropPaths(&window, dropped);

    const QList<Analysis> results = analyze(window);
    QCOMPARE(results.size(), 1);
    QStringList expected;
    for (const QString &file : found)
        expected.append(file.section(QLatin1Char(':'), 0, 0) + QLatin1Char(':')
                        + expand(file.section(QLatin1Char(':'), 1)));
    QCOMPARE(results.at(0).flat(), expected);
    QStringList sourcedirs;
    for (const QString &folder : folders)
        sourcedirs.append(entryOf(m_source + folder));
    QCOMPARE(results.at(0).sourcedirs, sourcedirs);
    QCOMPARE(eks2, results.at(0).lista);
    QCOMPARE(window.filtrirani, results.at(0).filtrirani);
}

void AnalyzeTest::nothingFoundShowsMessageAndHidesCheckMark()
{
    QVERIFY(touchFile(m_source + QStringLiteral("/notes.txt")));
    QVERIFY(touchFile(m_source + QStringLiteral("/sub/cover.jpg")));
    // A file entry without a dot is scanned as a folder.
    const QString readme = m_sandbox->path() + QStringLiteral("/README");
    QVERIFY(writeFile(readme, "not media"));
    for (const QString &source : {m_source, readme}) {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        dropPaths(&window, {source});
        child<QLabel>(window, "label")->show();

        QVERIFY(analyze(window).isEmpty());
        auto *message = child<QLabel>(window, "label_4");
        QCOMPARE(message->text(), NothingFound);
        QVERIFY(message->isVisible());
        QCOMPARE(cutLabels(&window), QString());
        QCOMPARE(message->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QVERIFY(!child<QLabel>(window, "label")->isVisible());
        QVERIFY(!child<QPushButton>(window, "pushButton_6")->isVisible());
        QCOMPARE(window.sourcedirs, QStringList{entryOf(source)});
        QVERIFY(openForms().isEmpty());
    }
}

void AnalyzeTest::linkLoopsAndUnreadableFoldersAreScannedOnce()
{
    const auto at = [this](const char *path) { return m_source + QLatin1String(path); };
    QVERIFY(touchFile(at("/a.mov")));
    QVERIFY(touchFile(at("/sub/b.mov")));
    QVERIFY(QFile::link(m_source, at("/sub/loop")));
    QVERIFY(QFile::link(at("/sub"), at("/sub/self")));
    // A link to a file counts as that file; a dangling link and a pipe are no files.
    QVERIFY(QFile::link(at("/a.mov"), at("/sub/c.mov")));
    QVERIFY(QFile::link(at("/gone.mov"), at("/d.mov")));
    QCOMPARE(mkfifo(QFile::encodeName(at("/e.mov")).constData(), 0600), 0);
    const bool canLock = geteuid() != 0; // root reads any folder
    if (canLock) {
        QVERIFY(touchFile(at("/locked/c.mov")));
        QVERIFY(QFile::setPermissions(at("/locked"), QFileDevice::Permissions()));
    }
    MainWindow window;
    dropPaths(&window, {m_source});

    const QList<Analysis> results = analyze(window);
    if (canLock)
        QFile::setPermissions(at("/locked"), QFileDevice::Permissions(0x7700));
    QCOMPARE(results.size(), 1);
    QCOMPARE(results.at(0).flat(), (QStringList{"mov:" + at("/a.mov"), "mov:" + at("/sub/b.mov"),
                                                "mov:" + at("/sub/c.mov")}));
}

void AnalyzeTest::sourceFoldersAccumulateAcrossAnalyses()
{
    const QString first = m_source + QStringLiteral("/first");
    const QString second = m_source + QStringLiteral("/second");
    QVERIFY(touchFile(first + QStringLiteral("/a.mov")));
    QVERIFY(touchFile(second + QStringLiteral("/b.wav")));
    MainWindow window;
    dropPaths(&window, {first});

    QList<Analysis> results = analyze(window);
    QCOMPARE(results.size(), 1);
    QCOMPARE(results.at(0).sourcedirs, QStringList{entryOf(first)});
    eksForm *firstForm = window.form;

    delete child<QListWidget>(window, "listWidget")->takeItem(0);
    dropPaths(&window, {second});
    results = analyze(window);
    QCOMPARE(results.size(), 1);
    // Earlier folders stay, even when they are no longer listed.
    QCOMPARE(results.at(0).sourcedirs, (QStringList{entryOf(first), entryOf(second)}));
    QCOMPARE(results.at(0).flat(), QStringList{QStringLiteral("wav:") + second + QStringLiteral("/b.wav")});

    // Each success opens a new form; the earlier one stays open and receives the new result.
    QVERIFY(window.form != firstForm);
    QCOMPARE(openForms().size(), 2);
    QVERIFY(firstForm->isVisible());
    QCOMPARE(firstForm->groupFiles, results.at(0).filtrirani);
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
    setUpTracing(); // quiet unless asked for: the scan traces every one of these paths
    MainWindow window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    dropPaths(&window, {m_source});
    auto *analyzeButton = child<QPushButton>(window, "pushButton_2");
    auto *abortButton = child<QPushButton>(window, "pushButton_6");
    auto *list = child<QListWidget>(window, "listWidget");
    list->selectAll();
    QSignalSpy analyzeClicks(analyzeButton, &QPushButton::clicked);

    bool ranDuringScan = false;
    bool abortShown = false;
    bool closeAccepted = true;
    QTimer::singleShot(0, &window, [&] {
        ranDuringScan = true;
        abortShown = abortButton->isVisible();
        // The user's other input goes nowhere while the scan runs.
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, centreInWindow(analyzeButton));
        QTest::keyClick(&window, Qt::Key_Delete);
        dropPaths(&window, {m_source});
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
    // Only the click that started the analysis.
    QCOMPARE(analyzeClicks.size(), 1);
    QCOMPARE(list->count(), 1);
    QVERIFY(!closeAccepted);
    QVERIFY(window.isVisible());
    QCOMPARE(window.abortFlag, 1);
    QCOMPARE(results.size(), 1);
    QVERIFY(!results.at(0).flat().isEmpty());
    QVERIFY(results.at(0).flat().size() < total);
    QCOMPARE(openForms().size(), 1);
    QVERIFY(!abortButton->isVisible());

    // The next analysis starts afresh and finds everything.
    results = analyze(window);
    QCOMPARE(window.abortFlag, 0);
    QCOMPARE(results.size(), 1);
    QCOMPARE(results.at(0).lista, QStringList{QStringLiteral("mov")});
    QCOMPARE(results.at(0).flat().size(), total);
    QCOMPARE(openForms().size(), 2);

    // Once the scan is over, the window takes input again.
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, centreInWindow(analyzeButton));
    QCOMPARE(analyzeClicks.size(), 3);
    QCOMPARE(openForms().size(), 3);
}

QTEST_MAIN(AnalyzeTest)
#include "tst_analyze.moc"
