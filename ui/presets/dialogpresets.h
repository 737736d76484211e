#pragma once

#include <QDialog>

class Ui_DialogPRESETS;

// Asks for a preset's name, arguments and extension.
class DialogPRESETS : public QDialog
{
    Q_OBJECT

public:
    explicit DialogPRESETS(QWidget *parent = nullptr);
    ~DialogPRESETS() override;

    Ui_DialogPRESETS *ui = nullptr;

public slots:
    // Keeps the dialog open, with a message, while the fields make no preset.
    void accept() override;

signals:
    void addentry(QString ime, QString arguments, QString exten);

private slots:
    void on_buttonBox_accepted();
};
