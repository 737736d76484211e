#include "convert/guidance.h"

#include <QTest>

namespace {

const QStringList allKeys = {
    "mov", "avi", "mp4", "wmv", "mkv", "3gp", "rmvb", "rm", "mp2v", "m2v", "m2s", "mpa", "mp2",
    "m2a", "mpeg", "mpg", "mpe", "m1s", "vob", "wma", "m4v", "m4a", "flac", "flv", "dts", "amr",
    "aif", "aiff", "asf", "dv", "mjpeg", "mxf", "divx", "mts", "ts", "dvf", "m4b", "mp3", "ape",
    "tta", "vw", "aac", "mpc", "spx", "mp1", "ogv", "oga", "ogx", "swf", "svi", "wav", "w64",
    "dpx", "jpg", "oma", "r3d", "srt", "mxg", "pcm"};

const QStringList audioKeys = {"mpa", "mp2", "wma", "m4a", "flac", "dts", "amr", "aif", "aiff",
                               "dvf", "mp3", "ape", "tta", "vw",  "aac", "mpc", "spx", "mp1",
                               "oga", "w64", "pcm"};

} // namespace

class TestGuidance final : public QObject
{
    Q_OBJECT

private slots:
    void tableHoldsEveryFormatInOrder();
    void everyKeyGivesAdvice_data();
    void everyKeyGivesAdvice();
    void textsAreExactIncludingTheirQuirks_data();
    void textsAreExactIncludingTheirQuirks();
    void mp2EndsWithItsLastRowAndShowsAudioCombos();
    void aifAndAiffShareOneRow();
    void onlyMtsShowsTheRewrapBox();
    void unknownExtensionGivesNoAdvice();
    void extensionCaseDoesNotMatter();
};

void TestGuidance::tableHoldsEveryFormatInOrder()
{
    QCOMPARE(guidanceKeys(), allKeys);
}

void TestGuidance::everyKeyGivesAdvice_data()
{
    QTest::addColumn<QString>("key");
    for (const QString &key : allKeys)
        QTest::newRow(qPrintable(key)) << key;
}

void TestGuidance::everyKeyGivesAdvice()
{
    QFETCH(QString, key);
    const Guidance guidance = guidanceFor(key);
    QVERIFY(guidance.found);
    QVERIFY(!guidance.text.trimmed().isEmpty());
    QCOMPARE(guidance.audioCombos, audioKeys.contains(key));
    QCOMPARE(guidance.rewrapBox, key == QLatin1String("mts"));
}

void TestGuidance::textsAreExactIncludingTheirQuirks_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    QTest::newRow("mov") << "mov"
                         << "MOV is very common QuickTime Container. If you can play this file with VLC player, conversion is possible. Please select the conversion settings in the list below. For editing, Avid DNx codec is advised or in case of Standard Definition footage, PAL SD or NTSC SD.";
    QTest::newRow("3gp") << "3gp"
                         << QString::fromUtf16(u"3gp = 3gpp (\u201C3rd Generation Partnership Project\u201D) - These files are usually coming from Mobile Phones or Low Rez cameras. Must be converted before editing.Conversion to PAL or NTSC is enough.");
    QTest::newRow("mjpeg") << "mjpeg" << "MJPEG  video.Usually ,  No conversion needed!";
    QTest::newRow("tta") << "tta" << " TTA lossless audio codec. Convert into wav for editing.";
    QTest::newRow("vw") << "vw"
                        << "WavPack is a free, open source lossless audio compression format developed by Orvale Convert into  wav for editing.";
    QTest::newRow("mpeg") << "mpeg"
                          << "MPEG is an extension used for motion pictures experts group video/audio .Convert to PAL or NTSC  for editing.";
    QTest::newRow("ape") << "ape"
                         << "APE Monkey's Audio is a  file format for lossless audio data compression. Convert into wav for editing.";
    QTest::newRow("m4a") << "m4a" << "M4A is Compressed Audio Format. Convert to WAV for editing!.";
    QTest::newRow("srt") << "srt" << "SRT Subtitles! Possible Conversion to XML for DCP! ";
    QTest::newRow("pcm") << "pcm"
                         << "PCM Audio! You need to provide Samplerate and BitDepth! Convert to WAV to edit! ";
    QTest::newRow("ts") << "ts" << "TS usually Mpeg 2 Files. Conversion essential for editing!.";
    QTest::newRow("rm") << "rm"
                        << "RM - real media variable bitrate format. highly compressed and often used on internet for movies.Conversion essential for editing.";
    QTest::newRow("wav") << "wav" << "WAV , no conversion needed to edit.";
}

void TestGuidance::textsAreExactIncludingTheirQuirks()
{
    QFETCH(QString, key);
    QFETCH(QString, text);
    QCOMPARE(guidanceFor(key).text, text);
}

void TestGuidance::mp2EndsWithItsLastRowAndShowsAudioCombos()
{
    const Guidance guidance = guidanceFor(QStringLiteral("mp2"));
    QCOMPARE(guidance.text, QStringLiteral("MP2 Lossy Audio Codec.Convert to WAV for editing!"));
    QVERIFY(guidance.audioCombos);
    QVERIFY(!guidance.rewrapBox);
    // Its neighbours are rows of their own.
    QCOMPARE(guidanceFor(QStringLiteral("mp2v")).text,
             QStringLiteral("MP2V is an extension used for MPEG 2 files.Conversion essential for editing. Convert to SD PAL or NTSC."));
    QVERIFY(!guidanceFor(QStringLiteral("mp2v")).audioCombos);
}

void TestGuidance::aifAndAiffShareOneRow()
{
    const QString text = QStringLiteral(
            "AIFF is high quality Audio file.Convert to WAV for editing on Windows. On Apple,conversion not required.");
    QCOMPARE(guidanceFor(QStringLiteral("aif")).text, text);
    QCOMPARE(guidanceFor(QStringLiteral("aiff")).text, text);
    QVERIFY(guidanceFor(QStringLiteral("aif")).audioCombos);
    QVERIFY(guidanceFor(QStringLiteral("aiff")).audioCombos);
}

void TestGuidance::onlyMtsShowsTheRewrapBox()
{
    const Guidance mts = guidanceFor(QStringLiteral("mts"));
    QVERIFY(mts.rewrapBox);
    QVERIFY(!mts.audioCombos);
    QCOMPARE(mts.text,
             QStringLiteral("MTS are raw H.264 files usually used by Panasonic.Not suited for editing and will require conversion or in case you want to work with them anyway,they may still require re-wrapping to MP4 !"));

    const Guidance ts = guidanceFor(QStringLiteral("ts"));
    QVERIFY(ts.found);
    QVERIFY(!ts.rewrapBox);
}

void TestGuidance::unknownExtensionGivesNoAdvice()
{
    for (const char *key : {"xyz", "", "wv", "mov ", ".mov", "m"}) {
        const Guidance guidance = guidanceFor(QString::fromLatin1(key));
        QVERIFY2(!guidance.found, key);
        QVERIFY(guidance.text.isEmpty());
        QVERIFY(!guidance.audioCombos);
        QVERIFY(!guidance.rewrapBox);
    }
}

void TestGuidance::extensionCaseDoesNotMatter()
{
    QCOMPARE(guidanceFor(QStringLiteral("MOV")).text, guidanceFor(QStringLiteral("mov")).text);
    QVERIFY(guidanceFor(QStringLiteral("Mts")).rewrapBox);
    QVERIFY(guidanceFor(QStringLiteral("PCM")).audioCombos);
}

QTEST_GUILESS_MAIN(TestGuidance)
#include "tst_guidance.moc"
