// Presets as the user makes them in the dialog and imports them from a file, and what the
// engine gets of them.

#include "ui/common/modal.h"
#include "core/run/enginejob.h"
#include "ui/form/eksform.h"
#include "core/presets/presetfile.h"
#include "ui/presets/dialogpresets.h"
#include "formfixture.h"

#include "ui_dialogpresets.h"

#include <QtTest>
#include <QtWidgets>

namespace {
struct Fixture : FormFixture
{
    // "create preset", and its dialog's fields filled from the clipboard: a line break can
    // come in that way only.
    DialogPRESETS *fillDialog(const QString &name, const QString &arguments, const QString &extension)
    {
        child<QPushButton>("pushButton_6")->click();
        DialogPRESETS *dialog = nullptr;
        if (!QTest::qWaitFor([&] { return (dialog = qobject_cast<DialogPRESETS *>(QApplication::activeWindow())); }))
            return nullptr;
        for (const auto &[edit, text] : {std::pair{dialog->ui->lineEdit, name}, {dialog->ui->lineEdit_2, arguments},
                                         {dialog->ui->lineEdit_3, extension}}) {
            QGuiApplication::clipboard()->setText(text);
            edit->setFocus();
            QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        }
        return dialog;
    }
};
} // namespace

class PresetsTest final : public QObject
{
    Q_OBJECT

private slots:
    // A preset made in the dialog, applied and run: the engine, a stand-in, gets the words
    // the shell makes of the typed text; texts that would run a command or hide the output
    // get their words quoted, and run nothing.
    void typedPresetArgumentsReachTheEngineAsTheShellReadsThem_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("'") << " -metadata title='My Clip' -an"
                           << QStringList{"-metadata", "title=My Clip", "-an"};
        QTest::newRow("\\") << "-metadata title=My\\ Clip" << QStringList{"-metadata", "title=My Clip"};
        QTest::newRow("\"") << "-metadata \"c=say \\\"hi\\\"\"" << QStringList{"-metadata", "c=say \"hi\""};
        QTest::newRow(";") << "-an ; touch x" << QStringList{"-an", ";", "touch", "x"};
        QTest::newRow("$()") << "-an $(touch x)" << QStringList{"-an", "$(touch", "x)"};
        QTest::newRow("``") << "-an `touch x`" << QStringList{"-an", "`touch", "x`"};
        QTest::newRow("> x") << "-an > x" << QStringList{"-an", ">", "x"};
        QTest::newRow("# x") << "-an # x" << QStringList{"-an"};
        QTest::newRow("no expansion, no glob")
            << "-an \"$HOME\" x?" << QStringList{"-an", "$HOME", "x?"};
    }

    void typedPresetArgumentsReachTheEngineAsTheShellReadsThem()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, words);
        Fixture f;
        f.answers.setAnswer(QMessageBox::Ok);
        const QString calls = f.sandbox.path() + "/calls";
        QVERIFY(writeRecordingProgram(f.sandbox.engines() + "/ffmpeg", calls,
                                      "head -c 2000 /dev/zero > \"$last\""));
        QVERIFY(writeRecordingProgram(f.sandbox.bin() + "/open", f.sandbox.path() + "/opened"));
        const QString source = f.sandbox.path() + "/in/clip.mov";
        QVERIFY(touchFile(source));
        f.form.receiveEXT({"mov"}, {{source}}, {"file://" + f.sandbox.path() + "/in"},
                          f.sandbox.path() + "/out");

        DialogPRESETS *dialog = f.fillDialog("mine", typed, "mp4");
        QVERIFY(dialog);
        dialog->ui->buttonBox->button(QDialogButtonBox::Ok)->click();
        f.chooseSetting(presetLine("mine", typed, "mp4"));
        f.press({0});
        f.child<QPushButton>("pushButton_4")->click();

        QTRY_VERIFY(QFileInfo::exists(f.sandbox.path() + "/opened")); // the run has ended
        const QList<QByteArrayList> received = exactRecordedCalls(calls);
        QCOMPARE(received.size(), 1);
        QByteArrayList expected{"-i", QFile::encodeName(source), "-y", "-map_metadata", "0"};
        for (const QString &word : words + EngineJob::ProgressOptions.split(' '))
            expected.append(word.toUtf8());
        QCOMPARE(received.first().mid(0, received.first().size() - 1), expected); // then the output
        QVERIFY(!QFileInfo::exists(f.sandbox.path() + "/x")); // where the shell runs
    }

    // Fields that make no preset: said why, and the dialog stays open for a correction;
    // nothing is listed or stored.
    void fieldsThatMakeNoPresetAreRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("extension");
        QTest::newRow("no arguments") << "mine" << "" << "mp4";
        QTest::newRow("no extension") << "mine" << "-an" << "";
        QTest::newRow("quote left open") << "mine" << "-metadata title='My" << "mp4";
        QTest::newRow("backslash left open") << "mine" << "-an \\" << "mp4";
        QTest::newRow("*, which divides a preset's fields") << "mine" << "-vf scale=iw*2:-2" << "mp4";
        QTest::newRow("|, which the engine's line drops") << "mine" << "-af pan=stereo|c0=c0|c1=c0" << "wav";
        // Stored, the preset would come back torn in two at the next start.
        QTest::newRow("line break in the arguments") << "mine" << "-an\n-vcodec mpeg4" << "mp4";
        QTest::newRow("line break in the name") << "my\nown" << "-an" << "mp4";
        QTest::newRow("line end in the extension") << "mine" << "-an" << "mp4\r";
        // The extension ends the output's name: a folder in it leads the output elsewhere.
        QTest::newRow("folder in the extension") << "mine" << "-an" << "mov/../../../escaped";
    }

    void fieldsThatMakeNoPresetAreRefused()
    {
        QFETCH(QString, name);
        QFETCH(QString, arguments);
        QFETCH(QString, extension);
        Fixture f;
        f.answers.setAnswer(QMessageBox::Ok);
        const int settings = f.child<QListWidget>("listWidget")->count();
        DialogPRESETS *dialog = f.fillDialog(name, arguments, extension);
        QVERIFY(dialog);
        QCOMPARE(dialog->ui->lineEdit_2->text(), arguments);
        dialog->ui->buttonBox->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(f.answers.texts.size(), 1);
        QVERIFY(dialog->isVisible());
        QCOMPARE(f.child<QListWidget>("listWidget")->count(), settings);
        QVERIFY(!QFileInfo::exists(presetsFilePath()));
        delete dialog;
    }

    void importTakesPresetLinesAndRefusesThoseWithoutArgumentsOrExtension()
    {
        Fixture f;
        const QString imported = f.sandbox.path() + "/mine.txt";
        QVERIFY(writeFile(imported, "*GOOD*-an*wav\n*NOARGS**mp4\n*NOEXT*-an*\nnotes\n*OPEN*-an 'x*mov\n"
                                    "*STAR*-vf scale=iw*2:-2*mp4\n*A|B*-an*mp4\n*BAR*-an*m|p4\n"
                                    "*PAN*-af pan=stereo|c0=c0*wav\n*UP*-an*x/../../up\n"
                                    "*CAF\xC9*-metadata title=caf\xE9*MOV\n"));
        QString chosen = imported;
        Modal::setFileChooser([&](QWidget *, const QString &, const QString &, const QString &) {
            return chosen;
        });
        const auto restore = qScopeGuard([] { Modal::setFileChooser({}); });

        f.child<QPushButton>("pushButton_7")->click();
        // A line of an older, Latin-1, presets file is taken as it was written.
        const QString older = presetLine("café", "-metadata title=café", "MOV");
        QCOMPARE(readFile(f.sandbox.bundle() + "/presets.txt"), "*GOOD*-an*wav\nnotes\n" + older.toUtf8() + '\n');
        QCOMPARE(f.countItems("*GOOD*-an*wav") + f.countItems("notes") + f.countItems(older), 3);
        QCOMPARE(f.answers.texts.size(), 1);
        for (const QString line : {"*NOARGS**mp4", "*NOEXT*-an*", "*OPEN*-an 'x*mov", "*STAR*-vf scale=iw*2:-2*mp4",
                                   "*A|B*-an*mp4", "*BAR*-an*m|p4", "*PAN*-af pan=stereo|c0=c0*wav",
                                   "*UP*-an*x/../../up"})
            QVERIFY2(f.answers.texts.first().contains(line + '\n'), qPrintable(line));

        // Saved by Windows Notepad as "Unicode": UTF-16 after a byte order mark.
        const QString windows = presetLine("проба", "-metadata title=Проба", "mp4");
        chosen = f.sandbox.path() + "/windows.txt";
        QVERIFY(writeFile(chosen, QStringEncoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom)(
                                      windows + "\r\n")));
        f.child<QPushButton>("pushButton_7")->click();
        QCOMPARE(f.countItems(windows), 1);
        QCOMPARE(loadpresets().value(3), windows);
    }
};

QTEST_MAIN(PresetsTest)
#include "tst_presets.moc"
