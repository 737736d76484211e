#include "app/pathhelpers.h"
#include "convert/commands.h"
#include "convert/jobscript.h"
#include "testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QtTest>

namespace {

const QString Quote = QStringLiteral("\"");

// The engine line as it was built before paths were quoted: everything concatenated,
// then the whole line cleaned.
QString wholeLineReference(const QString &engine, const QString &source, const QString &arguments,
                           const QString &output)
{
    return takeoutduplicatehash(takeoutspecial(engine + QLatin1String("  -i ") + Quote
                                               + QLatin1Char('/') + source + Quote
                                               + QLatin1String(" -y ") + arguments
                                               + QLatin1Char(' ') + Quote + output + Quote));
}

// Names the shell must pass through untouched; several would run "touch pwned" if a
// quote could be ended or a substitution started.
void addHostileNames()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("double quote") << QStringLiteral("clip \"best\" take.mov");
    QTest::newRow("command substitution") << QStringLiteral("$(touch pwned).mov");
    QTest::newRow("backticks") << QStringLiteral("`touch pwned`.mov");
    QTest::newRow("variable") << QStringLiteral("$HOME ${PATH}.mov");
    QTest::newRow("backslash") << QStringLiteral("a\\b.mov");
    QTest::newRow("doubled backslash") << QStringLiteral("a\\\\b.mov");
    QTest::newRow("trailing backslash") << QStringLiteral("end\\");
    QTest::newRow("quote escape attempt") << QStringLiteral("x\\\"; touch pwned; \".mov");
    QTest::newRow("semicolon") << QStringLiteral("x; touch pwned.mov");
    QTest::newRow("ampersand") << QStringLiteral("x & touch pwned.mov");
    QTest::newRow("pipe") << QStringLiteral("x | touch pwned.mov");
    QTest::newRow("star") << QStringLiteral("*.mov");
    QTest::newRow("glob brackets") << QStringLiteral("[ab]?.mov");
    QTest::newRow("newline") << QStringLiteral("line\nbreak; touch pwned.mov");
    QTest::newRow("leading dash") << QStringLiteral("-y.mov");
    QTest::newRow("blanks") << QStringLiteral("  two  blanks .mov");
    QTest::newRow("single quote") << QStringLiteral("it's here.mov");
    QTest::newRow("bang and tilde") << QStringLiteral("~root wow!.mov");
    QTest::newRow("japanese") << QStringLiteral("日本語 ファイル.mov");
    QTest::newRow("cyrillic") << QStringLiteral("Привет мир.mov");
}

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

} // namespace

class TestCommands final : public QObject
{
    Q_OBJECT

private slots:
    void shellQuoteEscapesOnlyWhatDoubleQuotesInterpret();
    void shellWordLeavesPlainPathsAlone();
    void shellWordQuotesEverythingElse();
    void collapseSlashesTakesPairsLikeTheCleaner();

    void engineCommandMatchesWholeLineCleaningForOrdinaryPaths_data();
    void engineCommandMatchesWholeLineCleaningForOrdinaryPaths();
    void engineCommandKeepsBareEngineNameAsIs();
    void engineCommandCleansOnlyTheArguments();
    void presetArgumentsCannotStartACommand();

    void playerAndOpenerTextsForOrdinaryPaths();

    void engineReceivesHostilePathsExactly_data();
    void engineReceivesHostilePathsExactly();
    void engineFoundOnPathByBareNameReceivesHostilePathsExactly();
    void playerReceivesHostilePathExactly_data();
    void playerReceivesHostilePathExactly();
    void playerWorksFromWorkingFolderWithBlanks();
    void openerReceivesHostileFolderExactly_data();
    void openerReceivesHostileFolderExactly();
    void jobScriptOpenerWorksWithHomeHoldingBlanks();

    void runShellReturnsTheCommandsStatus();
};

void TestCommands::shellQuoteEscapesOnlyWhatDoubleQuotesInterpret()
{
    QCOMPARE(shellQuote(QStringLiteral("/a b/c.mov")), QStringLiteral("\"/a b/c.mov\""));
    QCOMPARE(shellQuote(QStringLiteral("a\"b")), QStringLiteral("\"a\\\"b\""));
    QCOMPARE(shellQuote(QStringLiteral("$(x)`y`")), QStringLiteral("\"\\$(x)\\`y\\`\""));
    QCOMPARE(shellQuote(QStringLiteral("a\\b")), QStringLiteral("\"a\\\\b\""));
    QCOMPARE(shellQuote(QStringLiteral("';|*&\n!")), QStringLiteral("\"';|*&\n!\""));
    QCOMPARE(shellQuote(QString()), QStringLiteral("\"\""));
}

void TestCommands::shellWordLeavesPlainPathsAlone()
{
    const QString plain = QStringLiteral("/Users/a_b/Clip-01,v2@x%y+z=w:1.MOV");
    QCOMPARE(shellWord(plain), plain);
    QCOMPARE(shellWord(QStringLiteral("//VeltroanBatchConverter.app/ffplay")),
             QStringLiteral("//VeltroanBatchConverter.app/ffplay"));
}

void TestCommands::shellWordQuotesEverythingElse()
{
    QCOMPARE(shellWord(QStringLiteral("/my home/x")), QStringLiteral("\"/my home/x\""));
    QCOMPARE(shellWord(QStringLiteral("/a/$x")), QStringLiteral("\"/a/\\$x\""));
    QCOMPARE(shellWord(QStringLiteral("~/x")), QStringLiteral("\"~/x\""));
    QCOMPARE(shellWord(QStringLiteral("/a/é")), QStringLiteral("\"/a/é\""));
    // An empty word would vanish from the command line altogether.
    QCOMPARE(shellWord(QString()), QStringLiteral("\"\""));
}

void TestCommands::collapseSlashesTakesPairsLikeTheCleaner()
{
    QCOMPARE(collapseSlashes(QStringLiteral("//Users/a//x.mov")), QStringLiteral("/Users/a/x.mov"));
    QCOMPARE(collapseSlashes(QStringLiteral("a///b")), QStringLiteral("a//b"));
    QCOMPARE(collapseSlashes(QStringLiteral("a\\\\b/\\c")), QStringLiteral("a\\\\b/\\c"));
    QCOMPARE(collapseSlashes(QStringLiteral("a|b*c")), QStringLiteral("a|b*c"));
}

void TestCommands::engineCommandMatchesWholeLineCleaningForOrdinaryPaths_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("output");

    const QString dnx =
        QStringLiteral("-vcodec dnxhd -s 1920x1080 -b 120M -r 25 -acodec pcm_s16le -ar 48000 ");
    QTest::newRow("dropped file, bare engine")
        << QStringLiteral("ffmpeg ") << QStringLiteral("Users/a/x.mov") << dnx
        << QStringLiteral("/Volumes/Out/Users/a/x.MOV");
    QTest::newRow("absolute source, doubled leading slash")
        << QStringLiteral("ffmpeg ") << QStringLiteral("/Users/a/x.mov") << dnx
        << QStringLiteral("/Volumes/Out/x.MOV");
    QTest::newRow("bundled engine")
        << QStringLiteral("/Users/a/VeltroanBatchConverter.app/engines/ffmpeg")
        << QStringLiteral("/Users/a/Footage/day_1/clip-01.mp4")
        << QStringLiteral("-vcodec copy -acodec copy")
        << QStringLiteral("/Volumes/Out/Footage/day_1/clip-01.MOV");
    QTest::newRow("working folder is root")
        << QStringLiteral("//VeltroanBatchConverter.app/engines/ffmpeg")
        << QStringLiteral("/media/card/DCIM/100/A.MTS") << QStringLiteral("-target pal-dv")
        << QStringLiteral("/out//DCIM/100/A.MOV");
    QTest::newRow("preset arguments and extension marker")
        << QStringLiteral("ffmpeg ") << QStringLiteral("/Users/a/b c/x.avi")
        << QStringLiteral("-vcodec mpeg4 -b 4M") << QStringLiteral("/Volumes/Out/b c/x.MP4|");
    QTest::newRow("triple slash")
        << QStringLiteral("ffmpeg ") << QStringLiteral("//srv/x.mov") << QStringLiteral("-y")
        << QStringLiteral("/out///x.MOV");
}

void TestCommands::engineCommandMatchesWholeLineCleaningForOrdinaryPaths()
{
    QFETCH(QString, engine);
    QFETCH(QString, source);
    QFETCH(QString, arguments);
    QFETCH(QString, output);
    // "|" in the output stands for the preset marker the run leaves on the extension;
    // the run hands the engine a path without it, as the whole-line cleaning did.
    const QString cleanOutput = takeoutspecial(output);
    QCOMPARE(engineCommand(engine, source, arguments, cleanOutput),
             wholeLineReference(engine, source, arguments, output));
}

void TestCommands::engineCommandKeepsBareEngineNameAsIs()
{
    QCOMPARE(engineCommand(QStringLiteral("ffmpeg "), QStringLiteral("Users/a/x.mov"),
                           QStringLiteral("-vcodec dnxhd "), QStringLiteral("/Volumes/Out/x.MOV")),
             QStringLiteral("ffmpeg   -i \"/Users/a/x.mov\" -y -vcodec dnxhd  \"/Volumes/Out/x.MOV\""));
    QCOMPARE(engineCommand(QStringLiteral("/my apps/ffmpeg"), QStringLiteral("/a.mov"),
                           QStringLiteral("-an"), QStringLiteral("/b.MOV")),
             QStringLiteral("\"/my apps/ffmpeg\"  -i \"/a.mov\" -y -an \"/b.MOV\""));
}

void TestCommands::engineCommandCleansOnlyTheArguments()
{
    QCOMPARE(engineCommand(QStringLiteral("ffmpeg "), QStringLiteral("/in/*a|b\\\\c.mov"),
                           QStringLiteral("-vf *scale|=1//2"), QStringLiteral("/out/*a|b.MOV")),
             QStringLiteral("ffmpeg   -i \"/in/*a|b\\\\\\\\c.mov\" -y -vf scale=1/2 \"/out/*a|b.MOV\""));
}

void TestCommands::presetArgumentsCannotStartACommand()
{
    Sandbox sandbox;
    const QString engine = sandbox.bin() + QStringLiteral("/engine");
    const QString record = sandbox.path() + QStringLiteral("/calls");
    QVERIFY(writeExactRecordingProgram(engine, record));
    const QString arguments =
        QStringLiteral("-an; touch pwned && $(touch pwned) `touch pwned` -metadata title=\"My Film\"");
    QCOMPARE(runShell(engineCommand(engine, QStringLiteral("/in.mov"), arguments,
                                    sandbox.path() + QStringLiteral("/out.MOV"))),
             0);
    const QList<QByteArrayList> calls = exactRecordedCalls(record);
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls.first(),
             encoded({QStringLiteral("-i"), QStringLiteral("/in.mov"), QStringLiteral("-y"),
                      QStringLiteral("-an;"), QStringLiteral("touch"), QStringLiteral("pwned"),
                      QStringLiteral("&&"), QStringLiteral("$(touch"), QStringLiteral("pwned)"),
                      QStringLiteral("`touch"), QStringLiteral("pwned`"),
                      QStringLiteral("-metadata"), QStringLiteral("title=My Film"),
                      sandbox.path() + QStringLiteral("/out.MOV")}));
    QVERIFY(!QFile::exists(sandbox.path() + QStringLiteral("/pwned")));
}

void TestCommands::playerAndOpenerTextsForOrdinaryPaths()
{
    Sandbox sandbox;
    QCOMPARE(playerCommand(QStringLiteral("/Users/a/b c.mov")),
             sandbox.path() + QStringLiteral("/VeltroanBatchConverter.app/ffplay \"/Users/a/b c.mov\""));
    QCOMPARE(openFolderCommand(QStringLiteral("/Users/a/Footage")),
             QStringLiteral("open \"/Users/a/Footage\""));
    QCOMPARE(openJobScriptCommand(), QStringLiteral("open ") + sandbox.home()
                                         + QStringLiteral("/Desktop/log_file.txt"));
}

void TestCommands::engineReceivesHostilePathsExactly_data()
{
    addHostileNames();
}

void TestCommands::engineReceivesHostilePathsExactly()
{
    QFETCH(QString, name);
    Sandbox sandbox;
    const QString engineFolder = sandbox.path() + QStringLiteral("/engine dir");
    QVERIFY(QDir().mkpath(engineFolder));
    const QString engine = engineFolder + QStringLiteral("/ffmpeg");
    const QString record = sandbox.path() + QStringLiteral("/record");
    QVERIFY(writeExactRecordingProgram(engine, record));

    const QString source = sandbox.path() + QStringLiteral("/in dir/") + name;
    const QString output = sandbox.path() + QStringLiteral("/out dir/") + name + QStringLiteral(".MOV");
    for (const QString &given : {source, source.mid(1)}) {
        QFile::remove(record);
        runShell(engineCommand(engine, given, QStringLiteral("-vcodec dnxhd -b 120M "), output));
        const QList<QByteArrayList> calls = exactRecordedCalls(record);
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first(), encoded({QStringLiteral("-i"), source, QStringLiteral("-y"),
                                         QStringLiteral("-vcodec"), QStringLiteral("dnxhd"),
                                         QStringLiteral("-b"), QStringLiteral("120M"), output}));
    }
    QVERIFY(!sandboxHoldsPwned(sandbox));
}

void TestCommands::engineFoundOnPathByBareNameReceivesHostilePathsExactly()
{
    Sandbox sandbox;
    const QString record = sandbox.path() + QStringLiteral("/record");
    QVERIFY(writeExactRecordingProgram(sandbox.bin() + QStringLiteral("/ffmpeg"), record));
    const QString source = QStringLiteral("/in/a \"b\" $(touch pwned) `touch pwned`\\.mov");
    const QString output = QStringLiteral("/out/a \"b\" $(touch pwned) `touch pwned`\\.MOV");

    runShell(engineCommand(QStringLiteral("ffmpeg "), source, QStringLiteral("-an"), output));

    const QList<QByteArrayList> calls = exactRecordedCalls(record);
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls.first(), encoded({QStringLiteral("-i"), source, QStringLiteral("-y"),
                                     QStringLiteral("-an"), output}));
    QVERIFY(!sandboxHoldsPwned(sandbox));
}

void TestCommands::playerReceivesHostilePathExactly_data()
{
    addHostileNames();
}

void TestCommands::playerReceivesHostilePathExactly()
{
    QFETCH(QString, name);
    Sandbox sandbox;
    const QString record = sandbox.path() + QStringLiteral("/record");
    QVERIFY(writeExactRecordingProgram(sandbox.bundle() + QStringLiteral("/ffplay"), record));
    const QString file = sandbox.path() + QStringLiteral("/in dir/") + name;

    runShell(playerCommand(file));

    const QList<QByteArrayList> calls = exactRecordedCalls(record);
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls.first(), encoded({file}));
    QVERIFY(!sandboxHoldsPwned(sandbox));
}

void TestCommands::playerWorksFromWorkingFolderWithBlanks()
{
    Sandbox sandbox;
    const QString work = sandbox.path() + QStringLiteral("/work $dir `x`");
    QVERIFY(QDir().mkpath(work + QStringLiteral("/VeltroanBatchConverter.app")));
    const QString record = sandbox.path() + QStringLiteral("/record");
    QVERIFY(writeExactRecordingProgram(work + QStringLiteral("/VeltroanBatchConverter.app/ffplay"),
                                       record));
    QVERIFY(QDir::setCurrent(work));

    runShell(playerCommand(QStringLiteral("/a b.mov")));

    const QList<QByteArrayList> calls = exactRecordedCalls(record);
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls.first(), QByteArrayList{"/a b.mov"});
}

void TestCommands::openerReceivesHostileFolderExactly_data()
{
    addHostileNames();
}

void TestCommands::openerReceivesHostileFolderExactly()
{
    QFETCH(QString, name);
    Sandbox sandbox;
    const QString record = sandbox.path() + QStringLiteral("/record");
    QVERIFY(writeExactRecordingProgram(sandbox.bin() + QStringLiteral("/open"), record));
    const QString folder = sandbox.path() + QStringLiteral("/") + name;

    runShell(openFolderCommand(folder));

    const QList<QByteArrayList> calls = exactRecordedCalls(record);
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls.first(), encoded({folder}));
    QVERIFY(!sandboxHoldsPwned(sandbox));
}

void TestCommands::jobScriptOpenerWorksWithHomeHoldingBlanks()
{
    Sandbox sandbox;
    const QString record = sandbox.path() + QStringLiteral("/record");
    QVERIFY(writeExactRecordingProgram(sandbox.bin() + QStringLiteral("/open"), record));
    const QString home = sandbox.path() + QStringLiteral("/my home; touch pwned");
    qputenv("HOME", QFile::encodeName(home));

    runShell(openJobScriptCommand());

    const QList<QByteArrayList> calls = exactRecordedCalls(record);
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls.first(), encoded({home + QStringLiteral("/Desktop/log_file.txt")}));
    QVERIFY(!sandboxHoldsPwned(sandbox));
}

void TestCommands::runShellReturnsTheCommandsStatus()
{
    Sandbox sandbox;
    QCOMPARE(runShell(QStringLiteral("true")), 0);
    QVERIFY(runShell(QStringLiteral("exit 3")) != 0);
    // The probes rely on a missing program giving a non-zero status.
    QVERIFY(runShell(QString::fromLatin1(EngineProbe)) != 0);
    QVERIFY(runShell(QString::fromLatin1(PlayerProbe)) != 0);
}

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
