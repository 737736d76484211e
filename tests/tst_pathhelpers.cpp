#include "app/pathhelpers.h"
#include "app/sourcescan.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QStringList debugLines;

void collectDebug(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg)
        debugLines.append(message);
}

// Restores the working folder when a test leaves, whatever happened.
class CurrentFolderGuard
{
public:
    CurrentFolderGuard() : m_old(QDir::currentPath()) {}
    ~CurrentFolderGuard() { QDir::setCurrent(m_old); }

private:
    QString m_old;
};
} // namespace

class PathHelpersTest final : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void folderPartKeepsEverythingUpToTheLastSeparator_data();
    void folderPartKeepsEverythingUpToTheLastSeparator();
    void folderPartIsTracedInQuotes();

    void knownExtensionsAreAcceptedInAnyCaseOnceFilled();
    void nothingIsAcceptedBeforeTheListIsFilled();

    void takeoutspecialDropsFieldMarks();
    void takeoutduplicatehashCollapsesPairsOfSeparators_data();
    void takeoutduplicatehashCollapsesPairsOfSeparators();
    void changehashdirectionTurnsBackslashesIntoSlashes();
    void cleanersLeaveTheirArgumentAlone();

    void workingPathIsTheCurrentFolderWithoutTrailingSlash();
    void workingPathOfTheRootFolderIsASlash();
    void workingPathTooLongForTheBufferIsEmpty();
};

void PathHelpersTest::cleanup()
{
    nastavki.clear();
    qInstallMessageHandler(nullptr);
    debugLines.clear();
}

void PathHelpersTest::folderPartKeepsEverythingUpToTheLastSeparator_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("folder");
    QTest::newRow("unix path") << "/Users/a/clip.mov" << "/Users/a/";
    QTest::newRow("backslash path") << "C:\\v\\clip.mov" << "C:\\v\\";
    QTest::newRow("slash comes last") << "C:\\v/sub/clip.mov" << "C:\\v/sub/";
    QTest::newRow("backslash comes last") << "/v/sub\\clip.mov" << "/v/sub\\";
    QTest::newRow("trailing slash") << "/Users/a/" << "/Users/a/";
    QTest::newRow("trailing backslash") << "C:\\v\\" << "C:\\v\\";
    QTest::newRow("bare name") << "clip.mov" << "";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("root file") << "/clip.mov" << "/";
    QTest::newRow("nothing normalised") << "/A//b/../C/x" << "/A//b/../C/";
}

void PathHelpersTest::folderPartKeepsEverythingUpToTheLastSeparator()
{
    QFETCH(QString, path);
    QFETCH(QString, folder);
    const QString before = path;
    QCOMPARE(oddeliimeodpat2(path), folder);
    QCOMPARE(path, before);
}

void PathHelpersTest::folderPartIsTracedInQuotes()
{
    qInstallMessageHandler(collectDebug);
    oddeliimeodpat2(QStringLiteral("/Users/a/clip.mov"));
    qInstallMessageHandler(nullptr);
    QCOMPARE(debugLines, QStringList{QStringLiteral("oddelen od pat: \"/Users/a/\"")});
}

void PathHelpersTest::knownExtensionsAreAcceptedInAnyCaseOnceFilled()
{
    nastavki.append(knownMediaExtensions());
    QVERIFY(goimali(QStringLiteral("mov")));
    QVERIFY(goimali(QStringLiteral("Mov")));
    QVERIFY(goimali(QStringLiteral("MOV")));
    QVERIFY(goimali(QStringLiteral("m2ts")));
    QVERIFY(goimali(QStringLiteral("ts")));
    QVERIFY(!goimali(QStringLiteral("txt")));
    QVERIFY(!goimali(QStringLiteral(".mov")));
    QVERIFY(!goimali(QString()));
    QVERIFY(!goimali(QStringLiteral("mo")));
}

void PathHelpersTest::nothingIsAcceptedBeforeTheListIsFilled()
{
    QVERIFY(nastavki.isEmpty());
    QVERIFY(!goimali(QStringLiteral("mov")));
    QVERIFY(!goimali(QStringLiteral("MOV")));
    QVERIFY(!goimali(QString()));
}

void PathHelpersTest::takeoutspecialDropsFieldMarks()
{
    QCOMPARE(takeoutspecial(QStringLiteral("a|b*c")), QStringLiteral("abc"));
    QCOMPARE(takeoutspecial(QStringLiteral("/x/clip.mov|DEFAULT|")),
             QStringLiteral("/x/clip.movDEFAULT"));
    QCOMPARE(takeoutspecial(QStringLiteral("**||")), QString());
    QCOMPARE(takeoutspecial(QString()), QString());
}

void PathHelpersTest::takeoutduplicatehashCollapsesPairsOfSeparators_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("cleaned");
    QTest::newRow("double slash") << "a//b" << "a/b";
    QTest::newRow("triple slash") << "a///b" << "a//b";
    QTest::newRow("four slashes") << "a////b" << "a//b";
    QTest::newRow("double backslash") << "a\\\\b" << "a/b";
    QTest::newRow("slash backslash") << "a/\\b" << "a/b";
    QTest::newRow("backslash slash") << "a\\/b" << "a/b";
    QTest::newRow("lone backslash") << "a\\b" << "a\\b";
    QTest::newRow("trailing single slash") << "a/" << "a/";
    QTest::newRow("trailing double slash") << "a//" << "a/";
    QTest::newRow("leading double slash") << "//a" << "/a";
    QTest::newRow("empty") << "" << "";
}

void PathHelpersTest::takeoutduplicatehashCollapsesPairsOfSeparators()
{
    QFETCH(QString, text);
    QFETCH(QString, cleaned);
    QCOMPARE(takeoutduplicatehash(text), cleaned);
}

void PathHelpersTest::changehashdirectionTurnsBackslashesIntoSlashes()
{
    QCOMPARE(changehashdirection(QStringLiteral("C:\\v\\clip.mov")), QStringLiteral("C:/v/clip.mov"));
    QCOMPARE(changehashdirection(QStringLiteral("a\\\\b")), QStringLiteral("a//b"));
    QCOMPARE(changehashdirection(QStringLiteral("/plain/path")), QStringLiteral("/plain/path"));
}

void PathHelpersTest::cleanersLeaveTheirArgumentAlone()
{
    const QString text = QStringLiteral("C:\\\\x|*//y");
    QString argument = text;
    takeoutspecial(argument);
    takeoutduplicatehash(argument);
    changehashdirection(argument);
    QCOMPARE(argument, text);
}

void PathHelpersTest::workingPathIsTheCurrentFolderWithoutTrailingSlash()
{
    CurrentFolderGuard guard;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir::setCurrent(dir.path()));
    const QString expected = QDir::current().canonicalPath();
    QCOMPARE(QString::fromStdString(get_working_path()), expected);
    QCOMPARE(QString::fromStdString(get_working_path1()), expected);
    QCOMPARE(bundlePath(QStringLiteral("engines/")),
             expected + QStringLiteral("/VeltroanBatchConverter.app/engines/"));
}

void PathHelpersTest::workingPathOfTheRootFolderIsASlash()
{
    CurrentFolderGuard guard;
    QVERIFY(QDir::setCurrent(QStringLiteral("/")));
    QCOMPARE(get_working_path(), std::string("/"));
    QCOMPARE(get_working_path1(), std::string("/"));
    // The doubled slash is harmless: the file system reads it as one.
    QCOMPARE(bundlePath(QStringLiteral("engines/")),
             QStringLiteral("//VeltroanBatchConverter.app/engines/"));
}

void PathHelpersTest::workingPathTooLongForTheBufferIsEmpty()
{
    CurrentFolderGuard guard;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString deep = dir.path();
    while (deep.size() <= 1100)
        deep += QLatin1Char('/') + QString(100, QLatin1Char('d'));
    QVERIFY(QDir().mkpath(deep));
    QVERIFY(QDir::setCurrent(deep));
    QCOMPARE(get_working_path(), std::string());
    QCOMPARE(get_working_path1(), std::string());
    QCOMPARE(bundlePath(QStringLiteral("engines/")),
             QStringLiteral("/VeltroanBatchConverter.app/engines/"));
}

QTEST_GUILESS_MAIN(PathHelpersTest)
#include "tst_pathhelpers.moc"
