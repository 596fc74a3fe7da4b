// "Read Base" with the real window (offscreen) against the simulated console on
// a pseudo-terminal, timed from the click to the closing log line, and compared
// with what the line itself allows at 2400 baud.
#include "BenchCommon.h"
#include "BenchProfile.h"
#include "common/WindowOnCom1.h"
#include "panel/CKelvarinView.h"
#include "sim/CSimPty.h"

#include <QApplication>
#include <QEventLoop>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <deque>
#include <memory>
#include <mutex>
#include <numeric>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>

namespace {

// 10 bits a byte (start, 8 data, stop) at 2400 baud.
constexpr auto characterTime = std::chrono::nanoseconds(10'000'000'000LL / 2400);
constexpr std::size_t telegramSize = 26;
constexpr int telegramsPerRead = 120; // 60 requests, 60 replies
constexpr double firstTick = 0.050;   // the request goes out on the next exchange tick
const QString closingLine = QStringLiteral("База объектов прочитана из ПЦН, принято 600 объектов");

// Stands between the program and the console as the line would. With `pace`,
// each byte arrives one character time after it was sent or after the byte
// before it in the same direction, on an ideal schedule, so late wake-ups here
// do not add up. Either way it notes how long the program keeps the line idle:
// from a reply's last byte to the next request's first one.
class CLine {
public:
    CLine(const std::string& consoleSide, bool pace) : pace(pace) {
        master = OpenRawPty(slavePath, &heldSlave);
        console = ::open(consoleSide.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        wake = ::eventfd(0, EFD_CLOEXEC);
        worker = std::thread([this] { Run(); });
    }
    ~CLine() {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wake, &one, sizeof one);
        worker.join();
        for (int fd : {master, heldSlave, console, wake})
            ::close(fd);
    }
    const std::string& SlavePath() const { return slavePath; }

    // Call while the line is quiet.
    void ResetCounts() {
        std::lock_guard<std::mutex> lock(mutex);
        firstRequestAt = {};
        turnarounds.clear();
    }
    BenchClock::time_point FirstRequestAt() {
        std::lock_guard<std::mutex> lock(mutex);
        return firstRequestAt;
    }
    // Microseconds from each reply's last byte to the next request's first.
    std::vector<double> Turnarounds() {
        std::lock_guard<std::mutex> lock(mutex);
        return turnarounds;
    }

private:
    struct Direction {
        int from;
        int to;
        std::deque<std::pair<BenchClock::time_point, unsigned char>> due;
        BenchClock::time_point freeAt{};
    };

    void Run() {
        Direction requests{master, console, {}, {}};
        Direction replies{console, master, {}, {}};
        std::size_t replyBytes = 0;
        std::size_t requestBytes = 0;
        BenchClock::time_point replyEnd{};
        unsigned char buffer[4096];
        for (;;) {
            BenchClock::time_point now = BenchClock::now();
            for (Direction* direction : {&requests, &replies}) {
                while (!direction->due.empty() && direction->due.front().first <= now) {
                    if (::write(direction->to, &direction->due.front().second, 1) != 1)
                        return;
                    direction->due.pop_front();
                    if (direction == &replies && ++replyBytes % telegramSize == 0)
                        replyEnd = BenchClock::now();
                }
            }
            BenchClock::time_point next = BenchClock::time_point::max();
            for (Direction* direction : {&requests, &replies})
                if (!direction->due.empty())
                    next = std::min(next, direction->due.front().first);
            timespec timeout{};
            if (next != BenchClock::time_point::max()) {
                const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(next - now);
                timeout.tv_sec = time_t(wait.count() / 1'000'000'000);
                timeout.tv_nsec = long(wait.count() % 1'000'000'000);
            }
            pollfd fds[3] = {{master, POLLIN, 0}, {console, POLLIN, 0}, {wake, POLLIN, 0}};
            if (::ppoll(fds, 3, next == BenchClock::time_point::max() ? nullptr : &timeout,
                        nullptr) < 0 ||
                fds[2].revents)
                return;
            now = BenchClock::now();
            for (int side = 0; side < 2; ++side) {
                if (!(fds[side].revents & POLLIN))
                    continue;
                Direction& direction = side == 0 ? requests : replies;
                const ssize_t got = ::read(direction.from, buffer, sizeof buffer);
                if (got > 0 && side == 0 && requestBytes % telegramSize == 0) {
                    std::lock_guard<std::mutex> lock(mutex);
                    if (firstRequestAt == BenchClock::time_point{})
                        firstRequestAt = now;
                    else if (replyEnd != BenchClock::time_point{})
                        turnarounds.push_back(Microseconds(now - replyEnd));
                    replyEnd = {};
                }
                if (got > 0 && side == 0)
                    requestBytes += std::size_t(got);
                for (ssize_t i = 0; i < got; ++i) {
                    direction.freeAt = pace ? std::max(direction.freeAt, now) + characterTime : now;
                    direction.due.emplace_back(direction.freeAt, buffer[i]);
                }
            }
        }
    }

    const bool pace;
    std::string slavePath;
    int master = -1;
    int heldSlave = -1;
    int console = -1;
    int wake = -1;
    std::thread worker;
    std::mutex mutex;
    BenchClock::time_point firstRequestAt{};
    std::vector<double> turnarounds;
};

double Seconds(BenchClock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

struct ReadTiming {
    double total = -1;              // click to the closing log line; -1: it never came
    double firstTick = 0;           // click to the first request on the line
    std::vector<double> turnaround; // µs from a reply's last byte to the next request
};

// Clicks "Read Base" `runs` times on a window whose COM1 is `device`: the console
// itself, or `line` in between when that is given.
std::vector<ReadTiming> TimeReads(const std::string& device, CLine* line, int runs) {
    CWindowOnCom1 window(QString::fromStdString(device));
    CMainFrame& frame = *window.frame;
    QPushButton* readBase = nullptr;
    for (QPushButton* button : frame.View().findChildren<QPushButton*>())
        if (button->text() == "Read Base")
            readBase = button;
    auto* log = frame.findChild<CLogList*>("log");

    std::vector<ReadTiming> timings;
    for (int run = 0; run < runs; ++run) {
        QEventLoop loop;
        BenchClock::time_point clicked{};
        ReadTiming timing;
        QObject::connect(log, &CLogList::lineAppended, &loop, [&](int index) {
            if (!log->Line(index).endsWith(closingLine))
                return;
            timing.total = Seconds(BenchClock::now() - clicked);
            loop.quit();
        });
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        // Clicked from the event loop, as the operator's click would be.
        QTimer::singleShot(0, &loop, [&] {
            if (line)
                line->ResetCounts();
            clicked = BenchClock::now();
            readBase->click();
        });
        loop.exec();
        if (line) {
            timing.firstTick = Seconds(line->FirstRequestAt() - clicked);
            timing.turnaround = line->Turnarounds();
        }
        timings.push_back(timing);
        // The exchange goes idle on the same turn; the next click must not come
        // before that.
        QEventLoop settle;
        QTimer::singleShot(100, &settle, &QEventLoop::quit);
        settle.exec();
    }
    return timings;
}

// limit 0: nothing to compare with. listen: what the program listens after the last
// block, for an answer still owed, before it writes the closing line.
void Report(const char* what, const std::vector<ReadTiming>& timings, double limit,
            double listen = 0) {
    const double target = limit * 1.005 + firstTick + listen;
    std::printf("%s\n", what);
    if (limit > 0)
        std::printf("  line limit %.3f s, target < %.3f s (limit + 0.5%% + first tick + "
                    "%.0f ms listening)\n",
                    limit, target, 1000 * listen);
    std::vector<double> totals;
    std::vector<double> turnarounds;
    bool met = true;
    for (const ReadTiming& timing : timings) {
        if (timing.total < 0)
            std::printf("  run FAILED (no closing line within 60 s)\n");
        else if (timing.firstTick == 0)
            std::printf("  run %.3f s\n", timing.total);
        else
            std::printf("  run %.3f s: first tick %.1f ms, reply -> request %.1f ms in all\n",
                        timing.total, 1000 * timing.firstTick,
                        std::accumulate(timing.turnaround.begin(), timing.turnaround.end(), 0.0) /
                            1000);
        turnarounds.insert(turnarounds.end(), timing.turnaround.begin(), timing.turnaround.end());
        totals.push_back(timing.total);
        met = met && timing.total >= 0 && timing.total < target;
    }
    std::printf("  median %.3f s, max %.3f s", Percentile(totals, 0.5), Percentile(totals, 1.0));
    if (limit > 0)
        std::printf(": target %s", met ? "met by every run" : "MISSED");
    std::printf("\n");
    if (!turnarounds.empty())
        std::printf("  reply -> request on this line: median %.0f us, p99 %.0f us (%zu)\n",
                    Percentile(turnarounds, 0.5), Percentile(turnarounds, 0.99),
                    turnarounds.size());
}

SimFaults Paced(int blockByte2 = -1) {
    SimFaults faults;
    faults.paced = true;
    faults.blockByte2 = blockByte2;
    return faults;
}

// A console that does not echo the block in byte 2 leaves the program nothing to
// tell a shifted read by but an answer still owed after the last block: it listens
// 5 ticks for it, from the tick after that block's answer.
constexpr double listenAfterLastBlock = 0.300;

} // namespace

int main(int argc, char** argv) {
    CBenchProfile profile;
    QApplication app(argc, argv);
    const double telegramLine = 26 * 10 / 2400.0;

    std::printf("Read Base: click -> \"%s\"\n", qUtf8Printable(closingLine));
    {
        CSimPty sim;
        sim.Start();
        Report("no pacing (bytes cross at once)", TimeReads(sim.SlavePath(), nullptr, 10), 0);
    }
    {
        CSimPty sim;
        sim.SetFaults(Paced());
        sim.Start();
        CLine line(sim.SlavePath(), false);
        Report("the console's own pacing (replies only; requests cross at once): half the "
               "line's limit",
               TimeReads(line.SlavePath(), &line, 3), telegramsPerRead / 2 * telegramLine);
    }
    {
        CSimPty sim;
        sim.SetFaults(Paced(0));
        sim.Start();
        CLine line(sim.SlavePath(), false);
        Report("the console's own pacing, a constant 0 in byte 2 of its replies",
               TimeReads(line.SlavePath(), &line, 3), telegramsPerRead / 2 * telegramLine,
               listenAfterLastBlock);
    }
    {
        CSimPty sim;
        sim.Start();
        CLine line(sim.SlavePath(), true);
        Report("requests and replies paced at 2400 baud by the line between",
               TimeReads(line.SlavePath(), &line, 5), telegramsPerRead * telegramLine);
    }
    return 0;
}
