#pragma once

#include <QModelIndex>
#include <QPoint>
#include <QStringList>
#include <QVector>
#include <QWidget>
#include <map>
#include <string>

class ConversionRun;
struct ConversionJob;
class QAudioOutput;
class QCloseEvent;
class QMediaPlayer;
class QMessageBox;
class QStringListModel;
class Ui_eksForm;

// DNxHD label to engine arguments, filled by APPLY.
extern std::map<std::string, std::string> kodekmapa;
// Lower-cased text of the last clicked extension row (shared by every form).
extern QString tempo;
// tempo to the last applied engine arguments; "Back" sends it to the main window.
extern std::map<std::string, std::string> mapa;
// 1 when the player probe returned a non-zero status: the file menu offers "Play".
extern int ffplay;

// label_4 after a run that was stopped (one that ends by itself says FinishedText).
inline const QString StoppedFinishedText = QStringLiteral(
    "Stopped. The files converted so far are in the destination folder, FFmpeg script is "
    "located on desktop for debug!");

// The conversion form: extensions and files found by ANALYZE, the settings assigned
// to them, the preview, and the run.
class eksForm : public QWidget
{
    Q_OBJECT

public:
    explicit eksForm(QWidget *parent = nullptr);
    ~eksForm() override;

    QMediaPlayer *player() const { return m_player; }
    // Whether RUN IT NOW is converting or copying.
    bool isRunning() const;

signals:
    void sendOUT(std::map<std::string, std::string> mapa);

public slots:
    void playfile(QString index);
    void getdownloadlink();
    void nobinary();
    void receiveEXT(QStringList lista, QVector<QStringList> filtrirani, QStringList sourcedirs,
                    QString destindir);
    void ShowContextMenu(QPoint pos);
    QString napravioutput2(QString fajl, QString ekstenzija);
    void getentry(QString ime, QString arguments, QString exten);
    bool SRCopyFile2(QString oldFilePath, QString newFilePath);

private slots:
    void on_listView_activated(QModelIndex index);
    void on_listView_clicked(QModelIndex index);
    void on_listWidget_clicked(QModelIndex index);
    void on_listView_2_clicked(QModelIndex index);
    void on_listView_2_doubleClicked(QModelIndex index);
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();
    void on_listView_3_clicked(QModelIndex index);
    void on_pushButton_3_clicked();
    void on_pushButton_4_clicked();
    void on_pushButton_6_clicked();
    void on_pushButton_7_clicked();
    void on_pushButton_5_clicked();
    void on_pushButton_8_clicked();
    void on_videoPlayer_finished();
    void on_listView_2_entered(QModelIndex index);
    void on_listView_2_activated(QModelIndex index);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    int selectedGroup() const;
    // The jobs of RUN IT NOW. The entries keep their markers: a preset's marker carries the
    // extension of its outputs, which a later run (after Stop, say) needs as much as this one.
    QList<ConversionJob> takeJobs(QStringList *sources) const;
    void setRunning(bool running);
    void runFinished();
    QList<int> selectedFileRows(int group) const;
    void previewEntry(const QModelIndex &index);
    // The advice and setting widgets of an extension, as a click on its row shows them.
    void showGuidance(const QString &extension);
    // The profile box of the current setting: shown, with its family's profiles, only for
    // the families that have profiles.
    void showProfiles();

public:
    QAudioOutput *previewAudio = nullptr;
    QStringListModel *extensionModel = nullptr;
    QStringList sourceDirs;
    QStringListModel *fileModel = nullptr;
    QStringListModel *settingModel = nullptr;
    QVector<QStringList> groupFiles;
    QVector<QStringList> groupSettings;
    QString destinationDir;
    Ui_eksForm *ui = nullptr;

private:
    QMediaPlayer *m_player = nullptr;
    QMessageBox *m_noEngineBox = nullptr;
    ConversionRun *m_run = nullptr;
    bool m_closeWhenStopped = false;
};
