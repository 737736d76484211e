// Drives the program's real code paths for bench/run.sh; one measurement per process.
//
//   orlenne_bench maketree TREE TOP LEAVES FILES   make TOP*LEAVES folders of FILES files
//   orlenne_bench analyze TREE DEST                ANALYZE of TREE (working folder: a bundle)
//   orlenne_bench walk TREE                        ANALYZE's folder scan alone over TREE
//   orlenne_bench copy SRC DST                     SRCopyFile2(SRC, DST)
//   orlenne_bench copy-in-kernel SRC DST           the same copy done by copy_file_range
//   orlenne_bench run SOURCE DEST SETTING          RUN IT NOW over every file of SOURCE
//   orlenne_bench time OUT COMMAND ARGS...         a baseline command, its output to OUT
//
// Each prints one line "key=value ..." with call_ms, the wall time of the call alone
// (from the click, or the function call, to its return), and maxrss_kb, the process's
// peak resident memory.

#include "app/mainwindow.h"
#include "app/modal.h"
#include "app/pathhelpers.h"
#include "app/sourcescan.h"
#include "convert/eksform.h"
#include "convert/filecopy.h"
#include "convert/settingscatalogue.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPushButton>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

long maxRssKb()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// 6 of every 10 names carry a media extension, in mixed case as cameras write them.
const char *const Extensions[10] = {"mov", "MP4", "mxf", "wav", "MTS", "m4a",
                                    "txt", "jpg", "xml", "THM"};

int makeTree(const char *tree, int top, int leaves, int files)
{
    long media = 0;
    char path[4096];
    if (mkdir(tree, 0755) != 0 && errno != EEXIST)
        return 1;
    for (int t = 0; t < top; ++t) {
        std::snprintf(path, sizeof path, "%s/card%02d", tree, t);
        if (mkdir(path, 0755) != 0 && errno != EEXIST)
            return 1;
        for (int l = 0; l < leaves; ++l) {
            std::snprintf(path, sizeof path, "%s/card%02d/clip%03d", tree, t, l);
            if (mkdir(path, 0755) != 0 && errno != EEXIST)
                return 1;
            for (int f = 0; f < files; ++f) {
                std::snprintf(path, sizeof path, "%s/card%02d/clip%03d/take%05d.%s", tree, t, l,
                              f, Extensions[f % 10]);
                const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
                if (fd < 0)
                    return 1;
                close(fd);
                if (f % 10 < 6)
                    ++media;
            }
        }
    }
    std::printf("files=%ld media=%ld\n", long(top) * leaves * files, media);
    return 0;
}

// Wall and CPU time (this process and its waited-for children) of one call.
struct Stopwatch
{
    QElapsedTimer wall;
    double selfStart = cpuSeconds(RUSAGE_SELF);
    double childrenStart = cpuSeconds(RUSAGE_CHILDREN);

    Stopwatch() { wall.start(); }
    static double cpuSeconds(int who)
    {
        rusage usage {};
        getrusage(who, &usage);
        return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
               + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    // call_ms: wall time; cpu_ms: CPU time of this process and its children together.
    QByteArray result() const
    {
        const double self = cpuSeconds(RUSAGE_SELF) - selfStart;
        const double children = cpuSeconds(RUSAGE_CHILDREN) - childrenStart;
        return "call_ms=" + QByteArray::number(double(wall.nsecsElapsed()) / 1e6, 'f', 1)
               + " cpu_ms=" + QByteArray::number((self + children) * 1e3, 'f', 1)
               + " self_cpu_ms=" + QByteArray::number(self * 1e3, 'f', 1);
    }
};

// Lets a window that was just shown be laid out, polished and drawn.
void settle()
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

int analyze(const QString &tree, const QString &destination)
{
    // Measured with the trace lines off, as the program runs unless asked to trace.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    MainWindow window;
    // As the user sees it: the window is up and drawn before ANALYZE is pressed.
    window.show();
    settle();
    window.findChild<QListWidget *>(QStringLiteral("listWidget"))
        ->addItem(QStringLiteral("file://") + tree);
    destdir = destination;
    int dialogs = 0;
    Modal::setDialogRunner([&dialogs](QDialog *) {
        ++dialogs;
        return int(QMessageBox::Ok);
    });
    auto *analyzeButton = window.findChild<QPushButton *>(QStringLiteral("pushButton_2"));
    const long rssBefore = maxRssKb();

    const Stopwatch watch;
    analyzeButton->click();
    const QByteArray times = watch.result();

    long found = 0;
    if (window.form) {
        for (const QStringList &group : std::as_const(window.form->groupFiles))
            found += group.size();
    }
    std::printf("found=%ld dialogs=%d %s maxrss_kb=%ld rss_before_kb=%ld\n", found, dialogs,
                times.constData(), maxRssKb(), rssBefore);
    return found > 0 ? 0 : 1;
}

// ANALYZE's folder scan alone: no window, no form.
int walk(const QString &tree)
{
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    nastavki = knownMediaExtensions();
    QStringList files;
    QMap<QString, QString> extensions;
    const Stopwatch watch;
    scanFolder(tree.mid(1), files, extensions, [] { return false; }, [] {});
    const QByteArray times = watch.result();
    std::printf("files=%lld %s maxrss_kb=%ld\n", (long long)files.size(), times.constData(),
                maxRssKb());
    return files.isEmpty() ? 1 : 0;
}

int copy(const QString &source, const QString &destination)
{
    const long rssBefore = maxRssKb();
    const Stopwatch watch;
    const bool ok = SRCopyFile2(source, destination);
    const QByteArray times = watch.result();
    std::printf("ok=%d %s maxrss_kb=%ld rss_before_kb=%ld\n", ok ? 1 : 0, times.constData(),
                maxRssKb(), rssBefore);
    return ok ? 0 : 1;
}

int run(const QString &source, const QString &destination, const QString &setting)
{
    QStringList files;
    const QFileInfoList entries = QDir(source).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo &entry : entries)
        files.append(entry.absoluteFilePath());

    QStringList reports;
    Modal::setDialogRunner([&reports](QDialog *dialog) {
        if (auto *box = qobject_cast<QMessageBox *>(dialog))
            reports.append(box->text());
        return int(QMessageBox::Ok);
    });
    eksForm form;
    form.receiveEXT({QStringLiteral("mov")}, {files}, {QStringLiteral("file://") + source},
                    destination);
    for (int j = 0; j < files.size(); ++j) {
        form.groupSettings[0][j] = setting;
        form.groupFiles[0][j] += QLatin1Char('|') + setting + QLatin1Char('|');
    }
    auto *runButton = form.findChild<QPushButton *>(QStringLiteral("pushButton_4"));
    // The form is on screen while it runs, so its progress bar and label really repaint.
    form.show();
    settle();

    const Stopwatch watch;
    runButton->click();
    const QByteArray times = watch.result();

    const bool success = reports.size() == 1 && reports.first().startsWith(QLatin1String("Success"));
    std::printf("files=%lld success=%d %s maxrss_kb=%ld\n", (long long)files.size(),
                success ? 1 : 0, times.constData(), maxRssKb());
    return success ? 0 : 1;
}

// What SRCopyFile2 would reach if the kernel copied the bytes (copy_file_range, as cat
// does), the 16000-byte loop kept only for files the kernel cannot copy. Only the kernel
// part is here.
int copyInKernel(const QString &source, const QString &destination)
{
    const long rssBefore = maxRssKb();
    const Stopwatch watch;
    QFile from(source);
    QFile to(destination);
    bool ok = from.open(QIODevice::ReadOnly | QIODevice::Unbuffered)
              && to.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    while (ok) {
        const ssize_t copied = copy_file_range(from.handle(), nullptr, to.handle(), nullptr,
                                               size_t(1) << 30, 0);
        if (copied == 0)
            break;
        ok = copied > 0;
    }
    to.close();
    const QByteArray times = watch.result();
    std::printf("ok=%d %s maxrss_kb=%ld rss_before_kb=%ld\n", ok ? 1 : 0, times.constData(),
                maxRssKb(), rssBefore);
    return ok ? 0 : 1;
}

// A baseline command, timed from its start to its exit, with its CPU time. Its standard
// output goes to the file output.
int timeCommand(const char *output, char **command)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output, O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    QElapsedTimer wall;
    wall.start();
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, command[0], &actions, nullptr, command, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return 127;
    int status = 0;
    rusage usage {};
    if (wait4(child, &status, 0, &usage) != child)
        return 1;
    const double ms = double(wall.nsecsElapsed()) / 1e6;
    const double cpuMs = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
                         + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::printf("status=%d call_ms=%.1f cpu_ms=%.1f\n", exitStatus, ms, cpuMs);
    return exitStatus;
}

int usage()
{
    std::fprintf(stderr, "usage: orlenne_bench maketree|analyze|walk|copy|copy-in-kernel|run|time ...\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return usage();
    const char *mode = argv[1];
    if (std::strcmp(mode, "maketree") == 0 && argc == 6)
        return makeTree(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
    if (std::strcmp(mode, "time") == 0 && argc >= 4)
        return timeCommand(argv[2], argv + 3);
    if (std::strcmp(mode, "walk") == 0 && argc == 3)
        return walk(QString::fromLocal8Bit(argv[2]));
    if (std::strcmp(mode, "copy-in-kernel") == 0 && argc == 4)
        return copyInKernel(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    if (std::strcmp(mode, "copy") == 0 && argc == 4)
        return copy(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));

    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (std::strcmp(mode, "analyze") == 0 && argc == 4)
        return analyze(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    if (std::strcmp(mode, "run") == 0 && argc == 5) {
        // The setting by its catalogue label, e.g. "1080p/25 120"; anything else is taken
        // as engine arguments.
        const auto table = Settings::dnxhdTable();
        const auto found = table.find(argv[4]);
        const QString setting = found != table.end() ? QString::fromStdString(found->second)
                                                     : QString::fromLocal8Bit(argv[4]);
        return run(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), setting);
    }
    return usage();
}
