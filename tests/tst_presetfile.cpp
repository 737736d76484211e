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
    void presetsFileLivesInTheBundleOfTheWorkingFolder();
    void presetLineUpperCasesOnlyTheName();
    void savedLinesAreAppendedWithLineFeeds();
    void savedLinesLoadBackWithTrailingEmptyString();
    void lastLineWithoutLineFeedLoadsWithoutEmptyString();
    void emptyFileLoadsOneEmptyString();
    void missingFileLoadsNothing();
    void allEmptyFieldsGiveThreeAsterisksThatLoadBack();
    void twoAsteriskLineLoadsAsIs();
    void latin1RoundTripsAndOtherCharactersBecomeQuestionMarks();
    void missingBundleFolderSavesNothingAndCreatesNothing();
    void loadingTracesTheQuotedPath();
};

void TestPresetFile::presetsFileLivesInTheBundleOfTheWorkingFolder()
{
    Sandbox sandbox;
    QCOMPARE(presetsFilePath(), sandbox.bundle() + QStringLiteral("/presets.txt"));
}

void TestPresetFile::presetLineUpperCasesOnlyTheName()
{
    QCOMPARE(presetLine(QStringLiteral("dnx36"), QStringLiteral("-vcodec dnxhd -ar 48000 -b 36M"),
                        QStringLiteral("MOV")),
             QStringLiteral("*DNX36*-vcodec dnxhd -ar 48000 -b 36M*MOV"));
    QCOMPARE(presetLine(QStringLiteral("Web small"), QStringLiteral(" -vcodec libx264  -crf 28 "),
                        QStringLiteral("mp4")),
             QStringLiteral("*WEB SMALL* -vcodec libx264  -crf 28 *mp4"));
    QCOMPARE(presetLine(QStringLiteral("x"), QStringLiteral("-an"), QString()),
             QStringLiteral("*X*-an*"));
}

void TestPresetFile::savedLinesAreAppendedWithLineFeeds()
{
    Sandbox sandbox;
    const QString file = sandbox.bundle() + QStringLiteral("/presets.txt");
    QVERIFY(writeFile(file, "*OLD*-an*MOV\n"));
    savePresetText(QStringLiteral("*DNX36*-vcodec dnxhd -b 36M*MOV"));
    savePresetText(QStringLiteral("*WEB* -crf 28 *mp4"));
    QCOMPARE(readFile(file), QByteArray("*OLD*-an*MOV\n*DNX36*-vcodec dnxhd -b 36M*MOV\n*WEB* -crf 28 *mp4\n"));
}

void TestPresetFile::savedLinesLoadBackWithTrailingEmptyString()
{
    Sandbox sandbox;
    savePresetText(QStringLiteral("*A*-an*MOV"));
    savePresetText(QStringLiteral("*B*-vn -acodec pcm_s16le *wav"));
    savePresetText(QStringLiteral("*C*x*"));
    QCOMPARE(loadpresets(), (QStringList{QStringLiteral("*A*-an*MOV"),
                                         QStringLiteral("*B*-vn -acodec pcm_s16le *wav"),
                                         QStringLiteral("*C*x*"), QString()}));
}

void TestPresetFile::lastLineWithoutLineFeedLoadsWithoutEmptyString()
{
    Sandbox sandbox;
    QVERIFY(writeFile(sandbox.bundle() + QStringLiteral("/presets.txt"), "*A*-an*MOV\n*B*-vn*wav"));
    QCOMPARE(loadpresets(), (QStringList{QStringLiteral("*A*-an*MOV"), QStringLiteral("*B*-vn*wav")}));
}

void TestPresetFile::emptyFileLoadsOneEmptyString()
{
    Sandbox sandbox;
    QVERIFY(writeFile(sandbox.bundle() + QStringLiteral("/presets.txt"), QByteArray()));
    QCOMPARE(loadpresets(), QStringList{QString()});
}

void TestPresetFile::missingFileLoadsNothing()
{
    Sandbox sandbox;
    QVERIFY(loadpresets().isEmpty());
    QVERIFY(!QFile::exists(sandbox.bundle() + QStringLiteral("/presets.txt")));
}

void TestPresetFile::allEmptyFieldsGiveThreeAsterisksThatLoadBack()
{
    Sandbox sandbox;
    const QString line = presetLine(QString(), QString(), QString());
    QCOMPARE(line, QStringLiteral("***"));
    savePresetText(line);
    QCOMPARE(loadpresets(), (QStringList{QStringLiteral("***"), QString()}));
}

void TestPresetFile::twoAsteriskLineLoadsAsIs()
{
    Sandbox sandbox;
    QVERIFY(writeFile(sandbox.bundle() + QStringLiteral("/presets.txt"), "**\n"));
    QCOMPARE(loadpresets(), (QStringList{QStringLiteral("**"), QString()}));
}

void TestPresetFile::latin1RoundTripsAndOtherCharactersBecomeQuestionMarks()
{
    Sandbox sandbox;
    savePresetText(presetLine(QStringLiteral("café"), QStringLiteral("-metadata title=né"),
                              QStringLiteral("MOV")));
    savePresetText(presetLine(QStringLiteral("видео"), QStringLiteral("-an"), QStringLiteral("mp4")));
    QCOMPARE(readFile(sandbox.bundle() + QStringLiteral("/presets.txt")),
             QByteArray("*CAF\xC9*-metadata title=n\xE9*MOV\n*?????*-an*mp4\n"));
    QCOMPARE(loadpresets(), (QStringList{QStringLiteral("*CAFÉ*-metadata title=né*MOV"),
                                         QStringLiteral("*?????*-an*mp4"), QString()}));
}

void TestPresetFile::missingBundleFolderSavesNothingAndCreatesNothing()
{
    Sandbox sandbox;
    const QString work = sandbox.path() + QStringLiteral("/elsewhere");
    QVERIFY(QDir().mkpath(work));
    QVERIFY(QDir::setCurrent(work));

    savePresetText(QStringLiteral("*A*-an*MOV"));

    QVERIFY(QDir(work).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    QVERIFY(loadpresets().isEmpty());
}

void TestPresetFile::loadingTracesTheQuotedPath()
{
    Sandbox sandbox;
    const QByteArray expected = '"' + presetsFilePath().toUtf8() + '"';
    QTest::ignoreMessage(QtDebugMsg, expected.constData());
    loadpresets();
}

QTEST_GUILESS_MAIN(TestPresetFile)
#include "tst_presetfile.moc"
