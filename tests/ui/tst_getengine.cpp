// The engine download dialog, fetching from a small HTTP server on 127.0.0.1.

#include "core/engines/deletewrongengine.h"
#include "ui/engines/getengine.h"

#include "ui_getengine.h"

#include "testsupport.h"
#include "uisupport.h"

#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

namespace {
constexpr int BigSize = MinimumEngineSize;
const QByteArray BigEngine(BigSize, 'e');
const QByteArray Program = "\x7F" "ELF" + QByteArray(100, 'p');

// What the server sends for each path it knows.
const QMap<QByteArray, QByteArray> Bodies{
    {"/big", BigEngine},
    {"/small", QByteArray(BigSize - 1, '\0')},
    {"/page", "<html><body><a href=\"/big\">ffmpeg</a></body></html>"},
    {"/archive", "\xFD" "7zXZ" + BigEngine},
    {"/program", Program},
};

// Answers each path of Bodies with its body, /moved with a redirect to /big, /slow with a
// part of /big and then nothing, and anything else with 404.
class EngineServer final : public QObject
{
public:
    EngineServer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *socket = m_server.nextPendingConnection();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
        });
        m_server.listen(QHostAddress::LocalHost);
    }

    QString url(const char *path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(QLatin1String(path));
    }

    QStringList requests;

private:
    void answer(QTcpSocket *socket)
    {
        if (!socket->peek(1 << 16).contains("\r\n\r\n"))
            return; // the request is not complete yet
        const QByteArray path = socket->readAll().split(' ').value(1);
        requests.append(QString::fromLatin1(path));
        QByteArray status = "200 OK";
        QByteArray headers;
        QByteArray body = Bodies.value(path);
        if (path == "/slow") {
            socket->write("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(BigSize)
                          + "\r\n\r\n" + Program);
            return;
        }
        if (path == "/moved") {
            status = "302 Found";
            headers = "Location: " + url("/big").toLatin1() + "\r\n";
            body = "moved";
        } else if (!Bodies.contains(path)) {
            status = "404 Not Found";
            body = "no such engine";
        }
        socket->write("HTTP/1.1 " + status + "\r\nConnection: close\r\nContent-Length: "
                      + QByteArray::number(body.size()) + "\r\n" + headers + "\r\n" + body);
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
    // A download of at least 3,000,000 bytes, or a program, becomes the engine of its name,
    // executable; anything the cleanup would remove, and anything but a program in the place
    // of a program, is reported and replaces nothing. A name that is not one file name is
    // refused before any request, and the dialog stays open for it to be corrected.
    void downloadReplacesTheEngineOnlyWhenLargeEnough_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<bool>("asked"); // whether the server was asked
        QTest::addColumn<QByteArray>("engine"); // the path whose body is installed, if any
        QTest::newRow("3000000 bytes") << "ffmpeg" << QByteArray("/big") << true << QByteArray("/big");
        QTest::newRow("2999999 bytes") << "ffmpeg" << QByteArray("/small") << true << QByteArray();
        QTest::newRow("a web page") << "ffmpeg" << QByteArray("/page") << true << QByteArray();
        QTest::newRow("a web page, new name") << "sox" << QByteArray("/page") << true << QByteArray();
        QTest::newRow("a small program") << "ffmpeg" << QByteArray("/program") << true << QByteArray("/program");
        QTest::newRow("a program over a program") << "x264" << QByteArray("/program") << true << QByteArray("/program");
        QTest::newRow("an archive over a program") << "x264" << QByteArray("/archive") << true << QByteArray();
        QTest::newRow("an archive, new name") << "sox" << QByteArray("/archive") << true << QByteArray("/archive");
        QTest::newRow("redirected to 3000000 bytes") << "ffmpeg" << QByteArray("/moved") << true << QByteArray("/big");
        QTest::newRow("empty name") << "" << QByteArray("/big") << false << QByteArray();
        QTest::newRow("name with a slash") << "a/ffmpeg" << QByteArray("/big") << false << QByteArray();
        QTest::newRow("name ..") << ".." << QByteArray("/big") << false << QByteArray();
        QTest::newRow("name .") << "." << QByteArray("/big") << false << QByteArray();
    }

    void downloadReplacesTheEngineOnlyWhenLargeEnough()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, path);
        QFETCH(bool, asked);
        QFETCH(QByteArray, engine);
        Sandbox sandbox;
        EngineServer server;
        DialogAnswers answers(QMessageBox::Ok);
        // A large engine that is no program, and a link to a small one that is.
        QMap<QString, QByteArray> engines{{"ffmpeg", QByteArray(BigSize + 5, 'o')}, {"x264", Program}};
        QVERIFY(writeFile(sandbox.engines() + "/ffmpeg", engines["ffmpeg"]));
        QVERIFY(writeFile("x264", Program) && QFile::link(sandbox.path() + "/x264", sandbox.engines() + "/x264"));
        QVERIFY(QDir(sandbox.engines()).mkdir(QStringLiteral("a")));
        QWidget form;
        auto *dialog = new getengine(&form);

        download(dialog, name, server.url(path.constData()));
        if (!engine.isEmpty())
            engines[name] = Bodies.value(engine);
        QCOMPARE(filesBelow(sandbox.engines()), engines.keys());
        for (auto it = engines.cbegin(); it != engines.cend(); ++it)
            QVERIFY2(readFile(sandbox.engines() + '/' + it.key()) == it.value(), qPrintable(it.key()));
        QCOMPARE(answers.texts.size(), engine.isEmpty() ? 1 : 0);
        QCOMPARE(server.requests.isEmpty(), !asked);
        QCOMPARE(dialog->isVisible(), !asked);
        if (!engine.isEmpty())
            QCOMPARE(QFile::permissions(sandbox.engines() + '/' + name), QFileDevice::Permissions(0x7755)); // 0755
    }

    // While a download over an engine runs, the engine (here a link to a program beside the
    // engines folder) stays in place; Cancel on the progress dialog then leaves it as it was.
    void engineStaysInPlaceWhileDownloadingOverIt()
    {
        Sandbox sandbox;
        EngineServer server;
        DialogAnswers answers(QMessageBox::Ok);
        const QString engine = sandbox.engines() + QStringLiteral("/ffmpeg");
        QVERIFY(writeFile("ffmpeg", Program) && QFile::link(sandbox.path() + "/ffmpeg", engine));
        QWidget form;
        form.show();
        QStringList during;
        QTimer::singleShot(500, &form, [&] {
            during = filesBelow(sandbox.engines());
            if (auto *progress = form.findChild<QProgressDialog *>())
                progress->findChild<QPushButton *>()->click();
        });

        download(new getengine(&form), QStringLiteral("ffmpeg"), server.url("/slow"));
        QCOMPARE(during, QStringList{"ffmpeg"});
        QVERIFY(QFileInfo(engine).isSymLink());
        QCOMPARE(filesBelow(sandbox.engines()), QStringList{"ffmpeg"});
        QCOMPARE(answers.texts, QStringList());
    }

    // The real error box, left up as long as a user reading it would (past the progress
    // dialog's own 4 s show timer), then closed with OK, Escape or Return.
    void failedDownloadIsReportedAndLeavesTheEnginesAlone_data()
    {
        QTest::addColumn<bool>("refused");
        QTest::addColumn<int>("key"); // 0: the OK button is clicked
        QTest::newRow("404, Return") << false << int(Qt::Key_Return);
        QTest::newRow("connection refused, Escape") << true << int(Qt::Key_Escape);
        QTest::newRow("404, OK") << false << 0;
    }

    void failedDownloadIsReportedAndLeavesTheEnginesAlone()
    {
        QFETCH(bool, refused);
        QFETCH(int, key);
        Sandbox sandbox;
        EngineServer server;
        const QString engine = sandbox.engines() + QStringLiteral("/ffmpeg");
        const QByteArray original(BigSize + 17, 'o');
        QVERIFY(writeFile(engine, original));
        QWidget form;
        form.show();
        // What is up when the user, having read the box, closes it.
        QString seen;
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
            seen += QStringLiteral(", left up");
            if (QWidget *modal = QApplication::activeModalWidget())
                modal->close();
        });

        download(new getengine(&form), QStringLiteral("ffmpeg"),
                 refused ? refusedUrl() : server.url("/missing"));
        QTRY_VERIFY_WITH_TIMEOUT(!seen.isEmpty(), 7000);
        QCOMPARE(seen, QStringLiteral("QMessageBox"));
        QCOMPARE(server.requests, refused ? QStringList() : QStringList{"/missing"});
        QCOMPARE(filesBelow(sandbox.engines()), QStringList{"ffmpeg"});
        QCOMPARE(readFile(engine), original);
    }
};

QTEST_MAIN(GetEngineTest)
#include "tst_getengine.moc"
