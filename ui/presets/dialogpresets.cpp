#include "ui/presets/dialogpresets.h"

#include "ui/common/modal.h"
#include "core/presets/presetfile.h"
#include "ui_dialogpresets.h"

#include <QLineEdit>
#include <QMessageBox>

DialogPRESETS::DialogPRESETS(QWidget *parent) : QDialog(parent), ui(new Ui_DialogPRESETS)
{
    ui->setupUi(this);
}

DialogPRESETS::~DialogPRESETS()
{
    delete ui;
}

void DialogPRESETS::accept()
{
    const QString refusal = presetRefusal(ui->lineEdit->text(), ui->lineEdit_2->text(),
                                          ui->lineEdit_3->text());
    if (refusal.isEmpty()) {
        QDialog::accept();
        return;
    }
    QMessageBox box(QMessageBox::Warning, QString(), refusal, QMessageBox::Ok, this);
    Modal::exec(&box);
}

// Runs after accept(), which the OK button calls first.
void DialogPRESETS::on_buttonBox_accepted()
{
    if (result() != Accepted)
        return;
    hide();
    emit addentry(ui->lineEdit->text(), ui->lineEdit_2->text(), ui->lineEdit_3->text());
}
