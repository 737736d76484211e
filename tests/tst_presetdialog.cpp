#include "app/modal.h"
#include "convert/conversionrun.h"
#include "convert/eksform.h"
#include "presets/dialogpresets.h"
#include "presets/presetfile.h"
#include "testsupport.h"
#include "uisupport.h"

#include "ui_dialogpresets.h"

#include <QApplication>
#include <QFileInfo>
#include <QListView>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

namespace {
// Types the name, arguments and extension into the dialog and presses OK.
void fillIn(DialogPRESETS *dialog, const QStringList &fields)
{
    QTest::keyClicks(dialog->ui->lineEdit, fields.at(0));
    QTest::keyClicks(dialog->ui->lineEdit_2, fields.at(1));
    QTest::keyClicks(dialog->ui->lineEdit_3, fields.at(2));
    dialog->ui->buttonBox->button(QDialogButtonBox::Ok)->click();
}

void clickRow(QAbstractItemView *view, const QModelIndex &index)
{
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
}
} // namespace

class PresetDialogTest final : public QObject
{
    Q_OBJECT

private slots:
    void okRefusesWhatMakesNoPreset_data()
    {
        QTest::addColumn<QStringList>("typed");
        QTest::newRow("no arguments") << QStringList{"a", "", "mp4"};
        QTest::newRow("no extension") << QStringList{"a", "-an", ""};
        QTest::newRow("quote left open") << QStringList{"a", "-metadata title='My", "mov"};
        QTest::newRow("backslash left open") << QStringList{"a", "-an \\", "mov"};
    }

    void okRefusesWhatMakesNoPreset()
    {
        QFETCH(QStringList, typed);
        DialogAnswers answers(QMessageBox::Ok);
        DialogPRESETS dialog;
        dialog.show();
        QSignalSpy spy(&dialog, &DialogPRESETS::addentry);
        fillIn(&dialog, typed);
        // Explained, and the dialog stays open until cancelled.
        QCOMPARE(answers.texts, QStringList{presetRefusal(typed.at(1), typed.at(2))});
        QVERIFY(dialog.isVisible());
        dialog.ui->buttonBox->button(QDialogButtonBox::Cancel)->click();
        QCOMPARE(spy.size(), 0);
    }

    // A preset made in the dialog, applied and run: the engine, a stand-in, gets the words
    // the shell makes of the typed text; texts that would run a command or hide the output
    // get their words quoted, and run nothing.
    void typedArgumentsReachTheEngineAsTheShellReadsThem_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<bool>("asTyped"); // the job script shows the text as typed
        QTest::newRow("'") << " -metadata title='My Clip' -an"
                           << QStringList{"-metadata", "title=My Clip", "-an"} << true;
        QTest::newRow("\\") << "-metadata title=My\\ Clip" << QStringList{"-metadata", "title=My Clip"}
                            << true;
        QTest::newRow("\"") << "-metadata \"c=say \\\"hi\\\"\"" << QStringList{"-metadata", "c=say \"hi\""}
                           << true;
        QTest::newRow(";") << "-an ; touch x" << QStringList{"-an", ";", "touch", "x"} << false;
        QTest::newRow("$()") << "-an $(touch x)" << QStringList{"-an", "$(touch", "x)"} << false;
        QTest::newRow("``") << "-an `touch x`" << QStringList{"-an", "`touch", "x`"} << false;
        QTest::newRow("> x") << "-an > x" << QStringList{"-an", ">", "x"} << false;
        QTest::newRow("# x") << "-an # x" << QStringList{"-an"} << false;
        QTest::newRow("no expansion, no glob")
            << "-an \"$HOME\" x?" << QStringList{"-an", "$HOME", "x?"} << false;
    }

    void typedArgumentsReachTheEngineAsTheShellReadsThem()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, words);
        QFETCH(bool, asTyped);
        Sandbox sandbox;
        const QString calls = sandbox.path() + "/calls";
        QVERIFY(writeRecordingProgram(sandbox.engines() + "/ffmpeg", calls, Recording::Exact,
                                      StandIn(MinimumOutputSize)));
        QVERIFY(writeRecordingProgram(sandbox.bin() + "/open", sandbox.path() + "/opened"));
        const QString source = sandbox.path() + "/in/clip.mov";
        QVERIFY(touchFile(source));
        DialogAnswers answers(QMessageBox::Ok);
        eksForm form;
        form.receiveEXT({"mov"}, {{source}}, {"file://" + sandbox.path() + "/in"},
                        sandbox.path() + "/out");
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        form.findChild<QPushButton *>("pushButton_6")->click();
        DialogPRESETS *dialog = nullptr;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (widget->isVisible() && qobject_cast<DialogPRESETS *>(widget))
                dialog = qobject_cast<DialogPRESETS *>(widget);
        }
        QVERIFY(dialog);
        fillIn(dialog, {"mine", typed, "mp4"});
        auto *settings = form.findChild<QListWidget *>("listWidget");
        const auto presets = settings->findItems("*MINE*" + typed + "*mp4", Qt::MatchExactly);
        QCOMPARE(presets.size(), 1);
        clickRow(settings, settings->indexFromItem(presets.first()));
        auto *files = form.findChild<QListView *>("listView_2");
        clickRow(files, files->model()->index(0, 0));
        form.findChild<QPushButton *>("pushButton")->click();
        form.findChild<QPushButton *>("pushButton_4")->click();

        QTRY_VERIFY(QFileInfo::exists(sandbox.path() + "/opened")); // the run has ended
        const QList<QByteArrayList> received = exactRecordedCalls(calls);
        QCOMPARE(received.size(), 1);
        QByteArrayList expected{"-i", QFile::encodeName(source), "-y", "-map_metadata", "0"};
        for (const QString &word : words)
            expected.append(word.toUtf8());
        QCOMPARE(received.first().mid(0, expected.size()), expected);
        QCOMPARE(received.first().size(), expected.size() + 1);
        QVERIFY(received.first().last().endsWith(".mp4"));
        QVERIFY(!QFileInfo::exists(sandbox.path() + "/x")); // where the shell runs
        QCOMPARE(QString::fromUtf8(readFile(sandbox.jobScript())).contains(typed), asTyped);
    }

    void importRefusesPresetLinesWithoutArgumentsOrExtension()
    {
        Sandbox sandbox;
        DialogAnswers answers(QMessageBox::Ok);
        const QString imported = sandbox.path() + "/mine.txt";
        QVERIFY(writeFile(imported,
                          "*GOOD*-an*wav\n*NOARGS**mp4\n*NOEXT*-an*\nnotes\n*OPEN*-an 'x*mov\n"));
        Modal::setFileChooser([&](QWidget *, const QString &, const QString &, const QString &) {
            return imported;
        });
        const auto restore = qScopeGuard([] { Modal::setFileChooser({}); });
        eksForm form;
        auto *settings = form.findChild<QListWidget *>("listWidget");
        const int builtIn = settings->count();

        form.findChild<QPushButton *>("pushButton_7")->click();

        QCOMPARE(readFile(sandbox.bundle() + "/presets.txt"), QByteArray("*GOOD*-an*wav\nnotes\n"));
        QCOMPARE(settings->count(), builtIn + 2);
        QCOMPARE(answers.texts.size(), 1);
        for (const QString line : {"*NOARGS**mp4", "*NOEXT*-an*", "*OPEN*-an 'x*mov"})
            QVERIFY2(answers.texts.first().contains(line + '\n' + presetLineRefusal(line)),
                     qPrintable(line));
    }
};

QTEST_MAIN(PresetDialogTest)
#include "tst_presetdialog.moc"
