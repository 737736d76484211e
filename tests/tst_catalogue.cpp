#include "convert/engineprogress.h"
#include "convert/guidance.h"
#include "convert/mediaprobe.h"
#include "convert/settingscatalogue.h"

#include <QRegularExpression>
#include <QtTest>

using namespace Settings;

Q_DECLARE_METATYPE(MediaInfo)

namespace {
QString argumentsOf(const QString &name, const QString &label = {}, bool rewrap = false)
{
    // The widgets of other settings must never leak into the chosen one.
    return argumentsFor({name, label.isEmpty() ? QStringLiteral("1080p/25 120") : label,
                         QStringLiteral("24"), QStringLiteral("96000"), rewrap});
}

MediaInfo media(const QString &video, QSize size, const QString &audio, int rate, double duration)
{
    return {true, duration, !video.isEmpty(), !audio.isEmpty(), video, size, audio, rate, {}};
}

QString sizeText(QSize size)
{
    return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}

QString describe(const OutputDemand &demand)
{
    QStringList parts{demand.likeSource ? "like the source" : "", demand.videoCodec,
                      demand.frameSize.isValid() ? sizeText(demand.frameSize) : "", demand.evenSourceSize ? "even" : "",
                      demand.audioCodec.isEmpty() ? "" : demand.audioCodec + ' ' + QString::number(demand.sampleRate),
                      demand.noVideo ? "-vn" : "", demand.noAudio ? "-an" : ""};
    parts.removeAll(QString());
    return parts.join(' ');
}

QString describe(const MediaInfo &info)
{
    QStringList parts{info.hasVideo ? info.videoCodec + ' ' + sizeText(info.frameSize) : "no video",
                      info.hasAudio ? info.audioCodec + ' ' + QString::number(info.sampleRate) : "no audio",
                      QString::number(info.duration) + " s", info.creationTime};
    parts.removeAll(QString());
    return info.readable ? parts.join(", ") : "unreadable";
}
} // namespace

class TestCatalogue final : public QObject
{
    Q_OBJECT

private slots:
    // Each label reads lines, scan letter, "/", frame rate, blank, bit rate in Mbit/s.
    void everyDnxhdLabelAsksForItsLinesRateAndBitRate()
    {
        const QStringList labels = dnxhdLabels();
        QCOMPARE(QSet<QString>(labels.cbegin(), labels.cend()).size(), 25);
        const QRegularExpression label(QStringLiteral("^(1080|720)[pi]?/([0-9.]+) ([0-9]+)$"));
        const QRegularExpression asked(
            QStringLiteral("^-vcodec dnxhd .*-s (\\S+) -b (\\S+)M -r (\\S+) -acodec pcm_s16le -ar 48000 $"));
        for (const QString &text : labels) {
            const QRegularExpressionMatch parts = label.match(text);
            const QRegularExpressionMatch arguments = asked.match(argumentsOf(Dnxhd, text));
            QVERIFY2(parts.hasMatch() && arguments.hasMatch(), qPrintable(text));
            const QString size = parts.captured(1) == "1080" ? "1920x1080" : "1280x720";
            // 185M at 1280x720 is no DNxHD profile; the engine only takes 180M there.
            const QString rate = text == "720/50 185" ? "180" : parts.captured(3);
            QCOMPARE(arguments.capturedTexts().mid(1), QStringList({size, rate, parts.captured(2)}));
            QCOMPARE(QString::fromStdString(dnxhdTable().at(text.toStdString())), arguments.captured());
            QCOMPARE(describe(demandOf(arguments.captured())), "dnxhd " + size);
        }
        QVERIFY(argumentsOf(Dnxhd, "4K/60 999").isEmpty());
    }

    void everyWavChoiceAsksForItsDepthAndRate()
    {
        for (const QString &depth : bitDepths()) {
            for (const QString &rate : sampleRates())
                QCOMPARE(describe(demandOf(argumentsFor({Wav, {}, depth, rate}))),
                         "pcm_s" + depth + "le " + rate + " -vn");
        }
    }

    void argumentsFollowTheSettingsPrecedence_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("rewrap");
        QTest::addColumn<QString>("arguments");
        QTest::newRow("re-wrap over DNxHD") << Dnxhd << true << " -vcodec copy -acodec pcm_s16le  ";
        QTest::newRow("re-wrap over a preset") << "*P*-x*MP4" << true << Rewrap;
        QTest::newRow("re-wrap over nothing") << "" << true << Rewrap;
        QTest::newRow("WAV sets the sample rate") << Wav << false << "-acodec pcm_s24le -vn -ar 96000";
        QTest::newRow("DV PAL, leading blank") << DvPal << false
            << " -s 720x576 -pix_fmt yuv420p -r 25 -vcodec dvvideo -acodec pcm_s16le -ac 2 -ar 48000 ";
        QTest::newRow("preset") << "*MYPRESET*-vcodec mpeg4 -b 5M*mp4" << false << "-vcodec mpeg4 -b 5M";
        QTest::newRow("preset with empty name") << "**-a b*mp4" << false << "-a b";
        QTest::newRow("preset named like a built-in") << "*H.264*-vcodec libx265*mkv" << false << "-vcodec libx265";
        QTest::newRow("preset cut short") << "*X" << false << "";
        QTest::newRow("copy gives its own name") << CopyOnly << false << CopyOnly;
        QTest::newRow("names compare exactly") << "h.264" << false << "h.264";
        QTest::newRow("nothing chosen") << "" << false << "";
    }

    void argumentsFollowTheSettingsPrecedence()
    {
        QFETCH(QString, name);
        QFETCH(bool, rewrap);
        QFETCH(QString, arguments);
        QCOMPARE(argumentsOf(name, {}, rewrap), arguments);
    }

    void outputExtensionIsThePresetsFourthFieldOrMov()
    {
        const QList<QPair<QString, QString>> entries = {
            {"/m/clip.mov|*MYPRESET*-vcodec mpeg4 -b 5M*mp4|", "mp4|"}, {"*P*-x*mkv", "mkv"},
            {"/m/a*b/c.mov|*P*-x*MP4|", "MP4|"}, // a "*" in the path is not the marker
            {"/m/a*b*c*d/c.mov|720x576 DV PAL|", "MOV"}, {"/m/c.mts|" + Rewrap + "|", "MOV"}, {"/m/c.mov", "MOV"},
            {"/m/c.mov|*P*-x|", "MOV"},
        };
        for (const auto &[entry, extension] : entries)
            QCOMPARE(outputExtension(entry), extension);
    }

    void demandFollowsTheKindOfSetting_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("demand");
        QTest::newRow("DV PAL") << argumentsOf(DvPal) << "dvvideo 720x576";
        QTest::newRow("DV NTSC") << argumentsOf(DvNtsc) << "dvvideo 720x480";
        QTest::newRow("H.264") << argumentsOf(H264) << "h264 even";
        QTest::newRow("re-wrap") << Rewrap << "like the source";
        QTest::newRow("preset") << "-vcodec mpeg4 -b 5M" << "like the source";
        QTest::newRow("preset like DNxHD") << "-vcodec dnxhd -s 1920x1080" << "like the source";
        QTest::newRow("preset without audio") << "-vcodec mpeg4 -an" << "like the source -an";
        QTest::newRow("preset without video") << "-vn -acodec flac" << "like the source -vn";
        QTest::newRow("options only look alike") << "-annotate -vnx -map 0:an" << "like the source";
    }

    void demandFollowsTheKindOfSetting()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, demand);
        QCOMPARE(describe(demandOf(arguments)), demand);
    }

    void checkOutputSaysWhyAnOutputFails_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<MediaInfo>("source");
        QTest::addColumn<MediaInfo>("output");
        QTest::addColumn<QString>("reason");
        const QString dnx = argumentsOf(Dnxhd), h264 = argumentsOf(H264), wav = argumentsOf(Wav), any = "-b 5M";
        const MediaInfo hd = media("h264", {1920, 1080}, "aac", 48000, 100);
        const MediaInfo odd = media("h264", {1919, 1081}, "aac", 48000, 10);
        const MediaInfo silent = media("h264", {1920, 1080}, "", 0, 100);
        const MediaInfo sound = media("", {}, "aac", 48000, 100);
        const auto lasting = [](MediaInfo info, double duration) { info.duration = duration; return info; };
        QTest::newRow("good DNxHD") << dnx << hd << media("dnxhd", {1920, 1080}, "pcm_s16le", 48000, 100) << "";
        QTest::newRow("unreadable") << dnx << hd << MediaInfo() << "the output cannot be read as media";
        QTest::newRow("wrong codec") << dnx << hd << hd << "the output's video is h264, not dnxhd";
        QTest::newRow("wrong size") << dnx << hd << media("dnxhd", {1280, 720}, "pcm_s16le", 48000, 100)
            << "the output's picture is 1280x720, not 1920x1080";
        QTest::newRow("H.264 made even") << h264 << odd << media("h264", {1918, 1080}, "aac", 48000, 10) << "";
        QTest::newRow("H.264 left odd") << h264 << odd << odd << "the output's picture is 1919x1081, not 1918x1080";
        QTest::newRow("video missing") << any << hd << sound << "the output has no video";
        QTest::newRow("audio missing") << dnx << hd << media("dnxhd", {1920, 1080}, "", 0, 100)
            << "the output has no audio";
        QTest::newRow("silent source") << any << silent << silent << "";
        QTest::newRow("-an leaves audio out") << "-vcodec mpeg4 -an" << hd << silent << "";
        QTest::newRow("-vn leaves video out") << "-vn" << hd << sound << "";
        QTest::newRow("-vn, video kept") << "-vn" << hd << hd << "the output has video, which the setting leaves out";
        QTest::newRow("WAV from video") << wav << hd << media("", {}, "pcm_s24le", 96000, 100) << "";
        QTest::newRow("WAV, wrong depth") << wav << hd << media("", {}, "pcm_s16le", 96000, 100)
            << "the output's audio is pcm_s16le, not pcm_s24le";
        QTest::newRow("WAV, wrong rate") << wav << hd << media("", {}, "pcm_s24le", 44100, 100)
            << "the output's audio runs at 44100 Hz, not 96000 Hz";
        QTest::newRow("1 % short") << any << hd << lasting(hd, 99) << "";
        QTest::newRow("more than 1 % short") << any << hd << lasting(hd, 98.9) << "output is 98.9 s, source 100.0 s";
        QTest::newRow("half a second long") << any << lasting(hd, 10) << lasting(hd, 10.5) << "";
        QTest::newRow("more than half a second long") << any << lasting(hd, 10) << lasting(hd, 10.6)
            << "output is 10.6 s, source 10.0 s";
        QTest::newRow("output length unknown") << any << lasting(hd, 10) << lasting(hd, -1)
            << "output is 0.0 s, source 10.0 s";
        QTest::newRow("source length unknown") << any << lasting(hd, -1) << lasting(hd, 3) << "";
    }

    void checkOutputSaysWhyAnOutputFails()
    {
        QFETCH(QString, arguments);
        QFETCH(MediaInfo, source);
        QFETCH(MediaInfo, output);
        QFETCH(QString, reason);
        QCOMPARE(checkOutput(demandOf(arguments), source, output), reason);
    }

    void probeAnswersAreRead_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("info");
        const QByteArray video = R"({"codec_type":"video","codec_name":"h264","width":1920,"height":1080})";
        const QByteArray audio = R"({"codec_type":"audio","codec_name":"aac","sample_rate":"48000"})";
        const QByteArray cover =
            R"({"codec_type":"video","codec_name":"png","width":600,"height":600,"disposition":{"attached_pic":1}})";
        const auto probe = [](const QByteArray &format, const QByteArray &streams) {
            return R"({"format":{)" + format + R"(},"streams":[)" + streams + "]}";
        };
        QTest::newRow("video and audio")
            << probe(R"("duration":"12.500","tags":{"creation_time":"2024-05-01T10:00:00Z"})", video + ',' + audio)
            << "h264 1920x1080, aac 48000, 12.5 s, 2024-05-01T10:00:00Z";
        QTest::newRow("cover art is no video") << probe(R"("duration":"3.0")", audio + ',' + cover)
                                               << "no video, aac 48000, 3 s";
        QTest::newRow("cover art before the video") << probe(R"("duration":"3")", cover + ',' + video)
                                                    << "h264 1920x1080, no audio, 3 s";
        QTest::newRow("first audio counts")
            << probe(R"("duration":"3")", audio + R"(,{"codec_type":"audio","codec_name":"mp3"})") << "no video, aac 48000, 3 s";
        QTest::newRow("length not known") << probe(R"("duration":"N/A")", "") << "no video, no audio, -1 s";
        QTest::newRow("no format") << QByteArray(R"({"streams":[]})") << "unreadable";
        QTest::newRow("empty answer") << QByteArray() << "unreadable";
        QTest::newRow("broken answer") << QByteArray(R"({"format":{"duration":)") << "unreadable";
    }

    void probeAnswersAreRead()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, info);
        QCOMPARE(describe(parseProbe(json)), info);
    }

    // Messages as far as they have arrived; the last line may be cut anywhere.
    void engineMessagesGiveProgressAndLength_data()
    {
        QTest::addColumn<QByteArray>("messages");
        QTest::addColumn<double>("progress");
        QTest::addColumn<double>("duration");
        QTest::newRow("nothing yet") << QByteArray("ffmpeg version 5.1") << -1.0 << -1.0;
        QTest::newRow("length, then progress")
            << QByteArray("  Duration: 01:02:03.50, start: 0.0\nframe=1 time=00:01:02.25 bitrate=1k\r") << 62.25 << 3723.5;
        QTest::newRow("latest of several") << QByteArray("time=00:00:01.00 x\rtime=00:00:02.00 x\r") << 2.0 << -1.0;
        QTest::newRow("last one cut off") << QByteArray("time=00:00:04.00 x\rframe=9 time=00:00:12.3") << 4.0 << -1.0;
        QTest::newRow("cut in its hours") << QByteArray("time=00:00:04.00 x\rtime=0") << 4.0 << -1.0;
        QTest::newRow("not known") << QByteArray("Duration: N/A, bitrate: N/A\ntime=N/A bitrate=N/A\r") << -1.0 << -1.0;
        QTest::newRow("not known after a time") << QByteArray("time=00:00:05.00 x\rtime=N/A x\r") << 5.0 << -1.0;
        QTest::newRow("negative") << QByteArray("time=-00:00:00.04 bitrate=N/A\r") << -1.0 << -1.0;
        QTest::newRow("the input's length, not the output's")
            << QByteArray("Duration: 00:00:10.00, start\nDuration: 00:00:20.00, start\n") << -1.0 << 10.0;
    }

    void engineMessagesGiveProgressAndLength()
    {
        QFETCH(QByteArray, messages);
        QFETCH(double, progress);
        QFETCH(double, duration);
        QCOMPARE(progressSeconds(messages), progress);
        QCOMPARE(durationSeconds(messages), duration);
    }

    void lastErrorLineSkipsProgressAndTheClosingLine_data()
    {
        QTest::addColumn<QByteArray>("messages");
        QTest::addColumn<QString>("line");
        QTest::newRow("typical failure")
            << QByteArray("Input #0\n[libx264 @ 0x5] width not divisible by 2\nConversion failed!\n")
            << "[libx264 @ 0x5] width not divisible by 2";
        QTest::newRow("progress after the error")
            << QByteArray("Error while decoding\nframe=  10 fps=0.0 size=  1kB time=00:00:01.00 speed=1x    \n")
            << "Error while decoding";
        QTest::newRow("error behind a carriage return") << QByteArray("frame=  1 fps=0\rNo space left\n") << "No space left";
        QTest::newRow("summary lines") << QByteArray("disk full\nvideo:10kB audio:2kB\nsize=  12kB time=0\n") << "disk full";
        QTest::newRow("UTF-8") << QByteArray("/Видео/a.mov: denied\n") << QStringLiteral("/Видео/a.mov: denied");
        QTest::newRow("only the closing line") << QByteArray("Conversion failed!\n") << "";
        QTest::newRow("nothing") << QByteArray() << "";
    }

    void lastErrorLineSkipsProgressAndTheClosingLine()
    {
        QFETCH(QByteArray, messages);
        QFETCH(QString, line);
        QCOMPARE(lastErrorLine(messages), line);
    }

    void everyGuidanceKeyAnswersInAnyCase()
    {
        const QStringList keys = guidanceKeys();
        QVERIFY(!keys.isEmpty());
        for (const QString &key : keys) {
            const Guidance lower = guidanceFor(key);
            const Guidance upper = guidanceFor(key.toUpper());
            QVERIFY2(lower.found && !lower.text.trimmed().isEmpty(), qPrintable(key));
            QVERIFY(upper.found && upper.text == lower.text && upper.audioCombos == lower.audioCombos);
            QCOMPARE(lower.rewrapBox, key == "mts");
        }
        for (const char *unknown : {"xyz", "", "wv", "mov ", ".mov"})
            QVERIFY2(!guidanceFor(unknown).found && guidanceFor(unknown).text.isEmpty(), unknown);
    }

    // Texts and widgets that look like slips but are the product's own.
    void quirkyGuidanceIsKept_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text"); // empty: as for the key "aif"
        QTest::addColumn<bool>("audioCombos");
        QTest::newRow("3gp") << "3gp"
            << QString::fromUtf16(u"3gp = 3gpp (\u201C3rd Generation Partnership Project\u201D) - These files are usually "
                                  u"coming from Mobile Phones or Low Rez cameras. Must be converted before editing.Conversion "
                                  u"to PAL or NTSC is enough.") << false;
        QTest::newRow("mjpeg") << "mjpeg" << "MJPEG  video.Usually ,  No conversion needed!" << false;
        QTest::newRow("tta") << "tta" << " TTA lossless audio codec. Convert into wav for editing." << true;
        QTest::newRow("srt") << "srt" << "SRT Subtitles! Possible Conversion to XML for DCP! " << false;
        QTest::newRow("mp2, the later row") << "mp2" << "MP2 Lossy Audio Codec.Convert to WAV for editing!" << true;
        QTest::newRow("vw, not wv") << "vw" << "WavPack is a free, open source lossless audio compression format "
                                               "developed by Orvale Convert into  wav for editing." << true;
        QTest::newRow("aiff shares aif") << "aiff" << "" << true;
        QTest::newRow("m2a without combos") << "m2a" << "M2A is an extension used for MPEG 2 AUDIO.Convert to WAV for editing."
                                            << false;
        QTest::newRow("wav without combos") << "wav" << "WAV , no conversion needed to edit." << false;
    }

    void quirkyGuidanceIsKept()
    {
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(bool, audioCombos);
        QCOMPARE(guidanceFor(key).text, text.isEmpty() ? guidanceFor("aif").text : text);
        QCOMPARE(guidanceFor(key).audioCombos, audioCombos);
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
