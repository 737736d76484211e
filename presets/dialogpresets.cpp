#include "presets/dialogpresets.h"

#include "ui_dialogpresets.h"

#include <QLineEdit>

DialogPRESETS::DialogPRESETS(QWidget *parent) : QDialog(parent), ui(new Ui_DialogPRESETS)
{
    ui->setupUi(this);
}

DialogPRESETS::~DialogPRESETS()
{
    delete ui;
}

// The fields are passed on as typed: an empty extension is a preset's own choice.
void DialogPRESETS::on_buttonBox_accepted()
{
    hide();
    emit addentry(ui->lineEdit->text(), ui->lineEdit_2->text(), ui->lineEdit_3->text());
}
