// Footage like editors receive it, made small by ffmpeg, through the settings that
// concern it: the real engine runs the command the run builds, ffprobe reads the result.

#include "core/media/intermediates.h"
#include "core/media/mediaprobe.h"
#include "core/media/settingscatalogue.h"
#include "core/media/sourcefit.h"
#include "core/run/sourcefacts.h"
#include "core/shell/commands.h"
#include "testsupport.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace Settings;

namespace {
const QString lavfi = QStringLiteral("lavfi");

// name -> how ffmpeg makes it (after -nostdin -v error -y); each a fraction of a second.
const QList<QPair<QString, QStringList>> clips = {
    // A camera card: one microphone a track, 24-bit, with timecode.
    {"A001.MOV", {"-f", lavfi, "-i", "testsrc2=s=1920x1080:r=25:d=0.4", "-f", lavfi, "-i", "sine=f=440:d=0.4:r=48000",
                  "-f", lavfi, "-i", "sine=f=550:d=0.4:r=48000", "-f", lavfi, "-i", "sine=f=660:d=0.4:r=48000",
                  "-f", lavfi, "-i", "sine=f=770:d=0.4:r=48000", "-map", "0", "-map", "1", "-map", "2", "-map", "3",
                  "-map", "4", "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "pcm_s24le",
                  "-timecode", "01:00:00:00"}},
    // An NTSC camera: drop-frame timecode.
    {"C2997.MP4", {"-f", lavfi, "-i", "testsrc2=s=1280x720:r=30000/1001:d=0.4", "-f", lavfi, "-i", "sine=d=0.4",
                   "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-c:a", "aac", "-timecode",
                   "00:59:59;28"}},
    {"UHD.MOV", {"-f", lavfi, "-i", "testsrc2=s=3840x2160:r=25:d=0.08", "-f", lavfi, "-i", "sine=d=0.08:r=48000",
                 "-c:v", "prores_ks", "-profile:v", "hq", "-pix_fmt", "yuv422p10le", "-c:a", "pcm_s24le"}},
    // A phone: upright, its frames as they came (every sixth late by half a frame).
    {"PHONE.MP4", {"-f", lavfi, "-i", "testsrc2=s=720x1280:r=30:d=0.5", "-f", lavfi, "-i", "sine=d=0.5", "-vf",
                   "setpts=(N+0.5*floor(N/6))/30/TB", "-fps_mode", "vfr", "-c:v", "libx265", "-preset", "ultrafast",
                   "-x265-params", "log-level=error", "-c:a", "aac"}},
    // Broadcast 1080i, bottom field first as DV-era decks deliver it.
    {"I50.TS", {"-f", lavfi, "-i", "testsrc2=s=1920x1080:r=25:d=0.4", "-f", lavfi, "-i", "sine=d=0.4:r=48000",
                "-vf", "setfield=bff", "-flags", "+ildct+ilme", "-c:v", "mpeg2video", "-b:v", "8M", "-c:a", "ac3"}},
    {"WEB.WEBM", {"-f", lavfi, "-i", "testsrc2=s=640x360:r=25:d=0.4", "-f", lavfi, "-i", "sine=d=0.4:r=48000",
                  "-f", "webvtt", "-i", "SUBS.VTT", "-map", "0", "-map", "1", "-map", "2", "-c:v", "libvpx-vp9",
                  "-deadline", "realtime", "-cpu-used", "8", "-c:a", "libopus", "-c:s", "webvtt"}},
    // A phone held upright: its frames stored lying down, turned by the container.
    {"UPRIGHT.MOV", {"-i", "C2997.MP4", "-c", "copy", "-metadata:s:v:0", "rotate=90"}},
    // A drone or a screen recording: a picture without sound.
    {"DRONE.MP4", {"-f", lavfi, "-i", "testsrc2=s=1280x720:r=25:d=0.4", "-c:v", "libx264", "-preset", "ultrafast"}},
};

QString ffprobe()
{
    return QStandardPaths::findExecutable(QStringLiteral("ffprobe"));
}

MediaInfo probe(const QString &path)
{
    return parseProbe(runProgram(ffprobe(), probeArguments(path)));
}

QString choice(const QString &name, const QString &profile = {})
{
    return argumentsFor({name, profile, QStringLiteral("24"), QStringLiteral("48000"), false, profile});
}
} // namespace

class TestFootage final : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    QHash<QString, MediaInfo> sources;
    int made = 0;

private slots:
    void initTestCase()
    {
        if (!haveFfmpeg() || ffprobe().isEmpty())
            QSKIP("ffmpeg and ffprobe are needed for the footage");
        QVERIFY(writeFile(dir.filePath("SUBS.VTT"), "WEBVTT\n\n00:00.000 --> 00:00.300\nHello\n"));
        QDir::setCurrent(dir.path());
        for (const auto &clip : clips) {
            QVERIFY2(runFfmpeg(clip.second + QStringList{clip.first}), qPrintable(clip.first));
            sources.insert(clip.first, probe(dir.filePath(clip.first)));
        }
    }

    // fitted: the setting's arguments with what the source needs, as the run builds them;
    // otherwise the arguments alone, which the output check must then refuse with reason.
    void footageKeepsItsTracksRateAndFields_data()
    {
        QTest::addColumn<QString>("clip");
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<bool>("fitted");
        QTest::addColumn<int>("tracks");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QString>("reason");
        const QString dnx25 = choice(Dnxhd, "1080p/25 36"), dnxi = choice(Dnxhd, "1080i/50 120");
        const QString hqx = choice(Dnxhr, "HQX"), proresHq = choice(Prores, "422 HQ"), lt = choice(Prores, "422 LT");
        const QSize hd(1920, 1080);
        // clip, arguments, fitted, tracks, size, rate, fields, detail, reason
        QTest::newRow("camera, DNxHD") << "A001.MOV" << dnx25 << true << 4 << hd << "25" << "progressive" << "" << "";
        QTest::newRow("camera, one track of four")
            << "A001.MOV" << dnx25 << false << 1 << hd << "25" << "progressive" << ""
            << "the output has 1 of the source's 4 audio tracks";
        QTest::newRow("camera, ProRes keeps 24 bits") << "A001.MOV" << proresHq << true << 4 << hd << "25"
                                                      << "progressive" << "" << "";
        QTest::newRow("camera, re-wrap") << "A001.MOV" << Rewrap << true << 4 << hd << "25" << "progressive" << "" << "";
        QTest::newRow("camera, WAV") << "A001.MOV" << choice(Wav) << true << 4 << QSize() << "" << "" << "" << "";
        QTest::newRow("29.97 to 25") << "C2997.MP4" << dnx25 << true << 1 << hd << "25" << "progressive"
                                     << "29.97 fps source written at 25 fps (frames dropped)" << "";
        QTest::newRow("29.97 kept") << "C2997.MP4" << choice(Dnxhd, "720p/29.97 75") << true << 1
                                    << QSize(1280, 720) << "30000/1001" << "progressive" << "" << "";
        QTest::newRow("29.97 to DV NTSC") << "C2997.MP4" << choice(DvNtsc) << true << 1 << QSize(720, 480)
                                          << "30000/1001" << "" << "" << "";
        QTest::newRow("UHD, DNxHR HQX") << "UHD.MOV" << hqx << true << 1 << QSize(3840, 2160) << "25" << "progressive"
                                        << "" << "";
        QTest::newRow("phone, DNxHD") << "PHONE.MP4" << dnx25 << true << 1 << hd << "25" << "progressive"
                                      << "fps on average) written at a constant 25 fps"
                                      << "";
        QTest::newRow("phone, H.264") << "PHONE.MP4" << choice(H264) << true << 1 << QSize(720, 1280) << "30000/1001"
                                      << "" << "written at a constant 29.97 fps" << "";
        QTest::newRow("phone, ProRes") << "PHONE.MP4" << lt << true << 1 << QSize(720, 1280) << "30000/1001"
                                       << "progressive" << "written at a constant 29.97 fps" << "";
        QTest::newRow("phone, re-wrap") << "PHONE.MP4" << Rewrap << true << 1 << QSize(720, 1280) << "" << ""
                                        << "variable-rate source: the output keeps a variable rate" << "";
        QTest::newRow("1080i, DNxHD fields") << "I50.TS" << dnxi << true << 1 << hd << "25" << "bb" << "" << "";
        QTest::newRow("1080i, ProRes") << "I50.TS" << proresHq << true << 1 << hd << "25" << "bb" << "" << "";
        QTest::newRow("1080i, DNxHR") << "I50.TS" << choice(Dnxhr, "SQ") << true << 1 << hd << "25" << "progressive"
                                      << "interlaced source written as whole frames" << "";
        QTest::newRow("web, H.264") << "WEB.WEBM" << choice(H264) << true << 1 << QSize(640, 360) << "25" << ""
                                    << "stream 2 (subtitle webvtt) left out: the output cannot hold it" << "";
        QTest::newRow("upright, ProRes") << "UPRIGHT.MOV" << lt << true << 1 << QSize(720, 1280) << "30000/1001"
                                         << "progressive" << "" << "";
        QTest::newRow("silent, ProRes") << "DRONE.MP4" << lt << true << 0 << QSize(1280, 720) << "25" << "progressive"
                                        << "" << "";
        QTest::newRow("progressive on 1080i") << "WEB.WEBM" << dnxi << true << 1 << hd << "25" << "tt"
                                              << "stream 2" << "";
    }

    void footageKeepsItsTracksRateAndFields()
    {
        QFETCH(QString, clip);
        QFETCH(QString, arguments);
        QFETCH(bool, fitted);
        QFETCH(QString, reason);
        const QString source = dir.filePath(clip), output = dir.filePath(QStringLiteral("out%1.MOV").arg(++made));
        const MediaInfo in = sources.value(clip);
        const SourceFit fit = fitToSource(arguments, in);
        const QString command = engineCommand(Engine{QStringLiteral("ffmpeg"), true}, source,
                                              fitted ? arguments + QLatin1Char(' ') + fit.extraArguments : arguments,
                                              output);
        int status = -1;
        runProgram(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command + QLatin1String(" -v error -nostdin")},
                   &status);
        QVERIFY2(status == 0, qPrintable(command));
        const MediaInfo out = probe(output);
        QCOMPARE(checkOutput(demandOf(arguments), in, out), reason);
        // A render node given the source's facts in its batch line fits and judges alike.
        const std::optional<SourceFacts> carried = parseSourceFacts(sourceFactsText({{7, 1}, in}));
        QVERIFY(carried && carried->state == FileState({7, 1}));
        QCOMPARE(sourceFactsText(*carried), sourceFactsText({{7, 1}, in}));
        QCOMPARE(fitToSource(arguments, carried->info).extraArguments, fit.extraArguments);
        QCOMPARE(fitToSource(arguments, carried->info).details, fit.details);
        QCOMPARE(checkOutput(demandOf(arguments), carried->info, out), reason);

        QFETCH(int, tracks);
        QFETCH(QSize, size);
        QFETCH(QString, rate);
        QFETCH(QString, fields);
        QFETCH(QString, detail);
        const StreamInfo *video = out.video();
        QCOMPARE(int(out.streamsOf(QStringLiteral("audio")).size()), tracks);
        if (fitted)
            QCOMPARE(fit.expectedAudioStreams, tracks);
        QCOMPARE(video ? video->frameSize : QSize(), size);
        if (!rate.isEmpty())
            QCOMPARE(video->rate.text(), rate);
        if (!fields.isEmpty())
            QCOMPARE(video->fieldOrder, fields);
        QVERIFY2(detail.isEmpty() ? fit.details.isEmpty() : fit.details.join('\n').contains(detail),
                 qPrintable(fit.details.join('\n')));
        // The camera's timecode track goes wherever a picture does, unless the report says why not.
        const bool timecodeLeftOut = fit.details.join('\n').contains(in.timecode);
        QCOMPARE(out.timecode.isEmpty(), !video || in.timecode.isEmpty() || timecodeLeftOut);
    }
};

QTEST_GUILESS_MAIN(TestFootage)
#include "tst_footage.moc"
