#include "convert/eksform.h"

#include "ui_eksform.h"

std::map<std::string, std::string> kodekmapa;
QString tempo;
std::map<std::string, std::string> mapa;
int ffplay = 0;

eksForm::eksForm(QWidget *parent) : QWidget(parent), ui(new Ui_eksForm)
{
    ui->setupUi(this);
}

eksForm::~eksForm()
{
    delete ui;
}

void eksForm::playfile(QString) {}
void eksForm::getdownloadlink() {}
void eksForm::nobinary() {}
void eksForm::receiveEXT(QStringList, QVector<QStringList>, QStringList, QString) {}
void eksForm::ShowContextMenu(QPoint) {}
QString eksForm::napravioutput2(QString, QString) { return {}; }
void eksForm::getentry(QString, QString, QString) {}
bool eksForm::SRCopyFile2(QString, QString) { return false; }
void eksForm::on_listView_activated(QModelIndex) {}
void eksForm::on_listView_clicked(QModelIndex) {}
void eksForm::on_listWidget_clicked(QModelIndex) {}
void eksForm::on_listView_2_clicked(QModelIndex) {}
void eksForm::on_listView_2_doubleClicked(QModelIndex) {}
void eksForm::on_pushButton_clicked() {}
void eksForm::on_pushButton_2_clicked() {}
void eksForm::on_listView_3_clicked(QModelIndex) {}
void eksForm::on_pushButton_3_clicked() {}
void eksForm::on_pushButton_4_clicked() {}
void eksForm::on_pushButton_6_clicked() {}
void eksForm::on_pushButton_7_clicked() {}
void eksForm::on_pushButton_5_clicked() {}
void eksForm::on_pushButton_8_clicked() {}
void eksForm::on_videoPlayer_finished() {}
void eksForm::on_listView_2_entered(QModelIndex) {}
void eksForm::on_listView_2_activated(QModelIndex) {}
int eksForm::selectedGroup() const { return 0; }
void eksForm::previewEntry(const QModelIndex &) {}
