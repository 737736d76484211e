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
    void everyEntryIsUtf8AfterItsOwnByteOrderMark()
    {
        Sandbox sandbox;
        QCOMPARE(homeFolder(), sandbox.home());
        QCOMPARE(jobScriptPath(), sandbox.jobScript());
        logthis3(QStringLiteral("ffmpeg   -i \"/a.mov\" -y -an \"/b.MOV\""));
        logthis3(QStringLiteral("second\nline"));
        logthis3(QString());
        logthis3(QStringLiteral("/Видео/日本.mov é"));
        QCOMPARE(readFile(sandbox.jobScript()),
                 Header + Bom + "ffmpeg   -i \"/a.mov\" -y -an \"/b.MOV\"\n" + Bom
                     + "second\nline\n" + Bom + "\n" + Bom
                     + QStringLiteral("/Видео/日本.mov é\n").toUtf8());
    }

    void deletingStartsTheFileAgainWithHeader()
    {
        Sandbox sandbox;
        deletejobfile(); // a missing file is no error
        QVERIFY(QDir(sandbox.home() + QStringLiteral("/Desktop")).isEmpty());
        logthis3(QStringLiteral("old run"));
        deletejobfile();
        QVERIFY(!QFile::exists(sandbox.jobScript()));
        logthis3(QStringLiteral("new run"));
        QCOMPARE(readFile(sandbox.jobScript()), Header + Bom + "new run\n");
    }

    void missingDesktopSkipsEntryAndCreatesNothing()
    {
        Sandbox sandbox;
        const QString home = sandbox.path() + QStringLiteral("/bare home");
        QVERIFY(QDir().mkpath(home));
        qputenv("HOME", QFile::encodeName(home));
        logthis3(QStringLiteral("lost entry"));
        QVERIFY(QDir(home).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    void unsetOrEmptyHomeFallsBackToTheUsersHome()
    {
        // Only the path is computed here: nothing may be written into the real home.
        Sandbox sandbox;
        const passwd *user = getpwuid(getuid());
        QVERIFY(user && user->pw_dir);
        const QString expected = QFile::decodeName(user->pw_dir) + "/Desktop/log_file.txt";
        qunsetenv("HOME");
        QCOMPARE(jobScriptPath(), expected);
        qputenv("HOME", QByteArray());
        QCOMPARE(jobScriptPath(), expected);
    }
};

QTEST_GUILESS_MAIN(TestJobScript)
#include "tst_jobscript.moc"
