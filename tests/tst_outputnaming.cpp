#include "convert/outputnaming.h"
#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class TestOutputNaming final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void workedExamplesMirrorTheSourceFolder();
    void normalisesEntriesAndDestinationInPlace();
    void secondCallGivesTheSameResult();
    void firstMatchingEntryWins();
    void fileOutsideEverySourceLandsInDestination();
    void fileWhoseFolderIsMissingLandsInDestination();
    void noMatchKeepsLoneBackslashAndCollapsesPairs();
    void fieldMarksAreRemovedFromPathAndFolder();
    void extensionIsUsedAsGiven();
    void namesWithoutOrWithSeveralDots();
    void sourcesDifferingOnlyInSuffixShareTheirOutput();

private:
    QString mkdir(const QString &relative);
    QString touch(const QString &relative);

    QTemporaryDir *m_tmp = nullptr;
    QString m_root; // stands for "/" of the worked examples
};

void TestOutputNaming::init()
{
    m_tmp = new QTemporaryDir;
    QVERIFY(m_tmp->isValid());
    // The naming compares against canonical folders, so the root must be one too.
    m_root = QDir(m_tmp->path()).canonicalPath();
    QVERIFY(!m_root.isEmpty());
}

void TestOutputNaming::cleanup()
{
    delete m_tmp;
    m_tmp = nullptr;
}

QString TestOutputNaming::mkdir(const QString &relative)
{
    const QString path = m_root + relative;
    QDir().mkpath(path);
    return path;
}

QString TestOutputNaming::touch(const QString &relative)
{
    const QString path = m_root + relative;
    QDir().mkpath(QFileInfo(path).absolutePath());
    writeFile(path, "x");
    return path;
}

void TestOutputNaming::workedExamplesMirrorTheSourceFolder()
{
    const QString a001 = touch("/Users/ann/footage/day1/A001.mov");
    const QString b002 = touch("/Users/ann/footage/B002.MXF");
    const QString xavi = touch("/Users/ann/Desktop/x.avi");
    QStringList sources = {"file://" + m_root + "/Users/ann/footage",
                           m_root + "/Users/ann/Desktop/x.avi"};
    QString destination = m_root + "/Volumes/out";

    QCOMPARE(makeOutputPath(sources, destination, a001, "MOV"),
             m_root + "/Volumes/out/footage/day1/A001.MOV");
    QVERIFY(QFileInfo(m_root + "/Volumes/out/footage/day1").isDir());

    QCOMPARE(makeOutputPath(sources, destination, b002, "mp4|"),
             m_root + "/Volumes/out/footage/B002.mp4");
    QVERIFY(QFileInfo(m_root + "/Volumes/out/footage").isDir());

    QCOMPARE(makeOutputPath(sources, destination, xavi, "avi"), m_root + "/Volumes/out/x.avi");
    // Nothing new was created for the unmatched file.
    QCOMPARE(QDir(m_root + "/Volumes/out").entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList({"footage"}));
    QCOMPARE(QDir(m_root + "/Volumes/out/footage").entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList({"day1"}));
}

void TestOutputNaming::normalisesEntriesAndDestinationInPlace()
{
    const QString a001 = touch("/Users/ann/footage/day1/A001.mov");
    const QString second = "file://" + m_root + "/Users/ann/Desktop/x.avi";
    QStringList sources = {"file://" + m_root + "/Users/ann/footage", second};
    QString destination = m_root + "/Volumes/out";

    makeOutputPath(sources, destination, a001, "MOV");
    QCOMPARE(sources.at(0), m_root + "/Users/ann/footage/");
    QCOMPARE(sources.at(1), second); // behind the match: untouched
    QCOMPARE(destination, m_root + "/Volumes/out/");

    // Without a match every entry is wrapped; a file entry ends in "/" and so never matches.
    const QString elsewhere = touch("/elsewhere/y.mov");
    makeOutputPath(sources, destination, elsewhere, "MOV");
    QCOMPARE(sources.at(1), m_root + "/Users/ann/Desktop/x.avi/");

    // A destination that already ends in a separator is left as it is.
    QString backslashed = m_root + "/out\\";
    makeOutputPath(sources, backslashed, elsewhere, "MOV");
    QCOMPARE(backslashed, m_root + "/out\\");
}

void TestOutputNaming::secondCallGivesTheSameResult()
{
    const QString a001 = touch("/Users/ann/footage/day1/A001.mov");
    QStringList sources = {"file://" + m_root + "/Users/ann/footage"};
    QString destination = m_root + "/Volumes/out";

    const QString first = makeOutputPath(sources, destination, a001, "MOV");
    const QStringList sourcesAfterFirst = sources;
    const QString destinationAfterFirst = destination;
    QCOMPARE(makeOutputPath(sources, destination, a001, "MOV"), first);
    QCOMPARE(sources, sourcesAfterFirst);
    QCOMPARE(destination, destinationAfterFirst);
}

void TestOutputNaming::firstMatchingEntryWins()
{
    const QString a001 = touch("/Users/ann/footage/day1/A001.mov");
    QStringList sources = {m_root + "/Users/ann/", m_root + "/Users/ann/footage/"};
    QString destination = m_root + "/Volumes/out/";

    QCOMPARE(makeOutputPath(sources, destination, a001, "MOV"),
             m_root + "/Volumes/out/ann/footage/day1/A001.MOV");
    QVERIFY(QFileInfo(m_root + "/Volumes/out/ann/footage/day1").isDir());
    QVERIFY(!QFileInfo::exists(m_root + "/Volumes/out/footage"));
}

void TestOutputNaming::fileOutsideEverySourceLandsInDestination()
{
    const QString clip = touch("/Media/clip.mov");
    QStringList sources = {m_root + "/Users/ann/footage"};
    QString destination = m_root + "/Volumes/out";

    QCOMPARE(makeOutputPath(sources, destination, clip, "MOV"), m_root + "/Volumes/out/clip.MOV");
    QVERIFY(!QFileInfo::exists(m_root + "/Volumes/out"));

    // Paths of files dropped on their own come without the leading slash.
    QCOMPARE(makeOutputPath(sources, destination, clip.mid(1), "MOV"),
             m_root + "/Volumes/out/clip.MOV");
}

void TestOutputNaming::fileWhoseFolderIsMissingLandsInDestination()
{
    mkdir("/Users/ann/footage");
    QStringList sources = {m_root + "/Users/ann/footage"};
    QString destination = m_root + "/Volumes/out";

    QCOMPARE(makeOutputPath(sources, destination, m_root + "/Users/ann/footage/gone/C003.mov", "MOV"),
             m_root + "/Volumes/out/C003.MOV");
    QVERIFY(!QFileInfo::exists(m_root + "/Volumes/out"));
}

void TestOutputNaming::noMatchKeepsLoneBackslashAndCollapsesPairs()
{
    const QString odd = touch("/Media/we\\ird.mov");
    QStringList sources = {m_root + "/Users/ann/footage"};

    QString destination = m_root + "/out\\";
    QCOMPARE(makeOutputPath(sources, destination, odd, "MOV"), m_root + "/out\\we\\ird.MOV");

    QString doubled = m_root + "/out\\\\";
    QCOMPARE(makeOutputPath(sources, doubled, odd, "MOV"), m_root + "/out/we\\ird.MOV");
}

void TestOutputNaming::fieldMarksAreRemovedFromPathAndFolder()
{
    const QString marked = touch("/Users/ann/footage/take|1*/A|*.mov");
    QStringList sources = {m_root + "/Users/ann/footage"};
    QString destination = m_root + "/Volumes/out";

    const QString output = makeOutputPath(sources, destination, marked, "MOV");
    QCOMPARE(output, m_root + "/Volumes/out/footage/take1/A.MOV");
    // The engine can write there: the folder created is the one the name points into.
    QVERIFY(QFileInfo(QFileInfo(output).absolutePath()).isDir());

    // Unmatched files are cleaned the same way.
    const QString loose = touch("/Media/b*|.mov");
    QCOMPARE(makeOutputPath(sources, destination, loose, "mp4|"), m_root + "/Volumes/out/b.mp4");
}

void TestOutputNaming::extensionIsUsedAsGiven()
{
    const QString clip = touch("/Users/ann/footage/clip.mov");
    QStringList sources = {m_root + "/Users/ann/footage"};
    QString destination = m_root + "/Volumes/out";

    QCOMPARE(makeOutputPath(sources, destination, clip, "mOv"), m_root + "/Volumes/out/footage/clip.mOv");
    QCOMPARE(makeOutputPath(sources, destination, clip, ""), m_root + "/Volumes/out/footage/clip.");
}

void TestOutputNaming::namesWithoutOrWithSeveralDots()
{
    const QString plain = touch("/Users/ann/footage/README");
    const QString tarball = touch("/Users/ann/footage/a.tar.gz");
    QStringList sources = {m_root + "/Users/ann/footage"};
    QString destination = m_root + "/Volumes/out";

    QCOMPARE(makeOutputPath(sources, destination, plain, "MOV"),
             m_root + "/Volumes/out/footage/READMEMOV");
    QCOMPARE(makeOutputPath(sources, destination, tarball, "MOV"),
             m_root + "/Volumes/out/footage/a.tar.MOV");
}

void TestOutputNaming::sourcesDifferingOnlyInSuffixShareTheirOutput()
{
    const QString mov = touch("/Users/ann/footage/A.mov");
    const QString avi = touch("/Users/ann/footage/A.avi");
    QStringList sources = {m_root + "/Users/ann/footage"};
    QString destination = m_root + "/Volumes/out";

    QCOMPARE(makeOutputPath(sources, destination, mov, "MOV"),
             makeOutputPath(sources, destination, avi, "MOV"));
}

QTEST_GUILESS_MAIN(TestOutputNaming)
#include "tst_outputnaming.moc"
