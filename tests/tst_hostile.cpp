#include "app/mainwindow.h"
#include "app/tracing.h"
#include "convert/eksform.h"
#include "convert/settingscatalogue.h"
#include "testsupport.h"
#include "uisupport.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QListView>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QtTest>
#include <memory>

namespace {

// One source file of the attack: its path below the sandbox root, and whether it is
// dropped on its own (otherwise it is found by scanning the dropped folder "src").
struct Source
{
    QString relative;
    bool dropped = false;
};

const QString NotConverted = QStringLiteral("The Following Files were not converted :\n ");

// Names that try to end a quoted path, start a second command, expand something, or
// climb out of the destination; names near the length limit; names outside ASCII.
QList<Source> hostileSources()
{
    const QString nearLimit = QString(246, QLatin1Char('n')) + QLatin1String(".mov");
    const QString wideNearLimit = QString(82, QChar(0x65E5))
        + QLatin1String(".mov"); // 246 + 4 bytes
    return {
        {"src/dq\"uote sq'uote.mov"},
        {"src/$(touch pwned) `touch pwned`.mov"},
        {"src/back\\slash double\\\\back.mov"},
        {"src/semi;touch pwned;&&touch pwned|touch pwned>pwned.mov"},
        {"src/new\nline carriage\rreturn tab\there.mov"},
        {"src/-leading-dash.mov"},
        {"src/-y.mov"},
        {"src/star*pi|pe.mov"},
        {"src/pre|*set*like*name.mov"},
        {"src/a..b.mov"},
        {"src/  blanks at both ends  .mov"},
        {"src/" + nearLimit},
        {"src/" + wideNearLimit},
        {QString::fromUtf8("src/日本語 Привет Cafe\u0301.mov")},
        {QString::fromUtf8("src/\U0001F3AC clip \U0001F3A5.mov")},
        {"src/Case.mov"},
        {"src/case.mov"},
        {"src/CASE.MOV"},
        {"src/$HOME ${PATH} !bang 100% %20%2F #hash what?.mov"},
        {"src/x\"; touch pwned; echo \".mov"},
        {"src/up\\..\\..\\escape-backslash.mov"},
        {"src/*../*../*../escape-star.mov"},
        {"src/sub dir; touch pwned/inner $(touch pwned).mov"},
        {"src/  spaced folder  /clip.mov"},
        {"src/fold|er*/clip.mov"},
        {"src/Dir/same.mov"},
        {"src/dir/same.mov"},
        {"src/x..y/clip.mov"},
        {"loose/dropped \\\\ $(touch pwned) '.mov", true},
        {"loose/sub/../dotdot ; touch pwned.mov", true},
    };
}

// A name whose output would be 256 bytes long: "ts" becomes "MOV".
const QString TooLong = QLatin1String("src/") + QString(252, QLatin1Char('L'))
    + QLatin1String(".ts");

// The text cleaning of output names, for one path component: the field marks "|" and
// "*" go, or become "_" where going would leave "." or "..".
QString cleanComponent(const QString &component)
{
    QString cleaned = component;
    cleaned.remove(QLatin1Char('|'));
    cleaned.remove(QLatin1Char('*'));
    if (cleaned != QLatin1String(".") && cleaned != QLatin1String(".."))
        return cleaned;
    cleaned = component;
    return cleaned.replace(QLatin1Char('|'), QLatin1Char('_')).replace(QLatin1Char('*'), QLatin1Char('_'));
}

QString outputFileName(const QString &fileName)
{
    return cleanComponent(fileName.left(fileName.lastIndexOf(QLatin1Char('.')) + 1)
                          + QLatin1String("MOV"));
}

// Where a source's output belongs: the folders below the dropped folder mirrored under
// the destination, a file dropped on its own directly in the destination.
QString expectedOutput(const QString &destination, const Source &source)
{
    QStringList parts = source.relative.split(QLatin1Char('/'));
    const QString name = outputFileName(parts.takeLast());
    if (source.dropped)
        return destination + QLatin1Char('/') + name;
    QString folder = destination;
    for (const QString &part : std::as_const(parts)) {
        const QString cleaned = cleanComponent(part);
        if (!cleaned.isEmpty())
            folder += QLatin1Char('/') + cleaned;
    }
    return folder + QLatin1Char('/') + name;
}

struct Entry
{
    qint64 size = 0;
    qint64 mtime = 0;
    QByteArray sum;
    bool operator==(const Entry &other) const
    {
        return size == other.size && mtime == other.mtime && sum == other.sum;
    }
};

// Every entry below root, except the excluded paths (and all below them), with size,
// modification time and a checksum of each file.
QMap<QString, Entry> snapshot(const QString &root, const QStringList &excluded)
{
    QMap<QString, Entry> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        bool skip = false;
        for (const QString &ex : excluded)
            skip = skip || path == ex || path.startsWith(ex + QLatin1Char('/'));
        if (skip)
            continue;
        const QFileInfo info = it.fileInfo();
        Entry entry;
        // A folder's own time changes with its entries, which are compared one by one.
        if (info.isFile() && !info.isSymLink()) {
            entry.mtime = info.lastModified().toMSecsSinceEpoch();
            entry.size = info.size();
            QFile file(path);
            if (file.open(QIODevice::ReadOnly)) {
                QCryptographicHash hash(QCryptographicHash::Sha256);
                hash.addData(&file);
                entry.sum = hash.result();
            }
        }
        entries.insert(path, entry);
    }
    return entries;
}

QStringList filesBelow(const QString &root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    files.sort();
    return files;
}

QString printable(const QString &text)
{
    QString shown = text;
    shown.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    shown.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    shown.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    return shown;
}

} // namespace

class HostileTest final : public QObject
{
    Q_OBJECT

private:
    // The sandbox with its working folder, and the paths the whole run works with.
    struct Scene
    {
        Sandbox sandbox;
        QString root = QFileInfo(sandbox.path()).canonicalFilePath();
        // Deep enough that a path climbing out of it still lands inside the sandbox,
        // where the snapshot sees it.
        QString destination = root + QLatin1String("/out/a/b/destination");
        QString record = root + QLatin1String("/engine-calls");
        QString opened = root + QLatin1String("/open-calls");
        QList<Source> sources;
        QStringList expectedOutputs; // same order as sources
        QMap<QString, Entry> before;
        DialogAnswers answers{QMessageBox::Ok};

        Scene()
        {
            writeRecordingProgram(sandbox.bin() + QLatin1String("/open"), opened,
                                  Recording::Exact);
        }
        QString sourcePath(const Source &source) const { return root + '/' + source.relative; }
        QStringList excluded() const
        {
            // The toolkit and the sound server keep their caches and settings in HOME.
            return {destination, record, record + QLatin1String(".first"), opened,
                    root + QLatin1String("/gokipoki.txt"), sandbox.jobScript(),
                    sandbox.home() + QLatin1String("/.cache"),
                    sandbox.home() + QLatin1String("/.config")};
        }
    };

    template<typename T>
    static T *child(QWidget &widget, const char *name)
    {
        T *found = widget.findChild<T *>(QLatin1String(name));
        Q_ASSERT(found);
        return found;
    }

    // Writes every source, with its own content unless a clip is given.
    static void createSources(Scene &scene, const QList<Source> &sources, const QByteArray &clip)
    {
        QVERIFY(QDir().mkpath(scene.root + QLatin1String("/loose/sub")));
        QVERIFY(QDir().mkpath(scene.destination));
        scene.sources = sources;
        for (int i = 0; i < sources.size(); ++i) {
            const QString path = scene.sourcePath(sources[i]);
            QVERIFY2(QDir().mkpath(QFileInfo(path).absolutePath()), qPrintable(printable(path)));
            QVERIFY2(writeFile(path, clip.isEmpty() ? "media " + path.toUtf8() : clip),
                     qPrintable(printable(path)));
            scene.expectedOutputs.append(expectedOutput(scene.destination, sources[i]));
        }
    }

    // Drop, ANALYZE, "720x576 DV PAL" for every file through the form's own widgets,
    // RUN IT NOW. Returns the form (owned by the caller).
    static eksForm *runWholeProgram(Scene &scene)
    {
        scene.before = snapshot(scene.root, scene.excluded());
        MainWindow window;
        QMimeData data;
        QList<QUrl> urls{QUrl::fromLocalFile(scene.root + QLatin1String("/src"))};
        for (const Source &source : std::as_const(scene.sources))
            if (source.dropped)
                urls.append(QUrl::fromLocalFile(scene.sourcePath(source)));
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(100, 200), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        QDropEvent dropped(QPointF(100, 200), Qt::CopyAction, &data, Qt::LeftButton,
                           Qt::NoModifier);
        QApplication::sendEvent(&window, &dropped);
        destdir = scene.destination;
        child<QPushButton>(window, "pushButton_2")->click();
        eksForm *form = window.form;
        if (!form)
            return nullptr;
        auto *extensions = child<QListView>(*form, "listView");
        auto *settings = child<QListWidget>(*form, "listWidget");
        for (int g = 0; g < extensions->model()->rowCount(); ++g) {
            const QModelIndex index = extensions->model()->index(g, 0);
            extensions->selectionModel()->setCurrentIndex(index,
                                                          QItemSelectionModel::ClearAndSelect);
            QMetaObject::invokeMethod(form, "on_listView_clicked", Q_ARG(QModelIndex, index));
            child<QListView>(*form, "listView_2")->selectAll();
            settings->setCurrentItem(settings->findItems(Settings::DvPal, Qt::MatchExactly).value(0));
            QMetaObject::invokeMethod(form, "on_listWidget_clicked",
                                      Q_ARG(QModelIndex, settings->currentIndex()));
            child<QPushButton>(*form, "pushButton")->click();
        }
        scene.answers.texts.clear();
        child<QPushButton>(*form, "pushButton_4")->click();
        return form;
    }

    // Only the output whose name is too long is reported; every other output is in the
    // destination, and nothing else is.
    static void verifyOutputs(const Scene &scene, qint64 size)
    {
        QStringList expectedFiles = scene.expectedOutputs;
        const QString tooLongOutput = expectedFiles.takeLast();
        QCOMPARE(scene.answers.texts, QStringList(NotConverted + "\n\n0-->" + tooLongOutput));
        expectedFiles.sort();
        QCOMPARE(filesBelow(scene.destination), expectedFiles);
        for (const QString &output : std::as_const(expectedFiles))
            if (size >= 0)
                QCOMPARE(QFileInfo(output).size(), size);
    }

    // The sandbox outside the destination (and the run's own files) is as it was, and no
    // injected command left its marker.
    static void verifyNothingElseTouched(const Scene &scene)
    {
        const QMap<QString, Entry> after = snapshot(scene.root, scene.excluded());
        for (auto it = after.cbegin(); it != after.cend(); ++it) {
            QVERIFY2(scene.before.value(it.key(), Entry{-1, 0, {}}) == it.value(),
                     qPrintable("created or changed outside the destination: "
                                + printable(it.key())));
            QVERIFY2(!it.key().endsWith(QLatin1String("/pwned")), qPrintable(printable(it.key())));
        }
        QCOMPARE(after.size(), scene.before.size());
    }

    // The commands of the job script (its entries before the final report).
    static QStringList jobScriptCommands(const Scene &scene)
    {
        const QList<QByteArray> entries = readFile(scene.sandbox.jobScript()).split('\xEF');
        QStringList commands;
        for (int i = 1; i + 1 < entries.size(); ++i) {
            if (!entries[i].startsWith("\xBB\xBF") || !entries[i].endsWith('\n'))
                return {};
            commands.append(QString::fromUtf8(entries[i].mid(2, entries[i].size() - 3)));
        }
        return commands;
    }

private slots:
    // Quiet unless asked for: the program traces every path and command.
    void initTestCase() { setUpTracing(); }

    void hostileNamesReachTheEngineVerbatimAndStayInsideTheDestination()
    {
        Scene scene;
        createSources(scene, hostileSources() + QList<Source>{{"src/clash.MOV"}, {"src/clash.mov"},
                                                              {TooLong}},
                      {});
        // The two clashing names share one output name: the later one gets the next free name.
        scene.expectedOutputs[scene.sources.size() - 2] = scene.destination + "/src/clash_2.MOV";
        QVERIFY(writeRecordingProgram(scene.sandbox.engines() + QLatin1String("/ffmpeg"),
                                      scene.record, Recording::Exact, {2000}));
        std::unique_ptr<eksForm> form(runWholeProgram(scene));
        QVERIFY(form);

        // Every source reached the engine once, byte for byte, with its own output.
        const QList<QByteArrayList> calls = exactRecordedCalls(scene.record);
        QCOMPARE(calls.size(), scene.sources.size());
        QMap<QByteArray, QByteArray> outputBySource;
        for (const QByteArrayList &call : calls) {
            QCOMPARE(call.value(0) + ' ' + call.value(2), QByteArray("-i -y"));
            QCOMPARE(call.mid(3, call.size() - 4).join(' '),
                     QByteArray("-s 720x576 -pix_fmt yuv420p -r 25 -vcodec dvvideo -acodec "
                                "pcm_s16le -ac 2 -ar 48000"));
            outputBySource.insert(call[1], call.last());
        }
        for (int i = 0; i < scene.sources.size(); ++i) {
            // A dropped path keeps its ".." component: it names the same file.
            const QByteArray source = QFile::encodeName(scene.sourcePath(scene.sources[i]));
            QVERIFY2(outputBySource.contains(source), qPrintable(printable(source)));
            QCOMPARE(QString::fromUtf8(outputBySource.value(source)), scene.expectedOutputs[i]);
        }
        verifyOutputs(scene, 2000);
        verifyNothingElseTouched(scene);
        if (QTest::currentTestFailed())
            return;

        // The job entries are what ran: run again, they give the very same engine calls.
        const QStringList commands = jobScriptCommands(scene);
        QCOMPARE(commands.size(), scene.sources.size());
        QVERIFY(QFile::rename(scene.record, scene.record + QLatin1String(".first")));
        for (const QString &command : commands) {
            QProcess shell;
            shell.setWorkingDirectory(scene.root);
            shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
            QVERIFY(shell.waitForFinished(60000));
        }
        QCOMPARE(exactRecordedCalls(scene.record), exactRecordedCalls(scene.record + ".first"));
        verifyNothingElseTouched(scene);

        // The run leaves every job entry at its file's path, field marks in the name included.
        QStringList entries;
        for (const QStringList &group : std::as_const(form->groupFiles))
            entries += group;
        for (const Source &source : std::as_const(scene.sources)) {
            const QString path = scene.sourcePath(source);
            QVERIFY2(entries.contains(path) || entries.contains(path.mid(1)),
                     qPrintable(printable(path)));
        }
        QCOMPARE(exactRecordedCalls(scene.opened),
                 QList<QByteArrayList>({{QFile::encodeName(scene.sandbox.jobScript())}}));
    }

    void fieldMarksInANameAreNotTakenForTheAssignedSetting()
    {
        Scene scene;
        QVERIFY(QDir().mkpath(scene.root + QLatin1String("/src")));
        QStringList files;
        for (const char *name : {"a|b*c*d*e.mov", "p|x|*y*z.mov", "plain.mov"}) {
            files.append(scene.root + QLatin1String("/src/") + QLatin1String(name));
            QVERIFY(writeFile(files.last(), "media"));
        }
        QVERIFY(writeRecordingProgram(scene.sandbox.engines() + QLatin1String("/ffmpeg"),
                                      scene.record, Recording::Exact, {2000}));
        eksForm form;
        form.receiveEXT({QStringLiteral("mov")}, {files}, {"file://" + scene.root + "/src"},
                        scene.destination);
        // A preset whose own arguments hold "|" too.
        form.getentry(QStringLiteral("pan"), QStringLiteral("-vcodec copy -af pan=mono|c0=FL"),
                      QStringLiteral("mkv"));
        auto *settings = child<QListWidget>(form, "listWidget");
        const QString preset = QStringLiteral("*PAN*-vcodec copy -af pan=mono|c0=FL*mkv");
        QCOMPARE(settings->findItems(preset, Qt::MatchExactly).size(), 1);
        auto *view = child<QListView>(form, "listView");
        view->selectionModel()->setCurrentIndex(view->model()->index(0, 0),
                                                QItemSelectionModel::ClearAndSelect);
        auto *fileList = child<QListView>(form, "listView_2");
        for (int row = 0; row < 3; ++row) {
            fileList->selectionModel()->clearSelection();
            fileList->selectionModel()->select(fileList->model()->index(row, 0),
                                               QItemSelectionModel::Select);
            settings->setCurrentItem(
                settings->findItems(row == 1 ? Settings::DvPal : preset, Qt::MatchExactly).first());
            child<QPushButton>(form, "pushButton")->click();
        }
        child<QPushButton>(form, "pushButton_4")->click();

        QCOMPARE(scene.answers.texts, QStringList(QStringLiteral(
                                          "Success! All your files were converted! PLease check destination!")));
        const QString out = scene.destination + QLatin1String("/src/");
        QList<QByteArrayList> sourceAndOutput;
        for (const QByteArrayList &call : exactRecordedCalls(scene.record))
            sourceAndOutput.append({call.value(1), call.last()});
        QCOMPARE(sourceAndOutput,
                 QList<QByteArrayList>({{QFile::encodeName(files[0]), QFile::encodeName(out + "abcde.mkv")},
                                        {QFile::encodeName(files[1]), QFile::encodeName(out + "pxyz.MOV")},
                                        {QFile::encodeName(files[2]), QFile::encodeName(out + "plain.mkv")}}));
        QCOMPARE(form.groupFiles[0], files);
    }

    void hostileNamesConvertWithTheRealEngine()
    {
        if (!haveFfmpeg())
            QSKIP("no ffmpeg on PATH");
        Scene scene;
        const QString clipPath = scene.root + QLatin1String("/clip-source.mkv");
        QVERIFY(runFfmpeg({"-f", "lavfi", "-i", "testsrc=size=64x48:rate=25:duration=0.12", "-c:v",
                           "mpeg4", clipPath}));
        const QByteArray clip = readFile(clipPath);
        QVERIFY(!clip.isEmpty() && QFile::remove(clipPath));

        // Every third name and the dropped files keep the real conversions short.
        const QList<Source> all = hostileSources();
        QList<Source> sources;
        for (int i = 0; i < all.size(); ++i)
            if (i % 3 == 0 || all[i].dropped)
                sources.append(all[i]);
        createSources(scene, sources + QList<Source>{{TooLong}}, clip);
        QVERIFY(QFile::link(
            QFileInfo(QStandardPaths::findExecutable(QStringLiteral("ffmpeg"))).canonicalFilePath(),
            scene.sandbox.engines() + QLatin1String("/ffmpeg")));
        std::unique_ptr<eksForm> form(runWholeProgram(scene));
        QVERIFY(form);
        verifyOutputs(scene, -1);
        for (const QString &output : scene.expectedOutputs.mid(0, scene.expectedOutputs.size() - 1)) {
            int status = -1;
            const QByteArray probe = runProgram(QStringLiteral("ffprobe"),
                                                {"-v", "error", "-select_streams", "v:0",
                                                 "-show_entries", "stream=codec_name,width,height",
                                                 "-of", "csv=p=0", output},
                                                &status);
            QCOMPARE(status, 0);
            QCOMPARE(probe.trimmed(), QByteArray("dvvideo,720,576"));
        }
        verifyNothingElseTouched(scene);
    }
};

QTEST_MAIN(HostileTest)
#include "tst_hostile.moc"
