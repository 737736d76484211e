#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>

class QProgressDialog;
class Ui_getengine;

// Downloads a conversion engine binary from a link into the engines folder.
class getengine : public QDialog
{
    Q_OBJECT

public:
    explicit getengine(QWidget *parent = nullptr);
    ~getengine() override;

    Ui_getengine *ui = nullptr;

public slots:
    void simni();
    void updateprogress(qint64 bajti, qint64 totalno);
    void getffmpeg(QString urlfile, QString localfile);

private slots:
    void on_buttonBox_accepted();

private:
    // Refuses (with a message box) a name that is not one plain file name.
    bool acceptEngineName(const QString &name);
    void reportFailure(const QString &reason);
    void warn(const QString &text);
    void closeProgress();

    QPointer<QProgressDialog> m_progress;
    QString m_engineName;
    QString m_localFile;
};
