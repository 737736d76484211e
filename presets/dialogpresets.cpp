#include "presets/dialogpresets.h"

#include "ui_dialogpresets.h"

DialogPRESETS::DialogPRESETS(QWidget *parent) : QDialog(parent), ui(new Ui_DialogPRESETS)
{
    ui->setupUi(this);
}

DialogPRESETS::~DialogPRESETS()
{
    delete ui;
}

void DialogPRESETS::on_buttonBox_accepted() {}
