#include "core/shell/commands.h"
#include "core/shell/shellprocess.h"
#include "testsupport.h"

#include <QProcess>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>

namespace {
// Set in the copy of this program that plays the converter: how it starts the stand-in engine.
const char StarterVariable[] = "NIGHT_STARTER";
const char EngineVariable[] = "NIGHT_ENGINE";

int playConverter(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    const QString engine = qEnvironmentVariable(EngineVariable);
    if (qEnvironmentVariable(StarterVariable) == QLatin1String("engine")) {
        Shell::start(shellQuote(engine), &app);
    } else {
        auto *probe = new QProcess(&app);
        Shell::dieWithParent(probe);
        probe->start(engine, {});
    }
    return app.exec();
}

// A zombie counts as gone: whoever inherits an orphan need not reap it.
bool gone(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray fields = stat.readAll();
    return fields.mid(fields.lastIndexOf(')') + 2, 1) == "Z";
}
} // namespace

class TestNight final : public QObject
{
    Q_OBJECT

private slots:
    void nothingOutlivesTheProgram_data()
    {
        QTest::addColumn<QString>("starter");
        QTest::addColumn<int>("signal");
        QTest::newRow("engine, killed") << "engine" << SIGKILL;
        QTest::newRow("engine, terminated") << "engine" << SIGTERM;
        QTest::newRow("engine, crashed") << "engine" << SIGSEGV;
        QTest::newRow("probe, killed") << "probe" << SIGKILL;
    }

    void nothingOutlivesTheProgram()
    {
        QFETCH(QString, starter);
        QFETCH(int, signal);
        Sandbox sandbox;
        const QString engine = sandbox.bin() + "/engine";
        const QString pidFile = engine + ".pid";
        QVERIFY(writeFile(engine, "#!/bin/sh\necho $$ > \"$0.tmp\" && mv \"$0.tmp\" \"$0.pid\"\nexec sleep 600\n"));
        QVERIFY(makeExecutable(engine));
        QProcess converter;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(StarterVariable, starter);
        environment.insert(EngineVariable, engine);
        converter.setProcessEnvironment(environment);
        converter.start(QCoreApplication::applicationFilePath(), {});
        QTRY_VERIFY(QFile::exists(pidFile));
        const qint64 pid = readFile(pidFile).trimmed().toLongLong();
        QVERIFY(pid > 0 && !gone(pid));

        ::kill(pid_t(converter.processId()), signal);
        QVERIFY(converter.waitForFinished());
        QTest::qWait(1000);
        const bool left = !gone(pid);
        if (left)
            ::kill(pid_t(pid), SIGKILL);
        QVERIFY2(!left, "the engine outlived the program");
    }
};

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet(StarterVariable))
        return playConverter(argc, argv);
    QCoreApplication app(argc, argv);
    TestNight test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_night.moc"
