#include "app/pathhelpers.h"
#include "app/sourcescan.h"
#include "convert/commands.h"
#include "convert/outputnames.h"
#include "convert/outputnaming.h"
#include "convert/settingscatalogue.h"
#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>

using TextHelper = QString (*)(const QString &);

class TestPaths final : public QObject
{
    Q_OBJECT

    QString m_root; // the sandbox, standing for "/" in paths written "@/..."
    void enter(const Sandbox &sandbox) { m_root = QDir(sandbox.path()).canonicalPath(); }
    QString at(QString path) const { return path.replace(QLatin1Char('@'), m_root); }
    QStringList entries(const QString &folder) const
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

private slots:
    void cleanup() { nastavki.clear(); }

    void textHelpersWorkOnTheTextAlone_data()
    {
        QTest::addColumn<QString>("helper");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("result");
        const auto row = [](const char *helper, const char *name, const QString &text, const QString &result) {
            QTest::addRow("%s: %s", helper, name) << QString::fromLatin1(helper) << text << result;
        };
        row("folder", "unix path", "/Users/a/clip.mov", "/Users/a/");
        row("folder", "backslash path", "C:\\v\\clip.mov", "C:\\v\\");
        row("folder", "slash comes last", "C:\\v/sub/clip.mov", "C:\\v/sub/");
        row("folder", "ends in a separator", "/Users/a/", "/Users/a/");
        row("folder", "bare name", "clip.mov", "");
        row("folder", "nothing normalised", "/A//b/../C/x", "/A//b/../C/");
        row("marks", "bar and star", "a|b*c", "abc");
        row("pairs", "double slash", "a//b", "a/b");
        row("pairs", "triple slash", "a///b", "a//b");
        row("pairs", "double backslash", "a\\\\b", "a/b");
        row("pairs", "slash backslash", "a/\\b", "a/b");
        row("pairs", "lone backslash", "a\\b", "a\\b");
        row("turn", "backslashes", "C:\\v\\\\clip.mov", "C:/v//clip.mov");
        row("slashes", "only slash pairs", "//a///b", "/a//b");
        row("slashes", "backslashes are names", "a\\\\b/\\c|d*e", "a\\\\b/\\c|d*e");
        row("word", "literal path unquoted", "/Users/a_b/Clip-01,v2@x%y+z=w:1.MOV", "/Users/a_b/Clip-01,v2@x%y+z=w:1.MOV");
        row("word", "empty word stays a word", "", "\"\"");
    }

    void textHelpersWorkOnTheTextAlone()
    {
        static const QHash<QString, TextHelper> helpers = {
            {"folder", [](const QString &t) { return oddeliimeodpat2(t); }},
            {"marks", [](const QString &t) { return takeoutspecial(t); }},
            {"pairs", [](const QString &t) { return takeoutduplicatehash(t); }},
            {"turn", [](const QString &t) { return changehashdirection(t); }},
            {"slashes", [](const QString &t) { return collapseSlashes(t); }},
            {"word", [](const QString &t) { return shellWord(t); }},
        };
        QFETCH(QString, helper);
        QFETCH(QString, text);
        QFETCH(QString, result);
        QCOMPARE(helpers.value(helper)(text), result);
    }

    void knownExtensionsAreAcceptedInAnyCaseOnceFilled()
    {
        QVERIFY(!goimali("mov")); // nothing before ANALYZE fills the list
        nastavki = knownMediaExtensions();
        QVERIFY(goimali("mov") && goimali("Mov") && goimali("MOV"));
        QVERIFY(!goimali("txt") && !goimali(".mov") && !goimali(""));
    }

    void workingPathIsTheCurrentFolderOrEmptyWhenTooLong()
    {
        Sandbox sandbox;
        enter(sandbox);
        QVERIFY(get_working_path() == m_root.toStdString() && get_working_path1() == m_root.toStdString());
        QCOMPARE(bundlePath("engines/"), m_root + "/VeltroanBatchConverter.app/engines/");
        QVERIFY(QDir::setCurrent("/"));
        QCOMPARE(bundlePath("engines/"), QStringLiteral("//VeltroanBatchConverter.app/engines/"));
        // Deeper than the lookup's buffer: no working folder rather than a cut-off one.
        const QString deep = m_root + QString("/" + QString(100, 'd')).repeated(11);
        QVERIFY(QDir().mkpath(deep) && QDir::setCurrent(deep));
        QVERIFY(get_working_path().empty() && get_working_path1().empty());
    }

    void builtInArgumentsReachTheEngineUnchanged()
    {
        QStringList builtIn{Settings::Rewrap};
        for (const QString &name : {Settings::DvPal, Settings::DvNtsc, Settings::H264})
            builtIn << Settings::argumentsFor({name, {}, {}, {}});
        for (const QString &label : Settings::dnxhdLabels())
            builtIn << Settings::argumentsFor({Settings::Dnxhd, label, {}, {}});
        for (const QString &depth : Settings::bitDepths()) {
            for (const QString &rate : Settings::sampleRates())
                builtIn << Settings::argumentsFor({Settings::Wav, {}, depth, rate});
        }
        for (const QString &arguments : std::as_const(builtIn))
            QCOMPARE(engineArguments(arguments), arguments);
    }

    // The preset dialog refuses these, but an older presets file may still hold them.
    void argumentsTheShellCannotSplitReachTheEngineAsOneWord_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QByteArrayList>("words");
        QTest::newRow("quote left open") << "-metadata title='My" << QByteArrayList{"-metadata title='My"};
        QTest::newRow("backslash left open") << "-an \\" << QByteArrayList{"-an \\"};
        QTest::newRow("open quote, then a command") << "-an \"; pwn" << QByteArrayList{"-an \"; pwn"};
        QTest::newRow("NUL") << "-an" + QString(QChar(0)) + " -vn" << QByteArrayList{"-an", "-vn"};
        QTest::newRow("blank") << "  " << QByteArrayList();
    }
    void argumentsTheShellCannotSplitReachTheEngineAsOneWord()
    {
        QFETCH(QString, arguments);
        QFETCH(QByteArrayList, words);
        Sandbox sandbox;
        const QString engine = sandbox.bin() + "/engine", record = sandbox.path() + "/calls";
        QVERIFY(writeRecordingProgram(engine, record, Recording::Exact) && writeRecordingProgram(sandbox.bin() + "/pwn", record, Recording::Exact));
        runProgram("/bin/sh", {"-c", engineCommand(engine, "/in.mov", arguments, "/out.MOV")});
        QCOMPARE(exactRecordedCalls(record),
                 QList<QByteArrayList>({QByteArrayList{"-i", "/in.mov", "-y", "-map_metadata", "0"} + words + QByteArrayList{"/out.MOV"}}));
    }

    // Paths written "@/...": the source entries, the destination, the file (created unless
    // it begins with "-"), the extension and the output. Only a mirrored folder is created.
    void outputNamesMirrorTheSourceFolder_data()
    {
        QTest::addColumn<QStringList>("sources");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("output");
        const QStringList ann{"file://@/Users/ann/footage", "@/Users/ann/Desktop/x.avi"};
        const QStringList one{"@/Users/ann/footage"};
        const QString out = "@/Volumes/out";
        QTest::newRow("worked example: day folder")
            << ann << out << "@/Users/ann/footage/day1/A001.mov" << "MOV" << "@/Volumes/out/footage/day1/A001.MOV";
        QTest::newRow("worked example: preset mark")
            << ann << out << "@/Users/ann/footage/B002.MXF" << "mp4|" << "@/Volumes/out/footage/B002.mp4";
        QTest::newRow("worked example: file entry") << ann << out << "@/Users/ann/Desktop/x.avi" << "avi" << "@/Volumes/out/x.avi";
        QTest::newRow("first matching entry wins") << QStringList{"@/Users/ann/", "@/Users/ann/footage/"} << out
            << "@/Users/ann/footage/day1/A001.mov" << "MOV" << "@/Volumes/out/ann/footage/day1/A001.MOV";
        QTest::newRow("field marks leave path and folder")
            << one << out << "@/Users/ann/footage/take|1*/A|*.mov" << "MOV" << "@/Volumes/out/footage/take1/A.MOV";
        QTest::newRow("extension as given") << one << out << "@/Users/ann/footage/c.mov" << "mOv" << "@/Volumes/out/footage/c.mOv";
        QTest::newRow("empty extension") << one << out << "@/Users/ann/footage/c.mov" << "" << "@/Volumes/out/footage/c.";
        QTest::newRow("no dot") << one << out << "@/Users/ann/footage/README" << "MOV" << "@/Volumes/out/footage/READMEMOV";
        QTest::newRow("several dots") << one << out << "@/Users/ann/footage/a.tar.gz" << "MOV" << "@/Volumes/out/footage/a.tar.MOV";
        QTest::newRow("outside every source, marks") << one << out << "@/Media/b*|.mov" << "mp4|" << "@/Volumes/out/b.mp4";
        QTest::newRow("folder missing") << one << out << "-@/Users/ann/footage/gone/C.mov" << "MOV" << "@/Volumes/out/C.MOV";
        QTest::newRow("entry found inside the folder's path")
            << QStringList{"/ann/footage"} << out << "@/Users/ann/footage/day1/A001.mov" << "MOV" << "@/Volumes/out/A001.MOV";
        // A destination's name is taken as it is: its marks and backslashes are letters.
        QTest::newRow("destination as named") << one << "@/out | a*b\\c" << "@/Users/ann/footage/c.mov"
                                               << "MOV" << "@/out | a*b\\c/footage/c.MOV";
        QTest::newRow("destination as named, outside every source")
            << one << "@/out\\\\" << "@/Media/we\\ird.mov" << "MOV" << "@/out\\\\/we\\ird.MOV";
    }

    void outputNamesMirrorTheSourceFolder()
    {
        QFETCH(QStringList, sources);
        QFETCH(QString, destination);
        QFETCH(QString, file);
        QFETCH(QString, extension);
        QFETCH(QString, output);
        const bool mirrored = output.count('/') > destination.count('/') + 1;
        Sandbox sandbox;
        enter(sandbox);
        QVERIFY(file.startsWith('-') || touchFile(at(file)));
        file = at(file.remove(QRegularExpression("^-")));
        const QStringList before = entries(m_root);
        for (QString &source : sources)
            source = at(source);
        destination = at(destination);
        QCOMPARE(makeOutputPath(sources, destination, file, extension), at(output));
        // Normalised in place: the destination ends in a separator, the entries up to the
        // match are wrapped in slashes; the same call again gives the same.
        QVERIFY(destination.endsWith('/'));
        QVERIFY(sources.first().startsWith('/') && sources.first().endsWith('/'));
        // Files dropped on their own come without the leading slash.
        QCOMPARE(makeOutputPath(sources, destination, file.mid(1), extension), at(output));
        QVERIFY(mirrored ? QFileInfo(QFileInfo(at(output)).path()).isDir() : entries(m_root) == before);
    }

    // Each name is a source folder, in the source's file name, in the engine's folder and in
    // HOME. "pwn" records a call as the programs do: a command a name could start is one more.
    void hostileNamesStayInsideTheDestinationAndReachEveryProgramExactly_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("quotes") << QStringLiteral("clip \"best\" it's");
        QTest::newRow("substitution, variables") << QStringLiteral("$(pwn) $HOME ${PATH}");
        QTest::newRow("backticks") << QStringLiteral("`pwn`");
        QTest::newRow("backslashes") << QStringLiteral("..\\..\\x\\\"; pwn; \"\\");
        QTest::newRow("; && | >") << QStringLiteral("x; pwn && pwn | pwn >pwn");
        QTest::newRow("newline") << QStringLiteral("line\nbreak; pwn");
        QTest::newRow("leading dash") << QStringLiteral("-y");
        QTest::newRow("star and bar") << QStringLiteral("*[ab]?|");
        QTest::newRow("dot dot once the marks go") << QStringLiteral("..*|");
        QTest::newRow("blanks at both ends") << QStringLiteral("  two  blanks  ");
        QTest::newRow("long") << QString(200, QLatin1Char('L'));
        QTest::newRow("non-Latin") << QStringLiteral("日本語 Привет ñ");
    }

    void hostileNamesStayInsideTheDestinationAndReachEveryProgramExactly()
    {
        QFETCH(QString, name);
        Sandbox sandbox;
        enter(sandbox);
        const QString folder = m_root + "/src/footage/" + name, source = folder + '/' + name + ".mov";
        const QString engine = folder + "/ffmpeg", record = sandbox.bin() + "/calls";
        QVERIFY(touchFile(source));
        for (const QString &program : {engine, sandbox.bin() + "/pwn", sandbox.bin() + "/open", sandbox.bundle() + "/ffplay"})
            QVERIFY(writeRecordingProgram(program, record, Recording::Exact));

        QStringList sources{"file://" + m_root + "/src/footage"};
        QString destination = m_root + "/out";
        const QString output = makeOutputPath(sources, destination, source.mid(1), "MOV");
        QVERIFY2(QDir::cleanPath(output).startsWith(m_root + "/out/footage/"), qPrintable(output));
        QVERIFY(QFileInfo(QFileInfo(output).path()).isDir());

        const QString arguments = Settings::argumentsFor({Settings::Dnxhd, "1080p/25 120", {}, {}});
        runProgram("/bin/sh", {"-c", engineCommand(engine, source.mid(1), arguments, output)});
        runProgram("/bin/sh", {"-c", openFolderCommand(folder)});
        runProgram("/bin/sh", {"-c", playerCommand(source)});
        qputenv("HOME", QFile::encodeName(folder));
        runProgram("/bin/sh", {"-c", openJobScriptCommand()});
        const QList<QByteArrayList> calls = exactRecordedCalls(record);
        QCOMPARE(calls.size(), 4);
        const QByteArrayList &call = calls.first(), words = arguments.toUtf8().simplified().split(' ');
        QCOMPARE(call.value(call.indexOf("-i") + 1), QFile::encodeName(source));
        QCOMPARE(call.mid(call.size() - 1 - words.size()), words + QByteArrayList{QFile::encodeName(output)});
        QCOMPARE(calls.mid(1), QList<QByteArrayList>({{QFile::encodeName(folder)}, {QFile::encodeName(source)},
                                                       {QFile::encodeName(folder + "/Desktop/log_file.txt")}}));
        // Nothing appeared beside the sources, the destination and the sandbox's own folders.
        QCOMPARE(entries(m_root), QStringList({"bin", "home", "out", "src", "VeltroanBatchConverter.app"}));
        QCOMPARE(entries(m_root + "/out"), QStringList{"footage"});
    }

    // One set of names through a run: no claimed name is a source or an earlier claim,
    // however the path is spelled.
    void claimedNamesMeetNoSourceAndNoEarlierOutput()
    {
        Sandbox sandbox;
        enter(sandbox);
        QVERIFY(touchFile(m_root + "/src/A.mov") && QFile::link(m_root + "/src", m_root + "/link"));
        OutputNames names({m_root + "/src/A.mov"});
        const QList<QPair<QString, QString>> claims = {
            {"/out/A.MOV", "/out/A.MOV"},     {"/out/A.MOV", "/out/A_2.MOV"},       {"/out/A.MOV", "/out/A_3.MOV"},
            {"/src/A.mov", "/src/A_2.mov"},   {"/src//./A.mov", "/src//./A_3.mov"}, {"/link/A.mov", "/link/A_4.mov"},
            {"/out/README", "/out/README"},   {"/out/README", "/out/README_2"},     {"/out/a.tar.gz", "/out/a.tar.gz"},
            {"/out/.hidden", "/out/.hidden"}, {"/out/.hidden", "/out/.hidden_2"},   {"/out/a.tar.gz", "/out/a.tar_2.gz"},
            {"/a.b/c", "/a.b/c"},             {"/a.b/c", "/a.b/c_2"},
        };
        for (const auto &[candidate, claimed] : claims)
            QCOMPARE(names.claim(m_root + candidate), m_root + claimed);
    }
};

QTEST_GUILESS_MAIN(TestPaths)
#include "tst_paths.moc"
