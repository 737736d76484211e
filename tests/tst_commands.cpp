#include "app/pathhelpers.h"
#include "convert/commands.h"
#include "convert/jobscript.h"
#include "testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QtTest>

namespace {

// The engine line as it was built before paths were quoted: everything concatenated,
// then the whole line cleaned.
QString wholeLineReference(const QString &engine, const QString &source, const QString &arguments,
                           const QString &output)
{
    return takeoutduplicatehash(takeoutspecial(engine + "  -i \"/" + source + "\" -y " + arguments
                                               + " \"" + output + '"'));
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
        QCOMPARE(shellQuote(QStringLiteral("/a b/c.mov")), QStringLiteral("\"/a b/c.mov\""));
        QCOMPARE(shellQuote(QStringLiteral("a\"b")), QStringLiteral("\"a\\\"b\""));
        QCOMPARE(shellQuote(QStringLiteral("$(x)`y`")), QStringLiteral("\"\\$(x)\\`y\\`\""));
        QCOMPARE(shellQuote(QStringLiteral("a\\b")), QStringLiteral("\"a\\\\b\""));
        QCOMPARE(shellQuote(QStringLiteral("';|*&\n!")), QStringLiteral("\"';|*&\n!\""));
        QCOMPARE(shellQuote(QString()), QStringLiteral("\"\""));

        const QString plain = QStringLiteral("/Users/a_b/Clip-01,v2@x%y+z=w:1.MOV");
        QCOMPARE(shellWord(plain), plain);
        QCOMPARE(shellWord(QStringLiteral("/my home/x")), QStringLiteral("\"/my home/x\""));
        QCOMPARE(shellWord(QStringLiteral("/a/$x")), QStringLiteral("\"/a/\\$x\""));
        QCOMPARE(shellWord(QStringLiteral("~/x")), QStringLiteral("\"~/x\""));
        QCOMPARE(shellWord(QStringLiteral("/a/é")), QStringLiteral("\"/a/é\""));
        // An empty word would vanish from the command line altogether.
        QCOMPARE(shellWord(QString()), QStringLiteral("\"\""));

        QCOMPARE(collapseSlashes(QStringLiteral("//Users/a//x.mov")),
                 QStringLiteral("/Users/a/x.mov"));
        QCOMPARE(collapseSlashes(QStringLiteral("a///b")), QStringLiteral("a//b"));
        QCOMPARE(collapseSlashes(QStringLiteral("a\\\\b/\\c|d*e")),
                 QStringLiteral("a\\\\b/\\c|d*e"));
    }

    void engineCommandMatchesWholeLineCleaningForOrdinaryPaths_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("output");
        const QString dnx = QStringLiteral(
            "-vcodec dnxhd -s 1920x1080 -b 120M -r 25 -acodec pcm_s16le -ar 48000 ");
        QTest::newRow("dropped file, bare engine")
            << "ffmpeg " << "Users/a/x.mov" << dnx << "/Volumes/Out/Users/a/x.MOV";
        QTest::newRow("absolute source, doubled leading slash")
            << "ffmpeg " << "/Users/a/x.mov" << dnx << "/Volumes/Out/x.MOV";
        QTest::newRow("bundled engine")
            << "/Users/a/VeltroanBatchConverter.app/engines/ffmpeg"
            << "/Users/a/Footage/day_1/clip-01.mp4" << "-vcodec copy -acodec copy"
            << "/Volumes/Out/Footage/day_1/clip-01.MOV";
        QTest::newRow("working folder is root")
            << "//VeltroanBatchConverter.app/engines/ffmpeg" << "/media/card/DCIM/100/A.MTS"
            << "-target pal-dv" << "/out//DCIM/100/A.MOV";
        QTest::newRow("preset arguments and extension marker")
            << "ffmpeg " << "/Users/a/b c/x.avi" << "-vcodec mpeg4 -b 4M"
            << "/Volumes/Out/b c/x.MP4|";
        QTest::newRow("triple slash") << "ffmpeg " << "//srv/x.mov" << "-y" << "/out///x.MOV";
    }

    void engineCommandMatchesWholeLineCleaningForOrdinaryPaths()
    {
        QFETCH(QString, engine);
        QFETCH(QString, source);
        QFETCH(QString, arguments);
        QFETCH(QString, output);
        // "|" in the output stands for the preset marker the run leaves on the extension;
        // the run hands the engine a path without it, as the whole-line cleaning did.
        QCOMPARE(engineCommand(engine, source, arguments, takeoutspecial(output)),
                 wholeLineReference(engine, source, arguments, output));
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

    void playerAndOpenerTextsForOrdinaryPaths()
    {
        Sandbox sandbox;
        QCOMPARE(playerCommand(QStringLiteral("/Users/a/b c.mov")),
                 sandbox.path() + "/VeltroanBatchConverter.app/ffplay \"/Users/a/b c.mov\"");
        QCOMPARE(openFolderCommand(QStringLiteral("/Users/a/Footage")),
                 QStringLiteral("open \"/Users/a/Footage\""));
        QCOMPARE(openJobScriptCommand(), "open " + sandbox.home() + "/Desktop/log_file.txt");
    }

    // Names the shell must pass through untouched; several would run "touch pwned" if a
    // quote could be ended or a substitution started.
    void hostileNamesReachEveryProgramExactly_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("quotes") << QStringLiteral("clip \"best\" it's.mov");
        QTest::newRow("substitutions") << QStringLiteral("$(touch pwned) `touch pwned`.mov");
        QTest::newRow("variables, bang, tilde") << QStringLiteral("~root $HOME ${PATH} wow!.mov");
        QTest::newRow("backslashes") << QStringLiteral("a\\b\\\\c.mov\\");
        QTest::newRow("quote escape attempt") << QStringLiteral("x\\\"; touch pwned; \".mov");
        QTest::newRow("; & | >") << QStringLiteral("x; touch pwned & touch pwned | cat >pwned.mov");
        QTest::newRow("globs") << QStringLiteral("*[ab]?.mov");
        QTest::newRow("newline") << QStringLiteral("line\nbreak; touch pwned.mov");
        QTest::newRow("leading dash") << QStringLiteral("-y.mov");
        QTest::newRow("blanks") << QStringLiteral("  two  blanks .mov ");
        QTest::newRow("non-Latin") << QStringLiteral("日本語 Привет.mov");
    }

    void hostileNamesReachEveryProgramExactly()
    {
        QFETCH(QString, name);
        Sandbox sandbox;
        const QString source = sandbox.path() + "/in dir/" + name;
        const QString output = sandbox.path() + "/out dir/" + name + ".MOV";
        const QString engine = sandbox.path() + "/engine dir/ffmpeg";
        QVERIFY(QDir().mkpath(sandbox.path() + "/engine dir"));
        const QList<QByteArrayList> expected{
            encoded({"-i", source, "-y", "-vcodec", "dnxhd", "-b", "120M", output})};
        // The source arrives with and without its leading slash (a dropped file lacks it).
        for (const QString &given : {source, source.mid(1)})
            QCOMPARE(callsOf(engine, engineCommand(engine, given, "-vcodec dnxhd -b 120M ", output)),
                     expected);
        QCOMPARE(callsOf(sandbox.bin() + "/ffmpeg",
                         engineCommand("ffmpeg ", source, "-vcodec dnxhd -b 120M", output)),
                 expected);
        QCOMPARE(callsOf(sandbox.bundle() + "/ffplay", playerCommand(source)),
                 QList<QByteArrayList>({encoded({source})}));
        QCOMPARE(callsOf(sandbox.bin() + "/open", openFolderCommand(sandbox.path() + '/' + name)),
                 QList<QByteArrayList>({encoded({sandbox.path() + '/' + name})}));
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

    void runShellReturnsTheCommandsStatus()
    {
        Sandbox sandbox;
        QCOMPARE(runShell(QStringLiteral("true")), 0);
        QVERIFY(runShell(QStringLiteral("exit 3")) != 0);
        // The probes rely on a missing program giving a non-zero status.
        QVERIFY(runShell(QString::fromLatin1(EngineProbe)) != 0);
        QVERIFY(runShell(QString::fromLatin1(PlayerProbe)) != 0);
    }
};

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
