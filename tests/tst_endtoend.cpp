// Whole runs of the conversion form with the real engine: small clips made by ffmpeg are
// assigned settings through the form's widgets, RUN IT NOW converts them, and ffprobe
// looks at what came out.

#include "convert/eksform.h"
#include "testsupport.h"

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
#include <QSize>
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
    return QJsonDocument::fromJson(
               runProgram(QStringLiteral("ffprobe"),
                          {QStringLiteral("-v"), QStringLiteral("error"),
                           QStringLiteral("-show_streams"), QStringLiteral("-show_format"),
                           QStringLiteral("-of"), QStringLiteral("json"), path}))
        .object();
}

QJsonObject firstStream(const QJsonObject &probed, const QString &type)
{
    const QJsonArray streams = probed.value(QLatin1String("streams")).toArray();
    for (const QJsonValue &stream : streams) {
        if (stream.toObject().value(QLatin1String("codec_type")).toString() == type)
            return stream.toObject();
    }
    return {};
}

QString field(const QJsonObject &stream, const char *name)
{
    const QJsonValue value = stream.value(QLatin1String(name));
    return value.isDouble() ? QString::number(value.toInt()) : value.toString();
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

    // The real engine in the engines folder and a stand-in for the final "open".
    static void prepare(const Sandbox &sandbox)
    {
        const QString engine = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
        QVERIFY(QFile::link(QFileInfo(engine).canonicalFilePath(),
                            sandbox.engines() + QLatin1String("/ffmpeg")));
        QVERIFY(writeRecordingProgram(sandbox.bin() + QLatin1String("/open"), openRecord(sandbox)));
    }

    static QString openRecord(const Sandbox &sandbox)
    {
        return sandbox.path() + QLatin1String("/open-calls.txt");
    }

    // The working folder as the program sees it (getcwd resolves links).
    static QString root(const Sandbox &sandbox)
    {
        return QFileInfo(sandbox.path()).canonicalFilePath();
    }

    static void show(eksForm &form)
    {
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
    }

    static void clickExtension(eksForm &form, const QString &extension)
    {
        auto *view = child<QListView>(form, "listView");
        const QModelIndexList rows = view->model()->match(
            view->model()->index(0, 0), Qt::DisplayRole, extension, 1, Qt::MatchExactly);
        QVERIFY2(!rows.isEmpty(), qPrintable(extension));
        view->scrollTo(rows.first());
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          view->visualRect(rows.first()).center());
        QCOMPARE(tempo, extension);
    }

    static void selectFiles(eksForm &form, const QStringList &files)
    {
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

    static void chooseSetting(eksForm &form, const QString &text)
    {
        auto *list = child<QListWidget>(form, "listWidget");
        const QList<QListWidgetItem *> items = list->findItems(text, Qt::MatchExactly);
        QVERIFY2(items.size() == 1, qPrintable(text));
        list->scrollToItem(items.first());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(items.first()).center());
        QCOMPARE(list->currentItem()->text(), text);
    }

    static void chooseComboText(eksForm &form, const char *name, const QString &text)
    {
        auto *combo = child<QComboBox>(form, name);
        combo->setCurrentText(text);
        QCOMPARE(combo->currentText(), text);
    }

    static void apply(eksForm &form) { child<QPushButton>(form, "pushButton")->click(); }
    static void runItNow(eksForm &form) { child<QPushButton>(form, "pushButton_4")->click(); }

    static void assign(eksForm &form, const QString &extension, const QStringList &files,
                       const QString &setting)
    {
        clickExtension(form, extension);
        selectFiles(form, files);
        chooseSetting(form, setting);
        apply(form);
    }

    static void expectVideo(const QString &path, const QString &codec, const QSize &size,
                            const QString &rate)
    {
        const QJsonObject video = firstStream(probe(path), QStringLiteral("video"));
        QVERIFY2(!video.isEmpty(), qPrintable(path));
        QCOMPARE(field(video, "codec_name"), codec);
        QCOMPARE(QSize(video.value(QLatin1String("width")).toInt(),
                       video.value(QLatin1String("height")).toInt()),
                 size);
        if (!rate.isEmpty())
            QCOMPARE(field(video, "r_frame_rate"), rate);
    }

    // Camera-like 4:2:0 clips with a tone.
    static QStringList clipInput(double seconds)
    {
        return {QStringLiteral("-f"),       QStringLiteral("lavfi"),
                QStringLiteral("-i"),       QStringLiteral("testsrc=size=320x240:rate=25"),
                QStringLiteral("-f"),       QStringLiteral("lavfi"),
                QStringLiteral("-i"),       QStringLiteral("sine=frequency=440:sample_rate=44100"),
                QStringLiteral("-t"),       QString::number(seconds),
                QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p")};
    }

    static QStringList videoOnlyInput(int frames)
    {
        return {QStringLiteral("-f"),        QStringLiteral("lavfi"),
                QStringLiteral("-i"),        QStringLiteral("testsrc=size=320x240:rate=25"),
                QStringLiteral("-frames:v"), QString::number(frames),
                QStringLiteral("-pix_fmt"),  QStringLiteral("yuv420p")};
    }

private slots:
    void initTestCase()
    {
        if (!haveFfmpeg() || QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty())
            QSKIP("ffmpeg and ffprobe are needed for end-to-end runs");
        QVERIFY(m_media.isValid());
        QVERIFY(
            runFfmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                       QStringLiteral("testsrc=size=64x64:rate=25"), QStringLiteral("-frames:v"),
                       QStringLiteral("1"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"),
                       m_media.filePath(QStringLiteral("one.mov"))}));
    }

    void init()
    {
        mapa.clear();
        tempo.clear();
    }

    void runConvertsCopiesAndReportsAFolderTree()
    {
        Sandbox sandbox;
        prepare(sandbox);
        const QString base = root(sandbox);
        const QString src = base + QLatin1String("/src");
        const QString out = base + QLatin1String("/out");
        QVERIFY(QDir().mkpath(src + QLatin1String("/day1/deep")));
        QVERIFY(QDir().mkpath(src + QLatin1String("/day2")));
        QVERIFY(QDir().mkpath(src + QLatin1String("/audio")));
        QVERIFY(QDir().mkpath(out));

        const auto at = [&src](const char *relative) {
            return src + QLatin1Char('/') + QLatin1String(relative);
        };
        QVERIFY(runFfmpeg(clipInput(0.4) + QStringList{at("day1/deep/b.mp4")}));
        QVERIFY(runFfmpeg(clipInput(0.4) + QStringList{at("c.avi")}));
        QVERIFY(runFfmpeg(clipInput(0.4)
                          + QStringList{QStringLiteral("-c:v"), QStringLiteral("libx264"),
                                        QStringLiteral("-f"), QStringLiteral("mpegts"),
                                        at("day2/e.mts")}));
        QVERIFY(runFfmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                           QStringLiteral("sine=frequency=440:sample_rate=44100"),
                           QStringLiteral("-t"), QStringLiteral("0.4"), at("audio/tone.wav")}));
        for (const char *copy : {"day1/a.mov", "day1/deep/keep.mp4", "day2/d.mp4", "f.mp4"})
            QVERIFY(QFile::copy(at("day1/deep/b.mp4"), at(copy)));
        QVERIFY(QFile::copy(at("c.avi"), at("day2/skip.avi")));
        QVERIFY(writeFile(at("notes.mov"), "Call the client about the second cut.\n"));
        const QMap<QString, QByteArray> sourcesBefore = checksums(src);

        DialogAnswers answers(QMessageBox::Ok);
        eksForm form;
        show(form);
        QStringList sources;
        for (const QString &relative : sourcesBefore.keys())
            sources.append(src + QLatin1Char('/') + relative);
        const Analysis analysis = groupByExtension(sources);
        form.receiveEXT(analysis.lista, analysis.filtrirani, {QLatin1String("file://") + src}, out);
        form.getentry(QStringLiteral("mine"), QStringLiteral("-vcodec mpeg4 -q:v 5"),
                      QStringLiteral("avi"));

        clickExtension(form, QStringLiteral("mov"));
        selectFiles(form, {at("day1/a.mov")});
        chooseSetting(form, QStringLiteral("Avid DNxHD Codec"));
        chooseComboText(form, "comboBox", QStringLiteral("1080p/25 120"));
        apply(form);
        assign(form, QStringLiteral("mov"), {at("notes.mov")}, QStringLiteral("720x576 DV PAL"));
        assign(form, QStringLiteral("mp4"), {at("day1/deep/b.mp4")},
               QStringLiteral("720x576 DV PAL"));
        assign(form, QStringLiteral("avi"), {at("c.avi")}, QStringLiteral("720x480 DV NTSC"));
        assign(form, QStringLiteral("mp4"), {at("day2/d.mp4")}, QStringLiteral("H.264"));
        assign(form, QStringLiteral("mp4"), {at("day1/deep/keep.mp4")},
               QStringLiteral("DON'T CONVERT (BUT COPY TO DEST FOLDER)"));
        assign(form, QStringLiteral("mp4"), {at("f.mp4")},
               QStringLiteral("*MINE*-vcodec mpeg4 -q:v 5*avi"));

        clickExtension(form, QStringLiteral("mts"));
        auto *rewrap = child<QCheckBox>(form, "checkBox");
        QVERIFY(rewrap->isVisible());
        selectFiles(form, {at("day2/e.mts")});
        rewrap->setChecked(true);
        apply(form);

        clickExtension(form, QStringLiteral("wav"));
        selectFiles(form, {at("audio/tone.wav")});
        chooseSetting(form, QStringLiteral("WAV-UNCOMPRESSED-AUDIO"));
        chooseComboText(form, "comboBox_2", QStringLiteral("24"));
        chooseComboText(form, "comboBox_3", QStringLiteral("96000"));
        apply(form);
        if (QTest::currentTestFailed())
            return;

        runItNow(form);

        const QString notMedia = out + QLatin1String("/src/notes.MOV");
        QCOMPARE(answers.texts,
                 QStringList(QLatin1String("The Following Files were not converted :\n \n\n0-->")
                             + notMedia));
        QCOMPARE(
            filesBelow(out),
            QStringList({QStringLiteral("src/audio/tone.MOV"), QStringLiteral("src/c.MOV"),
                         QStringLiteral("src/day1/a.MOV"), QStringLiteral("src/day1/deep/b.MOV"),
                         QStringLiteral("src/day1/deep/keep.mp4"), QStringLiteral("src/day2/d.MOV"),
                         QStringLiteral("src/day2/e.MOV"), QStringLiteral("src/f.avi")}));

        const auto output = [&out](const char *relative) {
            return out + QLatin1String("/src/") + QLatin1String(relative);
        };
        expectVideo(output("day1/a.MOV"), QStringLiteral("dnxhd"), QSize(1920, 1080),
                    QStringLiteral("25/1"));
        const QJsonObject dnxhdAudio
            = firstStream(probe(output("day1/a.MOV")), QStringLiteral("audio"));
        QCOMPARE(field(dnxhdAudio, "codec_name"), QStringLiteral("pcm_s16le"));
        QCOMPARE(field(dnxhdAudio, "sample_rate"), QStringLiteral("48000"));
        expectVideo(output("day1/deep/b.MOV"), QStringLiteral("dvvideo"), QSize(720, 576),
                    QStringLiteral("25/1"));
        expectVideo(output("c.MOV"), QStringLiteral("dvvideo"), QSize(720, 480),
                    QStringLiteral("30000/1001"));
        expectVideo(output("day2/d.MOV"), QStringLiteral("h264"), QSize(320, 240), QString());

        const QJsonObject rewrapped = probe(output("day2/e.MOV"));
        QCOMPARE(field(firstStream(rewrapped, QStringLiteral("video")), "codec_name"),
                 QStringLiteral("h264"));
        QCOMPARE(field(firstStream(rewrapped, QStringLiteral("audio")), "codec_name"),
                 QStringLiteral("pcm_s16le"));

        const QJsonObject wav = probe(output("audio/tone.MOV"));
        QVERIFY(firstStream(wav, QStringLiteral("video")).isEmpty());
        const QJsonObject wavAudio = firstStream(wav, QStringLiteral("audio"));
        QCOMPARE(field(wavAudio, "codec_name"), QStringLiteral("pcm_s24le"));
        QCOMPARE(field(wavAudio, "sample_rate"), QStringLiteral("96000"));
        QCOMPARE(field(wavAudio, "bits_per_sample"), QStringLiteral("24"));

        const QJsonObject preset = probe(output("f.avi"));
        QCOMPARE(preset.value(QLatin1String("format"))
                     .toObject()
                     .value(QLatin1String("format_name"))
                     .toString(),
                 QStringLiteral("avi"));
        QCOMPARE(field(firstStream(preset, QStringLiteral("video")), "codec_name"),
                 QStringLiteral("mpeg4"));

        QCOMPARE(readFile(output("day1/deep/keep.mp4")), readFile(at("day1/deep/keep.mp4")));
        QCOMPARE(checksums(src), sourcesBefore);

        // One entry per engine call in run order (the failed one too), then the report.
        const QList<QByteArray> entries = jobScriptEntries(readFile(sandbox.jobScript()));
        const QStringList runOrder
            = {output("c.MOV"),           output("day1/a.MOV"),    notMedia,
               output("day1/deep/b.MOV"), output("day2/d.MOV"),    output("f.avi"),
               output("day2/e.MOV"),      output("audio/tone.MOV")};
        QCOMPARE(entries.size(), runOrder.size() + 1);
        for (int i = 0; i < runOrder.size(); ++i)
            QVERIFY2(entries.at(i).endsWith(quoted(runOrder.at(i)) + '\n'),
                     entries.at(i).constData());
        const QString engine = base + QLatin1String("/VeltroanBatchConverter.app/engines/ffmpeg");
        QCOMPARE(entries.at(1),
                 engine.toUtf8() + "  -i " + quoted(at("day1/a.mov"))
                     + " -y -vcodec dnxhd -s 1920x1080 -b 120M -r 25 -acodec pcm_s16le -ar 48000  "
                     + quoted(output("day1/a.MOV")) + '\n');
        QCOMPARE(entries.last(), answers.texts.value(0).toUtf8() + '\n');

        QCOMPARE(recordedCalls(openRecord(sandbox)), QList<QStringList>({{sandbox.jobScript()}}));
    }

    void everyDnxhdVariantGivesAPlayableOutput_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("rate");
        const QSize full(1920, 1080);
        const QSize hd(1280, 720);
        const struct
        {
            const char *label;
            QSize size;
            const char *rate;
        } rows[] = {
            {"1080p/29.97 36", full, "2997/100"},
            {"1080p/29.97 145", full, "2997/100"},
            {"1080p/29.97 220", full, "2997/100"},
            {"720/50 120", hd, "50/1"},
            {"720/50 185", hd, "50/1"},
            {"720p/25 60", hd, "25/1"},
            {"720p/29.97 75", hd, "2997/100"},
            {"720p/29.97 110", hd, "2997/100"},
            {"720p/23.976 60", hd, "2997/125"},
            {"720p/23.976 90", hd, "2997/125"},
            {"720p/59.94 145", hd, "2997/50"},
            {"720p/59.94 220", hd, "2997/50"},
            {"1080p/24 36", full, "24/1"},
            {"1080p/24 115", full, "24/1"},
            {"1080p/24 175", full, "24/1"},
            {"1080p/23.976 36", full, "2997/125"},
            {"1080p/23.976 115", full, "2997/125"},
            {"1080p/23.976 175", full, "2997/125"},
            {"1080p/25 36", full, "25/1"},
            {"1080p/25 120", full, "25/1"},
            {"1080p/25 185", full, "25/1"},
            {"1080i/50 120", full, "50/1"},
            {"1080i/50 185", full, "50/1"},
            {"1080i/59.94 145", full, "2997/50"},
            {"1080i/59.94 220", full, "2997/50"},
        };
        for (const auto &row : rows)
            QTest::newRow(row.label)
                << QString::fromLatin1(row.label) << row.size << QString::fromLatin1(row.rate);
    }

    void everyDnxhdVariantGivesAPlayableOutput()
    {
        QFETCH(QString, label);
        QFETCH(QSize, size);
        QFETCH(QString, rate);
        Sandbox sandbox;
        prepare(sandbox);
        const QString out = root(sandbox) + QLatin1String("/out");
        QVERIFY(QDir().mkpath(out));
        // Dropped on its own: the path arrives without its leading slash.
        const QString source
            = QFileInfo(m_media.filePath(QStringLiteral("one.mov"))).canonicalFilePath();

        DialogAnswers answers(QMessageBox::Ok);
        eksForm form;
        show(form);
        form.receiveEXT({QStringLiteral("mov")}, {{source.mid(1)}},
                        {QLatin1String("file://") + source}, out);
        clickExtension(form, QStringLiteral("mov"));
        selectFiles(form, {source.mid(1)});
        chooseSetting(form, QStringLiteral("Avid DNxHD Codec"));
        chooseComboText(form, "comboBox", label);
        apply(form);
        if (QTest::currentTestFailed())
            return;
        runItNow(form);

        QCOMPARE(answers.texts, QStringList(Success));
        expectVideo(out + QLatin1String("/one.MOV"), QStringLiteral("dnxhd"), size, rate);
    }

    void twoSourcesOfOneNameGetNumberedOutputs()
    {
        Sandbox sandbox;
        prepare(sandbox);
        const QString src = root(sandbox) + QLatin1String("/src");
        const QString out = root(sandbox) + QLatin1String("/out");
        QVERIFY(QDir().mkpath(src));
        QVERIFY(QDir().mkpath(out));
        // Different lengths tell the outputs apart.
        QVERIFY(runFfmpeg(videoOnlyInput(10) + QStringList{src + QLatin1String("/A.avi")}));
        QVERIFY(runFfmpeg(videoOnlyInput(5) + QStringList{src + QLatin1String("/A.mov")}));

        DialogAnswers answers(QMessageBox::Ok);
        eksForm form;
        show(form);
        const Analysis analysis
            = groupByExtension({src + QLatin1String("/A.avi"), src + QLatin1String("/A.mov")});
        form.receiveEXT(analysis.lista, analysis.filtrirani, {QLatin1String("file://") + src}, out);
        assign(form, QStringLiteral("avi"), {src + QLatin1String("/A.avi")},
               QStringLiteral("720x576 DV PAL"));
        assign(form, QStringLiteral("mov"), {src + QLatin1String("/A.mov")},
               QStringLiteral("720x576 DV PAL"));
        if (QTest::currentTestFailed())
            return;
        runItNow(form);

        QCOMPARE(answers.texts, QStringList(Success));
        const QString first = out + QLatin1String("/src/A.MOV");
        const QString second = out + QLatin1String("/src/A_2.MOV");
        QCOMPARE(filesBelow(out),
                 QStringList({QStringLiteral("src/A.MOV"), QStringLiteral("src/A_2.MOV")}));
        expectVideo(first, QStringLiteral("dvvideo"), QSize(720, 576), QStringLiteral("25/1"));
        expectVideo(second, QStringLiteral("dvvideo"), QSize(720, 576), QStringLiteral("25/1"));
        QCOMPARE(field(firstStream(probe(first), QStringLiteral("video")), "nb_frames"),
                 QStringLiteral("10"));
        QCOMPARE(field(firstStream(probe(second), QStringLiteral("video")), "nb_frames"),
                 QStringLiteral("5"));

        const QList<QByteArray> entries = jobScriptEntries(readFile(sandbox.jobScript()));
        QCOMPARE(entries.size(), 3);
        QVERIFY(entries.at(0).contains(quoted(src + QLatin1String("/A.avi"))));
        QVERIFY(entries.at(0).endsWith(quoted(first) + '\n'));
        QVERIFY(entries.at(1).contains(quoted(src + QLatin1String("/A.mov"))));
        QVERIFY(entries.at(1).endsWith(quoted(second) + '\n'));
    }

    void outputNeverOverwritesItsOwnSource()
    {
        Sandbox sandbox;
        prepare(sandbox);
        const QString folder = root(sandbox) + QLatin1String("/media");
        const QString source = folder + QLatin1String("/X.MOV");
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(runFfmpeg(videoOnlyInput(5) + QStringList{source}));
        const QByteArray before = readFile(source);

        DialogAnswers answers(QMessageBox::Ok);
        eksForm form;
        show(form);
        // Dropped on its own with the destination its own folder: the output name is the source's.
        form.receiveEXT({QStringLiteral("mov")}, {{source.mid(1)}},
                        {QLatin1String("file://") + source}, folder);
        assign(form, QStringLiteral("mov"), {source.mid(1)}, QStringLiteral("720x576 DV PAL"));
        if (QTest::currentTestFailed())
            return;
        runItNow(form);

        QCOMPARE(answers.texts, QStringList(Success));
        QCOMPARE(readFile(source), before);
        const QString renamed = folder + QLatin1String("/X_2.MOV");
        expectVideo(renamed, QStringLiteral("dvvideo"), QSize(720, 576), QStringLiteral("25/1"));
        QCOMPARE(filesBelow(folder),
                 QStringList({QStringLiteral("X.MOV"), QStringLiteral("X_2.MOV")}));
        const QList<QByteArray> entries = jobScriptEntries(readFile(sandbox.jobScript()));
        QCOMPARE(entries.size(), 2);
        QVERIFY(entries.at(0).endsWith(" " + quoted(renamed) + '\n'));
    }
};

QTEST_MAIN(EndToEndTest)
#include "tst_endtoend.moc"
