#include "convert/outputnaming.h"
#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class TestOutputNaming final : public QObject
{
    Q_OBJECT

private:
    // Creates the file (and its folders) below the root.
    QString touch(const QString &relative)
    {
        const QString path = m_root + relative;
        QDir().mkpath(QFileInfo(path).absolutePath());
        writeFile(path, "x");
        return path;
    }
    QStringList entries(const QString &relative) const
    {
        return QDir(m_root + relative).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    }

    QTemporaryDir *m_tmp = nullptr;
    QString m_root; // stands for "/" of the worked examples

private slots:
    void init()
    {
        m_tmp = new QTemporaryDir;
        // The naming compares against canonical folders, so the root must be one too.
        m_root = QDir(m_tmp->path()).canonicalPath();
        QVERIFY(!m_root.isEmpty());
    }

    void cleanup()
    {
        delete m_tmp;
        m_tmp = nullptr;
    }

    void workedExamplesMirrorTheSourceFolder()
    {
        const QString a001 = touch("/Users/ann/footage/day1/A001.mov");
        const QString b002 = touch("/Users/ann/footage/B002.MXF");
        const QString xavi = touch("/Users/ann/Desktop/x.avi");
        const QString second = "file://" + m_root + "/Users/ann/Desktop/x.avi";
        QStringList sources = {"file://" + m_root + "/Users/ann/footage", second};
        QString destination = m_root + "/Volumes/out";

        QCOMPARE(makeOutputPath(sources, destination, a001, "MOV"),
                 m_root + "/Volumes/out/footage/day1/A001.MOV");
        QVERIFY(QFileInfo(m_root + "/Volumes/out/footage/day1").isDir());
        // The entries up to the match and the destination are normalised in place.
        QCOMPARE(sources, QStringList({m_root + "/Users/ann/footage/", second}));
        QCOMPARE(destination, m_root + "/Volumes/out/");
        // A second call gives the same result and changes nothing more.
        QCOMPARE(makeOutputPath(sources, destination, a001, "MOV"),
                 m_root + "/Volumes/out/footage/day1/A001.MOV");
        QCOMPARE(destination, m_root + "/Volumes/out/");

        QCOMPARE(makeOutputPath(sources, destination, b002, "mp4|"),
                 m_root + "/Volumes/out/footage/B002.mp4");
        // Without a match every entry is wrapped; a file entry ends in "/" and never matches.
        QCOMPARE(makeOutputPath(sources, destination, xavi, "avi"), m_root + "/Volumes/out/x.avi");
        QCOMPARE(sources.at(1), m_root + "/Users/ann/Desktop/x.avi/");
        // Nothing new was created for the unmatched file.
        QCOMPARE(entries("/Volumes/out"), QStringList({"footage"}));
        QCOMPARE(entries("/Volumes/out/footage"), QStringList({"day1"}));
    }

    void outputPathsOfOneSourceFolder_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("expected"); // below /Volumes/out
        QTest::newRow("field marks go from path and folder")
            << "/Users/ann/footage/take|1*/A|*.mov" << "MOV" << "/footage/take1/A.MOV";
        QTest::newRow("extension as given") << "/Users/ann/footage/clip.mov" << "mOv"
                                            << "/footage/clip.mOv";
        QTest::newRow("empty extension") << "/Users/ann/footage/clip.mov" << ""
                                         << "/footage/clip.";
        QTest::newRow("no dot") << "/Users/ann/footage/README" << "MOV" << "/footage/READMEMOV";
        QTest::newRow("several dots") << "/Users/ann/footage/a.tar.gz" << "MOV"
                                      << "/footage/a.tar.MOV";
        QTest::newRow("outside every source") << "/Media/clip.mov" << "MOV" << "/clip.MOV";
        QTest::newRow("outside, field marks") << "/Media/b*|.mov" << "mp4|" << "/b.mp4";
        QTest::newRow("folder missing") << "-/Users/ann/footage/gone/C003.mov" << "MOV"
                                        << "/C003.MOV";
    }

    void outputPathsOfOneSourceFolder()
    {
        QFETCH(QString, file);
        QFETCH(QString, extension);
        QFETCH(QString, expected);
        QDir().mkpath(m_root + "/Users/ann/footage");
        // A leading "-" marks a file that does not exist.
        const QString path = file.startsWith('-') ? m_root + file.mid(1) : touch(file);
        QStringList sources = {m_root + "/Users/ann/footage"};
        QString destination = m_root + "/Volumes/out";
        const QString output = makeOutputPath(sources, destination, path, extension);
        QCOMPARE(output, m_root + "/Volumes/out" + expected);
        // The engine can write there: the folder created is the one the name points into;
        // nothing is created for a file landing in the destination itself.
        if (expected.count('/') > 1) {
            QVERIFY(QFileInfo(QFileInfo(output).absolutePath()).isDir());
        } else {
            QVERIFY(!QFileInfo::exists(m_root + "/Volumes/out"));
            // Paths of files dropped on their own come without the leading slash.
            QCOMPARE(makeOutputPath(sources, destination, path.mid(1), extension), output);
        }
    }

    void firstMatchingEntryWins()
    {
        const QString a001 = touch("/Users/ann/footage/day1/A001.mov");
        QStringList sources = {m_root + "/Users/ann/", m_root + "/Users/ann/footage/"};
        QString destination = m_root + "/Volumes/out/";
        QCOMPARE(makeOutputPath(sources, destination, a001, "MOV"),
                 m_root + "/Volumes/out/ann/footage/day1/A001.MOV");
        QVERIFY(!QFileInfo::exists(m_root + "/Volumes/out/footage"));
    }

    void noMatchKeepsLoneBackslashAndCollapsesPairs()
    {
        const QString odd = touch("/Media/we\\ird.mov");
        QStringList sources = {m_root + "/Users/ann/footage"};
        QString destination = m_root + "/out\\";
        QCOMPARE(makeOutputPath(sources, destination, odd, "MOV"), m_root + "/out\\we\\ird.MOV");
        // A destination that already ends in a separator is left as it is.
        QCOMPARE(destination, m_root + "/out\\");
        QString doubled = m_root + "/out\\\\";
        QCOMPARE(makeOutputPath(sources, doubled, odd, "MOV"), m_root + "/out/we\\ird.MOV");
    }

    void sourcesDifferingOnlyInSuffixShareTheirOutput()
    {
        const QString mov = touch("/Users/ann/footage/A.mov");
        const QString avi = touch("/Users/ann/footage/A.avi");
        QStringList sources = {m_root + "/Users/ann/footage"};
        QString destination = m_root + "/Volumes/out";
        QCOMPARE(makeOutputPath(sources, destination, mov, "MOV"),
                 makeOutputPath(sources, destination, avi, "MOV"));
    }
};

QTEST_GUILESS_MAIN(TestOutputNaming)
#include "tst_outputnaming.moc"
