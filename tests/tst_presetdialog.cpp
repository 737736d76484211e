#include "presets/dialogpresets.h"

#include "ui_dialogpresets.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

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

    void okEmitsTheFieldsAsTypedAndCancelEmitsNothing_data()
    {
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<bool>("ok");
        QTest::newRow("ok") << QStringList{"a b", " -vcodec copy ", "mp4"} << true;
        QTest::newRow("ok with empty fields") << QStringList{"", "", ""} << true;
        QTest::newRow("cancel") << QStringList{"name", "-vcodec copy", "mov"} << false;
    }

    void okEmitsTheFieldsAsTypedAndCancelEmitsNothing()
    {
        QFETCH(QStringList, typed);
        QFETCH(bool, ok);
        DialogPRESETS dialog;
        dialog.show();
        QSignalSpy added(&dialog, &DialogPRESETS::addentry);
        QTest::keyClicks(dialog.ui->lineEdit, typed.at(0));
        QTest::keyClicks(dialog.ui->lineEdit_2, typed.at(1));
        QTest::keyClicks(dialog.ui->lineEdit_3, typed.at(2));

        dialog.ui->buttonBox->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();

        if (ok) {
            QCOMPARE(added.size(), 1);
            QCOMPARE(added.at(0), QVariantList({typed.at(0), typed.at(1), typed.at(2)}));
        } else {
            QCOMPARE(added.size(), 0);
        }
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(ok ? QDialog::Accepted : QDialog::Rejected));
    }
};

QTEST_MAIN(PresetDialogTest)
#include "tst_presetdialog.moc"
