#include "engine/getengine.h"

#include "ui_getengine.h"

#include "testsupport.h"
#include "uisupport.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTimer>
#include <QTcpSocket>
#include <QTest>

#include <functional>
#include <sys/stat.h>

namespace {

QByteArray patternBody(int size)
{
    QByteArray body(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        body[i] = char(i % 251);
    return body;
}

// A small HTTP server on 127.0.0.1 that answers a fixed set of paths.
class EngineServer final : public QObject
{
    Q_OBJECT

public:
    static constexpr int BigSize = 3000000;

    EngineServer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, &EngineServer::accept);
        m_server.listen(QHostAddress::LocalHost);
    }

    QString url(const char *path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(QLatin1String(path));
    }

    QStringList requests;
    // While a reply without Content-Length is half sent, the server waits until this holds.
    std::function<bool()> holdUntil;

private:
    void accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        }
    }

    void read(QTcpSocket *socket)
    {
        QByteArray &pending = m_pending[socket];
        pending += socket->readAll();
        const int end = pending.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray path = pending.left(pending.indexOf("\r\n")).split(' ').value(1);
        m_pending.remove(socket);
        requests.append(QString::fromLatin1(path));

        if (path == "/big")
            answer(socket, "200 OK", {}, patternBody(BigSize));
        else if (path == "/small")
            answer(socket, "200 OK", {}, QByteArray(BigSize - 1, '\0'));
        else if (path == "/moved")
            answer(socket, "302 Found", "Location: " + url("/big").toLatin1() + "\r\n", "moved");
        else if (path == "/nolength")
            answerWithoutLength(socket);
        else
            answer(socket, "404 Not Found", {}, "no such engine");
    }

    static void answer(QTcpSocket *socket, const QByteArray &status, const QByteArray &headers,
                       const QByteArray &body)
    {
        socket->write("HTTP/1.1 " + status + "\r\nContent-Length: " + QByteArray::number(body.size())
                      + "\r\nConnection: close\r\n" + headers + "\r\n" + body);
        socket->disconnectFromHost();
    }

    void answerWithoutLength(QTcpSocket *socket)
    {
        const QByteArray body = patternBody(BigSize);
        const int half = BigSize / 2;
        socket->write("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body.left(half));
        socket->flush();
        finishWhenReleased(socket, body.mid(half), QDeadlineTimer(30000));
    }

    // Trickles the rest while the event loop keeps serving the download (the reply reports
    // progress only as data arrives, at most every so often), until released; gives up after
    // a while so a download that never shows its progress still ends and the test fails.
    void finishWhenReleased(QTcpSocket *socket, QByteArray rest, QDeadlineTimer deadline)
    {
        if (!holdUntil || holdUntil() || deadline.hasExpired() || rest.size() <= 1000) {
            socket->write(rest);
            socket->disconnectFromHost();
            return;
        }
        socket->write(rest.left(1000));
        rest.remove(0, 1000);
        QTimer::singleShot(200, this, [=] { finishWhenReleased(socket, rest, deadline); });
    }

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_pending;
};

// A port that was just bound and released: nothing listens there.
QString refusedUrl()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("http://127.0.0.1:%1/big").arg(port);
}

int fileMode(const QString &path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}

// Everything in the engines folder, hidden files included.
QStringList engineFolderEntries(const Sandbox &sandbox)
{
    return QDir(sandbox.engines())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

void download(getengine &dialog, const QString &name, const QString &link)
{
    dialog.show();
    QTest::keyClicks(dialog.ui->lineEdit_2, name);
    QTest::keyClicks(dialog.ui->lineEdit, link);
    dialog.ui->buttonBox->button(QDialogButtonBox::Ok)->click();
}

const QString FailedPrefix = QStringLiteral("The conversion engine could not be downloaded:");
const QString BadNameText = QStringLiteral(
    "The name of the conversion engine must be a single file name: not empty, without \"/\", "
    "and not \".\" or \"..\".");

} // namespace

class GetEngineTest final : public QObject
{
    Q_OBJECT

private slots:
    // A download of at least 3,000,000 bytes is kept executable under its name (replacing
    // an engine of that name); anything smaller is removed by the cleanup.
    void completedDownloadIsKeptOnlyWhenLargeEnough_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QStringList>("requests");
        QTest::addColumn<bool>("kept");
        QTest::newRow("3000000 bytes, replacing one of that name")
            << "ffmpeg" << QByteArray("/big") << QStringList{"/big"} << true;
        QTest::newRow("2999999 bytes") << "ffmpeg" << QByteArray("/small") << QStringList{"/small"}
                                       << false;
        QTest::newRow("redirect") << "sox" << QByteArray("/moved") << QStringList{"/moved", "/big"}
                                  << true;
        QTest::newRow("unknown size") << "ffmpeg" << QByteArray("/nolength")
                                      << QStringList{"/nolength"} << true;
    }

    void completedDownloadIsKeptOnlyWhenLargeEnough()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, path);
        QFETCH(QStringList, requests);
        QFETCH(bool, kept);
        Sandbox sandbox;
        EngineServer server;
        DialogAnswers answers(QMessageBox::Ok);
        const QString engine = sandbox.engines() + '/' + name;
        if (path == "/big")
            QVERIFY(writeFile(engine, QByteArray(EngineServer::BigSize + 5, 'x')));
        QWidget form;
        // Seen while a reply of unknown size is half sent.
        bool sawBusy = false;
        QString label;
        Qt::WindowModality modality = Qt::NonModal;
        server.holdUntil = [&] {
            const auto *progress = form.findChild<QProgressDialog *>();
            sawBusy = progress && progress->minimum() == 0 && progress->maximum() == 0;
            if (sawBusy) {
                label = progress->labelText();
                modality = progress->windowModality();
            }
            return sawBusy;
        };
        auto *dialog = new getengine(&form);

        download(*dialog, name, server.url(path.constData()));

        QCOMPARE(server.requests, requests);
        QVERIFY(answers.texts.isEmpty());
        QVERIFY(!dialog->isVisible());
        QCOMPARE(engineFolderEntries(sandbox), kept ? QStringList{name} : QStringList());
        if (kept) {
            QCOMPARE(readFile(engine), patternBody(EngineServer::BigSize));
            QCOMPARE(fileMode(engine), 0755);
        }
        if (path == "/nolength") {
            QVERIFY(sawBusy);
            QCOMPARE(label, QStringLiteral("Downloading ..... Please Wait!"));
            QCOMPARE(modality, Qt::WindowModal);
        }
        const auto *progress = form.findChild<QProgressDialog *>();
        QVERIFY(!progress || !progress->isVisible());
    }

    // The real error box, left up as long as a user reading it would (past the progress
    // dialog's own 4 s show timer), then closed with OK, Escape or Return.
    void failedDownloadIsReportedAndLeavesTheEnginesAlone_data()
    {
        QTest::addColumn<bool>("refused");
        QTest::addColumn<bool>("existing");
        QTest::addColumn<int>("key"); // 0: the OK button is clicked
        QTest::newRow("404 over an existing engine, Return")
            << false << true << int(Qt::Key_Return);
        QTest::newRow("connection refused, Escape") << true << true << int(Qt::Key_Escape);
        QTest::newRow("404 of a new name, OK") << false << false << 0;
    }

    void failedDownloadIsReportedAndLeavesTheEnginesAlone()
    {
        QFETCH(bool, refused);
        QFETCH(bool, existing);
        QFETCH(int, key);
        Sandbox sandbox;
        EngineServer server;
        const QString engine = sandbox.engines() + QStringLiteral("/ffmpeg");
        const QByteArray original = patternBody(EngineServer::BigSize + 17).toBase64().left(3100000);
        if (existing)
            QVERIFY(writeFile(engine, original));
        QWidget form;
        form.show();

        QStringList texts;
        QStringList intruders; // other modal or progress windows seen while the box was up
        bool keyClosedBox = true;
        QElapsedTimer boxUp;
        QTimer user;
        connect(&user, &QTimer::timeout, &form, [&] {
            auto *box = form.findChild<QMessageBox *>();
            if (!box || !box->isVisible())
                return;
            QWidget *modal = QApplication::activeModalWidget();
            if (modal != box)
                intruders.append(modal ? modal->metaObject()->className() : "no modal window");
            const auto *progress = form.findChild<QProgressDialog *>();
            if (progress && progress->isVisible())
                intruders.append(QStringLiteral("visible progress dialog"));
            if (!boxUp.isValid()) {
                boxUp.start();
                texts.append(box->text());
            } else if (boxUp.hasExpired(6000)) {
                keyClosedBox = false;
                box->done(QMessageBox::Ok); // so that a failing test still ends
            } else if (boxUp.hasExpired(5500)) {
                if (key)
                    QTest::keyClick(modal ? modal : box, Qt::Key(key));
                else
                    box->button(QMessageBox::Ok)->click();
            }
        });
        user.start(100);

        download(*new getengine(&form), QStringLiteral("ffmpeg"),
                 refused ? refusedUrl() : server.url("/missing"));
        QTest::qWait(500);

        intruders.removeDuplicates();
        QVERIFY2(intruders.isEmpty(), qPrintable(intruders.join(QStringLiteral(", "))));
        QVERIFY(keyClosedBox);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QCOMPARE(server.requests, refused ? QStringList() : QStringList{"/missing"});
        QCOMPARE(engineFolderEntries(sandbox), existing ? QStringList{"ffmpeg"} : QStringList());
        if (existing)
            QCOMPARE(readFile(engine), original);
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts.first().startsWith(FailedPrefix), qPrintable(texts.first()));
        QVERIFY(texts.first().size() > FailedPrefix.size() + 1);
    }

    void cancelDownloadsNothing()
    {
        Sandbox sandbox;
        EngineServer server;
        DialogAnswers answers(QMessageBox::Ok);
        QWidget form;
        auto *dialog = new getengine(&form);
        dialog->show();
        QTest::keyClicks(dialog->ui->lineEdit_2, QStringLiteral("ffmpeg"));
        QTest::keyClicks(dialog->ui->lineEdit, server.url("/big"));
        dialog->ui->buttonBox->button(QDialogButtonBox::Cancel)->click();
        QCoreApplication::processEvents();

        QVERIFY(server.requests.isEmpty());
        QVERIFY(engineFolderEntries(sandbox).isEmpty());
        QVERIFY(!dialog->isVisible());
        QVERIFY(!form.findChild<QProgressDialog *>());
        QVERIFY(answers.texts.isEmpty());
    }

    void nameThatIsNotOneFileNameIsRefusedBeforeAnyRequest_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("empty") << QString();
        QTest::newRow("slash") << QStringLiteral("a/b");
        QTest::newRow("parent") << QStringLiteral("..");
        QTest::newRow("current") << QStringLiteral(".");
    }

    void nameThatIsNotOneFileNameIsRefusedBeforeAnyRequest()
    {
        QFETCH(QString, name);
        Sandbox sandbox;
        QDir(sandbox.engines()).mkdir(QStringLiteral("a"));
        EngineServer server;
        DialogAnswers answers(QMessageBox::Ok);
        QWidget form;
        auto *dialog = new getengine(&form);

        download(*dialog, name, server.url("/big"));
        QCoreApplication::processEvents();

        QVERIFY(server.requests.isEmpty());
        QCOMPARE(answers.texts, QStringList(BadNameText));
        QCOMPARE(engineFolderEntries(sandbox), QStringList{QStringLiteral("a")});
        QVERIFY(QDir(sandbox.engines() + QStringLiteral("/a")).isEmpty());
        QVERIFY(!form.findChild<QProgressDialog *>());
        // The dialog stays open with what was typed, so the name can be corrected.
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->ui->lineEdit->text(), server.url("/big"));
    }
};

QTEST_MAIN(GetEngineTest)
#include "tst_getengine.moc"
