#include "core/media/guidance.h"
#include "core/media/intermediates.h"
#include "core/media/mediaprobe.h"
#include "core/media/settingscatalogue.h"
#include "core/media/sourcefit.h"

#include <QRegularExpression>
#include <QtTest>

using namespace Settings;

Q_DECLARE_METATYPE(MediaInfo)

namespace {
MediaInfo media(const QString &video, QSize size, const QString &audio, int rate, double duration)
{
    return {true, duration, !video.isEmpty(), !audio.isEmpty(), video, size, audio, rate, {}};
}

// The widgets of other settings must never leak into the chosen one.
QString argumentsOf(const QString &name, const QString &label = "1080p/25 120", bool rewrap = false)
{
    return argumentsFor({name, label, QStringLiteral("24"), QStringLiteral("96000"), rewrap});
}
} // namespace

class TestCatalogue final : public QObject
{
    Q_OBJECT

private slots:
    // Each label reads lines, scan letter, "/", rate (fields for "i"), blank, bit rate in Mbit/s.
    void everyDnxhdLabelAsksForItsLinesRateAndBitRate()
    {
        const QStringList labels = dnxhdLabels();
        QCOMPARE(QSet<QString>(labels.cbegin(), labels.cend()).size(), 25);
        const QRegularExpression label(QStringLiteral("^(1080|720)([pi]?)/([0-9.]+) ([0-9]+)$"));
        const QRegularExpression bitRate(QStringLiteral(" -b (\\d+)M "));
        for (const QString &text : labels) {
            const QRegularExpressionMatch parts = label.match(text);
            const QString arguments = argumentsOf(Dnxhd, text);
            QVERIFY2(parts.hasMatch() && arguments.endsWith(" -acodec pcm_s16le -ar 48000 "), qPrintable(text));
            QCOMPARE(QString::fromStdString(dnxhdTable().at(text.toStdString())), arguments);
            const OutputDemand demand = demandOf(arguments);
            const QSize frame = parts.captured(1) == "1080" ? QSize(1920, 1080) : QSize(1280, 720);
            QVERIFY(demand.videoCodec == "dnxhd" && demand.frameSize == frame && demand.everyAudio);
            // Rates are broadcast rationals: the label's 29.97 is 30000/1001, not 2997/100.
            const bool fields = parts.captured(2) == "i";
            const double labelled = parts.captured(3).toDouble() / (fields ? 2 : 1);
            QVERIFY2(std::abs(demand.frameRate.value() - labelled) < 0.001, qPrintable(text));
            QCOMPARE(demand.frameRate, nearestStandardRate(labelled));
            QCOMPARE(demand.scan, fields ? OutputDemand::Scan::Fields : OutputDemand::Scan::Progressive);
            // 185M at 1280x720 is no DNxHD profile; the engine only takes 180M there.
            QCOMPARE(bitRate.match(arguments).captured(1), text == "720/50 185" ? "180" : parts.captured(4));
        }
    }

    // Each profile box item is a setting that keeps the source's size and rate.
    void everyIntermediateProfileIsASetting()
    {
        for (const auto &[family, profiles] : {std::pair{Dnxhr, dnxhrProfiles()}, std::pair{Prores, proresProfiles()}}) {
            QCOMPARE(profiles.size(), 5);
            for (const QString &profile : profiles) {
                const OutputDemand demand = demandOf(argumentsFor({family, {}, {}, {}, false, profile}));
                QVERIFY2(!demand.profile.isEmpty() && !demand.pixelFormat.isEmpty() && demand.sourceRate
                             && demand.evenSourceSize && demand.pcmLikeSource && !demand.frameRate.known(),
                         qPrintable(profile));
            }
            QVERIFY(argumentsFor({family, {}, {}, {}, false, "XQ"}).isEmpty());
        }
    }

    void argumentsFollowTheSettingsPrecedence()
    {
        QCOMPARE(argumentsOf(Dnxhd, "1080p/25 120", true), Rewrap);
        QCOMPARE(argumentsOf(Wav), "-acodec pcm_s24le -vn -ar 96000");
        QCOMPARE(argumentsOf("*MYPRESET*-vcodec mpeg4 -b 5M*mp4"), "-vcodec mpeg4 -b 5M");
        QCOMPARE(argumentsOf("*X"), ""); // a preset cut short
        QCOMPARE(argumentsOf(CopyOnly), CopyOnly);
        // The output extension is a preset's fourth field, otherwise MOV.
        QCOMPARE(outputExtension("/m/a*b/c.mov|*P*-x*MP4|"), "MP4|"); // a "*" in the path is no marker
        QCOMPARE(outputExtension("/m/a*b*c*d/c.mov|720x576 DV PAL|"), "MOV");
        QCOMPARE(outputExtension("/m/c.mov|*P*-x|"), "MOV");
    }

    // Why an output is refused for a setting's arguments and its source (empty: accepted).
    void outputsAreCheckedAgainstWhatTheSettingDemands_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<MediaInfo>("source");
        QTest::addColumn<MediaInfo>("output");
        QTest::addColumn<QString>("reason");
        const QString dnx = argumentsOf(Dnxhd), h264 = argumentsOf(H264), wav = argumentsOf(Wav);
        const QString any = "-b 5M"; // a preset's
        const MediaInfo hd = media("h264", {1920, 1080}, "aac", 48000, 100);
        const MediaInfo dnxhd = media("dnxhd", {1920, 1080}, "pcm_s16le", 48000, 100);
        const MediaInfo odd = media("h264", {1919, 1081}, "aac", 48000, 100);
        const MediaInfo silent = media("h264", {1920, 1080}, "", 0, 100);
        const MediaInfo sound = media("", {}, "aac", 48000, 100);
        const auto lasting = [](MediaInfo info, double duration) { info.duration = duration; return info; };
        QTest::newRow("good DNxHD") << dnx << hd << dnxhd << "";
        QTest::newRow("wrong codec") << dnx << hd << hd << "the output's video is h264, not dnxhd";
        QTest::newRow("wrong size") << dnx << hd << media("dnxhd", {1280, 720}, "pcm_s16le", 48000, 100)
                                    << "the output's picture is 1280x720, not 1920x1080";
        QTest::newRow("H.264 made even") << h264 << odd << media("h264", {1918, 1080}, "aac", 48000, 100)
                                         << "";
        QTest::newRow("H.264 left odd") << h264 << odd << odd
                                        << "the output's picture is 1919x1081, not 1918x1080";
        QTest::newRow("video missing") << any << hd << sound << "the output has no video";
        QTest::newRow("audio missing") << any << hd << silent << "the output has no audio";
        QTest::newRow("-an leaves audio out") << "-vcodec mpeg4 -an" << hd << silent << "";
        QTest::newRow("-vn, video kept") << "-vn" << hd << hd
                                         << "the output has video, which the setting leaves out";
        QTest::newRow("look-alikes") << "-annotate -map 0:vn" << hd << sound << "the output has no video";
        QTest::newRow("a preset like DNxHD") << "-vcodec dnxhd -s 1280x720" << hd << hd << "";
        QTest::newRow("WAV, wrong depth") << wav << hd << media("", {}, "pcm_s16le", 96000, 100)
                                          << "the output's audio is pcm_s16le, not pcm_s24le";
        QTest::newRow("WAV, wrong rate") << wav << hd << media("", {}, "pcm_s24le", 44100, 100)
                                         << "the output's audio runs at 44100 Hz, not 96000 Hz";
        QTest::newRow("1 % short") << any << hd << lasting(hd, 99) << "";
        QTest::newRow("more than 1 % short") << any << hd << lasting(hd, 98.9)
                                             << "output is 98.9 s, source 100.0 s";
        QTest::newRow("half a second long") << any << lasting(hd, 10) << lasting(hd, 10.5) << "";
        QTest::newRow("more than half a second long")
            << any << lasting(hd, 10) << lasting(hd, 10.6) << "output is 10.6 s, source 10.0 s";
    }

    void outputsAreCheckedAgainstWhatTheSettingDemands()
    {
        QFETCH(QString, arguments);
        QFETCH(MediaInfo, source);
        QFETCH(MediaInfo, output);
        QFETCH(QString, reason);
        QCOMPARE(checkOutput(demandOf(arguments), source, output), reason);
    }

    // One text a key, so no row hides another.
    void everyGuidanceKeyAnswersInAnyCase()
    {
        const QStringList keys = guidanceKeys();
        QCOMPARE(QSet<QString>(keys.cbegin(), keys.cend()).size(), keys.size());
        for (const QString &key : keys) {
            const Guidance lower = guidanceFor(key), upper = guidanceFor(key.toUpper());
            QVERIFY2(lower.found && !lower.text.trimmed().isEmpty(), qPrintable(key));
            QVERIFY(upper.found && upper.text == lower.text && upper.audioCombos == lower.audioCombos);
            QCOMPARE(lower.rewrapBox, key == "mts");
        }
        QVERIFY(!guidanceFor("wv").found && !guidanceFor(".mov").found && !guidanceFor("").found);
        QVERIFY(guidanceFor("mp2").audioCombos && guidanceFor("aiff").text == guidanceFor("aif").text);
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
