#include "ui/mainwindow/mainwindow.h"

#include "ui/common/modal.h"
#include "core/base/pathhelpers.h"
#include "core/scan/sourcescan.h"
#include "core/run/conversionrun.h"
#include "ui/form/eksform.h"
#include "core/engines/deletewrongengine.h"
#include "core/engines/enginefolder.h"
#include "core/engines/engineinstaller.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QMimeData>
#include <QShortcut>
#include <QTimer>
#include <QUrl>
#include <QVideoSink>
#include <iostream>

QString kadebevme = QStringLiteral("/home");
QString destdir = QStringLiteral(" ");
QStringList eks2;
QMap<QString, QString> fajls_novi;

namespace {
const QString AboutText = QStringLiteral(
    "Veltroan Orlenne Batch Converter is the only tool that enables fully automated workflow "
    "when converting whole disks or folders.It can be used to create intraframe footage from "
    "the original H.264 / AVCHD footage. But it's use doesn't end here. It's great for making "
    "proxies,ideal for laptop editing.In addition to this, Veltroan OB Converter is extremely "
    "fast utilizing all CPU cores.");
const QString EngineQuestion = QStringLiteral(
    "you have chosen a binary, would you like to use this as an conversion engine?");
const QString RunGoingOn =
    QStringLiteral("A conversion is running: stop it or let it finish before changing the sources!");
const QUrl TutorialUrl(QStringLiteral("https://www.youtube.com/@veltroan"));
const QUrl MakerSiteUrl(QStringLiteral("https://www.veltroan.com"));

// How often a running scan lets the Abort click through: every 50 ms, and at the
// latest every 256 entries, so that a fast scan also sees a click already waiting.
constexpr int EventPollMs = 50;
constexpr int EventPollEntries = 256;

// The entry text of a dropped URL. A local file keeps its path as it is on disk, so
// that names holding "%", "#" or "?" still name the file.
QString entryText(const QUrl &url)
{
    return url.isLocalFile() ? QStringLiteral("file://") + url.toLocalFile() : url.toString();
}
} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), ui(new Ui_MainWindow)
{
    // The images live in a static library, whose resource object the linker would drop.
    Q_INIT_RESOURCE(resources);
    ui->setupUi(this);
    ui->label->hide();
    ui->label_4->hide();
    ui->pushButton_6->hide();
    abortFlag = 0;
    // The messages replace the label's rich text; they stay red all the same.
    ui->label_4->setStyleSheet(QStringLiteral("color: #ff0000; font-size: 12pt;"));

    auto *shortcut = new QShortcut(QKeySequence(Qt::Key_Delete), ui->listWidget);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, &MainWindow::deleteItem);

    ui->listWidget->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // The drop picture invites the first drop; entries would be drawn over it.
    const QAbstractItemModel *sources = ui->listWidget->model();
    connect(sources, &QAbstractItemModel::rowsInserted, this, &MainWindow::showDropPicture);
    connect(sources, &QAbstractItemModel::rowsRemoved, this, &MainWindow::showDropPicture);
    // Starting the preview's media back end is most of the time the first form takes to
    // open; it is started while the user still gathers sources, not when ANALYZE is pressed.
    QTimer::singleShot(0, this, [] { QVideoSink(); });
    hide();
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::openNewWindow()
{
    form = new eksForm();
    // A closed form is not shown again: kept, its player would hold its whole pipeline.
    form->setAttribute(Qt::WA_DeleteOnClose);
    connect(this, &MainWindow::sendEXT, form, &eksForm::receiveEXT);
    connect(form, &eksForm::sendOUT, this, &MainWindow::sendIN);
    form->show();
}

void MainWindow::sendIN(std::map<std::string, std::string> mapa)
{
    this->mapa = mapa;
    const std::string stars(34, '*');
    std::cout << stars << '\n';
    for (const auto &[key, value] : this->mapa)
        std::cout << key << '\t' << value << '\n';
    std::cout << stars << std::endl;
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent *event)
{
    event->acceptProposedAction();
}

void MainWindow::dragLeaveEvent(QDragLeaveEvent *event)
{
    event->accept();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    if (m_scanning)
        return;
    if (refusedWhileRunning())
        return;
    const QMimeData *data = event->mimeData();
    if (data->hasUrls()) {
        const QList<QUrl> urls = data->urls();
        for (const QUrl &url : urls) {
            const QString text = entryText(url);
            if (!text.contains(QLatin1String("ffmpeg"))) {
                ui->listWidget->addItem(text);
                continue;
            }
            QMessageBox question(QMessageBox::NoIcon, QString(), EngineQuestion,
                                 QMessageBox::Yes | QMessageBox::No);
            question.setDefaultButton(QMessageBox::Yes);
            if (Modal::exec(&question) == QMessageBox::Yes)
                installEngine(text);
        }
    }
    event->acceptProposedAction();
}

void MainWindow::installEngine(const QString &url)
{
    const QString source = url.mid(7);
    const QString target = enginesFolder() + QFileInfo(url).fileName();
    qDebug() << source + QLatin1String("--->") + target;
    // A page, a few bytes or an archive must not take the place of a working engine, and
    // only a plain file is copied: a named pipe would keep the copy waiting for a writer.
    const QFileInfo dropped(source);
    if (!dropped.isFile() || engineRefusal(target, dropped.size(), fileHead(source)) != EngineRefusal::None) {
        qDebug() << "Not a conversion engine, nothing changed:" << source;
        return;
    }
    EngineInstaller installer(target);
    const bool installed = installer.open() && installer.copyFrom(source) && installer.commit();
    if (installed)
        qDebug() << "everything ok, this binary will be used";
    else
        qDebug() << "Couldnt install the engine, nothing changed:" << installer.errorString();
}

void MainWindow::deleteItem()
{
    if (m_scanning)
        return;
    qDeleteAll(ui->listWidget->selectedItems());
    if (ui->listWidget->count() == 0)
        ui->label->hide();
}

void MainWindow::showDropPicture()
{
    QListWidget *list = ui->listWidget;
    const bool hasEntries = list->count() > 0;
    if (list->property("hasEntries").toBool() == hasEntries)
        return;
    list->setProperty("hasEntries", hasEntries);
    // A repolish would miss the viewport, which draws the picture.
    list->setStyleSheet(list->styleSheet());
}

void MainWindow::showDestination()
{
    QLabel *label = ui->labelDestination;
    label->setToolTip(destdir);
    label->setText(label->fontMetrics().elidedText(destdir, Qt::ElideMiddle, label->width()));
}

void MainWindow::on_pushButton_3_clicked()
{
    destdir = Modal::existingDirectory(this, QStringLiteral("Open Directory"), kadebevme,
                                       QFileDialog::ShowDirsOnly
                                           | QFileDialog::DontResolveSymlinks);
    if (!destdir.isEmpty()) {
        ui->label->show();
        kadebevme = destdir;
    }
    // After the check mark, which takes its room from the row.
    showDestination();
}

void MainWindow::on_pushButton_6_clicked()
{
    abortFlag = 1;
}

void MainWindow::on_actionAbout_triggered()
{
    QMessageBox about;
    about.setText(AboutText);
    Modal::exec(&about);
}

void MainWindow::on_actionCheck_out_youtube_tutorial_triggered()
{
    QDesktopServices::openUrl(TutorialUrl);
}

void MainWindow::on_actionGo_to_Veltroan_site_triggered()
{
    QDesktopServices::openUrl(MakerSiteUrl);
}

void MainWindow::kajsi() {}

bool MainWindow::refusedWhileRunning()
{
    // Any form, not only the latest: an earlier one may still be open and running.
    const QWidgetList windows = QApplication::topLevelWidgets();
    const bool running = std::any_of(windows.cbegin(), windows.cend(), [](QWidget *window) {
        const auto *form = qobject_cast<eksForm *>(window);
        return form && form->isRunning();
    });
    if (!running)
        return false;
    ui->label_4->setText(RunGoingOn);
    ui->label_4->show();
    return true;
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // While a scan runs, only the Abort button takes the user's input. Input reaches
    // the native window first and is passed on to the widget under it, so it is judged
    // at the widget.
    if (m_scanning && event->spontaneous() && watched->isWidgetType()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            if (watched == ui->pushButton_6)
                break;
            return true;
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::Drop:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Wheel:
            return true;
        case QEvent::Close:
            // A swallowed close event would still count as accepted.
            event->ignore();
            return true;
        default:
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

std::vector<std::string> MainWindow::najdiEKSTENZII(QString path, QStringList &fajls,
                                                    QMap<QString, QString> &fajls_novi)
{
    ui->pushButton_6->show();
    QElapsedTimer sincePoll;
    sincePoll.start();
    auto aborted = [this] { return abortFlag == 1; };
    int sinceLastPoll = 0;
    auto onEntry = [this, &sincePoll, &sinceLastPoll] {
        ui->progressBar->setValue(ui->progressBar->value() / 30 + 1);
        // The clock is read at every 32nd entry only: a scan passes thousands a second.
        if (++sinceLastPoll % 32 != 0)
            return;
        if (sinceLastPoll >= EventPollEntries || sincePoll.elapsed() >= EventPollMs) {
            QCoreApplication::processEvents();
            sincePoll.restart();
            sinceLastPoll = 0;
        }
    };
    return scanFolder(path, fajls, fajls_novi, aborted, onEntry, destdir);
}

void MainWindow::on_pushButton_2_clicked()
{
    if (m_scanning || refusedWhileRunning())
        return;
    nastavki.append(knownMediaExtensions());
    qDebug() << "entering slot...";
    filtrirani.clear();
    fileList.clear();
    abortFlag = 0;

    if (destdir.size() < 3 || ui->listWidget->count() == 0) {
        ui->label_4->setText(NothingToAnalyzeText);
        ui->label_4->show();
        return;
    }

    ui->pushButton_6->show();
    ui->progressBar->show();
    ui->progressBar->setValue(1);
    ui->listWidget->update();

    m_scanning = true;
    qApp->installEventFilter(this);
    QStringList extensions;
    // The folders of this analysis: sourcedirs also keeps those of every earlier one.
    QStringList folders;
    for (int row = 0; row < ui->listWidget->count(); ++row) {
        const QString text = ui->listWidget->item(row)->text();
        const QString path = entryPath(text);
        if (isFileEntry(text)) {
            const QString ext = QFileInfo(text).suffix().toLower();
            fileList.append(path);
            fajls_novi.insert(path, ext);
            extensions.append(ext);
            continue;
        }
        sourcedirs.append(text);
        folders.append(text);
        qDebug() << "PRED NAJDI EXTENSION....";
        QStringList found;
        const std::vector<std::string> scanned = najdiEKSTENZII(path, found, fajls_novi);
        qDebug() << "POSLE NAJDI EXTENSION....";
        const int value = ui->progressBar->value();
        ui->progressBar->setValue(value == 100 ? 40 : value + 40);
        for (const std::string &ext : scanned)
            extensions.append(QString::fromStdString(ext));
        // qDebug() formats its line even when the debug channel is off.
        if (QLoggingCategory::defaultCategory()->isDebugEnabled()) {
            for (const QString &file : std::as_const(found))
                qDebug() << file;
        }
        fileList.append(std::move(found));
    }
    qApp->removeEventFilter(this);
    m_scanning = false;

    QStringList lista;
    groupByExtension(extensions, fileList, fajls_novi, lista, filtrirani);
    eks2 = lista;

    ui->progressBar->setValue(100);
    ui->pushButton_6->hide();

    if (!eks2.isEmpty()) {
        openNewWindow();
        emit sendEXT(eks2, filtrirani, folders, destdir);
    } else {
        ui->label_4->setText(NothingFoundText);
        ui->label_4->show();
        ui->label->hide();
    }
}
