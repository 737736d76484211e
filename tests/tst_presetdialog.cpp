#include "app/modal.h"
#include "convert/conversionrun.h"
#include "convert/eksform.h"
#include "presets/dialogpresets.h"
#include "presets/presetfile.h"
#include "testsupport.h"
#include "uisupport.h"

#include "ui_dialogpresets.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

namespace {
DialogPRESETS *openPresetDialog()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *dialog = qobject_cast<DialogPRESETS *>(widget); dialog && dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

void typeInto(DialogPRESETS *dialog, const QStringList &fields)
{
    QTest::keyClicks(dialog->ui->lineEdit, fields.at(0));
    QTest::keyClicks(dialog->ui->lineEdit_2, fields.at(1));
    QTest::keyClicks(dialog->ui->lineEdit_3, fields.at(2));
}

void clickRow(QAbstractItemView *view, const QModelIndex &index)
{
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
}

// Whether a file of that name lies anywhere below the folder.
bool holdsFileNamed(const QString &folder, const QString &name)
{
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        if (QFileInfo(it.next()).fileName() == name)
            return true;
    }
    return false;
}
} // namespace

class PresetDialogTest final : public QObject
{
    Q_OBJECT

private slots:
    void instructionTellsWhatToEnter()
    {
        DialogPRESETS dialog;
        QCOMPARE(dialog.ui->label_2->text(),
                 QStringLiteral("you need to enter: everything between INPUT.MOV and OUTPUT.MOV  LIKE "
                                "THIS: -vcodec dnxhd -ar 48000 -b 36M "));
    }

    void okAddsOnlyWhatMakesAPreset_data()
    {
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<bool>("added");
        QTest::newRow("as typed") << QStringList{"a b", " -vcodec copy ", "mp4"} << true;
        QTest::newRow("no arguments") << QStringList{"a", "", "mp4"} << false;
        QTest::newRow("blank arguments") << QStringList{"a", "   ", "mp4"} << false;
        QTest::newRow("no extension") << QStringList{"a", "-an", ""} << false;
        QTest::newRow("quote left open") << QStringList{"a", "-metadata title='My", "mov"} << false;
        QTest::newRow("backslash left open") << QStringList{"a", "-an \\", "mov"} << false;
    }

    void okAddsOnlyWhatMakesAPreset()
    {
        QFETCH(QStringList, typed);
        QFETCH(bool, added);
        DialogAnswers answers(QMessageBox::Ok);
        DialogPRESETS dialog;
        dialog.show();
        QSignalSpy spy(&dialog, &DialogPRESETS::addentry);
        typeInto(&dialog, typed);

        dialog.ui->buttonBox->button(QDialogButtonBox::Ok)->click();

        QCOMPARE(spy.size(), added ? 1 : 0);
        if (added)
            QCOMPARE(spy.at(0), QVariantList({typed.at(0), typed.at(1), typed.at(2)}));
        // A refused preset is explained, and the dialog stays open.
        QCOMPARE(answers.texts,
                 added ? QStringList() : QStringList{presetRefusal(typed.at(1), typed.at(2))});
        QCOMPARE(dialog.isVisible(), !added);
        if (!added) {
            dialog.ui->buttonBox->button(QDialogButtonBox::Cancel)->click();
            QVERIFY(!dialog.isVisible());
            QCOMPARE(spy.size(), 0);
        }
    }

    // A preset made in the real dialog, applied and run: the engine, a stand-in recording
    // its arguments, gets the words the shell makes of the typed text; texts that would run
    // a command or hide the output get their words quoted, and run nothing.
    void typedArgumentsReachTheEngineAsTheShellReadsThem_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<bool>("asTyped"); // the job script shows the text as typed
        QTest::newRow("single quotes") << "-metadata title='My Clip' -an"
                                       << QStringList{"-metadata", "title=My Clip", "-an"} << true;
        QTest::newRow("backslash") << "-metadata title=My\\ Clip"
                                   << QStringList{"-metadata", "title=My Clip"} << true;
        QTest::newRow("double quotes") << "-metadata \"comment=say \\\"hi\\\"\""
                                       << QStringList{"-metadata", "comment=say \"hi\""} << true;
        QTest::newRow("; touch x")
            << "-an ; touch x" << QStringList{"-an", ";", "touch", "x"} << false;
        QTest::newRow("$(touch x)")
            << "-an $(touch x)" << QStringList{"-an", "$(touch", "x)"} << false;
        QTest::newRow("`touch x`")
            << "-an `touch x`" << QStringList{"-an", "`touch", "x`"} << false;
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
        DialogPRESETS *dialog = openPresetDialog();
        QVERIFY(dialog);
        typeInto(dialog, {"mine", typed, "mp4"});
        dialog->ui->buttonBox->button(QDialogButtonBox::Ok)->click();
        auto *settings = form.findChild<QListWidget *>("listWidget");
        const QList<QListWidgetItem *> presets =
            settings->findItems("*MINE*" + typed + "*mp4", Qt::MatchExactly);
        QCOMPARE(presets.size(), 1);
        clickRow(settings, settings->indexFromItem(presets.first()));
        auto *files = form.findChild<QListView *>("listView_2");
        clickRow(files, files->model()->index(0, 0));
        form.findChild<QPushButton *>("pushButton")->click();
        form.findChild<QPushButton *>("pushButton_4")->click();

        QTRY_COMPARE(exactRecordedCalls(calls).size(), 1);
        const QByteArrayList received = exactRecordedCalls(calls).first();
        QCOMPARE(received.mid(0, 3), QByteArrayList({"-i", QFile::encodeName(source), "-y"}));
        QByteArrayList expected;
        for (const QString &word : words)
            expected.append(word.toUtf8());
        QCOMPARE(received.mid(3, received.size() - 4), expected);
        QVERIFY(received.last().endsWith(".mp4"));
        QTRY_VERIFY(QFileInfo::exists(sandbox.path() + "/opened"));
        QVERIFY(!holdsFileNamed(sandbox.path(), "x"));
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
