// The engine download dialog, fetching from a small HTTP server on 127.0.0.1.

#include "engine/getengine.h"

#include "ui_getengine.h"

#include "testsupport.h"
#include "uisupport.h"

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

namespace {
constexpr int BigSize = 3000000;

QByteArray patternBody(int size)
{
    QByteArray body(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        body[i] = char(i % 251);
    return body;
}

// Answers /big with 3,000,000 bytes, /small with one byte less, /moved with a redirect to
// /big, /nolength with /big's bytes but not their number, and anything else with 404.
class EngineServer final : public QObject
{
public:
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
        if (!socket->peek(1 << 16).contains("\r\n\r\n"))
            return; // the request is not complete yet
        const QByteArray path = socket->readAll().split(' ').value(1);
        requests.append(QString::fromLatin1(path));
        QByteArray status = "200 OK";
        QByteArray headers;
        QByteArray body = patternBody(BigSize);
        if (path == "/small") {
            body = QByteArray(BigSize - 1, '\0');
        } else if (path == "/moved") {
            status = "302 Found";
            headers = "Location: " + url("/big").toLatin1() + "\r\n";
            body = "moved";
        } else if (path != "/big" && path != "/nolength") {
            status = "404 Not Found";
            body = "no such engine";
        }
        if (path != "/nolength")
            headers += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
        socket->write("HTTP/1.1 " + status + "\r\nConnection: close\r\n" + headers + "\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
};

// A port that was just bound and released: nothing listens there.
QString refusedUrl()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return QStringLiteral("http://127.0.0.1:%1/big").arg(probe.serverPort());
}

// Everything in the engines folder, hidden files included.
QStringList engineFolderEntries(const Sandbox &sandbox)
{
    return QDir(sandbox.engines()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

void download(getengine *dialog, const QString &name, const QString &link)
{
    dialog->show();
    QTest::keyClicks(dialog->ui->lineEdit_2, name);
    QTest::keyClicks(dialog->ui->lineEdit, link);
    dialog->ui->buttonBox->button(QDialogButtonBox::Ok)->click();
}
} // namespace

class GetEngineTest final : public QObject
{
    Q_OBJECT

private slots:
    // A download of at least 3,000,000 bytes replaces the engine of its name, executable;
    // anything smaller is removed by the cleanup.
    void completedDownloadIsKeptOnlyWhenLargeEnough_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QStringList>("requests");
        QTest::addColumn<bool>("kept");
        QTest::newRow("3000000 bytes") << QByteArray("/big") << QStringList{"/big"} << true;
        QTest::newRow("2999999 bytes") << QByteArray("/small") << QStringList{"/small"} << false;
        QTest::newRow("redirected") << QByteArray("/moved") << QStringList{"/moved", "/big"} << true;
        QTest::newRow("size unknown") << QByteArray("/nolength") << QStringList{"/nolength"} << true;
    }

    void completedDownloadIsKeptOnlyWhenLargeEnough()
    {
        QFETCH(QByteArray, path);
        QFETCH(QStringList, requests);
        QFETCH(bool, kept);
        Sandbox sandbox;
        EngineServer server;
        DialogAnswers answers(QMessageBox::Ok);
        const QString engine = sandbox.engines() + QStringLiteral("/ffmpeg");
        QVERIFY(writeFile(engine, QByteArray(BigSize + 5, 'x')));
        QWidget form;
        auto *dialog = new getengine(&form);

        download(dialog, QStringLiteral("ffmpeg"), server.url(path.constData()));
        QCOMPARE(server.requests, requests);
        QVERIFY(answers.texts.isEmpty());
        QCOMPARE(engineFolderEntries(sandbox), kept ? QStringList{"ffmpeg"} : QStringList());
        if (kept) {
            QCOMPARE(readFile(engine), patternBody(BigSize));
            QCOMPARE(fileMode(engine), 0755);
        }
    }

    // The real error box, left up as long as a user reading it would (past the progress
    // dialog's own 4 s show timer), then closed with OK, Escape or Return.
    void failedDownloadIsReportedAndLeavesTheEnginesAlone_data()
    {
        QTest::addColumn<bool>("refused");
        QTest::addColumn<bool>("existing");
        QTest::addColumn<int>("key"); // 0: the OK button is clicked
        QTest::newRow("404 over an existing engine, Return") << false << true << int(Qt::Key_Return);
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
        const QByteArray original = patternBody(BigSize + 17);
        if (existing)
            QVERIFY(writeFile(engine, original));
        QWidget form;
        form.show();
        // What is up when the user, having read the box, closes it.
        QString seen;
        bool closedByUser = true;
        QTimer::singleShot(5500, &form, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            seen = modal ? modal->metaObject()->className() : "no modal window";
            const auto *progress = form.findChild<QProgressDialog *>();
            if (progress && progress->isVisible())
                seen += " and the progress dialog";
            if (key && modal)
                QTest::keyClick(modal, Qt::Key(key));
            else if (auto *box = qobject_cast<QMessageBox *>(modal))
                box->button(QMessageBox::Ok)->click();
        });
        QTimer::singleShot(7000, &form, [&] { // so that a failing test still ends
            if (QWidget *modal = QApplication::activeModalWidget()) {
                closedByUser = false;
                modal->close();
            }
        });

        download(new getengine(&form), QStringLiteral("ffmpeg"),
                 refused ? refusedUrl() : server.url("/missing"));
        QTRY_VERIFY_WITH_TIMEOUT(!seen.isEmpty(), 7000);
        QCOMPARE(seen, QStringLiteral("QMessageBox"));
        QVERIFY(closedByUser);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QCOMPARE(server.requests, refused ? QStringList() : QStringList{"/missing"});
        QCOMPARE(engineFolderEntries(sandbox), existing ? QStringList{"ffmpeg"} : QStringList());
        if (existing)
            QCOMPARE(readFile(engine), original);
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
        QVERIFY(QDir(sandbox.engines()).mkdir(QStringLiteral("a")));
        EngineServer server;
        DialogAnswers answers(QMessageBox::Ok);
        QWidget form;
        auto *dialog = new getengine(&form);

        download(dialog, name, server.url("/big"));
        QCoreApplication::processEvents();
        QVERIFY(server.requests.isEmpty());
        QCOMPARE(answers.texts.size(), 1);
        QCOMPARE(engineFolderEntries(sandbox), QStringList{QStringLiteral("a")});
        QVERIFY(QDir(sandbox.engines() + QStringLiteral("/a")).isEmpty());
        QVERIFY(!form.findChild<QProgressDialog *>());
        QVERIFY(dialog->isVisible()); // for the name to be corrected
    }
};

QTEST_MAIN(GetEngineTest)
#include "tst_getengine.moc"
