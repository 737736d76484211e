#include "core/base/pathhelpers.h"
#include "core/shell/commands.h"
#include "core/jobs/uniqueoutputnames.h"
#include "core/jobs/outputpath.h"
#include "core/jobs/jobmodel.h"
#include "core/presets/presetfile.h"
#include "core/media/settingscatalogue.h"
#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>

namespace {
QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}
} // namespace

class TestPaths final : public QObject
{
    Q_OBJECT

    QString m_root; // the sandbox, standing for "/" in paths written "@/..."
    void enter(const Sandbox &sandbox) { m_root = QDir(sandbox.path()).canonicalPath(); }
    QString at(QString path) const { return path.replace(QLatin1Char('@'), m_root); }

private slots:
    // Each name is a source folder, the source's file name, the engine's folder and HOME; "pwn"
    // records its calls like the programs. The arguments are a preset's: the preset dialog refuses
    // an open quote, but an older presets file may still hold one.
    void namesAndArgumentsReachEveryProgramExactly_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QByteArrayList>("words");
        const QString dnx = Settings::argumentsFor({Settings::Dnxhd, "1080p/25 120", {}, {}});
        const auto name = [&](const char *tag, const QString &name) {
            QTest::newRow(tag) << name << dnx << dnx.toUtf8().simplified().split(' ');
        };
        name("quotes and backslashes", "it's \"best\" ..\\..\\x\\\"; pwn; \"\\");
        name("substitutions", "$(pwn) `pwn` $HOME ${PATH}");
        name("operators", "x; pwn && pwn | pwn >pwn");
        name("newline", "line\nbreak; pwn");
        name("globs and marks", "*[ab]?|");
        name("dot dot once the marks go", "..*|");
        name("blanks at both ends", "  two  blanks  ");
        name("non-Latin", "日本語 Привет ñ");
        const auto arguments = [](const char *tag, const QString &arguments, const QByteArrayList &words) {
            QTest::newRow(tag) << "clip" << arguments << words;
        };
        arguments("quote left open", "-metadata title='My", {"-metadata title='My"});
        arguments("open quote, then a command", "-an \"; pwn", {"-an \"; pwn"});
        arguments("NUL", "-an" + QString(QChar(0)) + " -vn", {"-an", "-vn"});
        arguments("blank", "  ", {});
        arguments("operators are letters", "-an; pwn && $(pwn)", {"-an;", "pwn", "&&", "$(pwn)"});
        arguments("quoted value", "-metadata title=\"a b\"", {"-metadata", "title=a b"});
    }

    void namesAndArgumentsReachEveryProgramExactly()
    {
        QFETCH(QString, name);
        QFETCH(QString, arguments);
        QFETCH(QByteArrayList, words);
        Sandbox sandbox;
        enter(sandbox);
        const QString folder = m_root + "/src/footage/" + name, source = folder + '/' + name + ".mov";
        const QString engine = folder + "/ffmpeg", record = sandbox.bin() + "/calls";
        QVERIFY(touchFile(source));
        for (const QString &program : {engine, sandbox.bin() + "/pwn", sandbox.bin() + "/open",
                                       sandbox.bundle() + "/ffplay"})
            QVERIFY(writeRecordingProgram(program, record));

        QStringList sources{"file://" + m_root + "/src/footage"};
        QString destination = m_root + "/out";
        const QString output = makeOutputPath(sources, destination, source, "MOV");
        QVERIFY2(QDir::cleanPath(output).startsWith(m_root + "/out/footage/"), qPrintable(output));
        QVERIFY(QFileInfo(QFileInfo(output).path()).isDir());

        runProgram("/bin/sh", {"-c", engineCommand(Engine{engine}, source, arguments, output)});
        runProgram("/bin/sh", {"-c", openFolderCommand(folder)});
        runProgram("/bin/sh", {"-c", playerCommand(source)});
        qputenv("HOME", QFile::encodeName(folder));
        runProgram("/bin/sh", {"-c", openJobScriptCommand()});
        const auto one = [](const QString &path) { return QByteArrayList{QFile::encodeName(path)}; };
        const QByteArrayList input{"-i", QFile::encodeName(source), "-y", "-map_metadata", "0"};
        QCOMPARE(exactRecordedCalls(record),
                 QList<QByteArrayList>({input + words + one(output), one(folder), one(source),
                                        one(folder + "/Desktop/log_file.txt")}));
        // Nothing appeared beside the sources, the destination and the sandbox's own folders.
        QCOMPARE(entries(m_root), QStringList({"bin", "home", "out", "src", "VeltroanBatchConverter.app"}));
        QCOMPARE(entries(m_root + "/out"), QStringList{"footage"});
    }

    // Paths written "@/...": the source entries, the destination, the file (created unless it
    // is "gone"), the extension and the output. Only a mirrored folder is created.
    void outputNamesMirrorTheSourceFolder_data()
    {
        QTest::addColumn<QStringList>("sources");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("output");
        const QStringList ann{"file://@/Users/ann/footage", "@/Users/ann/Desktop/x.avi"};
        const auto row = [&](const char *tag, const QString &file, const QString &extension,
                             const QString &output, const QStringList &sources = {},
                             const QString &destination = "@/Volumes/out") {
            QTest::newRow(tag) << (sources.isEmpty() ? ann : sources) << destination
                               << "@/Users/ann/" + file << extension << destination + '/' + output;
        };
        row("worked example: day folder", "footage/day1/A001.mov", "MOV", "footage/day1/A001.MOV");
        row("worked example: preset mark", "footage/B002.MXF", "mp4|", "footage/B002.mp4");
        row("worked example: file entry", "Desktop/x.avi", "avi", "x.avi");
        row("first matching entry wins", "footage/day1/A.mov", "MOV", "ann/footage/day1/A.MOV",
            {"@/Users/ann/", "@/Users/ann/footage/"});
        row("field marks leave path and folder", "footage/t|1*/A|*.mov", "MOV", "footage/t1/A.MOV");
        row("folder missing", "footage/gone/C.mov", "MOV", "C.MOV");
        row("entry found inside the folder's path", "footage/day1/A.mov", "MOV", "A.MOV", {"/ann/footage"});
        row("entry inside the folder's path passed over", "footage/day1/A.mov", "MOV",
            "Users/ann/footage/day1/A.MOV", {"/ann/footage", "@/Users"});
        // Its marks and backslashes are letters of the chosen folder's name.
        row("destination as named", "footage/c.mov", "MOV", "footage/c.MOV", {}, "@/out | a*b\\c");
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
        QVERIFY(file.contains("/gone/") || touchFile(at(file)));
        file = at(file);
        const QStringList before = entries(m_root);
        for (QString &source : sources)
            source = at(source);
        destination = at(destination);
        QCOMPARE(makeOutputPath(sources, destination, file, extension), at(output));
        QVERIFY(mirrored ? QFileInfo(QFileInfo(at(output)).path()).isDir() : entries(m_root) == before);
    }

    // A marker is read back from its entry whatever the path and a preset hold; only a
    // preset's marker gives the output another extension than the catalogue's own.
    void jobEntriesGiveBackTheirPathAndMarker()
    {
        const QList<QStringList> cases = { // path, marker (none: unassigned), preset's extension
            {"/s/a.mov", "", ""}, {"s/a.mov", Settings::DvPal, ""}, {"/s/a|b*c.mts", Settings::Rewrap, ""},
            {"/x/|*a*b*c.mov", Settings::CopyOnly, ""}, {"/s/a*b*c*d.mov", presetLine("p", "-b 5M", "mp4"), "mp4"},
            {"/s/a|b.wav", presetLine("p", "-af pan=stereo|c0=c0", "wav"), "wav"}};
        for (const QStringList &c : cases) {
            const QString entry = c[1].isEmpty() ? c[0] : JobModel::assigned(c[0], c[1]);
            QCOMPARE(JobModel::isAssigned(entry), !c[1].isEmpty());
            QCOMPARE(JobModel::split(entry).path, c[0]);
            QCOMPARE(JobModel::split(entry).marker, c[1]);
            QCOMPARE(JobModel::outputExtension(c[1]), c[2].isEmpty() ? Settings::outputExtension({}) : c[2]);
        }
    }

    // No claimed name is a source or an earlier claim, however the path is spelled, and none is
    // too long for the disk.
    void claimedNamesMeetNoSourceAndNoEarlierOutput()
    {
        Sandbox sandbox;
        enter(sandbox);
        QVERIFY(touchFile(m_root + "/src/A.mov") && QFile::link(m_root + "/src", m_root + "/link"));
        OutputNames names({m_root + "/src/A.mov"});
        const QString stem = QString(125, QChar(0xe9)) + 'x'; // 251 bytes: a name at the limit
        const QList<QPair<QString, QString>> claims = {
            {"/o/" + stem + "y.MOV", "/o/" + stem + ".MOV"}, {"/o/" + stem + ".MOV", "/o/" + stem.left(124) + "_2.MOV"},
            {"/out/A.MOV", "/out/A.MOV"},         {"/out/A.MOV", "/out/A_2.MOV"},
            {"/src//./A.mov", "/src//./A_2.mov"}, {"/link/A.mov", "/link/A_3.mov"},
            {"/out/.hidden", "/out/.hidden"},     {"/out/.hidden", "/out/.hidden_2"},
            {"/out/a.tar.gz", "/out/a.tar.gz"},   {"/out/a.tar.gz", "/out/a.tar_2.gz"},
            {"/a.b/c", "/a.b/c"},                 {"/a.b/c", "/a.b/c_2"},
        };
        for (const auto &[candidate, claimed] : claims)
            QCOMPARE(names.claim(m_root + candidate), m_root + claimed);
    }
};

QTEST_GUILESS_MAIN(TestPaths)
#include "tst_paths.moc"
