#include "app/mainwindow.h"
#include "convert/eksform.h"
#include "convert/settingscatalogue.h"
#include "testsupport.h"

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
    QList<Source> sources = {
        {"src/dq\"uote.mov"},
        {"src/sq'uote.mov"},
        {"src/$(touch pwned).mov"},
        {"src/`touch pwned`.mov"},
        {"src/back\\slash.mov"},
        {"src/double\\\\back.mov"},
        {"src/semi;touch pwned;.mov"},
        {"src/and&&touch pwned.mov"},
        {"src/pipe|touch pwned.mov"},
        {"src/gt>pwned.mov"},
        {"src/new\nline.mov"},
        {"src/carriage\rreturn.mov"},
        {"src/tab\there.mov"},
        {"src/-leading-dash.mov"},
        {"src/-y.mov"},
        {"src/star*name.mov"},
        {"src/pre|*set*like*name.mov"},
        {"src/a..b.mov"},
        {"src/  blanks at both ends  .mov"},
        {"src/" + nearLimit},
        {"src/" + wideNearLimit},
        {QString::fromUtf8("src/日本語のファイル名.mov")},
        {QString::fromUtf8("src/Привет мир.mov")},
        {QString::fromUtf8("src/Cafe\u0301 man\u0303ana.mov")},
        {QString::fromUtf8("src/\U0001F3AC clip \U0001F3A5.mov")},
        {"src/Case.mov"},
        {"src/case.mov"},
        {"src/CASE.MOV"},
        {"src/100% done %20%2F.mov"},
        {"src/#hash #tag.mov"},
        {"src/what?.mov"},
        {"src/$HOME ${PATH} !bang.mov"},
        {"src/it's a \"mix\" `of` $(all) \\.mov"},
        {"src/x\"; touch pwned; echo \".mov"},
        {"src/up\\..\\..\\..\\escape-backslash.mov"},
        {"src/*../*../*../escape-star.mov"},
        {"src/sub dir; touch pwned/inner $(touch pwned).mov"},
        {"src/  spaced folder  /clip.mov"},
        {"src/fold|er*/clip.mov"},
        {"src/back\\folder/clip.mov"},
        {"src/dq\"folder/x`y`.mov"},
        {"src/Dir/same.mov"},
        {"src/dir/same.mov"},
        {"src/x..y/clip.mov"},
        {"loose/dropped \\\\ $(touch pwned) '.mov", true},
        {"loose/sub/../dotdot ; touch pwned.mov", true},
    };
    return sources;
}

// A name whose output would be 256 bytes long: "ts" becomes "MOV".
const QString TooLong = QLatin1String("src/") + QString(252, QLatin1Char('L'))
    + QLatin1String(".ts");

// The text cleaning of output names, for one path component: the field marks "|" and
// "*" go, unless that would leave "." or "..".
QString cleanComponent(const QString &component)
{
    QString cleaned = component;
    cleaned.remove(QLatin1Char('|'));
    cleaned.remove(QLatin1Char('*'));
    return cleaned == QLatin1String(".") || cleaned == QLatin1String("..") ? component : cleaned;
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

QtMessageHandler previousHandler = nullptr;

// Keeps the log readable: the program traces every path and command.
void dropDebug(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtDebugMsg && previousHandler)
        previousHandler(type, context, message);
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

        QStringList excluded() const
        {
            // The toolkit and the sound server keep their caches and settings in HOME.
            return {destination,
                    record,
                    record + QLatin1String(".first"),
                    opened,
                    root + QLatin1String("/gokipoki.txt"),
                    sandbox.jobScript(),
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
            const QString path = scene.root + QLatin1Char('/') + sources[i].relative;
            QVERIFY2(QDir().mkpath(QFileInfo(path).absolutePath()), qPrintable(printable(path)));
            const QByteArray content = clip.isEmpty()
                ? "media " + QByteArray::number(i) + ' ' + path.toUtf8()
                : clip;
            QVERIFY2(writeFile(path, content), qPrintable(printable(path)));
            scene.expectedOutputs.append(expectedOutput(scene.destination, sources[i]));
        }
    }

    static QString sourcePath(const Scene &scene, const Source &source)
    {
        return scene.root + QLatin1Char('/') + source.relative;
    }

    static void drop(MainWindow &window, const QList<QUrl> &urls)
    {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(100, 200), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        QDropEvent dropped(QPointF(100, 200), Qt::CopyAction, &data, Qt::LeftButton,
                           Qt::NoModifier);
        QApplication::sendEvent(&window, &dropped);
    }

    // Selects every file of every extension and applies "720x576 DV PAL" through the
    // form's own widgets.
    static void assignDvPalToEverything(eksForm &form)
    {
        auto *extensions = child<QListView>(form, "listView");
        auto *files = child<QListView>(form, "listView_2");
        auto *settings = child<QListWidget>(form, "listWidget");
        for (int g = 0; g < extensions->model()->rowCount(); ++g) {
            const QModelIndex index = extensions->model()->index(g, 0);
            extensions->selectionModel()->setCurrentIndex(index,
                                                          QItemSelectionModel::ClearAndSelect);
            QVERIFY(
                QMetaObject::invokeMethod(&form, "on_listView_clicked", Q_ARG(QModelIndex, index)));
            files->selectAll();
            const QList<QListWidgetItem *> items = settings->findItems(Settings::DvPal,
                                                                       Qt::MatchExactly);
            QCOMPARE(items.size(), 1);
            settings->setCurrentItem(items.first());
            QVERIFY(QMetaObject::invokeMethod(&form, "on_listWidget_clicked",
                                              Q_ARG(QModelIndex, settings->currentIndex())));
            child<QPushButton>(form, "pushButton")->click();
        }
    }

    // Drop, ANALYZE, DV PAL for every file, RUN IT NOW. Returns the form (owned by the caller).
    static eksForm *runWholeProgram(Scene &scene, DialogAnswers &answers)
    {
        scene.before = snapshot(scene.root, scene.excluded());
        MainWindow window;
        QList<QUrl> urls{QUrl::fromLocalFile(scene.root + QLatin1String("/src"))};
        for (const Source &source : std::as_const(scene.sources))
            if (source.dropped)
                urls.append(QUrl::fromLocalFile(sourcePath(scene, source)));
        drop(window, urls);
        destdir = scene.destination;
        child<QPushButton>(window, "pushButton_2")->click();
        eksForm *form = window.form;
        if (!form)
            return nullptr;

        int files = 0;
        for (const QStringList &group : std::as_const(form->groupFiles))
            files += group.size();
        if (files != scene.sources.size()) {
            QStringList found;
            for (const QStringList &group : std::as_const(form->groupFiles))
                for (const QString &file : group)
                    found.append(file.startsWith(QLatin1Char('/')) ? file
                                                                   : QLatin1Char('/') + file);
            for (const Source &source : std::as_const(scene.sources))
                if (!found.contains(sourcePath(scene, source)))
                    qWarning() << "not found by the analysis:"
                               << printable(sourcePath(scene, source));
            return form;
        }
        assignDvPalToEverything(*form);
        for (const QStringList &group : std::as_const(form->groupSettings))
            for (const QString &setting : group)
                if (setting == Settings::Default)
                    return form;
        answers.texts.clear();
        child<QPushButton>(*form, "pushButton_4")->click();
        return form;
    }

    // The sandbox outside the destination (and the run's own files) is as it was, and no
    // injected command left its marker.
    static void verifyNothingElseTouched(const Scene &scene)
    {
        const QMap<QString, Entry> after = snapshot(scene.root, scene.excluded());
        for (auto it = after.cbegin(); it != after.cend(); ++it) {
            QVERIFY2(scene.before.contains(it.key()),
                     qPrintable("created outside the destination: " + printable(it.key())));
            QVERIFY2(scene.before.value(it.key()) == it.value(),
                     qPrintable("changed outside the destination: " + printable(it.key())));
        }
        QCOMPARE(after.size(), scene.before.size());
        QDirIterator it(scene.root,
                        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            QVERIFY2(it.fileName() != QLatin1String("pwned"), qPrintable(printable(it.filePath())));
        }
    }

    // The commands of the job script (its entries before the final report).
    static QStringList jobScriptCommands(const Scene &scene)
    {
        const QByteArray script = readFile(scene.sandbox.jobScript());
        QList<QByteArray> entries = script.split('\xEF');
        QStringList commands;
        for (int i = 1; i + 1 < entries.size(); ++i) {
            QByteArray entry = entries[i];
            if (!entry.startsWith("\xBB\xBF") || !entry.endsWith('\n'))
                return {};
            commands.append(QString::fromUtf8(entry.mid(2, entry.size() - 3)));
        }
        return commands;
    }

private slots:
    void initTestCase() { previousHandler = qInstallMessageHandler(dropDebug); }

    void hostileNamesReachTheEngineVerbatimAndStayInsideTheDestination()
    {
        Scene scene;
        QList<Source> sources = hostileSources();
        sources.append({"src/clash.MOV"});
        sources.append({"src/clash.mov"});
        sources.append({TooLong});
        createSources(scene, sources, {});
        if (QTest::currentTestFailed())
            return;
        // The two clashing names share one output name: the later one gets the next free name.
        const qsizetype clashLater = scene.sources.size() - 2;
        scene.expectedOutputs[clashLater] = scene.destination + QLatin1String("/src/clash_2.MOV");

        QVERIFY(writeExactRecordingEngine(scene.sandbox.engines() + QLatin1String("/ffmpeg"),
                                          scene.record, 2000));
        QVERIFY(
            writeExactRecordingProgram(scene.sandbox.bin() + QLatin1String("/open"), scene.opened));
        DialogAnswers answers(QMessageBox::Ok);
        std::unique_ptr<eksForm> form(runWholeProgram(scene, answers));
        QVERIFY(form);
        QCOMPARE(answers.texts.size(), 1);

        // Every source reached the engine once, byte for byte, with its own output.
        const QList<QByteArrayList> calls = exactRecordedCalls(scene.record);
        QCOMPARE(calls.size(), scene.sources.size());
        QMap<QByteArray, QByteArray> outputBySource;
        for (const QByteArrayList &call : calls) {
            QVERIFY(call.size() >= 4);
            QCOMPARE(call[0], QByteArray("-i"));
            QCOMPARE(call[2], QByteArray("-y"));
            QCOMPARE(
                call.mid(3, call.size() - 4),
                QByteArrayList({"-s", "720x576", "-pix_fmt", "yuv420p", "-r", "25", "-vcodec",
                                "dvvideo", "-acodec", "pcm_s16le", "-ac", "2", "-ar", "48000"}));
            outputBySource.insert(call[1], call.last());
        }
        QCOMPARE(outputBySource.size(), scene.sources.size());
        for (int i = 0; i < scene.sources.size(); ++i) {
            const QString source = sourcePath(scene, scene.sources[i]);
            // A dropped path keeps its ".." component: it names the same file.
            const QByteArray key = QFile::encodeName(source);
            QVERIFY2(outputBySource.contains(key),
                     qPrintable("not converted: " + printable(source)));
            QCOMPARE(QString::fromUtf8(outputBySource.value(key)), scene.expectedOutputs[i]);
        }

        // The outputs are where the names say, complete, and nothing else is in the destination.
        QStringList expectedFiles = scene.expectedOutputs;
        const QString tooLongOutput = expectedFiles.takeLast();
        expectedFiles.sort();
        QCOMPARE(filesBelow(scene.destination), expectedFiles);
        for (const QString &output : std::as_const(expectedFiles))
            QCOMPARE(QFileInfo(output).size(), qint64(2000));

        // Only the output that could not be written is reported.
        QCOMPARE(answers.texts.first(), NotConverted + QLatin1String("\n\n0-->") + tooLongOutput);

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
        QCOMPARE(exactRecordedCalls(scene.record),
                 exactRecordedCalls(scene.record + QLatin1String(".first")));
        verifyNothingElseTouched(scene);
        if (QTest::currentTestFailed())
            return;

        // The run leaves every job entry at its file's path, field marks in the name included.
        QStringList entries;
        for (const QStringList &group : std::as_const(form->groupFiles))
            entries += group;
        for (const Source &source : std::as_const(scene.sources)) {
            const QString path = sourcePath(scene, source);
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
        const QStringList names{"a|b*c*d*e.mov", "p|x|*y*z.mov", "plain.mov"};
        QStringList files;
        for (const QString &name : names) {
            files.append(scene.root + QLatin1String("/src/") + name);
            QVERIFY(writeFile(files.last(), "media"));
        }
        QVERIFY(writeExactRecordingEngine(scene.sandbox.engines() + QLatin1String("/ffmpeg"),
                                          scene.record, 2000));
        QVERIFY(
            writeExactRecordingProgram(scene.sandbox.bin() + QLatin1String("/open"), scene.opened));
        DialogAnswers answers(QMessageBox::Ok);
        eksForm form;
        form.receiveEXT({QStringLiteral("mov")}, {files},
                        {QLatin1String("file://") + scene.root + QLatin1String("/src")},
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

        QCOMPARE(answers.texts,
                 QStringList(QStringLiteral(
                     "Success! All your files were converted! PLease check destination!")));
        const QList<QByteArrayList> calls = exactRecordedCalls(scene.record);
        QCOMPARE(calls.size(), 3);
        const QString out = scene.destination + QLatin1String("/src/");
        QCOMPARE(calls[0][1], QFile::encodeName(files[0]));
        QCOMPARE(calls[0].last(), QFile::encodeName(out + "abcde.mkv"));
        QCOMPARE(calls[1][1], QFile::encodeName(files[1]));
        QCOMPARE(calls[1].last(), QFile::encodeName(out + "pxyz.MOV"));
        QCOMPARE(calls[2][1], QFile::encodeName(files[2]));
        QCOMPARE(calls[2].last(), QFile::encodeName(out + "plain.mkv"));
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
        QVERIFY(clip.size() > 0);
        QVERIFY(QFile::remove(clipPath));

        // Every third name and the dropped files keep the real conversions short.
        const QList<Source> all = hostileSources();
        QList<Source> sources;
        for (int i = 0; i < all.size(); ++i)
            if (i % 3 == 0 || all[i].dropped)
                sources.append(all[i]);
        sources.append({TooLong});
        createSources(scene, sources, clip);
        if (QTest::currentTestFailed())
            return;
        const QString engine =
            QFileInfo(QStandardPaths::findExecutable(QStringLiteral("ffmpeg"))).canonicalFilePath();
        QVERIFY(QFile::link(engine, scene.sandbox.engines() + QLatin1String("/ffmpeg")));
        QVERIFY(
            writeExactRecordingProgram(scene.sandbox.bin() + QLatin1String("/open"), scene.opened));
        DialogAnswers answers(QMessageBox::Ok);
        std::unique_ptr<eksForm> form(runWholeProgram(scene, answers));
        QVERIFY(form);
        QCOMPARE(answers.texts.size(), 1);

        QStringList expectedFiles = scene.expectedOutputs;
        const QString tooLongOutput = expectedFiles.takeLast();
        QCOMPARE(answers.texts.first(), NotConverted + QLatin1String("\n\n0-->") + tooLongOutput);
        QStringList sorted = expectedFiles;
        sorted.sort();
        QCOMPARE(filesBelow(scene.destination), sorted);
        for (const QString &output : std::as_const(expectedFiles)) {
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
        if (QTest::currentTestFailed())
            return;
    }
};

QTEST_MAIN(HostileTest)
#include "tst_hostile.moc"
