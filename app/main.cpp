#include "ui/mainwindow/mainwindow.h"
#include "core/base/tracing.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QSplashScreen>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

namespace {
bool haveDisplay()
{
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY")
           || qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
}

// The shell commands say "open"; our own opener (next to the program) comes first on
// PATH so that the system's console `open` is never reached.
void putOpenerOnPath(const QString &programDir)
{
    const QByteArray libexec = QFile::encodeName(programDir + QLatin1String("/libexec"));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", path.isEmpty() ? libexec : libexec + ':' + path);
}
} // namespace

int main(int argc, char *argv[])
{
    if (!haveDisplay()) {
        std::fprintf(stderr, "Orlenne Converter needs a graphical display (DISPLAY is not set); "
                             "nothing was started.\n");
        return 1;
    }
    QApplication app(argc, argv);
    setUpTracing();
    Q_INIT_RESOURCE(resources);
    const QString programDir = QCoreApplication::applicationDirPath();
    putOpenerOnPath(programDir);
    // The program keeps its bundle beside itself and finds it through the working folder,
    // wherever it was started from (a desktop menu starts it in the home folder).
    if (!QDir::setCurrent(programDir))
        std::fprintf(stderr, "Orlenne Converter cannot enter its folder %s.\n",
                     qPrintable(programDir));

    MainWindow window;
    // Qt 6 splash screens take no parent widget; the splash deletes itself when closed.
    auto *splash = new QSplashScreen(QPixmap(QStringLiteral(":/splashform.png")),
                                     Qt::WindowStaysOnTopHint);
    splash->setAttribute(Qt::WA_DeleteOnClose);
    // The window is shown first: without a window manager honouring the stays-on-top
    // hint, the window shown last lies on top, and the splash must cover the window.
    window.show();
    splash->show();
    splash->raise();
    QTimer::singleShot(3000, splash, &QSplashScreen::close);
    return app.exec();
}
