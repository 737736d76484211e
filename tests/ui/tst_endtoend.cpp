// Whole runs with the real engine: small clips made by ffmpeg are converted, copied and
// checked with ffprobe, once through the form's widgets and otherwise through the run.

#include "core/base/workingfolder.h"
#include "core/files/checksums.h"
#include "core/run/conversionrun.h"
#include "core/run/runfiles.h"
#include "ui/form/eksform.h"
#include "core/media/settingscatalogue.h"
#include "testsupport.h"
#include "uisupport.h"

#include <QComboBox>
#include <QListView>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

namespace {
const QString Success = QStringLiteral("Success! All your files were converted! PLease check destination!");
const QString Created = QStringLiteral("2019-05-04T03:02:01.000000Z");

QString ffprobe()
{
    return QStandardPaths::findExecutable(QStringLiteral("ffprobe"));
}

// What ffprobe says of the entries (e.g. "stream=codec_name") of the streams selected.
QString probed(const QString &path, const char *entries, const char *streams = "v:0")
{
    return QString::fromUtf8(runProgram(ffprobe(), {"-v", "error", "-select_streams", streams, "-show_entries",
                                                    entries, "-of", "csv=p=0", path})).trimmed();
}

// "codec,profile,width,height,pix_fmt" of the first video stream, "|", "codec,sample_rate" of
// the first audio stream.
QString streams(const QString &path)
{
    return probed(path, "stream=codec_name,width,height,pix_fmt,profile") + '|'
           + probed(path, "stream=codec_name,sample_rate", "a:0");
}

QString creationTime(const QString &path)
{
    return probed(path, "format_tags=creation_time");
}

// A run of the given jobs (path relative to src, arguments; empty arguments copy) with the
// real engine and ffprobe, two at a time.
std::unique_ptr<ConversionRun> convert(const QString &src, const QString &out,
                                       const QList<QPair<QString, QString>> &jobs)
{
    QList<ConversionJob> list;
    for (const auto &[path, arguments] : jobs)
        list.append({src + '/' + path, arguments, QStringLiteral("MOV"), arguments.isEmpty()});
    auto run = std::make_unique<ConversionRun>(list, QStringList{"file://" + src}, out,
                                               Engine{QStringLiteral("ffmpeg"), true});
    run->setProbe(ffprobe());
    run->setEnginesAtOnce(2);
    QSignalSpy done(run.get(), &ConversionRun::finished);
    run->start();
    if (!done.wait(300000))
        qWarning("the run did not finish");
    return run;
}
} // namespace

class EndToEndTest final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_media;

    // What cameras, recorders and phones record, odd sizes among them, each with sound and a
    // creation time. (This engine's H.264 decoder loses frames of libx264's 10-bit 4:2:2.)
    QStringList sourceKinds() const
    {
        return {"mpeg2-420-720x405.mpg", "h264-422-1280x720.mov", "h264-444-721x405.mkv",
                "prores-422-10bit-1920x1080.mov"};
    }

private slots:
    void initTestCase()
    {
        if (!haveFfmpeg() || ffprobe().isEmpty())
            QSKIP("ffmpeg and ffprobe are needed for end-to-end runs");
        const QList<QStringList> encodings = {
            {"-s", "720x405", "-c:v", "mpeg2video", "-pix_fmt", "yuv420p", "-c:a", "mp2"},
            {"-s", "1280x720", "-c:v", "libx264", "-pix_fmt", "yuv422p"},
            {"-s", "721x405", "-c:v", "libx264", "-pix_fmt", "yuv444p"},
            {"-s", "1920x1080", "-c:v", "prores_ks", "-pix_fmt", "yuv422p10le"}};
        for (int i = 0; i < encodings.size(); ++i)
            QVERIFY(runFfmpeg(QStringList{"-f", "lavfi", "-i", "testsrc=rate=25", "-f", "lavfi", "-i",
                                          "sine=sample_rate=44100", "-t", "0.2", "-metadata",
                                          "creation_time=" + Created}
                              + encodings.at(i) + QStringList{m_media.filePath(sourceKinds().at(i))}));
        // A camera card's clip: broadcast 29.97, one microphone a track, timecode.
        QStringList camera{"-f", "lavfi", "-i", "testsrc=rate=30000/1001:size=1280x720:duration=0.4"}, maps{"-map", "0"};
        for (int track = 1; track <= 4; ++track) {
            camera << "-f" << "lavfi" << "-i" << QString("sine=f=%1:r=48000:d=0.4").arg(track * 110);
            maps << "-map" << QString::number(track);
        }
        QVERIFY(runFfmpeg(camera + maps + QStringList{"-c:v", "libx264", "-preset", "ultrafast", "-c:a",
                                               "pcm_s24le", "-timecode", "01:00:00:00", m_media.filePath("A001.MOV")}));
    }

    void everySettingConvertsWhatCamerasRecord_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("expected"); // a pattern for streams()
        QTest::addColumn<QStringList>("kinds");
        const QString pcm = QStringLiteral("\\|pcm_s16le,48000");
        // The DNxHD variants share their arguments but for size and rates: each takes one
        // kind of source in turn, so that every kind meets several of them.
        int variant = 0;
        for (const auto &[label, arguments] : Settings::dnxhdTable()) {
            const QString size = QString::fromStdString(label).startsWith("720") ? "1280,720" : "1920,1080";
            QTest::newRow(label.c_str()) << QString::fromStdString(arguments)
                                         << "dnxhd,DNXHD," + size + ",yuv422p" + pcm
                                         << QStringList(sourceKinds().at(variant++ % 4));
        }
        const auto setting = [](const QString &name, const QString &bits = {}, const QString &rate = {}) {
            return Settings::argumentsFor({name, {}, bits, rate, false});
        };
        const QStringList all = sourceKinds();
        QTest::newRow("DV PAL") << setting(Settings::DvPal) << "dvvideo,unknown,720,576,yuv420p" + pcm << all;
        QTest::newRow("DV NTSC") << setting(Settings::DvNtsc) << "dvvideo,unknown,720,480,yuv411p" + pcm << all;
        QTest::newRow("H.264") << setting(Settings::H264)
                               << "h264,High,\\d*[02468],\\d*[02468],yuv420p\\|aac,44100" << all;
        QTest::newRow("WAV") << setting(Settings::Wav, "24", "96000") << "\\|pcm_s24le,96000" << all;
        QTest::newRow("re-wrap") << Settings::Rewrap << "(mpeg2video|h264|prores),.*\\|pcm_s16le,44100" << all;
    }
    void everySettingConvertsWhatCamerasRecord()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, expected);
        QFETCH(QStringList, kinds);
        Sandbox sandbox;
        const QString src = sandbox.path() + QLatin1String("/src");
        const QString out = sandbox.path() + QLatin1String("/out");
        QVERIFY(QDir().mkpath(src) && QDir().mkpath(out));
        QList<QPair<QString, QString>> jobs;
        for (const QString &kind : kinds) {
            QVERIFY(QFile::copy(m_media.filePath(kind), src + '/' + kind));
            if (!kind.endsWith(".mpg")) // MPEG program streams carry no creation time
                QCOMPARE(creationTime(src + '/' + kind), Created);
            jobs.append({kind, arguments});
        }
        const auto run = convert(src, out, jobs);
        QVERIFY2(run->notConverted().isEmpty(), qPrintable(run->reportDetails()));
        for (const ConversionRun::Result &result : run->results()) {
            QVERIFY2(QRegularExpression('^' + expected + '$').match(streams(result.output)).hasMatch(),
                     qPrintable(result.output + ": " + streams(result.output)));
            QCOMPARE(creationTime(result.output), creationTime(result.source));
            QCOMPARE(QFileInfo(result.output).lastModified(), QFileInfo(result.source).lastModified());
        }
    }

    // Hostile names through a whole batch: converted and copied inside the destination,
    // nothing else run; xxhsum accepts the copies' checksums, and GNU parallel runs the batch
    // file again unchanged (but for the name holding a line break, which no line can hold).
    void hostileNamesConvertAndCopyAndTheBatchRunsAgainWithParallel()
    {
        Sandbox sandbox;
        const QString src = sandbox.path() + QLatin1String("/src $(touch pwned)");
        const QString out = sandbox.path() + QLatin1String("/out");
        QVERIFY(QDir().mkpath(src) && QDir().mkpath(out));
        const QStringList names{"it's \"q\" `touch pwned`.mpg", "a;b&&c|d>e.mpg", "-leading.mpg",
                                "back\\slash.mpg", "new\nline.mpg", " blanks .mpg", "日本語 ✓.mpg",
                                "copied\nline.mpg"};
        QList<QPair<QString, QString>> jobs;
        for (int i = 0; i < names.size(); ++i) {
            QVERIFY(QFile::copy(m_media.filePath(sourceKinds().at(0)), src + '/' + names.at(i)));
            jobs.append({names.at(i), i < 5 ? Settings::Rewrap : QString()});
        }
        const auto run = convert(src, out, jobs);
        QVERIFY2(run->notConverted().isEmpty(), qPrintable(run->reportDetails()));
        for (const ConversionRun::Result &result : run->results())
            QVERIFY(result.output.startsWith(out + "/src $(touch pwned)/"));
        QCOMPARE(filesBelow(out).size(), names.size() + 1);
        QVERIFY(!QFileInfo::exists(sandbox.path() + "/pwned") && !QFileInfo::exists("pwned"));
        // Neither the batch file nor the checksum file can hold a name with a line break.
        const QString details = run->reportDetails();
        QVERIFY(details.contains(LeftOutText.arg(QFileInfo(batchFilePath()).fileName(), src + "/new\nline.mpg")));
        QVERIFY(details.contains(LeftOutText.arg(ChecksumFileName, out + "/src $(touch pwned)/copied\nline.mpg")));
        QProcess check;
        check.setWorkingDirectory(out);
        check.start(QStringLiteral("xxhsum"), {"-c", "checksums.xxh128"});
        QVERIFY2(check.waitForFinished() && check.exitCode() == 0, check.readAll().constData());

        if (QStandardPaths::findExecutable(QStringLiteral("parallel")).isEmpty())
            QSKIP("GNU parallel is not installed");
        for (const ConversionRun::Result &result : run->results().mid(0, 5))
            QVERIFY(QFile::remove(result.output));
        int status = -1;
        runProgram(QStringLiteral("/bin/sh"),
                   {"-c", "parallel --will-cite -j 2 < \"$HOME/Desktop/batch_file.txt\""}, &status);
        QCOMPARE(status, 0);
        for (const ConversionRun::Result &result : run->results().mid(0, 5))
            QCOMPARE(QFileInfo::exists(result.output), !result.output.contains('\n'));
    }

    // The whole road through the windows: settings applied with the widgets, RUN IT NOW, the
    // report, the job script and the opener. The camera's four tracks are all kept, and the
    // report names the rate the 25 fps row changed.
    void formConvertsAndReportsWhatFailed()
    {
        Sandbox sandbox;
        const QString src = sandbox.path() + QLatin1String("/src"), out = sandbox.path() + QLatin1String("/out");
        QVERIFY(QDir().mkpath(src + "/day1") && QDir().mkpath(out));
        QVERIFY(QFile::link(QStandardPaths::findExecutable("ffmpeg"), sandbox.engines() + "/ffmpeg"));
        writeRecordingProgram(sandbox.bin() + QLatin1String("/open"), sandbox.path() + "/opened");
        QVERIFY(QFile::copy(m_media.filePath("A001.MOV"), src + "/day1/A001.MOV"));
        QVERIFY(writeFile(src + "/notes.mov", "Call the client about the second cut.\n"));

        DialogAnswers answers(QMessageBox::Ok);
        eksForm form;
        form.show();
        form.receiveEXT({"mov"}, {{src + "/day1/A001.MOV", src + "/notes.mov"}}, {"file://" + src}, out);
        form.findChild<QListView *>("listView_2")->selectAll();
        auto *settings = form.findChild<QListWidget *>("listWidget");
        settings->setCurrentItem(settings->findItems(Settings::Dnxhd, Qt::MatchExactly).value(0));
        form.findChild<QComboBox *>("comboBox")->setCurrentText("1080p/25 36");
        form.findChild<QPushButton *>("pushButton")->click();
        form.findChild<QPushButton *>("pushButton_4")->click();
        QTRY_COMPARE_WITH_TIMEOUT(answers.texts.size(), 1, 60000);

        const QString converted = out + "/src/day1/A001.MOV", failed = out + "/src/notes.MOV";
        QCOMPARE(answers.texts.first(), reportText({failed}));
        QVERIFY(answers.detailed.first().contains("not converted: " + failed + " ("));
        QVERIFY2(answers.detailed.first().contains("converted: " + converted
                                                   + "\nA001.MOV: 29.97 fps source written at 25 fps (frames dropped)"),
                 qPrintable(answers.detailed.first()));
        QCOMPARE(filesBelow(out), QStringList("src/day1/A001.MOV"));
        QVERIFY(streams(converted).startsWith("dnxhd,DNXHD,1920,1080,yuv422p"));
        QCOMPARE(probed(converted, "stream=codec_name,sample_rate", "a"), QString("pcm_s16le,48000\n").repeated(4).trimmed());
        QCOMPARE(probed(converted, "stream=r_frame_rate"), "25/1");
        const QStringList lines = jobScriptLines(sandbox);
        QVERIFY2(lines.at(1).endsWith(" -y -map_metadata 0 -vcodec dnxhd -pix_fmt yuv422p -s 1920x1080 -b 36M -r 25"
                                      " -acodec pcm_s16le -ar 48000  -map 0:0 -map 0:1 -map 0:2 -map 0:3 -map 0:4"
                                      " -vf fps=25 \"" + converted + '"'),
                 qPrintable(lines.at(1)));
        QVERIFY(lines.join('\n').endsWith(answers.texts.first() + '\n'));
        QTRY_COMPARE(recordedCalls(sandbox.path() + "/opened"), QList<QStringList>({{sandbox.jobScript()}}));
    }
};

QTEST_MAIN(EndToEndTest)
#include "tst_endtoend.moc"
