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

private:
    static void typeFields(DialogPRESETS &dialog, const QString &name, const QString &arguments,
                           const QString &extension)
    {
        QTest::keyClicks(dialog.ui->lineEdit, name);
        QTest::keyClicks(dialog.ui->lineEdit_2, arguments);
        QTest::keyClicks(dialog.ui->lineEdit_3, extension);
    }

private slots:
    void layoutCarriesTheProductTexts()
    {
        DialogPRESETS dialog;
        QCOMPARE(dialog.objectName(), QStringLiteral("DialogPRESETS"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Dialog"));
        QCOMPARE(dialog.size(), QSize(438, 342));
        QWidget *container = dialog.findChild<QWidget *>(QStringLiteral("widget"));
        QVERIFY(container);
        QCOMPARE(container->layout()->objectName(), QStringLiteral("verticalLayout"));

        const QList<QPair<QLabel *, QString>> labels = {
            {dialog.ui->label,
             QStringLiteral("Please Enter your own  preset, for example if you  use ffmpeg as conversion "
                            "engine 'ffmpeg -i INPUT.MOV -vcodec dnxhd -ar 48000 -b 36M OUTPUT.MOV")},
            {dialog.ui->label_2,
             QStringLiteral("you need to enter: everything between INPUT.MOV and OUTPUT.MOV  LIKE THIS: "
                            "-vcodec dnxhd -ar 48000 -b 36M ")},
            {dialog.ui->label_3, QStringLiteral("name of the preset")},
            {dialog.ui->label_4, QStringLiteral("arguments(as explained above)")},
            {dialog.ui->label_5,
             QStringLiteral("resulting file extension(MOV,AVI,DV etc. default is MOV)")},
        };
        for (const auto &[label, text] : labels) {
            QCOMPARE(label->text(), text);
            QVERIFY(label->wordWrap());
            QCOMPARE(label->parentWidget(), container);
        }

        // Top to bottom: each label sits right above the field it explains.
        auto *layout = qobject_cast<QVBoxLayout *>(container->layout());
        QVERIFY(layout);
        const QList<QWidget *> order = {dialog.ui->label,   dialog.ui->label_2,  dialog.ui->label_3,
                                        dialog.ui->lineEdit, dialog.ui->label_4,  dialog.ui->lineEdit_2,
                                        dialog.ui->label_5,  dialog.ui->lineEdit_3, dialog.ui->buttonBox};
        QCOMPARE(layout->count(), order.size());
        for (int i = 0; i < order.size(); ++i)
            QCOMPARE(layout->itemAt(i)->widget(), order.at(i));

        for (QLineEdit *edit : {dialog.ui->lineEdit, dialog.ui->lineEdit_2, dialog.ui->lineEdit_3}) {
            QVERIFY(edit->text().isEmpty());
            QVERIFY(edit->inputMask().isEmpty());
            QVERIFY(!edit->validator());
        }
        QCOMPARE(dialog.ui->buttonBox->orientation(), Qt::Horizontal);
        QCOMPARE(dialog.ui->buttonBox->standardButtons(),
                 QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    }

    void okEmitsTheFieldsAsTypedAndHidesTheDialog()
    {
        DialogPRESETS dialog;
        dialog.show();
        QSignalSpy added(&dialog, &DialogPRESETS::addentry);
        typeFields(dialog, QStringLiteral("a b"), QStringLiteral(" -vcodec copy "),
                   QStringLiteral("mp4"));

        dialog.ui->buttonBox->button(QDialogButtonBox::Ok)->click();

        QCOMPARE(added.size(), 1);
        QCOMPARE(added.at(0), QVariantList({QStringLiteral("a b"), QStringLiteral(" -vcodec copy "),
                                            QStringLiteral("mp4")}));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void okWithEmptyFieldsStillEmitsThem()
    {
        DialogPRESETS dialog;
        dialog.show();
        QSignalSpy added(&dialog, &DialogPRESETS::addentry);

        dialog.ui->buttonBox->button(QDialogButtonBox::Ok)->click();

        QCOMPARE(added.size(), 1);
        QCOMPARE(added.at(0), QVariantList({QString(), QString(), QString()}));
    }

    void cancelEmitsNothingAndClosesTheDialog()
    {
        DialogPRESETS dialog;
        dialog.show();
        QSignalSpy added(&dialog, &DialogPRESETS::addentry);
        typeFields(dialog, QStringLiteral("name"), QStringLiteral("-vcodec copy"),
                   QStringLiteral("mov"));

        dialog.ui->buttonBox->button(QDialogButtonBox::Cancel)->click();

        QCOMPARE(added.size(), 0);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }
};

QTEST_MAIN(PresetDialogTest)
#include "tst_presetdialog.moc"
