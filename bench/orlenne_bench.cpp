// Drives the program's real code paths for bench/run.sh; one measurement per process.
//
//   orlenne_bench maketree TREE TOP LEAVES FILES   make TOP*LEAVES folders of FILES files
//   orlenne_bench analyze TREE DEST                ANALYZE of TREE (working folder: a bundle)
//   orlenne_bench walk TREE                        ANALYZE's folder scan alone over TREE
//   orlenne_bench copy SRC DST                     SRCopyFile2(SRC, DST)
//   orlenne_bench copy-in-kernel SRC DST           the same copy done by copy_file_range
//   orlenne_bench run SOURCE DEST SETTING N PROBE [stall]
//                                                  RUN IT NOW over every file of SOURCE,
//                                                  N engines at once, PROBE probe|none
//   orlenne_bench faults SOURCE DEST RUNS          runs with a faulty stand-in engine
//   orlenne_bench time OUT COMMAND ARGS...         a baseline command, its output to OUT
//   orlenne_bench forms TREE DEST CYCLES PLAY_MS   CYCLES times: ANALYZE, the first file
//                                                  previewed for PLAY_MS, the form closed
//
// Each prints one line "key=value ..." with call_ms, the wall time of the call alone
// (from the click, or the function call, to its return), and maxrss_kb, the process's
// peak resident memory.

#include "ui/mainwindow/mainwindow.h"
#include "ui/common/modal.h"
#include "core/base/pathhelpers.h"
#include "core/scan/sourcescan.h"
#include "core/run/conversionrun.h"
#include "ui/form/eksform.h"
#include "core/files/filecopy.h"
#include "core/run/runfiles.h"
#include "core/media/settingscatalogue.h"
#include "core/engines/enginefolder.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QMediaPlayer>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
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

// As the user sees it: the window is up and drawn, the tree in its source list, before
// ANALYZE is pressed. Measured with the trace lines off, as the program runs unless asked.
void prepare(MainWindow &window, const QString &tree, const QString &destination)
{
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    window.show();
    settle();
    window.findChild<QListWidget *>(QStringLiteral("listWidget"))
        ->addItem(QStringLiteral("file://") + tree);
    destdir = destination;
}

int analyze(const QString &tree, const QString &destination)
{
    MainWindow window;
    prepare(window, tree, destination);
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

// The process's resident memory and thread count now (not the peak).
void residentNow(long *rssKb, int *threads)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            *rssKb = line.mid(6).trimmed().split(' ').value(0).toLong();
        else if (line.startsWith("Threads:"))
            *threads = line.mid(8).trimmed().toInt();
    }
}

// Runs the event loop until done() or the timeout; true when done.
template<typename Done>
bool waitFor(Done done, int timeoutMs)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done() && elapsed.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// As a user previews footage: ANALYZE, a click on the first file, a few seconds of it, the
// form closed; the memory and threads left after each cycle.
int forms(const QString &tree, const QString &destination, int cycles, int playMs)
{
    MainWindow window;
    prepare(window, tree, destination);
    Modal::setDialogRunner([](QDialog *) { return int(QMessageBox::No); });
    auto *analyzeButton = window.findChild<QPushButton *>(QStringLiteral("pushButton_2"));
    long rss = 0;
    int threads = 0;
    residentNow(&rss, &threads);
    std::printf("cycle=0 rss_kb=%ld threads=%d\n", rss, threads);
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        analyzeButton->click();
        const QPointer<eksForm> form = window.form;
        if (!form)
            return 1;
        settle();
        auto *files = form->findChild<QListView *>(QStringLiteral("listView_2"));
        emit files->clicked(files->model()->index(0, 0));
        const QMediaPlayer *player = form->player();
        if (!waitFor([player, playMs] { return player->position() >= playMs; }, playMs + 20000))
            return 1;
        residentNow(&rss, &threads);
        const long playingRss = rss;
        form->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        settle();
        residentNow(&rss, &threads);
        std::printf("cycle=%d playing_rss_kb=%ld rss_kb=%ld threads=%d form_deleted=%d\n", cycle,
                    playingRss, rss, threads, form.isNull() ? 1 : 0);
        std::fflush(stdout);
    }
    return 0;
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

// The arguments of a setting named by its catalogue label ("1080p/25 120", "DV PAL",
// "WAV", "DNxHR HQ"), or the text itself as engine arguments. "mixed" takes WAV, DV PAL and DNxHD in turn.
QString settingArguments(const QString &name, int index)
{
    if (name == QLatin1String("mixed")) {
        const char *const kinds[] = {"WAV", "DV PAL", "1080p/25 36"};
        return settingArguments(QLatin1String(kinds[index % 3]), index);
    }
    if (name == QLatin1String("WAV"))
        return Settings::argumentsFor({Settings::Wav, {}, QStringLiteral("16"), QStringLiteral("48000"), false});
    if (name == QLatin1String("DV PAL"))
        return Settings::argumentsFor({Settings::DvPal, {}, {}, {}, false});
    if (name.startsWith(QLatin1String("DNxHR ")))
        return Settings::argumentsFor({Settings::Dnxhr, {}, {}, {}, false, name.mid(6)});
    const auto table = Settings::dnxhdTable();
    const auto found = table.find(name.toStdString());
    return found != table.end() ? QString::fromStdString(found->second) : name;
}

// RUN IT NOW over every file of source (copies when setting is "copy"), with the engines
// folder's engine, `engines` at once, and ffprobe checking the outputs when probe is
// "probe". A progress bar and a label on screen follow the run, as the form's do. With
// watchStalls a 5 ms timer measures the longest time the event loop was kept from it
// (stall_ms); the timer's own wake-ups cost CPU, so the other runs go without it.
int run(const QString &source, const QString &destination, const QString &setting, int engines,
        bool probe, bool watchStalls)
{
    const QFileInfoList entries = QDir(source).entryInfoList(QDir::Files, QDir::Name);
    QList<ConversionJob> jobs;
    for (int i = 0; i < entries.size(); ++i) {
        const bool copy = setting == QLatin1String("copy");
        jobs.append({entries.at(i).absoluteFilePath(),
                     copy ? QString() : settingArguments(setting, i), QStringLiteral("MOV"), copy});
    }
    deletejobfile();
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *bar = new QProgressBar;
    auto *line = new QLabel;
    layout->addWidget(bar);
    layout->addWidget(line);
    window.show();
    settle();

    const Engine engine = resolveEngine();
    ConversionRun conversion(jobs, {QStringLiteral("file://") + source}, destination, engine);
    conversion.setEnginesAtOnce(engines);
    conversion.setProbe(probe ? findProbe(engine.program) : QString());
    QObject::connect(&conversion, &ConversionRun::progressed, bar, [bar, line](int percent, const QString &text) {
        bar->setValue(percent);
        line->setText(text);
    });
    QEventLoop loop;
    QObject::connect(&conversion, &ConversionRun::finished, &loop, &QEventLoop::quit);
    QElapsedTimer sinceTick;
    qint64 stallNs = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&sinceTick, &stallNs] {
        stallNs = std::max(stallNs, sinceTick.nsecsElapsed());
        sinceTick.start();
    });

    const Stopwatch watch;
    sinceTick.start();
    if (watchStalls)
        ticker.start(5);
    conversion.start();
    if (conversion.isRunning())
        loop.exec();
    const QByteArray times = watch.result();

    const bool success = conversion.notConverted().isEmpty();
    const QByteArray stall = watchStalls ? QByteArray::number(double(stallNs) / 1e6 - 5, 'f', 1) : "-";
    int converted = 0;
    int already = 0;
    for (const ConversionRun::Result &result : conversion.results()) {
        converted += result.outcome == Outcome::Converted ? 1 : 0;
        already += result.outcome == Outcome::AlreadyConverted ? 1 : 0;
    }
    std::printf("files=%lld success=%d converted=%d already=%d %s stall_ms=%s maxrss_kb=%ld\n",
                (long long)jobs.size(), success ? 1 : 0, converted, already, times.constData(),
                stall.constData(), maxRssKb());
    return success ? 0 : 1;
}

// The run's answer to engines that fail in every way that still exits: `runs` runs of one
// file, each with an earlier output in place, the engine's fault chosen by ORLENNE_FAULT
// (the stand-in engine of bench/run.sh reads it). The ffprobe on PATH checks the outputs.
int faults(const QString &source, const QString &destination, int runs)
{
    const char *const kinds[] = {"truncated", "codec", "novideo", "nothing", "killed"};
    const QString output = destination + QLatin1Char('/') + QFileInfo(source).completeBaseName()
                           + QLatin1String(".MOV");
    int converted = 0;
    int leftovers = 0;
    int damaged = 0;
    for (int i = 0; i < runs; ++i) {
        qputenv("ORLENNE_FAULT", kinds[i % 5]);
        const QByteArray earlier = "earlier output " + QByteArray::number(i);
        QFile file(output);
        if (!file.open(QIODevice::WriteOnly) || file.write(earlier) != earlier.size())
            return 1;
        file.close();
        ConversionRun conversion({{source, settingArguments(QStringLiteral("DV PAL"), 0),
                                   QStringLiteral("MOV"), false}},
                                 {}, destination, resolveEngine());
        conversion.setProbe(findProbe(resolveEngine().program));
        QEventLoop loop;
        QObject::connect(&conversion, &ConversionRun::finished, &loop, &QEventLoop::quit);
        conversion.start();
        if (conversion.isRunning())
            loop.exec();
        converted += conversion.notConverted().isEmpty() ? 1 : 0;
        QFile check(output);
        damaged += check.open(QIODevice::ReadOnly) && check.readAll() == earlier ? 0 : 1;
        leftovers += int(QDir(destination).entryList(QDir::Files | QDir::Hidden).size()) - 1;
    }
    std::printf("runs=%d converted=%d leftovers=%d damaged=%d\n", runs, converted, leftovers, damaged);
    return converted == 0 && leftovers == 0 && damaged == 0 ? 0 : 1;
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
    std::fprintf(stderr, "usage: orlenne_bench maketree|analyze|walk|copy|copy-in-kernel|run|faults|forms|time ...\n");
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
    if (std::strcmp(mode, "run") == 0 && (argc == 7 || (argc == 8 && std::strcmp(argv[7], "stall") == 0)))
        return run(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                   QString::fromLocal8Bit(argv[4]), std::atoi(argv[5]),
                   std::strcmp(argv[6], "probe") == 0, argc == 8);
    if (std::strcmp(mode, "forms") == 0 && argc == 6)
        return forms(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                     std::atoi(argv[4]), std::atoi(argv[5]));
    if (std::strcmp(mode, "faults") == 0 && argc == 5)
        return faults(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                      std::atoi(argv[4]));
    return usage();
}
