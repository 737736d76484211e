#pragma once

#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <QStringList>
#include <QVector>
#include <map>
#include <string>
#include <vector>

class Ui_MainWindow;
class eksForm;

// The folder in which the next folder dialog opens.
extern QString kadebevme;
// The destination folder; fewer than 3 characters means none was chosen.
extern QString destdir;
// The extension list of the last analysis.
extern QStringList eks2;
// File path to lower-case extension, filled by every analysis.
extern QMap<QString, QString> fajls_novi;

// What ANALYZE says in the red label when it has nothing to analyze, or found nothing.
inline const QString NothingToAnalyzeText = QStringLiteral(
    "Choose your destination folder and add at have at least one item in the sources!");
inline const QString NothingFoundText =
    QStringLiteral("No files found in the source folder! Please try Again!");

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    std::map<std::string, std::string> mapa;
    QStringList sourcedirs;
    int abortFlag = 0;
    QStringList fileList;
    QVector<QStringList> filtrirani;
    Ui_MainWindow *ui = nullptr;
    // The form of the latest analysis; it is deleted when closed.
    QPointer<eksForm> form;

signals:
    void sendEXT(QStringList lista, QVector<QStringList> filtrirani, QStringList sourcedirs,
                 QString destindir);

public slots:
    void openNewWindow();
    void sendIN(std::map<std::string, std::string> mapa);

private slots:
    void on_pushButton_3_clicked();
    void on_pushButton_2_clicked();
    void on_pushButton_6_clicked();
    void on_actionAbout_triggered();
    void on_actionCheck_out_youtube_tutorial_triggered();
    void on_actionGo_to_Veltroan_site_triggered();
    void deleteItem();
    void kajsi();
    std::vector<std::string> najdiEKSTENZII(QString path, QStringList &fajls,
                                            QMap<QString, QString> &fajls_novi);

    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void installEngine(const QString &url);
    void showDropPicture();
    void showDestination();
    bool eventFilter(QObject *watched, QEvent *event) override;
    // While a conversion runs, nothing may change its sources: says so and returns true.
    bool refusedWhileRunning();

    bool m_scanning = false;
};
