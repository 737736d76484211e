#include "core/files/checksums.h"
#include "core/files/filecopy.h"
#include "core/run/runfiles.h"
#include "core/engines/deletewrongengine.h"
#include "core/engines/engineinstaller.h"
#include "core/presets/presetfile.h"
#include "core/base/workingfolder.h"
#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <thread>
#include <unistd.h>

namespace {
QByteArray pattern(int size)
{
    return QByteArray("Every byte of 41 counts, at odd offsets.\n").repeated(size / 41 + 1).left(size);
}
} // namespace

// Every test runs in a Sandbox: its own working folder, HOME and engines folder.
class TestFiles final : public QObject
{
    Q_OBJECT

private slots:
    // "clip" and "empty" are sources; "old" holds a longer file, "link" and "hard" name "clip",
    // "keep" holds its own text.
    void copiesExactlyOrCreatesAndEmptiesNothing_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<bool>("copied");
        QTest::newRow("empty") << "empty" << "copy" << true;
        QTest::newRow("longer destination is cut") << "clip" << "old" << true;
        QTest::newRow("same file, symbolic link") << "clip" << "link" << true;
        QTest::newRow("same file, hard link") << "clip" << "hard" << true;
        QTest::newRow("missing source") << "missing" << "keep" << false;
        QTest::newRow("destination folder missing") << "clip" << "no/such/copy" << false;
        QTest::newRow("full device") << "clip" << "/dev/full" << false;
    }

    void copiesExactlyOrCreatesAndEmptiesNothing()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(bool, copied);
        Sandbox sandbox;
        QVERIFY(writeFile("clip", pattern(40000)) && writeFile("old", QByteArray(50000, 'x')));
        QVERIFY(writeFile("empty", {}) && writeFile("keep", "keep"));
        QVERIFY(QFile::link("clip", "link") && ::link("clip", "hard") == 0);
        const QStringList before = filesBelow(".");
        CopyControl control;
        QCOMPARE(copyFile(from, to, false, &control), copied);
        QVERIFY2(copied || !control.error.isEmpty(), "the copy tells why it failed");
        QStringList after = filesBelow(".");
        QCOMPARE(after.removeOne("copy"), to == "copy"); // the one new name, made by the copy to it
        QCOMPARE(after, before);
        QVERIFY(readFile("clip") == pattern(40000) && readFile("keep") == "keep");
        QVERIFY(QFileInfo("link").isSymLink() && (!copied || readFile(to) == readFile(from)));
    }

    // Into a pipe the kernel cannot copy: the buffered loop works. The reader cancels the copy
    // or removes its source at the first bytes, before the copy can have finished, since the
    // pipe only empties as it reads.
    void copiesThroughItsBufferUntilInterrupted_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("interruption");
        QTest::addColumn<QString>("reason");
        QTest::newRow("one buffer") << 16000 << "" << "";
        QTest::newRow("one buffer and a byte") << 16001 << "" << "";
        QTest::newRow("cancelled") << (1 << 20) << "cancel" << "";
        QTest::newRow("source removed") << (1 << 20) << "remove" << SourceLostText + ": " + systemMessage(ENOENT);
    }

    void copiesThroughItsBufferUntilInterrupted()
    {
        QFETCH(int, size);
        QFETCH(QString, interruption);
        QFETCH(QString, reason);
        Sandbox sandbox;
        QVERIFY(writeFile("source", pattern(size)) && mkfifo("pipe", 0600) == 0);
        std::atomic<bool> cancel = false;
        std::atomic<qint64> copied = 0;
        CopyControl control{&cancel, &copied, {}};
        QByteArray received;
        std::thread reader([&] {
            QFile pipe("pipe");
            pipe.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
            for (QByteArray got; !(got = pipe.read(4096)).isEmpty(); received += got) {
                cancel = interruption == "cancel";
                if (interruption == "remove")
                    QFile::remove("source");
            }
        });
        const bool complete = copyFile("source", "pipe", false, &control);
        reader.join();
        QCOMPARE(complete, interruption.isEmpty());
        QCOMPARE(control.error, reason);
        QVERIFY(received == pattern(received.size()));
        QCOMPARE(received.size() < size, interruption == "cancel");
        QCOMPARE(copied.load(), received.size());
    }

    // A copy counts only when its bytes read back like the source's; /dev/null takes every
    // byte and gives none back. "disk" is a small file system mounted for the test.
    void copyAndVerifySaysWhyACopyDoesNotCount_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("disk");
        QTest::addColumn<bool>("cancelled");
        QTest::addColumn<QString>("reason");
        const QString failed = "copy failed: ";
        QTest::newRow("copied") << "clip" << "copy" << "" << false << "";
        QTest::newRow("missing source") << "missing" << "copy" << "" << false << failed + systemMessage(ENOENT);
        QTest::newRow("bytes lost") << "clip" << "/dev/null" << "" << false << "the copy differs from its source";
        QTest::newRow("cancelled") << "clip" << "copy" << "" << true << failed;
        QTest::newRow("full device") << "clip" << "/dev/full" << "" << false << failed + systemMessage(ENOSPC);
        QTest::newRow("full disk") << "clip" << "disk/copy" << "size=1m" << false << failed + systemMessage(ENOSPC);
        QTest::newRow("read-only destination") << "clip" << "disk/copy" << "ro" << false
                                               << failed + DestinationReadOnlyText + ": " + systemMessage(EROFS);
        QTest::newRow("missing destination") << "clip" << "gone/copy" << "" << false
                                             << failed + DestinationMissingText + ": " + systemMessage(ENOENT);
    }

    void copyAndVerifySaysWhyACopyDoesNotCount()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, disk);
        QFETCH(bool, cancelled);
        QFETCH(QString, reason);
        Sandbox sandbox;
        QVERIFY(writeFile("clip", pattern(3 << 20)));
        int status = -1;
        if (!disk.isEmpty() && (!QDir().mkdir("disk") || (runProgram("mount", {"-t", "tmpfs", "-o", disk, "tmpfs", "disk"}, &status), status != 0)))
            QSKIP("no file system can be mounted here");
        const auto unmount = qScopeGuard([&] {
            if (!disk.isEmpty())
                runProgram("umount", {"disk"});
        });
        const std::atomic<bool> cancel = cancelled;
        CopyControl control{&cancel, nullptr, {}};
        QString why;
        const QByteArray hash = copyAndVerify(from, to, control, &why);
        QCOMPARE(why, reason);
        QCOMPARE(hash, reason.isEmpty() ? fileHash("clip") : QByteArray());
        QVERIFY(!reason.isEmpty() || readFile("copy") == pattern(3 << 20));
    }

    // The read-back that verifies a copy must read the disk: a finished copy has none of its
    // pages left in memory.
    void aCopyIsOnTheDiskAndNotInTheCache()
    {
        Sandbox sandbox;
        struct statfs where {};
        if (statfs(".", &where) != 0 || where.f_type == TMPFS_MAGIC)
            QSKIP("a file system in memory has nothing but its cache");
        QVERIFY(writeFile("clip", pattern(4 << 20)) && copyFile("clip", "copy", false));
        QFile copy("copy");
        QVERIFY(copy.open(QIODevice::ReadOnly));
        uchar *mapped = copy.map(0, copy.size());
        std::vector<unsigned char> resident(std::size_t(copy.size() / ::sysconf(_SC_PAGESIZE)));
        QVERIFY(mapped && ::mincore(mapped, std::size_t(copy.size()), resident.data()) == 0);
        QCOMPARE(std::count_if(resident.begin(), resident.end(), [](unsigned char page) { return page & 1; }), 0);
    }

    // Only a complete installation replaces the engine: in one step, with mode 0755.
    void engineInstallIsAllOrNothing()
    {
        Sandbox sandbox;
        const QString target = sandbox.engines() + "/ffmpeg";
        QVERIFY(writeFile(target, "old engine"));
        QVERIFY(::link(QFile::encodeName(target).constData(), "old") == 0); // the old engine's own file
        {
            EngineInstaller abandoned(target), failed(target), unopened(target);
            QVERIFY(abandoned.open() && abandoned.write("half an engine"));
            QVERIFY(failed.open() && !failed.copyFrom("missing") && !failed.commit() && !unopened.commit());
        }
        QCOMPARE(filesBelow(sandbox.engines()), QStringList{"ffmpeg"});
        EngineInstaller installer(target);
        QVERIFY(installer.open() && installer.write("new ") && installer.write("engine"));
        QCOMPARE(readFile(target), QByteArray("old engine"));
        QVERIFY(installer.commit());
        QCOMPARE(readFile(target), QByteArray("new engine"));
        QCOMPARE(readFile("old"), QByteArray("old engine")); // never written: the name moved
        QCOMPARE(filesBelow(sandbox.engines()), QStringList{"ffmpeg"});
        struct stat installed {};
        QVERIFY(stat(QFile::encodeName(target).constData(), &installed) == 0);
        QCOMPARE(installed.st_mode & 07777, 0755u);
        // A link at the engine's name is replaced, never written through, and stays until then.
        QVERIFY(QFile::remove(target) && QFile::link(sandbox.path() + "/old", target));
        EngineInstaller(target).open();
        QVERIFY(QFileInfo(target).isSymLink());
        QCOMPARE(filesBelow(sandbox.engines()), QStringList{"ffmpeg"});
        EngineInstaller overLink(target);
        QVERIFY(overLink.open() && overLink.write("new") && overLink.commit());
        QVERIFY(!QFileInfo(target).isSymLink() && readFile("old") == "old engine");
    }

    void engineCleanupKeepsLargeFilesAndPrograms()
    {
        Sandbox sandbox;
        const QString engines = sandbox.engines() + '/';
        QVERIFY(writeFile(engines + "notes.txt", QByteArray(MinimumEngineSize - 1, '\0')));
        QVERIFY(writeFile(engines + "ffmpeg", QByteArray(MinimumEngineSize, '\0')));
        QVERIFY(writeFile(engines + "elf", "\x7F" "ELF") && writeFile(engines + "script", "#!/bin/sh\n"));
        QVERIFY(writeFile(engines + ".DS_Store", "tiny")); // hidden: not looked at
        // Links to a large file and a small one beside the engines folder, and to nothing.
        QVERIFY(writeFile("large", QByteArray(MinimumEngineSize, '\0')) && writeFile("small", "text"));
        for (const char *target : {"large", "small", "gone"})
            QVERIFY(QFile::link(sandbox.path() + '/' + target, engines + "to-" + target));
        deletewrongengine().procesiraj();
        QCOMPARE(filesBelow(engines), QStringList({".DS_Store", "elf", "ffmpeg", "script", "to-large"}));
        QVERIFY(QFile::exists("small")); // a link's target stays
    }

    void jobScriptMarksEveryEntryAndMakesTheDesktop()
    {
        Sandbox sandbox;
        QCOMPARE(jobScriptPath(), sandbox.jobScript());
        logthis3("old run");
        deletejobfile();
        for (const QString &entry : {QStringLiteral("ffmpeg -i /a.mov"), QString(), QStringLiteral("/日本")})
            logthis3(entry);
        const QByteArray bom = "\xEF\xBB\xBF";
        QCOMPARE(readFile(sandbox.jobScript()), "# Start of the file:\n" + bom + "ffmpeg -i /a.mov\n" + bom
                                                    + "\n" + bom + QStringLiteral("/日本\n").toUtf8());
        // The batch file holds one command a line: a line break in a name would split one in two.
        QCOMPARE(writeBatchFile({"ffmpeg -i \"/a b.mov\"", "ffmpeg -i \"/x\nrm -rf ~ #.mov\""}), QString());
        QCOMPARE(readFile(batchFilePath()), QByteArray("ffmpeg -i \"/a b.mov\"\n"));

        // A missing Desktop folder is made; where none can be made, each file says why.
        QVERIFY(QDir(sandbox.home() + "/Desktop").removeRecursively());
        QCOMPARE(startEngineLog(), QString());
        QVERIFY(QFile::exists(engineLogPath()));
        QVERIFY(QDir(sandbox.home() + "/Desktop").removeRecursively() && writeFile(sandbox.home() + "/Desktop", {}));
        const QList<QPair<QString, QString>> lost{{writeBatchFile({"lost"}), batchFilePath()},
                                                  {startEngineLog(), engineLogPath()},
                                                  {appendEngineLog("lost", {}), engineLogPath()},
                                                  {jobScriptEntry("lost"), jobScriptPath()}};
        for (const auto &[said, path] : lost)
            QCOMPARE(said, DesktopFileNotWrittenText.arg(path, systemMessage(ENOTDIR)));
    }

    // UTF-8 lines, an older Latin-1 line read as Latin-1; a final line feed gives one more,
    // empty, line.
    void presetsAreAppendedAndLoadedBack()
    {
        Sandbox sandbox;
        QCOMPARE(presetsFilePath(), sandbox.bundle() + "/presets.txt");
        QCOMPARE(loadpresets(), QStringList());
        const QString made = presetLine("проба", "-metadata title='Проба'", "MOV");
        savepreset("***"); // the first preset makes the file
        savepreset(made.toStdString());
        QCOMPARE(loadpresets(), QStringList({"***", made, ""}));
        QCOMPARE(readFile(presetsFilePath()), "***\n" + made.toUtf8() + '\n');
        QVERIFY(writeFile(presetsFilePath(), "*\xC9*-an*MOV\n"));
        savepreset(made.toStdString());
        QCOMPARE(loadpresets(), QStringList({"*É*-an*MOV", made, ""}));
        // Saved by a Windows editor: a byte order mark before the first preset, and lines
        // ending in a carriage return that is not part of the extension.
        QVERIFY(writeFile(presetsFilePath(), "\xEF\xBB\xBF*A*-an*MOV\r\n*B*-vn*wav"));
        QCOMPARE(loadpresets(), QStringList({"*A*-an*MOV", "*B*-vn*wav"}));
        // Its last line has no line end: the next preset still starts a line of its own.
        savepreset(made.toStdString());
        QCOMPARE(loadpresets(), QStringList({"*A*-an*MOV", "*B*-vn*wav", made, ""}));
    }

    void checksumsAreAcceptedByXxhsum()
    {
        Sandbox sandbox;
        const QStringList names{"a.mov", "big.mov", " blanks at both ends.mov ", "x\\y $z.mov", "日/本.mov"};
        QList<QPair<QString, QByteArray>> files;
        for (const QString &name : names) {
            // The big one is read in two buffers.
            QVERIFY(touchFile("out/" + name, name == "big.mov" ? pattern((1 << 20) + 1) : name.toUtf8()));
            files.append({name, fileHash("out/" + name)});
        }
        files.append({"line\nbreak.mov", QByteArray(32, '0')}); // cannot stand on a line: left out
        QString error;
        QVERIFY(recordChecksums("out", files, &error));
        // A file copied again keeps one line: its new hash.
        QVERIFY(writeFile("out/a.mov", "copied again"));
        QVERIFY(recordChecksums("out", {{"a.mov", fileHash("out/a.mov")}}, &error));
        QCOMPARE(readFile("out/" + ChecksumFileName).count('\n'), names.size());
        int status = -1;
        QVERIFY(QDir::setCurrent("out"));
        QCOMPARE(runProgram("xxhsum", {"-c", ChecksumFileName}, &status).count(": OK\n"), names.size());
        QCOMPARE(status, 0);
    }
};

QTEST_GUILESS_MAIN(TestFiles)
#include "tst_files.moc"
