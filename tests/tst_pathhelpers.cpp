#include "app/pathhelpers.h"
#include "app/sourcescan.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

class PathHelpersTest final : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { nastavki.clear(); }

    void folderPartKeepsEverythingUpToTheLastSeparator_data();
    void folderPartKeepsEverythingUpToTheLastSeparator();
    void knownExtensionsAreAcceptedInAnyCaseOnceFilled();
    void cleanersRemoveMarksAndSeparators();
    void takeoutduplicatehashCollapsesPairsOfSeparators_data();
    void takeoutduplicatehashCollapsesPairsOfSeparators();
    void workingPathIsTheCurrentFolderOrEmptyWhenTooLong();
};

void PathHelpersTest::folderPartKeepsEverythingUpToTheLastSeparator_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("folder");
    QTest::newRow("unix path") << "/Users/a/clip.mov" << "/Users/a/";
    QTest::newRow("backslash path") << "C:\\v\\clip.mov" << "C:\\v\\";
    QTest::newRow("slash comes last") << "C:\\v/sub/clip.mov" << "C:\\v/sub/";
    QTest::newRow("backslash comes last") << "/v/sub\\clip.mov" << "/v/sub\\";
    QTest::newRow("trailing slash") << "/Users/a/" << "/Users/a/";
    QTest::newRow("bare name") << "clip.mov" << "";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("root file") << "/clip.mov" << "/";
    QTest::newRow("nothing normalised") << "/A//b/../C/x" << "/A//b/../C/";
}

void PathHelpersTest::folderPartKeepsEverythingUpToTheLastSeparator()
{
    QFETCH(QString, path);
    QFETCH(QString, folder);
    QCOMPARE(oddeliimeodpat2(path), folder);
}

void PathHelpersTest::knownExtensionsAreAcceptedInAnyCaseOnceFilled()
{
    QVERIFY(!goimali(QStringLiteral("mov"))); // nothing before ANALYZE fills the list
    nastavki.append(knownMediaExtensions());
    for (const char *known : {"mov", "Mov", "MOV", "m2ts", "ts"})
        QVERIFY2(goimali(QLatin1String(known)), known);
    for (const char *unknown : {"txt", ".mov", "", "mo"})
        QVERIFY2(!goimali(QLatin1String(unknown)), unknown);
}

void PathHelpersTest::cleanersRemoveMarksAndSeparators()
{
    QCOMPARE(takeoutspecial(QStringLiteral("/x/clip.mov|DEFAULT|*")), QStringLiteral("/x/clip.movDEFAULT"));
    QCOMPARE(takeoutspecial(QStringLiteral("**||")), QString());
    QCOMPARE(changehashdirection(QStringLiteral("C:\\v\\\\clip.mov")), QStringLiteral("C:/v//clip.mov"));
    QCOMPARE(changehashdirection(QStringLiteral("/plain/path")), QStringLiteral("/plain/path"));
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
    QTest::newRow("trailing double slash") << "a//" << "a/";
    QTest::newRow("leading double slash") << "//a" << "/a";
}

void PathHelpersTest::takeoutduplicatehashCollapsesPairsOfSeparators()
{
    QFETCH(QString, text);
    QFETCH(QString, cleaned);
    QCOMPARE(takeoutduplicatehash(text), cleaned);
}

void PathHelpersTest::workingPathIsTheCurrentFolderOrEmptyWhenTooLong()
{
    const QString old = QDir::currentPath();
    const auto restore = qScopeGuard([&] { QDir::setCurrent(old); });
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir::setCurrent(dir.path()));
    const QString expected = QDir::current().canonicalPath();
    QCOMPARE(QString::fromStdString(get_working_path()), expected);
    QCOMPARE(QString::fromStdString(get_working_path1()), expected);
    QCOMPARE(bundlePath(QStringLiteral("engines/")),
             expected + QStringLiteral("/VeltroanBatchConverter.app/engines/"));

    // The doubled slash is harmless: the file system reads it as one.
    QVERIFY(QDir::setCurrent(QStringLiteral("/")));
    QCOMPARE(get_working_path(), std::string("/"));
    QCOMPARE(bundlePath(QStringLiteral("engines/")), QStringLiteral("//VeltroanBatchConverter.app/engines/"));

    // Deeper than the lookup's buffer: no working folder rather than a cut-off one.
    QString deep = dir.path();
    while (deep.size() <= 1100)
        deep += QLatin1Char('/') + QString(100, QLatin1Char('d'));
    QVERIFY(QDir().mkpath(deep));
    QVERIFY(QDir::setCurrent(deep));
    QCOMPARE(get_working_path(), std::string());
    QCOMPARE(get_working_path1(), std::string());
    QCOMPARE(bundlePath(QStringLiteral("engines/")), QStringLiteral("/VeltroanBatchConverter.app/engines/"));
}

QTEST_GUILESS_MAIN(PathHelpersTest)
#include "tst_pathhelpers.moc"
