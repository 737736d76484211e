// Start-up as the user meets it: the real program started from a folder of its own
// choosing.

#include "testsupport.h"

#include <QFileInfo>
#include <QProcess>
#include <QTest>

class StartupTest final : public QObject
{
    Q_OBJECT

private slots:
    // A desktop menu starts the program in the home folder; the bundle lies beside it.
    void programWorksFromItsOwnFolderWhereverStarted()
    {
        Sandbox sandbox;
        const QString program = QStringLiteral(ORLENNE_PROGRAM);
        QProcess process;
        process.setWorkingDirectory(sandbox.path());
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(program, {});
        QVERIFY(process.waitForStarted());
        const QString cwd = QStringLiteral("/proc/%1/cwd").arg(process.processId());
        const QString programDir = QFileInfo(program).canonicalPath();
        QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(cwd).canonicalFilePath(), programDir, 10000);
        QCOMPARE(process.state(), QProcess::Running);
        process.kill();
        process.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(StartupTest)
#include "tst_startup.moc"
