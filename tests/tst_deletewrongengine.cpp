#include "engine/deletewrongengine.h"
#include "engine/enginefolder.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace {

void cleanUp()
{
    deletewrongengine().procesiraj();
}

} // namespace

class TestDeleteWrongEngine final : public QObject
{
    Q_OBJECT

private slots:
    void enginesFolderIsInTheBundleOfTheWorkingFolder()
    {
        Sandbox sandbox;
        QCOMPARE(enginesFolder(), QDir::currentPath() + "/VeltroanBatchConverter.app/engines/");
        QCOMPARE(QDir(enginesFolder()).canonicalPath(), QDir(sandbox.engines()).canonicalPath());
    }

    // Files of at least 3,000,000 bytes and smaller programs stay; the rest is deleted.
    void cleanupKeepsOnlyLargeFilesAndPrograms_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("kept");
        const QByteArray padding(4000, '\x01');
        QTest::newRow("2999999 bytes") << "ffmpeg" << QByteArray(2999999, '\0') << false;
        QTest::newRow("3000000 bytes") << "ffmpeg" << QByteArray(3000000, '\0') << true;
        QTest::newRow("ten-byte text") << "notes.txt" << QByteArray("0123456789") << false;
        QTest::newRow("empty") << "ffmpeg" << QByteArray() << false;
        QTest::newRow("html error page")
            << "ffmpeg" << QByteArray("<!DOCTYPE html><html><body>404 Not Found</body></html>\n")
            << false;
        QTest::newRow("one byte of a magic") << "sox" << QByteArray("\x7F") << false;
        QTest::newRow("half a shebang") << "sox" << QByteArray("#") << false;
        QTest::newRow("magic not at the start") << "sox" << QByteArray(" \x7F" "ELF") << false;
        const QList<QByteArray> magics = {"\x7F" "ELF", "\xFE\xED\xFA\xCE", "\xFE\xED\xFA\xCF",
                                          "\xCE\xFA\xED\xFE", "\xCF\xFA\xED\xFE",
                                          "\xCA\xFE\xBA\xBE", "#!"};
        for (const QByteArray &magic : magics) {
            // The bare magic is enough; no padding needed.
            QTest::addRow("program %s", magic.toHex().constData()) << "ffmpeg" << magic << true;
            QTest::addRow("padded program %s", magic.toHex().constData())
                << "ffmpeg" << magic + padding << true;
        }
    }

    void cleanupKeepsOnlyLargeFilesAndPrograms()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(bool, kept);
        Sandbox sandbox;
        const QString file = sandbox.engines() + '/' + name;
        QVERIFY(writeFile(file, content));
        if (content.size() < 4100)
            QCOMPARE(looksLikeProgram(file), kept);
        cleanUp();
        QCOMPARE(QDir(sandbox.engines()).entryList(QDir::Files),
                 kept ? QStringList{name} : QStringList());
        if (kept)
            QCOMPARE(readFile(file), content);
    }

    void linksAreJudgedByTheirTarget()
    {
        Sandbox sandbox;
        const QString program = QFileInfo(QStringLiteral("/usr/bin/env")).canonicalFilePath();
        QVERIFY(QFileInfo(program).size() < MinimumEngineSize);
        QVERIFY(QFile::link(program, sandbox.engines() + "/ffmpeg"));
        const QString bigData = sandbox.path() + "/big.bin";
        QVERIFY(writeFile(bigData, QByteArray(3000000, '\0')));
        QVERIFY(QFile::link(bigData, sandbox.engines() + "/big"));
        const QString smallData = sandbox.path() + "/small.txt";
        QVERIFY(writeFile(smallData, "not a program"));
        QVERIFY(QFile::link(smallData, sandbox.engines() + "/small"));
        QVERIFY(QFile::link(sandbox.path() + "/uninstalled", sandbox.engines() + "/dangling"));

        cleanUp();
        QCOMPARE(QDir(sandbox.engines()).entryList(QDir::AllEntries | QDir::System
                                                   | QDir::NoDotAndDotDot),
                 QStringList({"big", "ffmpeg"}));
        // A link goes, the file it pointed at stays.
        QVERIFY(QFileInfo::exists(smallData));
        QVERIFY(QFileInfo::exists(program));
    }

    void hiddenFilesFoldersAndAMissingFolderAreLeftAlone()
    {
        Sandbox sandbox;
        const QString hidden = sandbox.engines() + "/.DS_Store";
        QVERIFY(writeFile(hidden, "tiny"));
        QVERIFY(QDir().mkpath(sandbox.engines() + "/old"));
        QVERIFY(writeFile(sandbox.engines() + "/old/leftover", "tiny"));
        cleanUp();
        QCOMPARE(readFile(hidden), QByteArray("tiny"));
        QCOMPARE(readFile(sandbox.engines() + "/old/leftover"), QByteArray("tiny"));

        QVERIFY(QDir(sandbox.engines()).removeRecursively());
        cleanUp();
        QVERIFY(!QFileInfo::exists(sandbox.engines()));
        QVERIFY(QFileInfo(sandbox.bundle()).isDir());
    }
};

QTEST_GUILESS_MAIN(TestDeleteWrongEngine)
#include "tst_deletewrongengine.moc"
