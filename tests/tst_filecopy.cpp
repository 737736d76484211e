#include "convert/filecopy.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

namespace {
QStringList debugLines;

void collectDebug(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg)
        debugLines.append(message);
}

QByteArray pattern(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 251) & 0xff);
    return bytes;
}

// The markers written by one traced copy.
QStringList tracedCopy(const QString &from, const QString &to, bool *result)
{
    debugLines.clear();
    qInstallMessageHandler(collectDebug);
    *result = copyFile(from, to, true);
    qInstallMessageHandler(nullptr);
    return debugLines;
}
} // namespace

class FileCopyTest final : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void equalPathsOpenNothing();
    void copiesContentExactly_data();
    void copiesContentExactly();
    void longerDestinationIsTruncatedToTheSource();
    void missingSourceFailsWithoutCreatingTheDestination();
    void missingDestinationFolderFails();
    void copyOntoItselfLeavesFileUntouched_data();
    void copyOntoItselfLeavesFileUntouched();
    void fullDeviceMakesTheCopyFail();
    void tracedCopyWritesMarkersInOrder();

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }
};

void FileCopyTest::init()
{
    QVERIFY(m_dir.isValid());
    QDir dir(m_dir.path());
    for (const QString &name : dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System))
        QVERIFY(QFileInfo(dir.filePath(name)).isDir() ? QDir(dir.filePath(name)).removeRecursively()
                                                      : dir.remove(name));
}

void FileCopyTest::equalPathsOpenNothing()
{
    const QString missing = path(QStringLiteral("missing.mov"));
    QVERIFY(SRCopyFile2(missing, missing));
    QVERIFY(!QFileInfo::exists(missing));

    const QString clip = path(QStringLiteral("clip.mov"));
    QVERIFY(writeFile(clip, "footage"));
    QVERIFY(SRCopyFile2(clip, clip));
    QCOMPARE(readFile(clip), QByteArray("footage"));
}

void FileCopyTest::copiesContentExactly_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("empty") << 0;
    QTest::newRow("one byte") << 1;
    QTest::newRow("one buffer") << 16000;
    QTest::newRow("one buffer and a byte") << 16001;
    QTest::newRow("many buffers") << 16000 * 40 + 123;
}

void FileCopyTest::copiesContentExactly()
{
    QFETCH(int, size);
    const QByteArray content = pattern(size);
    const QString from = path(QStringLiteral("source.bin"));
    const QString to = path(QStringLiteral("copy.bin"));
    QVERIFY(writeFile(from, content));

    QVERIFY(SRCopyFile2(from, to));
    QVERIFY(QFileInfo(to).isFile());
    QCOMPARE(QFileInfo(to).size(), qint64(size));
    QVERIFY(readFile(to) == content);
    QVERIFY(readFile(from) == content);
}

void FileCopyTest::longerDestinationIsTruncatedToTheSource()
{
    const QString from = path(QStringLiteral("short.bin"));
    const QString to = path(QStringLiteral("long.bin"));
    QVERIFY(writeFile(from, pattern(16001)));
    QVERIFY(writeFile(to, QByteArray(50000, 'x')));

    QVERIFY(SRCopyFile2(from, to));
    QCOMPARE(QFileInfo(to).size(), qint64(16001));
    QVERIFY(readFile(to) == pattern(16001));
}

void FileCopyTest::missingSourceFailsWithoutCreatingTheDestination()
{
    const QString to = path(QStringLiteral("copy.bin"));
    QVERIFY(!SRCopyFile2(path(QStringLiteral("missing.bin")), to));
    QVERIFY(!QFileInfo::exists(to));

    // An existing destination is not emptied by a copy that cannot start.
    QVERIFY(writeFile(to, "keep me"));
    QVERIFY(!SRCopyFile2(path(QStringLiteral("missing.bin")), to));
    QCOMPARE(readFile(to), QByteArray("keep me"));

    // A folder cannot be read as a file either.
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder.mov")));
    QVERIFY(!SRCopyFile2(path(QStringLiteral("folder.mov")), path(QStringLiteral("other.bin"))));
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("other.bin"))));
}

void FileCopyTest::missingDestinationFolderFails()
{
    const QString from = path(QStringLiteral("source.bin"));
    QVERIFY(writeFile(from, "footage"));
    QVERIFY(!SRCopyFile2(from, path(QStringLiteral("no/such/folder/copy.bin"))));
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("no"))));
    QCOMPARE(readFile(from), QByteArray("footage"));
}

void FileCopyTest::copyOntoItselfLeavesFileUntouched_data()
{
    QTest::addColumn<QString>("otherSpelling");
    QTest::newRow("doubled slash") << "sub//clip.mov";
    QTest::newRow("dot dot") << "sub/../sub/clip.mov";
    QTest::newRow("dot") << "sub/./clip.mov";
    QTest::newRow("symbolic link") << "link.mov";
    QTest::newRow("hard link") << "hard.mov";
}

void FileCopyTest::copyOntoItselfLeavesFileUntouched()
{
    QFETCH(QString, otherSpelling);
    QDir dir(m_dir.path());
    QVERIFY(dir.mkdir(QStringLiteral("sub")));
    const QString clip = path(QStringLiteral("sub/clip.mov"));
    const QByteArray content = pattern(40000);
    QVERIFY(writeFile(clip, content));
    QVERIFY(QFile::link(clip, path(QStringLiteral("link.mov"))));
    QCOMPARE(::link(QFile::encodeName(clip).constData(),
                    QFile::encodeName(path(QStringLiteral("hard.mov"))).constData()),
             0);

    const QString other = m_dir.path() + QLatin1Char('/') + otherSpelling;
    QVERIFY(isSameFile(clip, other));
    QVERIFY(SRCopyFile2(clip, other));
    QVERIFY(readFile(clip) == content);
    QVERIFY(SRCopyFile2(other, clip));
    QVERIFY(readFile(clip) == content);
    QVERIFY(QFileInfo(path(QStringLiteral("link.mov"))).isSymLink());
}

void FileCopyTest::fullDeviceMakesTheCopyFail()
{
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        QSKIP("this system has no /dev/full");
    const QString from = path(QStringLiteral("source.bin"));
    QVERIFY(writeFile(from, pattern(40000)));
    QVERIFY(!SRCopyFile2(from, QStringLiteral("/dev/full")));
    QVERIFY(readFile(from) == pattern(40000));
}

void FileCopyTest::tracedCopyWritesMarkersInOrder()
{
    const QString from = path(QStringLiteral("source.bin"));
    const QString to = path(QStringLiteral("copy.bin"));
    QVERIFY(writeFile(from, pattern(20000)));
    bool result = false;

    QCOMPARE(tracedCopy(from, from, &result), QStringList{QStringLiteral("1413")});
    QVERIFY(result);

    QCOMPARE(tracedCopy(path(QStringLiteral("missing.bin")), to, &result),
             (QStringList{QStringLiteral("1413"), QStringLiteral("1416"), QStringLiteral("1422")}));
    QVERIFY(!result);

    QCOMPARE(tracedCopy(from, to, &result),
             (QStringList{QStringLiteral("1413"), QStringLiteral("1416"), QStringLiteral("1422"),
                          QStringLiteral("1425"), QStringLiteral("1429"), QStringLiteral("1435"),
                          QStringLiteral("1439")}));
    QVERIFY(result);
    QVERIFY(readFile(to) == pattern(20000));

    // The untraced form writes nothing.
    debugLines.clear();
    qInstallMessageHandler(collectDebug);
    QVERIFY(SRCopyFile2(from, path(QStringLiteral("again.bin"))));
    qInstallMessageHandler(nullptr);
    QVERIFY(debugLines.isEmpty());
}

QTEST_GUILESS_MAIN(FileCopyTest)
#include "tst_filecopy.moc"
