#include "engine/getengine.h"

#include "ui_getengine.h"

getengine::getengine(QWidget *parent) : QDialog(parent), ui(new Ui_getengine)
{
    ui->setupUi(this);
}

getengine::~getengine()
{
    delete ui;
}

void getengine::simni() {}
void getengine::updateprogress(qint64, qint64) {}
void getengine::getffmpeg(QString, QString) {}
void getengine::on_buttonBox_accepted() {}
