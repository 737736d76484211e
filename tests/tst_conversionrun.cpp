#include "convert/conversionrun.h"
#include "convert/eksform.h"
#include "convert/settingscatalogue.h"
#include "testsupport.h"

#include <QLabel>
#include <QListView>
#include <QListWidget>
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
    // A form over the files of one folder, every file given the setting of `settings`.
    struct Job
    {
        Sandbox sandbox;
        QString source = sandbox.path() + "/footage";
        QString destination = sandbox.path() + "/out";
        QString record = sandbox.path() + "/engine-calls";
    };

    static void setUp(eksForm &form, Job &job, const QStringList &names, const QStringList &settings)
    {
        QDir().mkpath(job.source);
        QDir().mkpath(job.destination);
        QStringList files;
        for (const QString &name : names) {
            files.append(job.source + "/" + name);
            QVERIFY(writeFile(files.last(), QByteArray(100, 's')));
        }
        form.receiveEXT({"mov"}, {files}, {"file://" + job.source}, job.destination);
        form.groupSettings[0] = settings;
        for (int j = 0; j < settings.size(); ++j)
            if (settings[j] != Settings::Default)
                form.groupFiles[0][j] += "|" + settings[j] + "|";
    }

    static void run(eksForm &form) { form.findChild<QPushButton *>("pushButton_4")->click(); }

    static QList<QByteArray> jobScriptEntries(const Job &job)
    {
        const QByteArray script = readFile(job.sandbox.jobScript());
        return script.split('\n');
    }

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
        QVERIFY(writeRecordingProgram(job.sandbox.engines() + "/ffmpeg", job.record, 2000));
        QVERIFY(writeRecordingProgram(job.sandbox.bin() + "/open", job.sandbox.path() + "/opened"));
        DialogAnswers answers(QMessageBox::Ok);
        eksForm form;
        setUp(form, job, {"clip.mov", "keep.mov", "copy.mov"},
              {DvPalArguments, Settings::Default, Settings::CopyOnly});
        auto *bar = form.findChild<QProgressBar *>("progressBar");
        run(form);

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
        QCOMPARE(answers.texts, QStringList(Success));
        QCOMPARE(recordedCalls(job.sandbox.path() + "/opened"),
                 QList<QStringList>({{job.sandbox.jobScript()}}));

        // The copy is byte for byte, the skipped file has no output, and only the
        // conversion moved the bar.
        QCOMPARE(readFile(job.destination + "/footage/copy.mov"), QByteArray(100, 's'));
        QVERIFY(!QFile::exists(job.destination + "/footage/keep.MOV"));
        QCOMPARE(bar->value(), 100);
        QCOMPARE(form.groupFiles[0], QStringList({job.source + "/clip.mov", job.source + "/keep.mov",
                                                  job.source + "/copy.mov"}));
    }

    void failedConversionsAndCopiesAreReported()
    {
        Job job;
        // Exits non-zero after writing a large output: the output is not trusted.
        QVERIFY(writeRecordingProgram(job.sandbox.engines() + "/ffmpeg", job.record, 5000, 1));
        QVERIFY(writeRecordingProgram(job.sandbox.bin() + "/open", job.sandbox.path() + "/opened"));
        DialogAnswers answers(QMessageBox::Ok);
        eksForm form;
        setUp(form, job, {"a.mov", "b.mov", "gone.mov"},
              {DvPalArguments, DvPalArguments, Settings::CopyOnly});
        QVERIFY(QFile::remove(job.source + "/gone.mov"));
        run(form);

        const QString report = "The Following Files were not converted :\n \n\n\n\n0-->"
                               + job.destination + "/footage/a.MOV\n1-->" + job.destination
                               + "/footage/b.MOV\n2-->" + job.destination + "/footage/gone.mov";
        QCOMPARE(answers.texts, QStringList(report));
        QVERIFY(readFile(job.sandbox.jobScript()).endsWith(Bom + report.toUtf8() + "\n"));
    }

    void shortOutputIsReportedAndSecondRunAppends()
    {
        Job job;
        QVERIFY(writeRecordingProgram(job.sandbox.engines() + "/ffmpeg", job.record, 1999));
        QVERIFY(writeRecordingProgram(job.sandbox.bin() + "/open", job.sandbox.path() + "/opened"));
        DialogAnswers answers(QMessageBox::Ok);
        eksForm form;
        setUp(form, job, {"a.mov"}, {DvPalArguments});
        run(form);
        QVERIFY(answers.texts.last().endsWith("0-->" + job.destination + "/footage/a.MOV"));
        run(form);
        const QByteArray script = readFile(job.sandbox.jobScript());
        QCOMPARE(script.count("# Start of the file:"), 1);
        QCOMPARE(script.count(Bom), 4);
    }

    void collidingOutputsGetFreeNamesAndSourcesStayIntact()
    {
        Job job;
        QVERIFY(writeRecordingProgram(job.sandbox.engines() + "/ffmpeg", job.record, 2000));
        QVERIFY(writeRecordingProgram(job.sandbox.bin() + "/open", job.sandbox.path() + "/opened"));
        DialogAnswers answers(QMessageBox::Ok);
        eksForm form;
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
        run(form);

        QCOMPARE(answers.texts, QStringList(Success));
        const QList<QStringList> calls = recordedCalls(job.record);
        QCOMPARE(calls.size(), 3);
        QCOMPARE(calls[0].last(), job.source + "/A.MOV");
        QCOMPARE(calls[1].last(), job.source + "/A_2.MOV");
        QCOMPARE(calls[2].last(), job.source + "/X_2.MOV");
        QCOMPARE(readFile(job.source + "/X.MOV"), QByteArray("x"));
        QCOMPARE(readFile(job.source + "/A.mov"), QByteArray("a"));
        QVERIFY(readFile(job.sandbox.jobScript()).contains((job.source + "/A_2.MOV").toUtf8()));
    }

    void smallEngineFileIsRemovedAndTheRunDoesNotStart()
    {
        Job job;
        QVERIFY(writeFile(job.sandbox.engines() + "/ffmpeg", QByteArray()));
        DialogAnswers answers(QMessageBox::No);
        eksForm form; // its cleanup removes the empty engine
        answers.texts.clear();
        setUp(form, job, {"a.mov"}, {DvPalArguments});
        answers.texts.clear();
        run(form);
        QCOMPARE(answers.texts, QStringList(QStringLiteral(
            "Conversion Engine not Found! You need to download Conversion Engine Binary!(i.e.ffmpeg,sox etc.)")));
        QVERIFY(!QFile::exists(job.sandbox.jobScript()));
        QVERIFY(!QFile::exists(job.sandbox.engines() + "/ffmpeg"));
    }
};

QTEST_MAIN(ConversionRunTest)
#include "tst_conversionrun.moc"
