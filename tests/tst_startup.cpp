// Start-up as the user meets it: the real program started from a folder of its own
// choosing, and the trace switch.

#include "app/tracing.h"
#include "testsupport.h"

#include <QFileInfo>
#include <QProcess>
#include <QTest>

namespace {
QStringList traced;

void recordTrace(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg)
        traced.append(message);
}
} // namespace

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

    void traceLinesOnlyWhenAsked_data()
    {
        QTest::addColumn<QByteArray>("setting");
        QTest::addColumn<bool>("shown");
        QTest::newRow("unset") << QByteArray() << false;
        QTest::newRow("1") << QByteArray("1") << true;
        QTest::newRow("0") << QByteArray("0") << false;
    }

    void traceLinesOnlyWhenAsked()
    {
        QFETCH(QByteArray, setting);
        QFETCH(bool, shown);
        if (setting.isNull())
            qunsetenv("ORLENNE_TRACE");
        else
            qputenv("ORLENNE_TRACE", setting);
        setUpTracing();
        traced.clear();
        const QtMessageHandler previous = qInstallMessageHandler(recordTrace);
        qDebug() << "1413";
        qInstallMessageHandler(previous);
        QCOMPARE(traced, shown ? QStringList{QStringLiteral("1413")} : QStringList());
    }
};

QTEST_GUILESS_MAIN(StartupTest)
#include "tst_startup.moc"
