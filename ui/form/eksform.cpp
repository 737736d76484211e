#include "ui/form/eksform.h"

#include "ui/common/modal.h"
#include "core/base/runchoices.h"
#include "core/base/pathhelpers.h"
#include "core/shell/commands.h"
#include "core/run/conversionrun.h"
#include "core/files/filecopy.h"
#include "core/media/guidance.h"
#include "core/media/intermediates.h"
#include "core/run/runfiles.h"
#include "core/jobs/jobmodel.h"
#include "core/jobs/outputpath.h"
#include "core/media/settingscatalogue.h"
#include "core/shell/shellprocess.h"
#include "ui/form/videoplayer.h"
#include "core/engines/deletewrongengine.h"
#include "core/engines/enginefolder.h"
#include "ui/engines/getengine.h"
#include "ui/presets/dialogpresets.h"
#include "core/presets/presetfile.h"
#include "core/base/workingfolder.h"
#include "ui_eksform.h"

#include <QAudioOutput>
#include <QCloseEvent>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QStringListModel>
#include <QThread>
#include <QUrl>
#include <iostream>
#ifdef __GLIBC__
#include <malloc.h>
#endif

std::map<std::string, std::string> kodekmapa;
QString tempo;
std::map<std::string, std::string> mapa;
int ffplay = 0;

namespace {
const QString NoEngineText = QStringLiteral(
    "Conversion Engine not Found! You need to download Conversion Engine Binary!(i.e.ffmpeg,sox "
    "etc.)");
const QString NoEngineDetail = QStringLiteral(
    "Conversion Engine not Found! You need to download Conversion Engine Binary!");
const QString OpenLocationText = QStringLiteral("Open Location in Finder");
const QString PlayText = QStringLiteral("Play");
const QString StopToCloseText =
    QStringLiteral("A conversion is running. Stop it and close this window?");
const QString NotLoadedText = QStringLiteral("These presets were not loaded:");

// A decoded 4K frame is about 12 MB. Once such a block is freed, glibc raises the size from
// which it maps blocks of their own, so later frames come from the heap and stay resident
// after the player is gone: each closed 4K preview would leave tens of MB behind. A fixed
// threshold keeps every frame in a mapping of its own, given back when it is freed.
void returnFramesWhenFreed()
{
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
}

QString importStartFolder()
{
    const QString profile = qEnvironmentVariable("USERPROFILE");
    if (!profile.isEmpty())
        return profile + QLatin1String("/Downloads");
    const QString downloads = homeFolder() + QLatin1String("/Downloads");
    return QFileInfo(downloads).isDir() ? downloads : homeFolder();
}
} // namespace

eksForm::eksForm(QWidget *parent) : QWidget(parent), ui(new Ui_eksForm)
{
    ui->setupUi(this);
    // The intermediates that keep the source's own size and rate, each with a profile box.
    // They follow the designed items, which sorting would split.
    ui->listWidget->setSortingEnabled(false);
    ui->listWidget->addItems({Settings::Dnxhr, Settings::Prores});
    ui->listWidget->setSortingEnabled(true);
    ui->comboBoxProfile->hide();
    // Audio files get their own setting; it sorts in with the built-in items.
    ui->listWidget->addItem(Settings::Wav);
    // Whichever way the current setting changes, the box shows the profiles APPLY will use.
    connect(ui->listWidget, &QListWidget::currentItemChanged, this, &eksForm::showProfiles);
    // So do the boxes of the other settings: a setting reached with the arrow keys shows them
    // as a click does.
    connect(ui->listWidget, &QListWidget::currentItemChanged, this,
            [this] { on_listWidget_clicked({}); });

    returnFramesWhenFreed();
    m_player = new QMediaPlayer(this);
    m_player->setVideoOutput(ui->videoPlayer);
    connect(m_player, &QMediaPlayer::durationChanged, this,
            [this](qint64 duration) { ui->seekSlider->setRange(0, int(duration)); });
    connect(m_player, &QMediaPlayer::positionChanged, this, [this](qint64 position) {
        if (!ui->seekSlider->isSliderDown())
            ui->seekSlider->setValue(int(position));
    });
    // Every move of the user's (drag, click on the groove, keys, wheel) seeks; the updates
    // from the player above are no action and seek nothing.
    connect(ui->seekSlider, &QAbstractSlider::actionTriggered, m_player,
            [this] { m_player->setPosition(ui->seekSlider->sliderPosition()); });
    connect(ui->volumeSlider, &QSlider::valueChanged, this, [this](int volume) {
        if (previewAudio)
            previewAudio->setVolume(volume / 100.0f);
    });
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this,
            [this](QMediaPlayer::MediaStatus status) {
                if (status == QMediaPlayer::EndOfMedia)
                    emit ui->videoPlayer->finished();
            });

    ui->listView_2->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->listView_2, &QWidget::customContextMenuRequested, this,
            &eksForm::ShowContextMenu);

    ui->spinBoxEngines->setRange(1, std::max(1, QThread::idealThreadCount()));
    ui->spinBoxEngines->setValue(savedEnginesAtOnce());
    connect(ui->spinBoxEngines, &QSpinBox::valueChanged, this, &saveEnginesAtOnce);
    ui->checkBoxConvertAgain->setChecked(savedConvertAgain());
    connect(ui->checkBoxConvertAgain, &QCheckBox::toggled, this, &saveConvertAgain);
    connect(ui->pushButtonStop, &QPushButton::clicked, this, [this] {
        if (m_run)
            m_run->stop();
    });

    deletewrongengine().procesiraj();
    Shell::probe(QString::fromLatin1(PlayerProbe), this, [](int status) {
        if (status != 0) {
            ffplay = 1;
            qDebug() << "pomina ffplay=1";
        }
    });
}

eksForm::~eksForm()
{
    delete m_noEngineBox;
    delete extensionModel;
    delete fileModel;
    delete settingModel;
    delete ui;
}

void eksForm::receiveEXT(QStringList lista, QVector<QStringList> filtrirani,
                         QStringList sourcedirs, QString destindir)
{
    qDebug() << "receiving etx sugnals..";
    sourceDirs = sourcedirs;
    destinationDir = destindir;
    deletejobfile();

    QStringListModel *oldExtensions = extensionModel;
    extensionModel = new QStringListModel(lista);
    ui->listView->setModel(extensionModel);
    delete oldExtensions;
    qDebug() << "77.";

    ui->checkBox->hide();
    ui->comboBox_2->hide();
    ui->comboBox_3->hide();
    ui->label_3->hide();
    ui->label_4->hide();
    ui->listView_3->hide();
    ui->pushButton_5->show();

    const QStringList presets = loadpresets();
    for (const QString &preset : presets) {
        if (preset.size() < 3)
            continue;
        ui->listWidget->insertItem(ui->listWidget->count(), preset);
        qDebug() << preset;
    }
    qDebug() << "79.";

    Shell::probe(QString::fromLatin1(EngineProbe), this, [this](int status) {
        if (status != 0) {
            ui->listWidget->insertItem(ui->listWidget->count(), Settings::H264);
            qDebug() << "pomina ffmpeg";
        }
    });
    ui->listWidget->setCurrentRow(0);

    QStringListModel *oldFiles = fileModel;
    fileModel = new QStringListModel(filtrirani.value(0));
    ui->listView_2->setModel(fileModel);
    ui->listView_2->setSelectionMode(QAbstractItemView::ExtendedSelection);
    delete oldFiles;
    qDebug() << "85.";

    ui->listView->selectionModel()->setCurrentIndex(extensionModel->index(0),
                                                    QItemSelectionModel::SelectCurrent);
    // An extension reached with the arrow keys is the one APPLY and Reset work on, so its
    // files and advice are shown as for a click. Connected only now: making the first row
    // current above is no choice of the user's.
    connect(ui->listView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid())
                    on_listView_clicked(current);
            });
    // Whatever the label held was advice for another format.
    ui->label_2->clear();
    showGuidance(lista.value(0));

    groupFiles = filtrirani;
    groupSettings = JobModel::defaultSettings(groupFiles);

    QStringListModel *oldSettings = settingModel;
    settingModel = new QStringListModel(groupSettings.value(0));
    ui->listView_3->setModel(settingModel);
    delete oldSettings;
    ui->listView_2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    qDebug() << "106..";

    if (enginesFolderEntryCount() >= 3)
        ui->pushButton_5->show();
    else
        nobinary();
    qDebug() << "121..";
}

void eksForm::on_pushButton_2_clicked()
{
    emit sendOUT(mapa);
    close();
}

void eksForm::nobinary()
{
    delete m_noEngineBox;
    m_noEngineBox = new QMessageBox();
    m_noEngineBox->setText(NoEngineText);
    m_noEngineBox->setInformativeText(NoEngineDetail);
    m_noEngineBox->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    m_noEngineBox->setDefaultButton(QMessageBox::Yes);
    if (Modal::exec(m_noEngineBox) == QMessageBox::Yes)
        on_pushButton_5_clicked();
}

void eksForm::on_pushButton_5_clicked()
{
    auto *download = new getengine(this);
    download->show();
}

void eksForm::getdownloadlink() {}

// Settings ------------------------------------------------------------------------------

int eksForm::selectedGroup() const
{
    const QItemSelectionModel *selection = ui->listView->selectionModel();
    if (!selection)
        return 0;
    const QModelIndexList rows = selection->selectedIndexes();
    // A click below the rows, or a Ctrl+click on the chosen one, takes the selection off the
    // extension row, yet its files stay listed: they are the files the user picks from.
    return rows.isEmpty() ? std::max(0, selection->currentIndex().row()) : rows.last().row();
}

QList<int> eksForm::selectedFileRows(int group) const
{
    // Rows are read before the models are reset, which clears the selection.
    QList<int> rows;
    if (!ui->listView_2->selectionModel())
        return rows;
    for (const QModelIndex &index : ui->listView_2->selectionModel()->selectedIndexes()) {
        if (index.row() < groupFiles[group].size())
            rows.append(index.row());
    }
    return rows;
}

void eksForm::on_listWidget_clicked(QModelIndex)
{
    ui->comboBox->hide();
    ui->comboBox_2->hide();
    ui->comboBox_3->hide();
    const QListWidgetItem *item = ui->listWidget->currentItem();
    const QString name = item ? item->text() : QString();
    if (name == Settings::Dnxhd) {
        ui->comboBox->show();
    } else if (name == Settings::Wav) {
        ui->comboBox_2->show();
        ui->comboBox_3->show();
    }
}

void eksForm::showProfiles()
{
    const QListWidgetItem *item = ui->listWidget->currentItem();
    const QString name = item ? item->text() : QString();
    const QStringList profiles = name == Settings::Dnxhr    ? Settings::dnxhrProfiles()
                                 : name == Settings::Prores ? Settings::proresProfiles()
                                                            : QStringList();
    QComboBox *box = ui->comboBoxProfile;
    if (profiles.isEmpty()) {
        box->hide();
        return;
    }
    QStringList shown;
    for (int i = 0; i < box->count(); ++i)
        shown.append(box->itemText(i));
    // Back to the same family, the profile picked before stays.
    if (shown != profiles) {
        box->clear();
        box->addItems(profiles);
    }
    box->show();
}

void eksForm::on_pushButton_clicked()
{
    for (const auto &[label, arguments] : Settings::dnxhdTable())
        kodekmapa[label] = arguments;

    QString name;
    if (const QListWidgetItem *item = ui->listWidget->currentItem())
        name = item->text();
    else
        ui->label_3->show();

    Settings::Choice choice;
    choice.name = name;
    choice.dnxhdLabel = ui->comboBox->currentText();
    choice.bitDepth = ui->comboBox_2->currentText();
    choice.sampleRate = ui->comboBox_3->currentText();
    // Checked for one extension, the box is hidden, not cleared, when another is clicked.
    choice.rewrap = ui->checkBox->isChecked() && !ui->checkBox->isHidden();
    choice.profile = ui->comboBoxProfile->currentText();
    const QString arguments = Settings::argumentsFor(choice);
    ui->checkBox->setChecked(false);

    mapa[tempo.toStdString()] = arguments.toStdString();

    const int g = selectedGroup();
    if (g >= groupFiles.size())
        return;
    const bool rewrap = arguments == Settings::Rewrap;
    if (name.size() < 4 && !rewrap)
        return;
    const JobModel::Group group = JobModel::applied({groupFiles[g], groupSettings[g]},
                                                    selectedFileRows(g), rewrap ? arguments : name,
                                                    arguments);
    groupFiles[g] = group.files;
    groupSettings[g] = group.settings;
    settingModel->setStringList(groupSettings[g]);
    fileModel->setStringList(groupFiles[g]);
    ui->listView_2->update();
}

void eksForm::on_pushButton_3_clicked()
{
    const int g = selectedGroup();
    if (g >= groupFiles.size())
        return;
    const QList<int> rows = selectedFileRows(g);
    for (const int j : rows)
        qDebug() << j;
    const JobModel::Group group = JobModel::reset({groupFiles[g], groupSettings[g]}, rows);
    groupFiles[g] = group.files;
    groupSettings[g] = group.settings;
    settingModel->setStringList(groupSettings[g]);
    ui->listView_3->update();
    fileModel->setStringList(groupFiles[g]);
    ui->listView_2->update();
}

// Guidance ------------------------------------------------------------------------------

void eksForm::showGuidance(const QString &extension)
{
    ui->checkBox->hide();
    ui->comboBox_2->hide();
    ui->comboBox_3->hide();
    ui->comboBox->hide();
    const Guidance guidance = guidanceFor(extension);
    if (guidance.found) {
        ui->label_2->setText(guidance.text);
        if (guidance.audioCombos) {
            ui->comboBox_3->show();
            ui->comboBox_2->show();
        }
        if (guidance.rewrapBox)
            ui->checkBox->show();
    }
}

void eksForm::on_listView_clicked(QModelIndex index)
{
    tempo = index.data().toString().toLower();
    showGuidance(tempo);
    if (fileModel)
        fileModel->setStringList(groupFiles.value(index.row()));
    ui->listView_2->update();
}

// Presets -------------------------------------------------------------------------------

void eksForm::on_pushButton_6_clicked()
{
    auto *dialog = new DialogPRESETS();
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    connect(dialog, &DialogPRESETS::addentry, this, &eksForm::getentry);
}

void eksForm::getentry(QString ime, QString arguments, QString exten)
{
    const QString line = presetLine(ime, arguments, exten);
    ui->listWidget->insertItem(ui->listWidget->count(), line);
    savepreset(line.toStdString());
}

void eksForm::on_pushButton_7_clicked()
{
    const QString fileName =
        Modal::openFileName(this, QStringLiteral("Open Image"), importStartFolder(),
                            QStringLiteral("Preset Files (*.txt *.TXT )"));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        QMessageBox error(QMessageBox::Information, QStringLiteral("error"), file.errorString(),
                          QMessageBox::Ok);
        Modal::exec(&error);
        return;
    }
    // Read as the presets file is, so that one written by an older version keeps its
    // letters; the line feed that ends the file starts no further line.
    QStringList lines = presetLines(file.readAll());
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    QStringList taken;
    QStringList refused;
    for (const QString &line : std::as_const(lines)) {
        const QString refusal = presetLineRefusal(line);
        if (!refusal.isEmpty()) {
            refused.append(line + QLatin1Char('\n') + refusal);
            continue;
        }
        taken.append(line);
        ui->listWidget->insertItem(ui->listWidget->count(), line);
    }
    // Saved at once: a long file saved line by line rewrote the presets file for each line.
    savepresets(taken);
    if (!refused.isEmpty()) {
        QMessageBox box(QMessageBox::Warning, QString(),
                        NotLoadedText + QLatin1String("\n\n") + refused.join(QLatin1String("\n\n")),
                        QMessageBox::Ok);
        Modal::exec(&box);
    }
}

// Preview -------------------------------------------------------------------------------

void eksForm::playfile(QString index)
{
    QAudioOutput *previous = previewAudio;
    previewAudio = new QAudioOutput(this);
    previewAudio->setVolume(ui->volumeSlider->value() / 100.0f);
    m_player->setAudioOutput(previewAudio);
    delete previous;
    // "//tmp/x" would be read as a network path with the host "tmp".
    m_player->setSource(QUrl::fromLocalFile(QDir::cleanPath(index)));
    m_player->play();
}

void eksForm::previewEntry(const QModelIndex &index)
{
    playfile(QLatin1Char('/') + JobModel::pathOf(index.data().toString()));
}

void eksForm::on_listView_2_clicked(QModelIndex index)
{
    previewEntry(index);
}

void eksForm::on_listView_2_doubleClicked(QModelIndex index)
{
    previewEntry(index);
}

void eksForm::on_pushButton_8_clicked()
{
    if (m_player->playbackState() == QMediaPlayer::PlayingState)
        m_player->pause();
    else
        m_player->play();
}

void eksForm::ShowContextMenu(QPoint pos)
{
    const QPoint globalPos = ui->listView_2->mapToGlobal(pos);
    QMenu menu;
    menu.addAction(OpenLocationText);
    QAction *play = ffplay == 1 ? menu.addAction(PlayText) : nullptr;
    // A run stopped for closing may end while the menu is open, and the form goes with it.
    const QPointer<eksForm> alive(this);
    QAction *chosen = Modal::execMenu(&menu, globalPos);
    if (!chosen || !alive)
        return;

    const int g = ui->listView->currentIndex().row();
    const int j = ui->listView_2->currentIndex().row();
    if (g < 0 || j < 0 || g >= groupFiles.size() || j >= groupFiles[g].size())
        return;
    const QString path = QLatin1Char('/') + JobModel::pathOf(groupFiles[g][j]);

    if (chosen == play) {
        Shell::startDetached(playerCommand(path));
        return;
    }
    const QString folder = changehashdirection(QFileInfo(path).absoluteDir().canonicalPath());
    const QString command = openFolderCommand(folder);
    Shell::startDetached(command);
    ui->progressBar->setValue(100);
    qDebug() << command;
    std::cout << "ova e explore path" << command.toStdString() << std::endl;
}

void eksForm::on_videoPlayer_finished() {}
void eksForm::on_listView_activated(QModelIndex) {}
void eksForm::on_listView_3_clicked(QModelIndex) {}
void eksForm::on_listView_2_entered(QModelIndex) {}
void eksForm::on_listView_2_activated(QModelIndex) {}

// Run -----------------------------------------------------------------------------------

QString eksForm::napravioutput2(QString fajl, QString ekstenzija)
{
    return makeOutputPath(sourceDirs, destinationDir, collapseSlashes(QLatin1Char('/') + fajl), ekstenzija);
}

bool eksForm::SRCopyFile2(QString oldFilePath, QString newFilePath)
{
    return copyFile(oldFilePath, newFilePath, true);
}

QList<ConversionJob> eksForm::takeJobs(QStringList *sources) const
{
    QList<ConversionJob> jobs;
    for (int g = 0; g < groupFiles.size(); ++g) {
        for (int j = 0; j < groupFiles[g].size(); ++j) {
            const JobModel::Entry parts = JobModel::split(groupFiles[g][j]);
            const QString extension = JobModel::outputExtension(parts.marker);
            sources->append(QLatin1Char('/') + parts.path);

            const QString setting = groupSettings.value(g).value(j);
            if (setting == Settings::Default)
                continue;
            const bool copyOnly = setting == Settings::CopyOnly;
            jobs.append({collapseSlashes(QLatin1Char('/') + parts.path), copyOnly ? QString() : setting, extension, copyOnly});
        }
    }
    return jobs;
}

bool eksForm::isRunning() const
{
    return m_run && m_run->isRunning();
}

void eksForm::setRunning(bool running)
{
    const QList<QWidget *> changeTheJob{ui->pushButton,   ui->pushButton_2, ui->pushButton_3,
                                        ui->pushButton_4, ui->pushButton_5, ui->pushButton_7,
                                        ui->spinBoxEngines, ui->checkBoxConvertAgain};
    for (QWidget *widget : changeTheJob)
        widget->setEnabled(!running);
    ui->pushButtonStop->setVisible(running);
}

void eksForm::on_pushButton_4_clicked()
{
    if (m_run)
        return;
    deletewrongengine().procesiraj();
    if (enginesFolderEntryCount() == 2) {
        nobinary();
        return;
    }
    Shell::probe(QString::fromLatin1(WhichProbe), this, [](int) {});
    const Engine engine = resolveEngine();

    QStringList sources;
    const QList<ConversionJob> jobs = takeJobs(&sources);
    m_run = new ConversionRun(jobs, sourceDirs, destinationDir, engine, this);
    m_run->keepIntact(sources);
    m_run->setProbe(findProbe(engine.program));
    m_run->setEnginesAtOnce(ui->spinBoxEngines->value());
    m_run->setConvertAgain(ui->checkBoxConvertAgain->isChecked());
    m_run->setRoomQuestion([this](qint64 needed, qint64 free) {
        QMessageBox question(QMessageBox::Warning, windowTitle(), roomShortText(needed, free),
                             QMessageBox::Yes | QMessageBox::No);
        question.setDefaultButton(QMessageBox::No);
        return Modal::exec(&question) == QMessageBox::Yes;
    });
    connect(m_run, &ConversionRun::progressed, this, [this](int percent, const QString &status) {
        ui->progressBar->setValue(percent);
        ui->label_4->setText(status);
    });
    connect(m_run, &ConversionRun::finished, this, &eksForm::runFinished);

    ui->progressBar->show();
    ui->label_4->show();
    setRunning(true);
    m_run->start();
}

void eksForm::runFinished()
{
    ConversionRun *run = m_run;
    m_run = nullptr;
    run->deleteLater();
    setRunning(false);
    const QList<ConversionRun::Result> results = run->results();
    qsizetype ended = 0;
    for (const ConversionRun::Result &result : results)
        ended += result.outcome != Outcome::NotStarted && result.outcome != Outcome::Stopped;
    // A job left to another run that is writing its output does not make this run a stopped one.
    const bool stopped = run->wasStopped() && ended < results.size();
    // After a stop the bar shows how much of the batch was done.
    ui->progressBar->setValue(stopped ? int(100 * ended / results.size()) : 100);
    ui->label_4->setText(stopped ? StoppedFinishedText : FinishedText);
    if (m_closeWhenStopped) {
        close();
        return;
    }
    QMessageBox box;
    box.setText(run->report());
    box.setDetailedText(run->reportDetails());
    Modal::exec(&box);
    Shell::startDetached(openJobScriptCommand());
}

void eksForm::closeEvent(QCloseEvent *event)
{
    if (m_run) {
        // Closing would leave the engines running unseen: the run is stopped first.
        event->ignore();
        QMessageBox question(QMessageBox::Question, windowTitle(), StopToCloseText,
                             QMessageBox::Yes | QMessageBox::No);
        if (Modal::exec(&question) != QMessageBox::Yes)
            return;
        // The run may have ended while the question waited; then there is nothing to stop.
        if (m_run) {
            m_closeWhenStopped = true;
            m_run->stop();
            return;
        }
    }
    // A preview nobody sees any more would go on decoding.
    m_player->stop();
    QWidget::closeEvent(event);
}
