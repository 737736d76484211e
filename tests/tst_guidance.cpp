#include "convert/guidance.h"

#include <QTest>

class TestGuidance final : public QObject
{
    Q_OBJECT

private slots:
    void everyKeyGivesAdviceAndItsWidgets();
    void textsAreExactIncludingTheirQuirks_data();
    void textsAreExactIncludingTheirQuirks();
    void unknownExtensionGivesNoAdvice();
};

void TestGuidance::everyKeyGivesAdviceAndItsWidgets()
{
    const QStringList keys = {
        "mov", "avi", "mp4", "wmv", "mkv", "3gp", "rmvb", "rm", "mp2v", "m2v", "m2s", "mpa", "mp2",
        "m2a", "mpeg", "mpg", "mpe", "m1s", "vob", "wma", "m4v", "m4a", "flac", "flv", "dts", "amr",
        "aif", "aiff", "asf", "dv", "mjpeg", "mxf", "divx", "mts", "ts", "dvf", "m4b", "mp3", "ape",
        "tta", "vw", "aac", "mpc", "spx", "mp1", "ogv", "oga", "ogx", "swf", "svi", "wav", "w64",
        "dpx", "jpg", "oma", "r3d", "srt", "mxg", "pcm"};
    const QStringList audioKeys = {"mpa", "mp2", "wma", "m4a", "flac", "dts", "amr",
                                   "aif", "aiff", "dvf", "mp3", "ape", "tta", "vw",
                                   "aac", "mpc", "spx", "mp1", "oga", "w64", "pcm"};
    QCOMPARE(guidanceKeys(), keys);
    for (const QString &key : keys) {
        // Any case of the key finds the same row.
        for (const QString &spelling : {key, key.toUpper()}) {
            const Guidance guidance = guidanceFor(spelling);
            QVERIFY2(guidance.found && !guidance.text.trimmed().isEmpty(), qPrintable(spelling));
            QCOMPARE(guidance.audioCombos, audioKeys.contains(key));
            QCOMPARE(guidance.rewrapBox, key == QLatin1String("mts"));
        }
    }
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
    QTest::newRow("srt") << "srt" << "SRT Subtitles! Possible Conversion to XML for DCP! ";
    // mp2 is matched by the later of its two rows; aif and aiff share one.
    QTest::newRow("mp2") << "mp2" << "MP2 Lossy Audio Codec.Convert to WAV for editing!";
    QTest::newRow("mp2v") << "mp2v"
                          << "MP2V is an extension used for MPEG 2 files.Conversion essential for editing. Convert to SD PAL or NTSC.";
    QTest::newRow("aif") << "aif"
                         << "AIFF is high quality Audio file.Convert to WAV for editing on Windows. On Apple,conversion not required.";
    QTest::newRow("aiff") << "aiff"
                          << "AIFF is high quality Audio file.Convert to WAV for editing on Windows. On Apple,conversion not required.";
    QTest::newRow("mts") << "mts"
                         << "MTS are raw H.264 files usually used by Panasonic.Not suited for editing and will require conversion or in case you want to work with them anyway,they may still require re-wrapping to MP4 !";
    QTest::newRow("wav") << "wav" << "WAV , no conversion needed to edit.";
}

void TestGuidance::textsAreExactIncludingTheirQuirks()
{
    QFETCH(QString, key);
    QFETCH(QString, text);
    QCOMPARE(guidanceFor(key).text, text);
}

void TestGuidance::unknownExtensionGivesNoAdvice()
{
    for (const char *key : {"xyz", "", "wv", "mov ", ".mov", "m"}) {
        const Guidance guidance = guidanceFor(QString::fromLatin1(key));
        QVERIFY2(!guidance.found, key);
        QVERIFY(guidance.text.isEmpty());
        QVERIFY(!guidance.audioCombos && !guidance.rewrapBox);
    }
}

QTEST_GUILESS_MAIN(TestGuidance)
#include "tst_guidance.moc"
