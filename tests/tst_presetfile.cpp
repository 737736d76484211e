#include "presets/presetfile.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QtTest>

namespace {
void savePresetText(const QString &line)
{
    savepreset(line.toLatin1().toStdString());
}
} // namespace

class TestPresetFile final : public QObject
{
    Q_OBJECT

private slots:
    void presetLineUpperCasesOnlyTheName()
    {
        QCOMPARE(presetLine("dnx36", "-vcodec dnxhd -ar 48000 -b 36M", "MOV"),
                 QStringLiteral("*DNX36*-vcodec dnxhd -ar 48000 -b 36M*MOV"));
        QCOMPARE(presetLine("Web small", " -vcodec libx264  -crf 28 ", "mp4"),
                 QStringLiteral("*WEB SMALL* -vcodec libx264  -crf 28 *mp4"));
        QCOMPARE(presetLine(QString(), QString(), QString()), QStringLiteral("***"));
    }

    void savedLinesAreAppendedAndLoadBack()
    {
        Sandbox sandbox;
        const QString file = sandbox.bundle() + QStringLiteral("/presets.txt");
        QCOMPARE(presetsFilePath(), file);
        QVERIFY(loadpresets().isEmpty());
        QVERIFY(!QFile::exists(file)); // loading a missing file creates nothing
        QVERIFY(writeFile(file, "*OLD*-an*MOV\n"));
        savePresetText(QStringLiteral("*DNX36*-vcodec dnxhd -b 36M*MOV"));
        savePresetText(QStringLiteral("***"));
        // Latin-1 survives; other characters become question marks.
        savePresetText(presetLine("café", "-metadata title=né", "MOV"));
        savePresetText(presetLine("видео", "-an", "mp4"));
        QCOMPARE(readFile(file), QByteArray("*OLD*-an*MOV\n*DNX36*-vcodec dnxhd -b 36M*MOV\n***\n"
                                            "*CAF\xC9*-metadata title=n\xE9*MOV\n*?????*-an*mp4\n"));
        QCOMPARE(loadpresets(),
                 QStringList({"*OLD*-an*MOV", "*DNX36*-vcodec dnxhd -b 36M*MOV", "***",
                              QStringLiteral("*CAFÉ*-metadata title=né*MOV"), "*?????*-an*mp4",
                              QString()}));
    }

    void loadingSplitsAtLineFeedsOnly_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("loaded");
        QTest::newRow("no final line feed")
            << QByteArray("*A*-an*MOV\n*B*-vn*wav") << QStringList({"*A*-an*MOV", "*B*-vn*wav"});
        QTest::newRow("empty file") << QByteArray() << QStringList{QString()};
        QTest::newRow("two asterisks") << QByteArray("**\n") << QStringList({"**", QString()});
    }

    void loadingSplitsAtLineFeedsOnly()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, loaded);
        Sandbox sandbox;
        QVERIFY(writeFile(sandbox.bundle() + QStringLiteral("/presets.txt"), content));
        QCOMPARE(loadpresets(), loaded);
    }

    void missingBundleFolderSavesNothingAndCreatesNothing()
    {
        Sandbox sandbox;
        const QString work = sandbox.path() + QStringLiteral("/elsewhere");
        QVERIFY(QDir().mkpath(work));
        QVERIFY(QDir::setCurrent(work));
        savePresetText(QStringLiteral("*A*-an*MOV"));
        QVERIFY(QDir(work).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
        QVERIFY(loadpresets().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPresetFile)
#include "tst_presetfile.moc"
