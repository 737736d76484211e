#include "convert/filecopy.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

namespace {
QByteArray pattern(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 251) & 0xff);
    return bytes;
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
    void failedCopyCreatesAndEmptiesNothing();
    void copyOntoItselfLeavesFileUntouched_data();
    void copyOntoItselfLeavesFileUntouched();
    void fullDeviceMakesTheCopyFail();

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
    QTest::addColumn<int>("oldSize"); // of a destination already there; -1: none
    QTest::newRow("empty") << 0 << -1;
    QTest::newRow("one byte") << 1 << -1;
    QTest::newRow("one buffer") << 16000 << -1;
    QTest::newRow("one buffer and a byte") << 16001 << -1;
    QTest::newRow("many buffers") << 16000 * 40 + 123 << -1;
    QTest::newRow("longer destination is truncated") << 16001 << 50000;
    QTest::newRow("emptied by an empty source") << 0 << 100;
}

void FileCopyTest::copiesContentExactly()
{
    QFETCH(int, size);
    QFETCH(int, oldSize);
    const QByteArray content = pattern(size);
    const QString from = path(QStringLiteral("source.bin"));
    const QString to = path(QStringLiteral("copy.bin"));
    QVERIFY(writeFile(from, content));
    if (oldSize >= 0)
        QVERIFY(writeFile(to, QByteArray(oldSize, 'x')));

    QVERIFY(SRCopyFile2(from, to));
    QVERIFY(readFile(to) == content);
    QCOMPARE(QFileInfo(to).size(), qint64(size));
    QVERIFY(readFile(from) == content);
}

void FileCopyTest::failedCopyCreatesAndEmptiesNothing()
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

    // A missing destination folder is not created.
    QVERIFY(!SRCopyFile2(to, path(QStringLiteral("no/such/folder/copy.bin"))));
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("no"))));
    QCOMPARE(readFile(to), QByteArray("keep me"));
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
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("sub")));
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

QTEST_GUILESS_MAIN(FileCopyTest)
#include "tst_filecopy.moc"
