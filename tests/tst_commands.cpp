#include "app/pathhelpers.h"
#include "convert/commands.h"
#include "convert/jobscript.h"
#include "testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QtTest>

namespace {

QByteArrayList encoded(const QStringList &arguments)
{
    QByteArrayList bytes;
    for (const QString &argument : arguments)
        bytes.append(QFile::encodeName(argument));
    return bytes;
}

bool sandboxHoldsPwned(const Sandbox &sandbox)
{
    QDirIterator it(sandbox.path(), QDir::AllEntries | QDir::Hidden | QDir::System
                                        | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        if (it.next().contains(QLatin1String("pwned")))
            return true;
    }
    return false;
}

// Runs the command line and returns the argument lists the recording program at
// `program` received.
QList<QByteArrayList> callsOf(const QString &program, const QString &commandLine)
{
    const QString record = program + QLatin1String(".calls");
    QFile::remove(record);
    if (!writeRecordingProgram(program, record, Recording::Exact))
        return {};
    runShell(commandLine);
    return exactRecordedCalls(record);
}

} // namespace

class TestCommands final : public QObject
{
    Q_OBJECT

private slots:
    void quotingProtectsEverythingTheShellInterprets()
    {
        QCOMPARE(shellQuote(QStringLiteral("a\"b$(x)`y`\\';|*&\n!")),
                 QStringLiteral("\"a\\\"b\\$(x)\\`y\\`\\\\';|*&\n!\""));
        // Plain words stay as they are; an empty word would vanish from the line.
        const QString plain = QStringLiteral("/Users/a_b/Clip-01,v2@x%y+z=w:1.MOV");
        QCOMPARE(shellWord(plain), plain);
        QCOMPARE(shellWord(QStringLiteral("~/x")), QStringLiteral("\"~/x\""));
        QCOMPARE(shellWord(QString()), QStringLiteral("\"\""));

        QCOMPARE(collapseSlashes(QStringLiteral("//Users/a//x.mov")),
                 QStringLiteral("/Users/a/x.mov"));
        QCOMPARE(collapseSlashes(QStringLiteral("a///b")), QStringLiteral("a//b"));
        QCOMPARE(collapseSlashes(QStringLiteral("a\\\\b/\\c|d*e")),
                 QStringLiteral("a\\\\b/\\c|d*e"));
    }

    void engineCommandQuotesPathsAndCleansOnlyTheArguments()
    {
        QCOMPARE(engineCommand("ffmpeg ", "Users/a/x.mov", "-vcodec dnxhd ", "/Volumes/Out/x.MOV"),
                 QStringLiteral("ffmpeg   -i \"/Users/a/x.mov\" -y -vcodec dnxhd  \"/Volumes/Out/x.MOV\""));
        QCOMPARE(engineCommand("/my apps/ffmpeg", "/a.mov", "-an", "/b.MOV"),
                 QStringLiteral("\"/my apps/ffmpeg\"  -i \"/a.mov\" -y -an \"/b.MOV\""));
        QCOMPARE(engineCommand("ffmpeg ", "/in/*a|b\\\\c.mov", "-vf *scale|=1//2", "/out/*a|b.MOV"),
                 QStringLiteral("ffmpeg   -i \"/in/*a|b\\\\\\\\c.mov\" -y -vf scale=1/2 \"/out/*a|b.MOV\""));
    }

    // The preset dialog refuses these, but an older presets file may still hold them.
    void argumentsTheShellCannotSplitReachTheEngineAsOneWord_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QByteArrayList>("words");
        QTest::newRow("quote left open")
            << "-metadata title='My" << QByteArrayList{"-metadata title='My"};
        QTest::newRow("backslash left open") << "-an \\" << QByteArrayList{"-an \\"};
        QTest::newRow("open quote, then a command")
            << "-an \"; touch pwned" << QByteArrayList{"-an \"; touch pwned"};
        QTest::newRow("NUL") << "-an" + QString(QChar(0)) + " -vn" << QByteArrayList{"-an", "-vn"};
        QTest::newRow("blank") << "  " << QByteArrayList();
    }

    void argumentsTheShellCannotSplitReachTheEngineAsOneWord()
    {
        QFETCH(QString, arguments);
        QFETCH(QByteArrayList, words);
        Sandbox sandbox;
        const QString output = sandbox.path() + QStringLiteral("/out.MOV");
        QCOMPARE(callsOf(sandbox.bin() + "/engine",
                         engineCommand(sandbox.bin() + "/engine", "/in.mov", arguments, output)),
                 QList<QByteArrayList>({QByteArrayList{"-i", "/in.mov", "-y"} + words
                                        + encoded({output})}));
        QVERIFY(!sandboxHoldsPwned(sandbox));
    }

    void programsWorkFromFoldersHoldingBlanksAndMarks()
    {
        Sandbox sandbox;
        const QString home = sandbox.path() + QStringLiteral("/my home; touch pwned");
        qputenv("HOME", QFile::encodeName(home));
        QCOMPARE(callsOf(sandbox.bin() + "/open", openJobScriptCommand()),
                 QList<QByteArrayList>({encoded({home + "/Desktop/log_file.txt"})}));

        const QString work = sandbox.path() + QStringLiteral("/work $dir `x`");
        QVERIFY(QDir().mkpath(work + QStringLiteral("/VeltroanBatchConverter.app")));
        QVERIFY(QDir::setCurrent(work));
        QCOMPARE(callsOf(work + "/VeltroanBatchConverter.app/ffplay", playerCommand("/a b.mov")),
                 QList<QByteArrayList>({{"/a b.mov"}}));
        QVERIFY(!sandboxHoldsPwned(sandbox));
    }
};

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
