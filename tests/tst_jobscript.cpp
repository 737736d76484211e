#include "convert/jobscript.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QtTest>
#include <pwd.h>
#include <unistd.h>

namespace {
const QByteArray Header = "# Start of the file:\n";
const QByteArray Bom = "\xEF\xBB\xBF";
} // namespace

class TestJobScript final : public QObject
{
    Q_OBJECT

private slots:
    void jobScriptLivesOnTheDesktopOfHome();
    void firstEntryComesAfterHeaderWithItsOwnByteOrderMark();
    void everyEntryStartsWithAByteOrderMark();
    void emptyEntryIsByteOrderMarkAndLineFeed();
    void entriesAreUtf8();
    void deletingStartsTheFileAgainWithHeader();
    void deletingMissingFileDoesNothing();
    void missingDesktopSkipsEntryAndCreatesNothing();
    void unsetOrEmptyHomeFallsBackToTheUsersHome();
};

void TestJobScript::jobScriptLivesOnTheDesktopOfHome()
{
    Sandbox sandbox;
    QCOMPARE(homeFolder(), sandbox.home());
    QCOMPARE(jobScriptPath(), sandbox.jobScript());
}

void TestJobScript::firstEntryComesAfterHeaderWithItsOwnByteOrderMark()
{
    Sandbox sandbox;
    logthis3(QStringLiteral("ffmpeg   -i \"/a.mov\" -y -an \"/b.MOV\""));
    QCOMPARE(readFile(sandbox.jobScript()),
             Header + Bom + "ffmpeg   -i \"/a.mov\" -y -an \"/b.MOV\"\n");
}

void TestJobScript::everyEntryStartsWithAByteOrderMark()
{
    Sandbox sandbox;
    logthis3(QStringLiteral("first"));
    logthis3(QStringLiteral("second\nline"));
    QCOMPARE(readFile(sandbox.jobScript()), Header + Bom + "first\n" + Bom + "second\nline\n");
}

void TestJobScript::emptyEntryIsByteOrderMarkAndLineFeed()
{
    Sandbox sandbox;
    logthis3(QString());
    QCOMPARE(readFile(sandbox.jobScript()), Header + Bom + "\n");
}

void TestJobScript::entriesAreUtf8()
{
    Sandbox sandbox;
    logthis3(QStringLiteral("/Видео/日本.mov é"));
    QCOMPARE(readFile(sandbox.jobScript()),
             Header + Bom + QStringLiteral("/Видео/日本.mov é\n").toUtf8());
}

void TestJobScript::deletingStartsTheFileAgainWithHeader()
{
    Sandbox sandbox;
    logthis3(QStringLiteral("old run"));
    deletejobfile();
    QVERIFY(!QFile::exists(sandbox.jobScript()));
    logthis3(QStringLiteral("new run"));
    QCOMPARE(readFile(sandbox.jobScript()), Header + Bom + "new run\n");
}

void TestJobScript::deletingMissingFileDoesNothing()
{
    Sandbox sandbox;
    deletejobfile();
    QVERIFY(!QFile::exists(sandbox.jobScript()));
    QVERIFY(QDir(sandbox.home() + QStringLiteral("/Desktop")).isEmpty());
}

void TestJobScript::missingDesktopSkipsEntryAndCreatesNothing()
{
    Sandbox sandbox;
    const QString home = sandbox.path() + QStringLiteral("/bare home");
    QVERIFY(QDir().mkpath(home));
    qputenv("HOME", QFile::encodeName(home));

    logthis3(QStringLiteral("lost entry"));

    QVERIFY(QDir(home).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

void TestJobScript::unsetOrEmptyHomeFallsBackToTheUsersHome()
{
    Sandbox sandbox;
    const passwd *user = getpwuid(getuid());
    QVERIFY(user);
    const QString expected = QFile::decodeName(user->pw_dir) + QStringLiteral("/Desktop/log_file.txt");

    qunsetenv("HOME");
    QCOMPARE(jobScriptPath(), expected);
    qputenv("HOME", QByteArray());
    QCOMPARE(jobScriptPath(), expected);
}

QTEST_GUILESS_MAIN(TestJobScript)
#include "tst_jobscript.moc"
