#include "ui/engines/getengine.h"

#include "ui_getengine.h"

#include "ui/common/modal.h"
#include "core/engines/deletewrongengine.h"
#include "core/engines/enginefolder.h"
#include "core/engines/engineinstaller.h"

#include <QDebug>
#include <QEventLoop>
#include <QFileInfo>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProgressDialog>

#include <climits>

namespace {

const char *const ProgressText = QT_TRANSLATE_NOOP("getengine", "Downloading ..... Please Wait!");
const char *const BadNameText = QT_TRANSLATE_NOOP(
    "getengine", "The name of the conversion engine must be a single file name: not empty, "
                 "without \"/\", and not \".\" or \"..\".");
const char *const FailedText =
    QT_TRANSLATE_NOOP("getengine", "The conversion engine could not be downloaded:");
const char *const NotAnEngineText =
    QT_TRANSLATE_NOOP("getengine", "the link gave %1 bytes, too few for an engine and not a program.");
const char *const NoProgramText = QT_TRANSLATE_NOOP(
    "getengine", "the link gave no program, so the program %1 is kept.");

} // namespace

getengine::getengine(QWidget *parent) : QDialog(parent), ui(new Ui_getengine)
{
    ui->setupUi(this);
}

getengine::~getengine()
{
    delete ui;
}

bool getengine::acceptEngineName(const QString &name)
{
    if (!name.isEmpty() && !name.contains(QLatin1Char('/')) && name != QLatin1String(".")
        && name != QLatin1String(".."))
        return true;
    warn(tr(BadNameText));
    return false;
}

// The box must be the only modal window: a progress dialog that is merely hidden shows
// itself again once the show timer started by its first progress report runs out, and
// then it and the box block each other.
void getengine::warn(const QString &text)
{
    closeProgress();
    QMessageBox box(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, parentWidget());
    Modal::exec(&box);
}

void getengine::reportFailure(const QString &reason)
{
    warn(tr(FailedText) + QLatin1Char(' ') + reason);
}

void getengine::closeProgress()
{
    delete m_progress;
}

void getengine::on_buttonBox_accepted()
{
    if (!acceptEngineName(ui->lineEdit_2->text())) {
        show(); // accept() has already closed the dialog; give the user back the fields
        return;
    }

    // Window-modal on the form, so that nothing there starts a run on a half-written engine.
    m_progress = new QProgressDialog(parentWidget());
    m_progress->setWindowModality(Qt::WindowModal);
    m_progress->setLabelText(tr(ProgressText));
    m_progress->show();
    m_progress->raise();

    simni();
    closeProgress();

    deletewrongengine().procesiraj();
}

void getengine::simni()
{
    const QString link = ui->lineEdit->text();
    m_engineName = ui->lineEdit_2->text();
    qDebug() << "download from link:" << link;
    if (!acceptEngineName(m_engineName))
        return;
    getffmpeg(link, enginesFolder() + m_engineName);
}

void getengine::updateprogress(qint64 bajti, qint64 totalno)
{
    if (!m_progress)
        return;
    if (totalno < 0) {
        m_progress->setRange(0, 0); // size unknown: busy indicator
        return;
    }
    // The progress bar counts in int; very large downloads are shown in KiB.
    const qint64 unit = totalno > INT_MAX ? 1024 : 1;
    m_progress->setRange(0, int(totalno / unit));
    m_progress->setValue(int(bajti / unit));
}

// The body goes to the installer, which gives it the engine's name only when the whole
// reply arrived without error, so a failed download never replaces (and the cleanup then
// never deletes) an engine that was there.
void getengine::getffmpeg(QString urlfile, QString localfile)
{
    m_localFile = localfile;

    EngineInstaller installer(localfile);
    if (!installer.open()) {
        reportFailure(installer.errorString());
        return;
    }

    QNetworkAccessManager manager;
    QNetworkRequest request{QUrl(urlfile)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = manager.get(request);

    bool writeFailed = false;
    qint64 received = 0;
    QByteArray head;
    auto store = [&] {
        const QByteArray bytes = reply->readAll();
        received += bytes.size();
        if (head.size() < 4)
            head += bytes.left(4 - head.size());
        if (!writeFailed && !installer.write(bytes)) {
            writeFailed = true;
            reply->abort();
        }
    };
    bool cancelled = false;
    if (m_progress) {
        connect(m_progress, &QProgressDialog::canceled, reply, [&cancelled, reply] {
            cancelled = true;
            reply->abort();
        });
    }
    connect(reply, &QNetworkReply::downloadProgress, this, &getengine::updateprogress);
    connect(reply, &QNetworkReply::readyRead, reply, store);
    QEventLoop loop;
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    closeProgress();
    store();

    QString failure = installer.errorString();
    if (failure.isEmpty() && reply->error() != QNetworkReply::NoError)
        failure = reply->errorString();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (failure.isEmpty() && status.isValid() && (status.toInt() < 200 || status.toInt() > 299))
        failure = QStringLiteral("HTTP %1 %2").arg(status.toInt()).arg(
            reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString());
    // A page, a few bytes or an archive must not take the place of a working engine.
    const EngineRefusal refusal = engineRefusal(localfile, received, head);
    if (failure.isEmpty() && refusal == EngineRefusal::TooSmall)
        failure = tr(NotAnEngineText).arg(received);
    if (failure.isEmpty() && refusal == EngineRefusal::NotAProgram)
        failure = tr(NoProgramText).arg(QFileInfo(localfile).fileName());
    if (failure.isEmpty() && !installer.commit())
        failure = installer.errorString();

    delete reply;
    qDebug() << "link:" << urlfile;
    qDebug() << "locally:" << localfile;

    if (!failure.isEmpty() && !cancelled)
        reportFailure(failure);
}
