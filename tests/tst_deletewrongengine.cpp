#include "engine/deletewrongengine.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace {

QByteArray zeros(qint64 size)
{
    return QByteArray(size, '\0');
}

// The program's first bytes followed by padding, far below the engine size.
QByteArray smallProgram(const QByteArray &magic)
{
    return magic + QByteArray(4000, '\x01');
}

void cleanUp()
{
    deletewrongengine().procesiraj();
}

} // namespace

class TestDeleteWrongEngine final : public QObject
{
    Q_OBJECT

private slots:
    void enginesFolderIsInTheBundleOfTheWorkingFolder();
    void fileBelowTheMinimumSizeIsDeleted();
    void fileOfTheMinimumSizeIsKept();
    void smallFilesThatAreNoProgramAreDeleted_data();
    void smallFilesThatAreNoProgramAreDeleted();
    void smallProgramsAreKept_data();
    void smallProgramsAreKept();
    void linksAreJudgedByTheirTarget();
    void linkWithoutTargetIsDeleted();
    void hiddenFilesAndFoldersAreLeftAlone();
    void missingFolderIsHarmless();
    void cleanupTracesEachFileAndEachDeletion();
};

void TestDeleteWrongEngine::enginesFolderIsInTheBundleOfTheWorkingFolder()
{
    Sandbox sandbox;
    QCOMPARE(enginesFolder(), QDir::currentPath() + "/VeltroanBatchConverter.app/engines/");
    QCOMPARE(QDir(enginesFolder()).canonicalPath(), QDir(sandbox.engines()).canonicalPath());
}

void TestDeleteWrongEngine::fileBelowTheMinimumSizeIsDeleted()
{
    Sandbox sandbox;
    const QString file = sandbox.engines() + "/ffmpeg";
    QVERIFY(writeFile(file, zeros(2999999)));
    cleanUp();
    QVERIFY(!QFileInfo::exists(file));
}

void TestDeleteWrongEngine::fileOfTheMinimumSizeIsKept()
{
    Sandbox sandbox;
    const QString file = sandbox.engines() + "/ffmpeg";
    QVERIFY(writeFile(file, zeros(3000000)));
    cleanUp();
    QCOMPARE(QFileInfo(file).size(), qint64(3000000));
}

void TestDeleteWrongEngine::smallFilesThatAreNoProgramAreDeleted_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("ten-byte text") << "notes.txt" << QByteArray("0123456789");
    QTest::newRow("empty ffmpeg") << "ffmpeg" << QByteArray();
    QTest::newRow("html error page")
            << "ffmpeg" << QByteArray("<!DOCTYPE html><html><body>404 Not Found</body></html>\n");
    QTest::newRow("one byte of a magic") << "sox" << QByteArray("\x7F");
    QTest::newRow("half a shebang") << "sox" << QByteArray("#");
    QTest::newRow("magic not at the start") << "sox" << QByteArray(" \x7F" "ELF");
}

void TestDeleteWrongEngine::smallFilesThatAreNoProgramAreDeleted()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    Sandbox sandbox;
    const QString file = sandbox.engines() + '/' + name;
    QVERIFY(writeFile(file, content));
    QVERIFY(!looksLikeProgram(file));
    cleanUp();
    QVERIFY(!QFileInfo::exists(file));
    QVERIFY(QDir(sandbox.engines()).isEmpty());
}

void TestDeleteWrongEngine::smallProgramsAreKept_data()
{
    QTest::addColumn<QByteArray>("magic");
    QTest::newRow("elf") << QByteArray("\x7F" "ELF");
    QTest::newRow("mach-o 32") << QByteArray("\xFE\xED\xFA\xCE");
    QTest::newRow("mach-o 64") << QByteArray("\xFE\xED\xFA\xCF");
    QTest::newRow("mach-o 32 swapped") << QByteArray("\xCE\xFA\xED\xFE");
    QTest::newRow("mach-o 64 swapped") << QByteArray("\xCF\xFA\xED\xFE");
    QTest::newRow("universal") << QByteArray("\xCA\xFE\xBA\xBE");
    QTest::newRow("script") << QByteArray("#!/bin/sh\nexec /usr/bin/ffmpeg \"$@\"\n");
}

void TestDeleteWrongEngine::smallProgramsAreKept()
{
    QFETCH(QByteArray, magic);
    Sandbox sandbox;
    const QString file = sandbox.engines() + "/ffmpeg";
    QVERIFY(writeFile(file, smallProgram(magic)));
    QVERIFY(looksLikeProgram(file));
    cleanUp();
    QVERIFY(QFileInfo::exists(file));

    // The bare magic is enough; no padding needed.
    QVERIFY(writeFile(file, magic.left(magic.startsWith('#') ? 2 : 4)));
    cleanUp();
    QVERIFY(QFileInfo::exists(file));
}

void TestDeleteWrongEngine::linksAreJudgedByTheirTarget()
{
    Sandbox sandbox;
    const QString program = QFileInfo(QStringLiteral("/usr/bin/env")).canonicalFilePath();
    QVERIFY(QFileInfo(program).size() < MinimumEngineSize);
    const QString linkedProgram = sandbox.engines() + "/ffmpeg";
    QVERIFY(QFile::link(program, linkedProgram));

    const QString bigData = sandbox.path() + "/big.bin";
    QVERIFY(writeFile(bigData, zeros(3000000)));
    const QString linkedBig = sandbox.engines() + "/big";
    QVERIFY(QFile::link(bigData, linkedBig));

    const QString smallData = sandbox.path() + "/small.txt";
    QVERIFY(writeFile(smallData, "not a program"));
    const QString linkedSmall = sandbox.engines() + "/small";
    QVERIFY(QFile::link(smallData, linkedSmall));

    cleanUp();
    QVERIFY(QFileInfo(linkedProgram).isSymLink());
    QVERIFY(QFileInfo(linkedBig).isSymLink());
    // The link goes, the file it pointed at stays.
    QVERIFY(!QFileInfo(linkedSmall).isSymLink());
    QVERIFY(QFileInfo::exists(smallData));
    QVERIFY(QFileInfo::exists(program));
}

void TestDeleteWrongEngine::linkWithoutTargetIsDeleted()
{
    Sandbox sandbox;
    const QString link = sandbox.engines() + "/ffmpeg";
    QVERIFY(QFile::link(sandbox.path() + "/uninstalled", link));
    cleanUp();
    QVERIFY(!QFileInfo(link).isSymLink());
    QVERIFY(QDir(sandbox.engines()).isEmpty());
}

void TestDeleteWrongEngine::hiddenFilesAndFoldersAreLeftAlone()
{
    Sandbox sandbox;
    const QString hidden = sandbox.engines() + "/.DS_Store";
    QVERIFY(writeFile(hidden, "tiny"));
    const QString folder = sandbox.engines() + "/old";
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(writeFile(folder + "/leftover", "tiny"));

    cleanUp();
    QVERIFY(QFileInfo::exists(hidden));
    QVERIFY(QFileInfo(folder).isDir());
    QVERIFY(QFileInfo::exists(folder + "/leftover"));
}

void TestDeleteWrongEngine::missingFolderIsHarmless()
{
    Sandbox sandbox;
    QVERIFY(QDir(sandbox.engines()).removeRecursively());
    cleanUp();
    QVERIFY(!QFileInfo::exists(sandbox.engines()));
    QVERIFY(QFileInfo(sandbox.bundle()).isDir());
}

void TestDeleteWrongEngine::cleanupTracesEachFileAndEachDeletion()
{
    Sandbox sandbox;
    QVERIFY(writeFile(sandbox.engines() + "/b.txt", "0123456789"));
    QVERIFY(writeFile(sandbox.engines() + "/A", zeros(3000000)));
    QVERIFY(writeFile(sandbox.engines() + "/c", smallProgram("#!")));

    static QStringList traces;
    traces.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext &, const QString &message) {
                traces.append(message);
            });
    cleanUp();
    qInstallMessageHandler(previous);

    // By name, case-insensitive; a deleted file is traced twice, a kept one once.
    QCOMPARE(traces, QStringList({
            "application dir path + /VeltroanBatchConverter.app/engines/ \"" + enginesFolder() + "\"",
            "files in engines: \"A\"  size = 3000000",
            "files in engines: \"b.txt\"  size = 10",
            "files in engines: \"b.txt\"  size = 10",
            "files in engines: \"c\"  size = 4002",
    }));
    QCOMPARE(QDir(sandbox.engines()).entryList(QDir::Files), QStringList({"A", "c"}));
}

QTEST_GUILESS_MAIN(TestDeleteWrongEngine)
#include "tst_deletewrongengine.moc"
