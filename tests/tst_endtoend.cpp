// Whole runs of the conversion form with the real engine: small clips made by ffmpeg are
// assigned settings through the form's widgets, RUN IT NOW converts them, and ffprobe
// looks at what came out.

#include "convert/eksform.h"
#include "testsupport.h"
#include "uisupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListView>
#include <QListWidget>
#include <QMap>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QtTest>

namespace {

const QString Success
    = QStringLiteral("Success! All your files were converted! PLease check destination!");
const QByteArray JobScriptHeader = "# Start of the file:\n";
const QByteArray Bom = "\xEF\xBB\xBF";

// What ANALYZE hands over: extensions in order, each with its sorted files.
struct Analysis
{
    QStringList lista;
    QVector<QStringList> filtrirani;
};

Analysis groupByExtension(const QStringList &files)
{
    QMap<QString, QStringList> groups;
    for (const QString &file : files)
        groups[QFileInfo(file).suffix().toLower()].append(file);
    Analysis analysis;
    for (auto it = groups.cbegin(); it != groups.cend(); ++it) {
        QStringList paths = it.value();
        paths.sort();
        analysis.lista.append(it.key());
        analysis.filtrirani.append(paths);
    }
    return analysis;
}

// Relative path to SHA-256 of every file below root.
QMap<QString, QByteArray> checksums(const QString &root)
{
    QMap<QString, QByteArray> sums;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        sums.insert(QDir(root).relativeFilePath(path),
                    QCryptographicHash::hash(readFile(path), QCryptographicHash::Sha256));
    }
    return sums;
}

QStringList filesBelow(const QString &root)
{
    QStringList files = checksums(root).keys();
    files.sort();
    return files;
}

QJsonObject probe(const QString &path)
{
    return QJsonDocument::fromJson(runProgram(QStringLiteral("ffprobe"),
                                              {"-v", "error", "-show_streams", "-show_format",
                                               "-of", "json", path}))
        .object();
}

// "codec_name,width,..." of the first stream of the type ("video", "audio"), fields
// joined by commas.
QString streamFields(const QJsonObject &probed, const QString &type, const QStringList &names)
{
    for (const QJsonValue &value : probed.value(QLatin1String("streams")).toArray()) {
        const QJsonObject stream = value.toObject();
        if (stream.value(QLatin1String("codec_type")).toString() != type)
            continue;
        QStringList fields;
        for (const QString &name : names) {
            const QJsonValue field = stream.value(name);
            fields.append(field.isDouble() ? QString::number(field.toInt()) : field.toString());
        }
        return fields.join(QLatin1Char(','));
    }
    return {};
}

QString video(const QString &path)
{
    return streamFields(probe(path), QStringLiteral("video"),
                        {"codec_name", "width", "height", "r_frame_rate"});
}

// The entries of the job script after its header: each begins with its own byte-order mark.
QList<QByteArray> jobScriptEntries(const QByteArray &script)
{
    QList<QByteArray> entries;
    if (!script.startsWith(JobScriptHeader))
        return entries;
    const QByteArray body = script.mid(JobScriptHeader.size());
    if (!body.startsWith(Bom))
        return entries;
    qsizetype start = Bom.size();
    while (true) {
        const qsizetype next = body.indexOf(Bom, start);
        entries.append(body.mid(start, next < 0 ? -1 : next - start));
        if (next < 0)
            break;
        start = next + Bom.size();
    }
    return entries;
}

QByteArray quoted(const QString &path)
{
    return '"' + path.toUtf8() + '"';
}

} // namespace

class EndToEndTest final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_media;

    template <typename T> static T *child(eksForm &form, const char *name)
    {
        T *widget = form.findChild<T *>(QLatin1String(name));
        Q_ASSERT(widget);
        return widget;
    }

    // The real engine in the engines folder and a stand-in for the final "open"; returns
    // the working folder as the program sees it (getcwd resolves links).
    static QString prepare(const Sandbox &sandbox)
    {
        const QString engine = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
        QFile::link(QFileInfo(engine).canonicalFilePath(), sandbox.engines() + "/ffmpeg");
        writeRecordingProgram(sandbox.bin() + QLatin1String("/open"), openRecord(sandbox));
        QDir().mkpath(sandbox.path() + QLatin1String("/out"));
        return QFileInfo(sandbox.path()).canonicalFilePath();
    }

    static QString openRecord(const Sandbox &sandbox) { return sandbox.path() + "/open-calls.txt"; }

    // Clicks the extension and selects the files, through the form's widgets.
    static void select(eksForm &form, const QString &extension, const QStringList &files)
    {
        auto *extensions = child<QListView>(form, "listView");
        const QModelIndexList rows = extensions->model()->match(
            extensions->model()->index(0, 0), Qt::DisplayRole, extension, 1, Qt::MatchExactly);
        QVERIFY2(!rows.isEmpty(), qPrintable(extension));
        extensions->scrollTo(rows.first());
        QTest::mouseClick(extensions->viewport(), Qt::LeftButton, {},
                          extensions->visualRect(rows.first()).center());
        QCOMPARE(tempo, extension);
        auto *view = child<QListView>(form, "listView_2");
        view->selectionModel()->clearSelection();
        int selected = 0;
        for (int row = 0; row < view->model()->rowCount(); ++row) {
            const QModelIndex index = view->model()->index(row, 0);
            if (files.contains(index.data().toString().section(QLatin1Char('|'), 0, 0))) {
                view->selectionModel()->select(index, QItemSelectionModel::Select);
                ++selected;
            }
        }
        QCOMPARE(selected, files.size());
    }

    // Selects, clicks the setting, sets the combo boxes (object name -> text) and applies.
    static void assign(eksForm &form, const QString &extension, const QStringList &files,
                       const QString &setting, const QMap<QString, QString> &combos = {})
    {
        select(form, extension, files);
        auto *list = child<QListWidget>(form, "listWidget");
        const QList<QListWidgetItem *> items = list->findItems(setting, Qt::MatchExactly);
        QVERIFY2(items.size() == 1, qPrintable(setting));
        list->scrollToItem(items.first());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(items.first()).center());
        QCOMPARE(list->currentItem()->text(), setting);
        for (auto it = combos.cbegin(); it != combos.cend(); ++it) {
            auto *combo = form.findChild<QComboBox *>(it.key());
            QVERIFY(combo);
            combo->setCurrentText(it.value());
            QCOMPARE(combo->currentText(), it.value());
        }
        child<QPushButton>(form, "pushButton")->click();
    }

    // Shows a form with the sources grouped as ANALYZE groups them.
    static void open(eksForm &form, const QStringList &sources, const QString &dropped,
                     const QString &out)
    {
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const Analysis analysis = groupByExtension(sources);
        form.receiveEXT(analysis.lista, analysis.filtrirani, {"file://" + dropped}, out);
    }

    static QStringList videoOnlyInput(int frames)
    {
        return {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-frames:v",
                QString::number(frames), "-pix_fmt", "yuv420p"};
    }

private slots:
    void initTestCase()
    {
        if (!haveFfmpeg() || QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty())
            QSKIP("ffmpeg and ffprobe are needed for end-to-end runs");
        QVERIFY(m_media.isValid());
        QVERIFY(runFfmpeg(videoOnlyInput(1) + QStringList{m_media.filePath("one.mov")}));
    }

    void init()
    {
        mapa.clear();
        tempo.clear();
    }

    void runConvertsCopiesAndReportsAFolderTree()
    {
        Sandbox sandbox;
        const QString base = prepare(sandbox);
        const QString src = base + QLatin1String("/src");
        const QString out = base + QLatin1String("/out");
        const auto at = [&src](const char *relative) { return src + '/' + relative; };
        const auto output = [&out](const char *relative) { return out + "/src/" + relative; };
        for (const char *folder : {"day1/deep", "day2", "audio"})
            QVERIFY(QDir().mkpath(at(folder)));

        // Camera-like 4:2:0 clips with a tone.
        const QStringList clip = {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-f", "lavfi",
                                  "-i", "sine=frequency=440:sample_rate=44100", "-t", "0.4",
                                  "-pix_fmt", "yuv420p"};
        QVERIFY(runFfmpeg(clip + QStringList{at("day1/deep/b.mp4")}));
        QVERIFY(runFfmpeg(clip + QStringList{at("c.avi")}));
        QVERIFY(runFfmpeg(clip + QStringList{"-c:v", "libx264", "-f", "mpegts", at("day2/e.mts")}));
        QVERIFY(runFfmpeg({"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100", "-t", "0.4",
                           at("audio/tone.wav")}));
        for (const char *copy : {"day1/a.mov", "day1/deep/keep.mp4", "day2/d.mp4", "f.mp4"})
            QVERIFY(QFile::copy(at("day1/deep/b.mp4"), at(copy)));
        QVERIFY(QFile::copy(at("c.avi"), at("day2/skip.avi")));
        QVERIFY(writeFile(at("notes.mov"), "Call the client about the second cut.\n"));
        const QMap<QString, QByteArray> sourcesBefore = checksums(src);

        DialogAnswers answers(QMessageBox::Ok);
        eksForm form;
        QStringList sources;
        for (const QString &relative : sourcesBefore.keys())
            sources.append(src + '/' + relative);
        open(form, sources, src, out);
        form.getentry(QStringLiteral("mine"), QStringLiteral("-vcodec mpeg4 -q:v 5"),
                      QStringLiteral("avi"));
        assign(form, "mov", {at("day1/a.mov")}, "Avid DNxHD Codec", {{"comboBox", "1080p/25 120"}});
        assign(form, "mov", {at("notes.mov")}, "720x576 DV PAL");
        assign(form, "mp4", {at("day1/deep/b.mp4")}, "720x576 DV PAL");
        assign(form, "avi", {at("c.avi")}, "720x480 DV NTSC");
        assign(form, "mp4", {at("day2/d.mp4")}, "H.264");
        assign(form, "mp4", {at("day1/deep/keep.mp4")}, "DON'T CONVERT (BUT COPY TO DEST FOLDER)");
        assign(form, "mp4", {at("f.mp4")}, "*MINE*-vcodec mpeg4 -q:v 5*avi");
        select(form, "mts", {at("day2/e.mts")});
        auto *rewrap = child<QCheckBox>(form, "checkBox");
        QVERIFY(rewrap->isVisible());
        rewrap->setChecked(true);
        child<QPushButton>(form, "pushButton")->click();
        assign(form, "wav", {at("audio/tone.wav")}, "WAV-UNCOMPRESSED-AUDIO",
               {{"comboBox_2", "24"}, {"comboBox_3", "96000"}});
        if (QTest::currentTestFailed())
            return;
        child<QPushButton>(form, "pushButton_4")->click();

        const QString notMedia = output("notes.MOV");
        QCOMPARE(answers.texts, QStringList("The Following Files were not converted :\n \n\n0-->"
                                            + notMedia));
        QCOMPARE(filesBelow(out),
                 QStringList({"src/audio/tone.MOV", "src/c.MOV", "src/day1/a.MOV",
                              "src/day1/deep/b.MOV", "src/day1/deep/keep.mp4", "src/day2/d.MOV",
                              "src/day2/e.MOV", "src/f.avi"}));
        const QJsonObject dnxhd = probe(output("day1/a.MOV"));
        QCOMPARE(streamFields(dnxhd, "video", {"codec_name", "width", "height", "r_frame_rate"}),
                 QStringLiteral("dnxhd,1920,1080,25/1"));
        QCOMPARE(streamFields(dnxhd, "audio", {"codec_name", "sample_rate"}),
                 QStringLiteral("pcm_s16le,48000"));
        QCOMPARE(video(output("day1/deep/b.MOV")), QStringLiteral("dvvideo,720,576,25/1"));
        QCOMPARE(video(output("c.MOV")), QStringLiteral("dvvideo,720,480,30000/1001"));
        QVERIFY(video(output("day2/d.MOV")).startsWith(QLatin1String("h264,320,240,")));
        const QJsonObject rewrapped = probe(output("day2/e.MOV"));
        QCOMPARE(streamFields(rewrapped, "video", {"codec_name"}), QStringLiteral("h264"));
        QCOMPARE(streamFields(rewrapped, "audio", {"codec_name"}), QStringLiteral("pcm_s16le"));
        const QJsonObject wav = probe(output("audio/tone.MOV"));
        QCOMPARE(video(output("audio/tone.MOV")), QString());
        QCOMPARE(streamFields(wav, "audio", {"codec_name", "sample_rate", "bits_per_sample"}),
                 QStringLiteral("pcm_s24le,96000,24"));
        const QJsonObject preset = probe(output("f.avi"));
        QCOMPARE(preset.value("format").toObject().value("format_name").toString(),
                 QStringLiteral("avi"));
        QCOMPARE(streamFields(preset, "video", {"codec_name"}), QStringLiteral("mpeg4"));
        QCOMPARE(readFile(output("day1/deep/keep.mp4")), readFile(at("day1/deep/keep.mp4")));
        QCOMPARE(checksums(src), sourcesBefore);

        // One entry per engine call in run order (the failed one too), then the report.
        const QList<QByteArray> entries = jobScriptEntries(readFile(sandbox.jobScript()));
        const QStringList runOrder = {output("c.MOV"),         output("day1/a.MOV"),
                                      notMedia,                output("day1/deep/b.MOV"),
                                      output("day2/d.MOV"),    output("f.avi"),
                                      output("day2/e.MOV"),    output("audio/tone.MOV")};
        QCOMPARE(entries.size(), runOrder.size() + 1);
        for (int i = 0; i < runOrder.size(); ++i)
            QVERIFY2(entries.at(i).endsWith(quoted(runOrder.at(i)) + '\n'),
                     entries.at(i).constData());
        QCOMPARE(entries.at(1),
                 base.toUtf8() + "/VeltroanBatchConverter.app/engines/ffmpeg  -i "
                     + quoted(at("day1/a.mov"))
                     + " -y -vcodec dnxhd -s 1920x1080 -b 120M -r 25 -acodec pcm_s16le -ar 48000  "
                     + quoted(output("day1/a.MOV")) + '\n');
        QCOMPARE(entries.last(), answers.texts.value(0).toUtf8() + '\n');
        QCOMPARE(recordedCalls(openRecord(sandbox)), QList<QStringList>({{sandbox.jobScript()}}));
    }

    void everyDnxhdVariantGivesAPlayableOutput_data()
    {
        QTest::addColumn<QString>("label");
        for (const char *label :
             {"1080p/29.97 36", "1080p/29.97 145", "1080p/29.97 220", "720/50 120", "720/50 185",
              "720p/25 60", "720p/29.97 75", "720p/29.97 110", "720p/23.976 60", "720p/23.976 90",
              "720p/59.94 145", "720p/59.94 220", "1080p/24 36", "1080p/24 115", "1080p/24 175",
              "1080p/23.976 36", "1080p/23.976 115", "1080p/23.976 175", "1080p/25 36",
              "1080p/25 120", "1080p/25 185", "1080i/50 120", "1080i/50 185", "1080i/59.94 145",
              "1080i/59.94 220"})
            QTest::newRow(label) << QString::fromLatin1(label);
    }

    void everyDnxhdVariantGivesAPlayableOutput()
    {
        QFETCH(QString, label);
        // The size and the frame rate as ffprobe gives them follow from the label.
        const QString rate = label.section(QLatin1Char('/'), 1).section(QLatin1Char(' '), 0, 0);
        const QMap<QString, QString> fractions{
            {"29.97", "2997/100"}, {"23.976", "2997/125"}, {"59.94", "2997/50"}};
        const QString expected = (label.startsWith(QLatin1String("720")) ? "dnxhd,1280,720,"
                                                                         : "dnxhd,1920,1080,")
            + fractions.value(rate, rate + "/1");
        Sandbox sandbox;
        const QString out = prepare(sandbox) + QLatin1String("/out");
        // Dropped on its own: the path arrives without its leading slash.
        const QString source = QFileInfo(m_media.filePath("one.mov")).canonicalFilePath();
        DialogAnswers answers(QMessageBox::Ok);
        eksForm form;
        open(form, {source.mid(1)}, source, out);
        assign(form, "mov", {source.mid(1)}, "Avid DNxHD Codec", {{"comboBox", label}});
        if (QTest::currentTestFailed())
            return;
        child<QPushButton>(form, "pushButton_4")->click();
        QCOMPARE(answers.texts, QStringList(Success));
        QCOMPARE(video(out + QLatin1String("/one.MOV")), expected);
    }

    // Outputs never overwrite each other, nor their own source.
    void clashingOutputNamesGetNumbered()
    {
        Sandbox sandbox;
        const QString base = prepare(sandbox);
        const QString src = base + QLatin1String("/src");
        const QString out = base + QLatin1String("/out");
        QVERIFY(QDir().mkpath(src));
        // Different lengths tell the outputs apart.
        QVERIFY(runFfmpeg(videoOnlyInput(10) + QStringList{src + "/A.avi"}));
        QVERIFY(runFfmpeg(videoOnlyInput(5) + QStringList{src + "/A.mov"}));
        QVERIFY(runFfmpeg(videoOnlyInput(3) + QStringList{src + "/X.MOV"}));
        const QByteArray ownSource = readFile(src + "/X.MOV");
        {
            DialogAnswers answers(QMessageBox::Ok);
            eksForm form;
            open(form, {src + "/A.avi", src + "/A.mov"}, src, out);
            assign(form, "avi", {src + "/A.avi"}, "720x576 DV PAL");
            assign(form, "mov", {src + "/A.mov"}, "720x576 DV PAL");
            if (QTest::currentTestFailed())
                return;
            child<QPushButton>(form, "pushButton_4")->click();
            QCOMPARE(answers.texts, QStringList(Success));
        }
        const QString first = out + QLatin1String("/src/A.MOV");
        const QString second = out + QLatin1String("/src/A_2.MOV");
        QCOMPARE(filesBelow(out), QStringList({"src/A.MOV", "src/A_2.MOV"}));
        QCOMPARE(streamFields(probe(first), "video", {"codec_name", "width", "nb_frames"}),
                 QStringLiteral("dvvideo,720,10"));
        QCOMPARE(streamFields(probe(second), "video", {"codec_name", "width", "nb_frames"}),
                 QStringLiteral("dvvideo,720,5"));
        QList<QByteArray> entries = jobScriptEntries(readFile(sandbox.jobScript()));
        QCOMPARE(entries.size(), 3);
        QVERIFY(entries.at(0).contains(quoted(src + "/A.avi") + " -y"));
        QVERIFY(entries.at(0).endsWith(quoted(first) + '\n'));
        QVERIFY(entries.at(1).contains(quoted(src + "/A.mov") + " -y"));
        QVERIFY(entries.at(1).endsWith(quoted(second) + '\n'));

        // Dropped on its own with the destination its own folder: the output name is the
        // source's.
        const QString own = src + QLatin1String("/X.MOV");
        DialogAnswers answers(QMessageBox::Ok);
        eksForm form;
        open(form, {own.mid(1)}, own, src);
        assign(form, "mov", {own.mid(1)}, "720x576 DV PAL");
        if (QTest::currentTestFailed())
            return;
        child<QPushButton>(form, "pushButton_4")->click();
        QCOMPARE(answers.texts, QStringList(Success));
        QCOMPARE(readFile(own), ownSource);
        QCOMPARE(video(src + "/X_2.MOV"), QStringLiteral("dvvideo,720,576,25/1"));
        entries = jobScriptEntries(readFile(sandbox.jobScript()));
        QCOMPARE(entries.size(), 2);
        QVERIFY(entries.at(0).endsWith(" " + quoted(src + "/X_2.MOV") + '\n'));
    }
};

QTEST_MAIN(EndToEndTest)
#include "tst_endtoend.moc"
