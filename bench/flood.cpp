// The window under a flood from kelvarin-sim at full speed: how long a click
// waits for the window, how long File > Exit takes to end the program, the
// resident memory, and how often the log announced new lines to the
// accessibility bus, for a flood of noise and for two of damaged telegrams. The
// program runs in this process through its own start-up and exit; the flood
// comes from the real kelvarin-sim.
#include "BenchCommon.h"
#include "BenchProfile.h"

#include "app/CKelvarinApp.h"
#include "app/CMainFrame.h"
#include "panel/CKelvarinView.h"

#include <QAction>
#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>

#include <atomic>
#include <csignal>
#include <fstream>
#include <mutex>
#include <sstream>
#include <sys/wait.h>
#include <thread>

namespace {

constexpr auto clickEvery = std::chrono::milliseconds(250);

std::string ReadText(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// A "name: value" field of a /proc file, as a number (kB for memory, bytes for io).
long long ProcField(const std::string& path, const std::string& name) {
    std::istringstream lines(ReadText(path));
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind(name + ":", 0) == 0)
            return std::atoll(line.c_str() + name.size() + 1);
    return -1;
}

double MiB(long long kB) {
    return double(kB) / 1024;
}

void PostClick(QPushButton* button) {
    const QPointF centre = QRectF(button->rect()).center();
    const QPointF global = button->mapToGlobal(centre);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
        QCoreApplication::postEvent(
            button,
            new QMouseEvent(type, centre, global, Qt::LeftButton,
                            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                            Qt::NoModifier));
}

int Run(const char* kind, int seconds) {
    pid_t sim = -1;
    const std::string device = StartSim(KELVARIN_SIM_PATH, kind, sim);
    if (device.empty()) {
        std::fprintf(stderr, "kelvarin-sim did not start\n");
        return 1;
    }
    const std::string simIo = "/proc/" + std::to_string(sim) + "/io";

    CKelvarinApp app;
    int exitCode = 0;
    if (!app.InitInstance({"kelvarin", "--port", QString::fromStdString("COM1=" + device)},
                          exitCode))
        return 1;
    CMainFrame& frame = *app.MainFrame();
    QPushButton* readSetup = nullptr;
    for (QPushButton* button : frame.View().findChildren<QPushButton*>())
        if (button->text() == QLatin1String("Read Setup"))
            readSetup = button;
    QAction* exitAction = nullptr;
    for (QAction* action : frame.findChildren<QAction*>())
        if (action->text() == QLatin1String("E&xit"))
            exitAction = action;
    auto* log = frame.View().findChild<CLogList*>(QStringLiteral("log"));

    std::mutex mutex;
    std::vector<double> waits; // ms from a click's events posted to the button's clicked
    BenchClock::time_point posted{};
    QObject::connect(readSetup, &QPushButton::clicked, [&] {
        std::lock_guard<std::mutex> lock(mutex);
        waits.push_back(Microseconds(BenchClock::now() - posted) / 1000);
    });

    struct Sample {
        double at;
        long long rssKb;
        int lines;
    };
    std::vector<Sample> samples;
    std::atomic<int> lines{0};
    QObject::connect(log, &CLogList::lineAppended, [&](int index) { lines = index + 1; });
    long long announcements = 0;
    QObject::connect(log, &CLogList::linesAnnounced, [&] { ++announcements; });
    const long long simWrittenBefore = ProcField(simIo, "wchar");
    BenchClock::time_point exitPosted{};
    const BenchClock::time_point start = BenchClock::now();
    std::thread clicker([&] {
        for (auto next = start + clickEvery; next < start + std::chrono::seconds(seconds);
             next += clickEvery) {
            std::this_thread::sleep_until(next);
            {
                std::lock_guard<std::mutex> lock(mutex);
                posted = BenchClock::now();
            }
            PostClick(readSetup);
            samples.push_back({std::chrono::duration<double>(BenchClock::now() - start).count(),
                               ProcField("/proc/self/status", "VmRSS"), lines.load()});
        }
        exitPosted = BenchClock::now();
        QMetaObject::invokeMethod(exitAction, &QAction::trigger, Qt::QueuedConnection);
    });
    QApplication::exec();
    const qsizetype runs = log->Lines().Runs();
    const qsizetype texts = log->Lines().Texts();
    app.ExitInstance();
    const double exitMs = Microseconds(BenchClock::now() - exitPosted) / 1000;
    clicker.join();
    const long long simWritten = ProcField(simIo, "wchar") - simWrittenBefore;
    ::kill(sim, SIGTERM);
    ::waitpid(sim, nullptr, 0);

    long long peakKb = 0;
    for (const Sample& sample : samples)
        peakKb = std::max(peakKb, sample.rssKb);
    const Sample& first = samples.at(std::size_t(10 / 0.25) - 1);
    const Sample& last = samples.back();
    const double growth = (MiB(last.rssKb) - MiB(first.rssKb)) / (last.at - first.at);
    std::printf("flood of %s for %d s (kelvarin-sim --flood %s, the window offscreen)\n", kind,
                seconds, kind);
    std::printf("  line: %.1f MB from kelvarin-sim, %.1f MB/s\n", double(simWritten) / 1e6,
                double(simWritten) / 1e6 / seconds);
    std::printf("  log: %d lines, %.0f a second; kept as %lld runs of equal lines, %lld "
                "distinct texts\n",
                last.lines, last.lines / last.at, static_cast<long long>(runs),
                static_cast<long long>(texts));
    std::printf("  announced to the accessibility bus: %lld times, %.1f a second\n", announcements,
                double(announcements) / last.at);
    std::printf("  click -> clicked: %zu clicks, median %.1f ms, p99 %.1f ms, max %.1f ms "
                "(target < 200 ms: %s)\n",
                waits.size(), Percentile(waits, 0.5), Percentile(waits, 0.99),
                Percentile(waits, 1.0),
                !waits.empty() && Percentile(waits, 1.0) < 200 ? "met" : "MISSED");
    std::printf("  Exit -> program ended: %.1f ms (target < 1000 ms: %s)\n", exitMs,
                exitMs < 1000 ? "met" : "MISSED");
    std::printf("  VmRSS: %.1f MiB at 10 s, %.1f MiB at the end, peak %.1f MiB, %+.3f MiB/s "
                "after 10 s (target < 150 MiB: %s)\n",
                MiB(first.rssKb), MiB(last.rssKb), MiB(peakKb), growth,
                MiB(peakKb) < 150 ? "met" : "MISSED");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    CBenchProfile profile;
    QApplication qtApp(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    int failed = 0;
    for (const char* kind : {"noise", "telegrams", "mixed"})
        failed |= Run(kind, seconds);
    return failed;
}
