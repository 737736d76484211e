#include "convert/conversionrun.h"
#include "convert/outputnames.h"
#include "engine/enginefolder.h"
#include "convert/eksform.h"
#include "convert/settingscatalogue.h"
#include "testsupport.h"
#include "uisupport.h"

#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

namespace {
const QByteArray Bom("\xEF\xBB\xBF");
const QString Success = QStringLiteral("Success! All your files were converted! PLease check destination!");
const QString DvPalArguments = QStringLiteral(
    " -s 720x576 -pix_fmt yuv420p -r 25 -vcodec dvvideo -acodec pcm_s16le -ac 2 -ar 48000 ");
} // namespace

class ConversionRunTest final : public QObject
{
    Q_OBJECT

private:
    // Files of one folder converted into "out" by a stand-in engine, with a stand-in
    // opener; every modal dialog is answered with OK.
    struct Job
    {
        Sandbox sandbox;
        QString source = sandbox.path() + "/footage";
        QString destination = sandbox.path() + "/out";
        QString record = sandbox.path() + "/engine-calls";
        DialogAnswers answers{QMessageBox::Ok};
        eksForm form;

        explicit Job(const StandIn &engine = {2000})
        {
            writeRecordingProgram(sandbox.engines() + "/ffmpeg", record, Recording::Lines, engine);
            writeRecordingProgram(sandbox.bin() + "/open", sandbox.path() + "/opened");
        }
        // Every file given the setting of `settings`.
        void setUp(const QStringList &names, const QStringList &settings)
        {
            QDir().mkpath(source);
            QDir().mkpath(destination);
            QStringList files;
            for (const QString &name : names) {
                files.append(source + "/" + name);
                writeFile(files.last(), QByteArray(100, 's'));
            }
            form.receiveEXT({"mov"}, {files}, {"file://" + source}, destination);
            form.groupSettings[0] = settings;
            for (int j = 0; j < settings.size(); ++j)
                if (settings[j] != Settings::Default)
                    form.groupFiles[0][j] += "|" + settings[j] + "|";
        }
        void run() { form.findChild<QPushButton *>("pushButton_4")->click(); }
    };

private slots:
    void reportListsEveryMissingOutputInRunOrder()
    {
        QCOMPARE(reportText({}), Success);
        QCOMPARE(reportText({"/o/a.MOV", "/o/b.MOV", "/o/c.MOV"}),
                 QStringLiteral("The Following Files were not converted :\n \n\n\n\n0-->/o/a.MOV\n1-->/o/b.MOV\n2-->/o/c.MOV"));
    }

    void outputCountsOnlyWithCleanExitAndEnoughBytes()
    {
        Sandbox sandbox;
        const QString out = sandbox.path() + "/out.MOV";
        QVERIFY(writeFile(out, QByteArray(1999, 'x')));
        QVERIFY(!outputProduced(0, out));
        QVERIFY(writeFile(out, QByteArray(2000, 'x')));
        QVERIFY(outputProduced(0, out));
        QVERIFY(!outputProduced(256, out));
        QVERIFY(QFile::setPermissions(out, QFileDevice::ReadOwner));
        QVERIFY(!outputProduced(0, out));

        const QString missing = sandbox.path() + "/missing.MOV";
        QVERIFY(!outputProduced(0, missing));
        QVERIFY2(!QFile::exists(missing), "checking an output must not create it");
    }

    void outputNamesNeverReuseASourceOrAnEarlierOutput()
    {
        Sandbox sandbox;
        const QString folder = sandbox.path();
        QVERIFY(writeFile(folder + "/A.MOV", "source"));
        OutputNames names({folder + "/A.MOV", folder + "/B.avi"});
        QCOMPARE(names.claim(folder + "/A.MOV"), folder + "/A_2.MOV");
        QCOMPARE(names.claim(folder + "/A.MOV"), folder + "/A_3.MOV");
        QCOMPARE(names.claim(folder + "/C.MOV"), folder + "/C.MOV");
        QCOMPARE(names.claim(folder + "//C.MOV"), folder + "//C_2.MOV");
        QCOMPARE(numberedName("/x.y/name", 2), QStringLiteral("/x.y/name_2"));
        QCOMPARE(numberedName("/x/.hidden", 2), QStringLiteral("/x/.hidden_2"));
    }

    void runCallsTheEngineAndLogsExactlyWhatRan()
    {
        Job job;
        job.setUp({"clip.mov", "keep.mov", "copy.mov"},
                  {DvPalArguments, Settings::Default, Settings::CopyOnly});
        job.run();

        const QString out = job.destination + "/footage/clip.MOV";
        const QList<QStringList> calls = recordedCalls(job.record);
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.first(), QStringList({"-i", job.source + "/clip.mov", "-y", "-s", "720x576",
                                             "-pix_fmt", "yuv420p", "-r", "25", "-vcodec",
                                             "dvvideo", "-acodec", "pcm_s16le", "-ac", "2", "-ar",
                                             "48000", out}));
        const QString command = job.sandbox.engines() + "/ffmpeg  -i \"" + job.source
                                + "/clip.mov\" -y " + DvPalArguments + " \"" + out + "\"";
        QCOMPARE(readFile(job.sandbox.jobScript()),
                 "# Start of the file:\n" + Bom + command.toUtf8() + "\n" + Bom + Success.toUtf8() + "\n");
        QCOMPARE(job.answers.texts, QStringList(Success));
        QCOMPARE(recordedCalls(job.sandbox.path() + "/opened"),
                 QList<QStringList>({{job.sandbox.jobScript()}}));

        // The copy is byte for byte, the skipped file has no output, and only the
        // conversion moved the bar.
        QCOMPARE(readFile(job.destination + "/footage/copy.mov"), QByteArray(100, 's'));
        QVERIFY(!QFile::exists(job.destination + "/footage/keep.MOV"));
        QCOMPARE(job.form.findChild<QProgressBar *>("progressBar")->value(), 100);
        QCOMPARE(job.form.groupFiles[0], QStringList({job.source + "/clip.mov", job.source + "/keep.mov",
                                                  job.source + "/copy.mov"}));
    }

    void failedConversionsAndCopiesAreReported()
    {
        // Exits non-zero after writing a large output: the output is not trusted.
        Job job(StandIn(5000, 1));
        job.setUp({"a.mov", "b.mov", "gone.mov"}, {DvPalArguments, DvPalArguments, Settings::CopyOnly});
        QVERIFY(QFile::remove(job.source + "/gone.mov"));
        job.run();

        const QString report = "The Following Files were not converted :\n \n\n\n\n0-->"
                               + job.destination + "/footage/a.MOV\n1-->" + job.destination
                               + "/footage/b.MOV\n2-->" + job.destination + "/footage/gone.mov";
        QCOMPARE(job.answers.texts, QStringList(report));
        QVERIFY(readFile(job.sandbox.jobScript()).endsWith(Bom + report.toUtf8() + "\n"));
    }

    void shortOutputIsReportedAndSecondRunAppends()
    {
        Job job(StandIn(1999));
        job.setUp({"a.mov"}, {DvPalArguments});
        job.run();
        QVERIFY(job.answers.texts.last().endsWith("0-->" + job.destination + "/footage/a.MOV"));
        job.run();
        const QByteArray script = readFile(job.sandbox.jobScript());
        QCOMPARE(script.count("# Start of the file:"), 1);
        QCOMPARE(script.count(Bom), 4);
    }

    void collidingOutputsGetFreeNamesAndSourcesStayIntact()
    {
        Job job;
        eksForm &form = job.form;
        // The destination is the source folder itself: X.MOV would be written onto its source.
        QDir().mkpath(job.source);
        QVERIFY(writeFile(job.source + "/A.mov", "a"));
        QVERIFY(writeFile(job.source + "/A.avi", "b"));
        QVERIFY(writeFile(job.source + "/X.MOV", "x"));
        form.receiveEXT({"avi", "mov"}, {{job.source + "/A.avi"}, {job.source + "/A.mov", job.source + "/X.MOV"}},
                        {}, job.source);
        for (QStringList &settings : form.groupSettings)
            settings.fill(DvPalArguments);
        for (QStringList &files : form.groupFiles)
            for (QString &file : files)
                file += "|x|";
        job.run();

        QCOMPARE(job.answers.texts, QStringList(Success));
        QStringList outputs;
        for (const QStringList &call : recordedCalls(job.record))
            outputs.append(call.last());
        QCOMPARE(outputs, QStringList({job.source + "/A.MOV", job.source + "/A_2.MOV",
                                       job.source + "/X_2.MOV"}));
        QCOMPARE(readFile(job.source + "/X.MOV"), QByteArray("x"));
        QCOMPARE(readFile(job.source + "/A.mov"), QByteArray("a"));
        QVERIFY(readFile(job.sandbox.jobScript()).contains((job.source + "/A_2.MOV").toUtf8()));
    }

    void smallEngineFileIsRemovedAndTheRunDoesNotStart()
    {
        Sandbox sandbox;
        QVERIFY(writeFile(sandbox.engines() + "/ffmpeg", QByteArray()));
        DialogAnswers answers(QMessageBox::No);
        eksForm form; // its cleanup removes the empty engine
        QVERIFY(writeFile(sandbox.path() + "/a.mov", QByteArray(100, 's')));
        form.receiveEXT({"mov"}, {{sandbox.path() + "/a.mov"}}, {}, sandbox.path() + "/out");
        form.groupSettings[0][0] = DvPalArguments;
        form.groupFiles[0][0] += "|" + DvPalArguments + "|";
        answers.texts.clear();
        form.findChild<QPushButton *>("pushButton_4")->click();
        QCOMPARE(answers.texts, QStringList(QStringLiteral(
            "Conversion Engine not Found! You need to download Conversion Engine Binary!(i.e.ffmpeg,sox etc.)")));
        QVERIFY(!QFile::exists(sandbox.jobScript()));
        QVERIFY(!QFile::exists(sandbox.engines() + "/ffmpeg"));
    }
};

QTEST_MAIN(ConversionRunTest)
#include "tst_conversionrun.moc"
