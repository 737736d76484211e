#include "convert/checksums.h"
#include "convert/filecopy.h"
#include "convert/jobscript.h"
#include "engine/deletewrongengine.h"
#include "engine/engineinstaller.h"
#include "presets/presetfile.h"
#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>
#include <fcntl.h>
#include <pwd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
QByteArray pattern(int size)
{
    return QByteArray("Every byte of 41 counts, at odd offsets.\n").repeated(size / 41 + 1).left(size);
}

QStringList everything(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}
} // namespace

// Every test runs in a Sandbox: its own working folder, HOME and engines folder.
class TestFiles final : public QObject
{
    Q_OBJECT

private slots:
    // The source is sub/clip; "old" holds a longer file, "link" and "hard" name the source.
    void copiesExactlyAndNeverOntoItself_data()
    {
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("size");
        QTest::newRow("empty") << "copy" << 0;
        QTest::newRow("one buffer") << "copy" << 16000;
        QTest::newRow("one buffer and a byte") << "copy" << 16001;
        QTest::newRow("longer destination is cut") << "old" << 16001;
        QTest::newRow("same text") << "sub/clip" << 40000;
        QTest::newRow("doubled slash") << "sub//clip" << 40000;
        QTest::newRow("dot dot") << "sub/../sub/clip" << 40000;
        QTest::newRow("symbolic link") << "link" << 40000;
        QTest::newRow("hard link") << "hard" << 40000;
    }

    void copiesExactlyAndNeverOntoItself()
    {
        QFETCH(QString, to);
        QFETCH(int, size);
        Sandbox sandbox;
        QVERIFY(touchFile("sub/clip", pattern(size)) && writeFile("old", QByteArray(50000, 'x')));
        QVERIFY(QFile::link("sub/clip", "link") && ::link("sub/clip", "hard") == 0);
        std::atomic<qint64> copied = 0;
        CopyControl control{nullptr, &copied, {}};
        QVERIFY(copyFile("sub/clip", to, false, &control) && SRCopyFile2(to, "sub/clip"));
        QVERIFY(readFile(to) == pattern(size) && readFile("sub/clip") == pattern(size) && QFileInfo("link").isSymLink());
        QCOMPARE(copied.load(), to == "copy" || to == "old" ? size : 0);
        // The same text twice opens nothing, even for a file that does not exist.
        QVERIFY(SRCopyFile2("none", "none") && !QFileInfo::exists("none"));
    }

    // "*" first: a destination holding "keep" is there before the copy.
    void failedCopyCreatesAndEmptiesNothing_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::newRow("missing source") << "missing" << "copy";
        QTest::newRow("missing source, destination there") << "missing" << "*copy";
        QTest::newRow("folder as source") << "folder" << "copy";
        QTest::newRow("destination folder missing") << "source" << "no/such/copy";
        QTest::newRow("full device") << "source" << "/dev/full";
    }

    void failedCopyCreatesAndEmptiesNothing()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        Sandbox sandbox;
        QVERIFY(writeFile("source", pattern(40000)) && QDir().mkdir("folder"));
        if (to.startsWith('*'))
            QVERIFY(writeFile(to.remove(0, 1), "keep"));
        const QStringList before = everything(".");
        CopyControl control;
        QVERIFY(!copyFile(from, to, false, &control));
        QVERIFY2(!control.error.isEmpty(), "the copy tells why it failed");
        QCOMPARE(everything("."), before);
        QVERIFY(readFile("source") == pattern(40000) && (!before.contains(to) || readFile(to) == "keep"));
    }

    // Into a pipe the kernel cannot copy: the buffered loop works, and a copy that the reader
    // cancels at its first bytes cannot have finished, since the pipe only empties as it reads.
    void copiesThroughItsBufferUntilCancelled_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("cancelled");
        QTest::newRow("one buffer and a byte") << 16001 << false;
        QTest::newRow("cancelled") << (1 << 20) << true;
    }

    void copiesThroughItsBufferUntilCancelled()
    {
        QFETCH(int, size);
        QFETCH(bool, cancelled);
        Sandbox sandbox;
        QVERIFY(writeFile("source", pattern(size)) && mkfifo("pipe", 0600) == 0);
        std::atomic<bool> cancel = false;
        std::atomic<qint64> copied = 0;
        CopyControl control{&cancel, &copied, {}};
        QByteArray received;
        std::thread reader([&] {
            QFile pipe("pipe");
            pipe.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
            for (QByteArray got; !(got = pipe.read(4096)).isEmpty(); received += got)
                cancel = cancelled;
        });
        const bool complete = copyFile("source", "pipe", false, &control);
        reader.join();
        QCOMPARE(complete, !cancelled);
        QVERIFY(received == pattern(cancelled ? received.size() : size) && received.size() < (1 << 20));
        QCOMPARE(copied.load(), received.size());
    }

    void copyFileTimesGivesTheSourcesTimes()
    {
        Sandbox sandbox;
        QVERIFY(writeFile("source", "a") && writeFile("copy", "a"));
        const timespec past[2] = {{1000000000, 123456789}, {1100000000, 987654321}};
        QCOMPARE(utimensat(AT_FDCWD, "source", past, 0), 0);
        QVERIFY(copyFileTimes("source", "copy"));
        struct stat copy {};
        QVERIFY(stat("copy", &copy) == 0 && copy.st_atim.tv_sec == past[0].tv_sec);
        QVERIFY(copy.st_mtim.tv_sec == past[1].tv_sec && copy.st_mtim.tv_nsec == past[1].tv_nsec);
        QVERIFY(!copyFileTimes("missing", "copy") && !copyFileTimes("source", "missing") && !QFileInfo::exists("missing"));
    }

    // How the installation goes: "write", "copy" (from a file), "abandon" (after writing),
    // "copy missing", "commit" (without opening). Only a complete one replaces the engine.
    void engineInstallIsAllOrNothing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QByteArray>("engine");
        for (const char *how : {"write", "copy"})
            QTest::newRow(how) << how << QByteArray("new engine");
        for (const char *how : {"abandon", "copy missing", "commit"})
            QTest::newRow(how) << how << QByteArray("old engine");
    }

    void engineInstallIsAllOrNothing()
    {
        QFETCH(QString, how);
        QFETCH(QByteArray, engine);
        Sandbox sandbox;
        const QString target = sandbox.engines() + "/ffmpeg";
        QVERIFY(writeFile(target, "old engine") && writeFile("new", "new engine"));
        // The engine's name may only ever be moved onto, never removed, created or written.
        const int watch = inotify_init1(IN_NONBLOCK);
        QVERIFY(inotify_add_watch(watch, QFile::encodeName(sandbox.engines()).constData(),
                                  IN_CREATE | IN_DELETE | IN_MODIFY | IN_MOVED_FROM | IN_MOVED_TO) >= 0);
        {
            EngineInstaller installer(target);
            QVERIFY(how == "commit" || installer.open());
            if (how == "write" || how == "abandon")
                QVERIFY(installer.write("new ") && installer.write("engine"));
            if (how.startsWith("copy"))
                QCOMPARE(installer.copyFrom(how == "copy" ? "new" : "missing"), how == "copy");
            const bool committed = how != "abandon" && installer.commit();
            QCOMPARE(committed, how != "abandon" && installer.errorString().isEmpty());
        }
        alignas(inotify_event) char events[4096];
        const ssize_t size = read(watch, events, sizeof events);
        QStringList happened;
        for (ssize_t at = 0; at < size; at += sizeof(inotify_event) + reinterpret_cast<inotify_event *>(events + at)->len) {
            const auto *event = reinterpret_cast<inotify_event *>(events + at);
            if (qstrcmp(event->name, "ffmpeg") == 0)
                happened << (event->mask == IN_MOVED_TO ? "moved in" : "touched");
        }
        close(watch);
        QCOMPARE(happened, engine == "old engine" ? QStringList() : QStringList{"moved in"});
        QCOMPARE(readFile(target), engine);
        QCOMPARE(everything(sandbox.engines()), QStringList{"ffmpeg"});
        struct stat installed {};
        QVERIFY(stat(QFile::encodeName(target).constData(), &installed) == 0);
        QVERIFY((installed.st_mode & 07777) == 0755 || engine == "old engine");
    }

    // Kinds: "file", "folder" (holding a file of that content), "link" (to a file of that
    // content beside the engines folder; dangling when empty), "none" (no engines folder).
    void engineCleanupKeepsLargeFilesAndPrograms_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("kept");
        QTest::newRow("2999999 bytes") << "file" << "ffmpeg" << QByteArray(2999999, '\0') << false;
        QTest::newRow("3000000 bytes") << "file" << "ffmpeg" << QByteArray(3000000, '\0') << true;
        QTest::newRow("ten-byte text") << "file" << "notes.txt" << QByteArray("0123456789") << false;
        QTest::newRow("empty") << "file" << "ffmpeg" << QByteArray() << false;
        QTest::newRow("one byte of a magic") << "file" << "sox" << QByteArray("\x7F") << false;
        QTest::newRow("magic not at the start") << "file" << "sox" << QByteArray(" \x7F" "ELF") << false;
        for (const char *magic : {"\x7F" "ELF", "\xFE\xED\xFA\xCE", "\xFE\xED\xFA\xCF", "\xCE\xFA\xED\xFE",
                                  "\xCF\xFA\xED\xFE", "\xCA\xFE\xBA\xBE", "#!/bin/sh\n"})
            QTest::addRow("program %s", QByteArray(magic).toHex().data()) << "file" << "ffmpeg" << QByteArray(magic) << true;
        QTest::newRow("hidden file") << "file" << ".DS_Store" << QByteArray("tiny") << true;
        QTest::newRow("folder") << "folder" << "old" << QByteArray("tiny") << true;
        QTest::newRow("link to a small program") << "link" << "ffmpeg" << QByteArray("\x7F" "ELF") << true;
        QTest::newRow("link to a large file") << "link" << "big" << QByteArray(3000000, '\0') << true;
        QTest::newRow("link to a small file") << "link" << "small" << QByteArray("text") << false;
        QTest::newRow("dangling link") << "link" << "gone" << QByteArray() << false;
        QTest::newRow("no engines folder") << "none" << "" << QByteArray() << false;
    }

    void engineCleanupKeepsLargeFilesAndPrograms()
    {
        QFETCH(QString, kind);
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(bool, kept);
        Sandbox sandbox;
        const QString entry = sandbox.engines() + '/' + name, target = sandbox.path() + "/target";
        QVERIFY(kind != "file" || writeFile(entry, content));
        QVERIFY(kind != "folder" || (QDir().mkdir(entry) && writeFile(entry + "/leftover", content)));
        QVERIFY(kind != "link" || (QFile::link(target, entry) && (content.isEmpty() || writeFile(target, content))));
        QVERIFY(kind != "none" || QDir(sandbox.engines()).removeRecursively());
        deletewrongengine().procesiraj();
        QCOMPARE(everything(sandbox.engines()), kept ? QStringList{name} : QStringList());
        QVERIFY(!kept || readFile(kind == "folder" ? entry + "/leftover" : entry) == content);
        QCOMPARE(QFileInfo::exists(target), !content.isEmpty() && kind == "link"); // a link's target stays
        QCOMPARE(QFileInfo::exists(sandbox.engines()), kind != "none");
    }

    void jobScriptMarksEveryEntryAndBatchFileHoldsOneCommandALine()
    {
        Sandbox sandbox;
        QCOMPARE(jobScriptPath(), sandbox.jobScript());
        deletejobfile(); // a missing file is no error
        logthis3("old run");
        deletejobfile();
        QVERIFY(!QFile::exists(sandbox.jobScript()));
        for (const QString &entry : {QStringLiteral("ffmpeg -i \"/a.mov\""), QStringLiteral("two\nlines"), QString(),
                                     QStringLiteral("/Видео/日本.mov")})
            logthis3(entry);
        const QByteArray bom = "\xEF\xBB\xBF";
        QCOMPARE(readFile(sandbox.jobScript()), "# Start of the file:\n" + bom + "ffmpeg -i \"/a.mov\"\n" + bom + "two\nlines\n"
                                                    + bom + "\n" + bom + QStringLiteral("/Видео/日本.mov\n").toUtf8());

        // Beside it: the commands of the last run, one a line, and their engines' messages.
        QCOMPARE(batchFilePath(), sandbox.home() + "/Desktop/batch_file.txt");
        QVERIFY(writeBatchFile({"ffmpeg -i \"/a b.mov\"", "ffmpeg -i \"/two\nlines.mov\"", "ffmpeg -i \"/日本.mov\""}));
        QCOMPARE(readFile(batchFilePath()), QStringLiteral("ffmpeg -i \"/a b.mov\"\nffmpeg -i \"/日本.mov\"\n").toUtf8());
        QVERIFY(writeBatchFile({"second run"}));
        QCOMPARE(readFile(batchFilePath()), QByteArray("second run\n"));

        QCOMPARE(engineLogPath(), sandbox.home() + "/Desktop/log_file_engines.txt");
        QVERIFY(writeFile(engineLogPath(), "last run"));
        startEngineLog();
        appendEngineLog("ffmpeg one", "frame=1\rdone\n");
        appendEngineLog("ffmpeg two", "no line feed");
        QCOMPARE(readFile(engineLogPath()), QByteArray("$ ffmpeg one\nframe=1\rdone\n$ ffmpeg two\nno line feed\n"));
    }

    void missingDesktopTakesNoEntryAndUnsetHomeFallsBackToTheUsersHome()
    {
        Sandbox sandbox;
        QVERIFY(QDir(sandbox.home() + "/Desktop").removeRecursively());
        logthis3("lost entry");
        QVERIFY(!writeBatchFile({"lost command"}));
        startEngineLog();
        appendEngineLog("lost command", "lost message");
        QCOMPARE(everything(sandbox.home()), QStringList());
        // Only paths from here on: nothing may be written into the real home.
        const passwd *user = getpwuid(getuid());
        const QString expected = (user ? QFile::decodeName(user->pw_dir) : QString()) + "/Desktop/log_file.txt";
        qunsetenv("HOME");
        QCOMPARE(jobScriptPath(), expected);
        qputenv("HOME", QByteArray());
        QCOMPARE(jobScriptPath(), expected);
    }

    // Saved as the form saves them: Latin-1, "?" for what it cannot hold. "-": no presets
    // file; "!": no bundle folder either.
    void presetsAreAppendedAndLoadedBack_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QStringList>("saved");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QStringList>("loaded");
        QTest::newRow("first preset makes the file") << QByteArray("-") << QStringList{"*DNX36*-b 36M*MOV"}
            << QByteArray("*DNX36*-b 36M*MOV\n") << QStringList{"*DNX36*-b 36M*MOV", ""};
        QTest::newRow("appended after the old ones") << QByteArray("*OLD*-an*MOV\n") << QStringList{"***"}
            << QByteArray("*OLD*-an*MOV\n***\n") << QStringList{"*OLD*-an*MOV", "***", ""};
        QTest::newRow("Latin-1 kept, others lost") << QByteArray() << QStringList{"*CAFÉ*né*MOV", "*ВИДЕО*-an*mp4"}
            << QByteArray("*CAF\xC9*n\xE9*MOV\n*?????*-an*mp4\n") << QStringList{"*CAFÉ*né*MOV", "*?????*-an*mp4", ""};
        QTest::newRow("no final line feed") << QByteArray("*A*-an*MOV\n*B*-vn*wav") << QStringList()
            << QByteArray("*A*-an*MOV\n*B*-vn*wav") << QStringList{"*A*-an*MOV", "*B*-vn*wav"};
        QTest::newRow("empty file") << QByteArray() << QStringList() << QByteArray() << QStringList{""};
        QTest::newRow("no bundle folder")
            << QByteArray("!") << QStringList{"*A*-an*MOV"} << QByteArray("!") << QStringList();
    }

    void presetsAreAppendedAndLoadedBack()
    {
        QFETCH(QByteArray, before);
        QFETCH(QStringList, saved);
        QFETCH(QByteArray, after);
        QFETCH(QStringList, loaded);
        Sandbox sandbox;
        QCOMPARE(presetsFilePath(), sandbox.bundle() + "/presets.txt");
        QVERIFY(before == "-" || (before == "!" ? QDir(sandbox.bundle()).removeRecursively()
                                                : writeFile(presetsFilePath(), before)));
        for (const QString &line : std::as_const(saved))
            savepreset(line.toLatin1().toStdString());
        QCOMPARE(QFileInfo::exists(presetsFilePath()) ? readFile(presetsFilePath()) : QByteArray("-"),
                 after == "!" ? "-" : after);
        QCOMPARE(QFileInfo::exists(sandbox.bundle()), after != "!");
        QCOMPARE(loadpresets(), loaded);
        QCOMPARE(presetLine("dnx36", " -vcodec dnxhd  -b 36M", "mov"), QStringLiteral("*DNX36* -vcodec dnxhd  -b 36M*mov"));
    }

    void checksumsAreWhatXxhsumPrintsAndAccepts()
    {
        Sandbox sandbox;
        for (int size : {0, 3, (1 << 20) + 1}) { // the last reads two buffers
            QVERIFY(writeFile("clip.mov", pattern(size)));
            const QByteArray printed = runProgram("xxhsum", {"-H2", "clip.mov"});
            std::atomic<qint64> read = 0;
            CopyControl control{nullptr, &read, {}};
            QCOMPARE(fileHash("clip.mov", &control), printed.left(printed.indexOf(' ')));
            QCOMPARE(read.load(), qint64(size));
            QVERIFY(fileHash("missing.mov", &control).isEmpty() && !control.error.isEmpty());
        }
        const QStringList names{"a.mov", " blanks at both ends.mov ", "sub dir/x\\y $z.mov", "日本.mov"};
        QList<QPair<QString, QByteArray>> files;
        for (const QString &name : names) {
            QVERIFY(touchFile("out/" + name, name.toUtf8()));
            files.append({name, fileHash("out/" + name)});
        }
        files.append({"line\nbreak.mov", QByteArray(32, '0')}); // cannot stand on a line: left out
        QString error;
        QVERIFY(recordChecksums("out", files, &error));
        QVERIFY(writeFile("out/a.mov", "copied again"));
        QVERIFY(recordChecksums("out", {{"a.mov", fileHash("out/a.mov")}}, &error));
        const QByteArrayList lines = readFile("out/" + ChecksumFileName).split('\n');
        QCOMPARE(lines.size(), names.size() + 1);
        QCOMPARE(lines.count(fileHash("out/a.mov") + "  a.mov"), 1);

        int status = -1;
        QVERIFY(QDir::setCurrent("out"));
        QCOMPARE(runProgram("xxhsum", {"-c", ChecksumFileName}, &status).count(": OK\n"), names.size());
        QCOMPARE(status, 0);
        QVERIFY(!recordChecksums(sandbox.path() + "/missing", files, &error) && !error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFiles)
#include "tst_files.moc"
