// Start-up to the first painted window, offscreen. The benchmark starts itself
// again as a child that does what main does and reports when the main window's
// first paint event arrives; the parent times from just before the exec. Then,
// as a cross-check, the real program: from exec to its first log line.
#include "BenchCommon.h"
#include "app/AppIcons.h"
#include "app/CKelvarinApp.h"
#include "app/CommandLine.h"

#include <QApplication>
#include <QMainWindow>
#include <QTimer>

#include <cstring>
#include <filesystem>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/wait.h>

namespace {

constexpr int runs = 10;

long long Now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               BenchClock::now().time_since_epoch())
        .count();
}

// Notes the first paint event of any widget of the main window.
class CFirstPaint : public QObject {
public:
    long long at = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!at && event->type() == QEvent::Paint && watched->isWidgetType() &&
            qobject_cast<QMainWindow*>(static_cast<QWidget*>(watched)->window())) {
            at = Now();
            QMetaObject::invokeMethod(qApp, &QApplication::quit, Qt::QueuedConnection);
        }
        return false;
    }
};

// main's start-up, step by step; prints the clock at main, at the end of
// InitInstance and at the first paint event, which comes on the event loop's
// first turns.
int Child(int argc, char** argv) {
    const long long mainAt = Now();
    int exitCode = 0;
    if (!CheckOptionsBeforeWindow(argc, argv, exitCode))
        return exitCode;
    QApplication qtApp(argc, argv);
    CFirstPaint firstPaint;
    qtApp.installEventFilter(&firstPaint);
    QApplication::setApplicationName(QStringLiteral("Kelvarin"));
    QApplication::setApplicationVersion(QStringLiteral(KELVARIN_VERSION));
    QApplication::setWindowIcon(KelvarinIcon("kelvarin"));
    CKelvarinApp app;
    if (!app.InitInstance(QApplication::arguments(), exitCode))
        return exitCode;
    const long long startedAt = Now();
    QTimer::singleShot(5000, &qtApp, &QApplication::quit); // should no paint ever come
    if (!firstPaint.at)
        QApplication::exec();
    app.ExitInstance();
    std::printf("%lld %lld %lld\n", mainAt, startedAt, firstPaint.at);
    return firstPaint.at ? 0 : 1;
}

double Milliseconds(long long nanoseconds) {
    return double(nanoseconds) / 1e6;
}

// Milliseconds from just before the exec of the real program to its first log
// line (written while the panel is built, before the window shows); -1 on failure.
double FirstLogLine(const std::string& profile, const std::string& slave) {
    const std::string log = profile + "/first.log";
    std::filesystem::remove(log);
    const int watch = ::inotify_init1(IN_CLOEXEC);
    ::inotify_add_watch(watch, profile.c_str(), IN_MODIFY);
    const long long spawnedAt = Now();
    const pid_t pid = Spawn({KELVARIN_PATH, "--port", "COM1=" + slave, "--log-file", log},
                            {"XDG_CONFIG_HOME=" + profile, "QT_QPA_PLATFORM=offscreen"});
    double result = -1;
    alignas(inotify_event) char events[4096];
    pollfd fd{watch, POLLIN, 0};
    while (pid > 0 && result < 0 && ::poll(&fd, 1, 10000) > 0) {
        const ssize_t got = ::read(watch, events, sizeof events);
        const long long at = Now();
        for (ssize_t offset = 0; offset < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events + offset);
            if (event->len && std::strcmp(event->name, "first.log") == 0)
                result = Milliseconds(at - spawnedAt);
            offset += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    if (pid > 0) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
    ::close(watch);
    return result;
}

void Report(const char* what, const std::vector<double>& milliseconds) {
    std::printf("  %-34s", what);
    for (double ms : milliseconds)
        std::printf(" %.0f", ms);
    std::printf(" ms\n  %-34s median %.1f ms, max %.1f ms\n", "", Percentile(milliseconds, 0.5),
                Percentile(milliseconds, 1.0));
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0) {
        argv[1] = argv[0];
        return Child(argc - 1, argv + 1);
    }
    char profileTemplate[] = "/tmp/kelvarin-startup-XXXXXX";
    const std::string profile = ::mkdtemp(profileTemplate);
    std::string slave;
    int heldSlave = -1;
    const int master = OpenRawPty(slave, &heldSlave);
    const std::string self = std::filesystem::read_symlink("/proc/self/exe");

    std::vector<double> fromExec;
    std::vector<double> fromMain;
    std::vector<double> startUp;
    for (int run = 0; run < runs; ++run) {
        int pipeFds[2];
        if (::pipe2(pipeFds, O_CLOEXEC) != 0)
            return 1;
        const long long spawnedAt = Now();
        const pid_t pid =
            Spawn({self, "--child", "--port", "COM1=" + slave},
                  {"XDG_CONFIG_HOME=" + profile, "QT_QPA_PLATFORM=offscreen"}, pipeFds[1]);
        ::close(pipeFds[1]);
        char line[256] = {};
        const ssize_t got = pid > 0 ? ::read(pipeFds[0], line, sizeof line - 1) : -1;
        ::close(pipeFds[0]);
        int status = 1;
        if (pid > 0)
            ::waitpid(pid, &status, 0);
        long long mainAt = 0, paintAt = 0, startedAt = 0;
        if (got <= 0 || status != 0 ||
            std::sscanf(line, "%lld %lld %lld", &mainAt, &startedAt, &paintAt) != 3) {
            std::printf("start-up run %d failed\n", run + 1);
            return 1;
        }
        fromExec.push_back(Milliseconds(paintAt - spawnedAt));
        fromMain.push_back(Milliseconds(paintAt - mainAt));
        startUp.push_back(Milliseconds(startedAt - spawnedAt));
    }
    std::vector<double> logLine;
    for (int run = 0; run < runs; ++run)
        logLine.push_back(FirstLogLine(profile, slave));

    std::printf("start-up, offscreen, port open on a pseudo-terminal (%d runs each)\n", runs);
    Report("exec -> InitInstance returned", startUp);
    Report("exec -> first paint event", fromExec);
    Report("main -> first paint event", fromMain);
    Report("kelvarin: exec -> first log line", logLine);
    const double worst = Percentile(fromExec, 1.0);
    std::printf("  target: first paint < 300 ms after exec: %s\n",
                worst < 300 ? "met by every run" : "MISSED");
    ::close(master);
    ::close(heldSlave);
    std::filesystem::remove_all(profile);
    return 0;
}
