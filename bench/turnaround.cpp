// Time from the last byte of a reply written on the master side of a
// pseudo-terminal to the first byte of the next request read there, over many
// "Read Base" blocks: first with Kelvarin's window on the slave side, then with
// floor_responder, a minimal poll/read/write loop in C, as the floor.
#include "BenchCommon.h"
#include "BenchProfile.h"
#include "common/WindowOnCom1.h"
#include "link/Telegram.h"
#include "panel/CKelvarinView.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <memory>
#include <sys/wait.h>
#include <thread>

namespace {

constexpr int baseReads = 20; // 59 turnarounds each
constexpr int pacedReads = 4; // as many rounds take 108 ms each for the reply alone
// 10 bits a byte at 2400 baud.
constexpr auto characterTime = std::chrono::nanoseconds(10'000'000'000LL / 2400);

// Puts a telegram on the line at once, or byte by byte at 2400 baud as a real
// line delivers it; returns when its last byte is written.
bool WriteTelegram(int fd, const Telegram& telegram, bool paced) {
    if (!paced)
        return ::write(fd, telegram.data(), telegram.size()) == ssize_t(telegram.size());
    BenchClock::time_point next = BenchClock::now();
    for (uint8_t byte : telegram) {
        std::this_thread::sleep_until(next);
        if (::write(fd, &byte, 1) != 1)
            return false;
        next += characterTime;
    }
    return true;
}

// Plays the console: answers every R with its block's B reply and measures the
// program's turnaround from one block to the next.
void ServeReads(int master, bool paced, std::vector<double>& samples, std::atomic<bool>& done) {
    Telegram request{};
    BenchClock::time_point replied{};
    int lastBlock = -1;
    while (!done) {
        BenchClock::time_point first{};
        if (!ReadExactly(master, request.data(), request.size(), &first))
            return;
        if (lastBlock >= 0 && lastBlock < 59 && request[2] == lastBlock + 1)
            samples.push_back(Microseconds(first - replied));
        Telegram reply = BlankTelegram('B');
        reply[2] = request[2];
        for (int i = 0; i < 20; ++i)
            reply[3 + i] = uint8_t(request[2] + i);
        FrameTelegram(reply);
        if (!WriteTelegram(master, reply, paced))
            return;
        replied = BenchClock::now();
        lastBlock = request[2];
    }
}

std::vector<double> MeasureProgram(int baseReads, bool paced) {
    std::string slave;
    int heldSlave = -1;
    const int master = OpenRawPty(slave, &heldSlave);
    std::vector<double> samples;
    std::atomic<bool> done{false};
    std::thread console(ServeReads, master, paced, std::ref(samples), std::ref(done));

    CWindowOnCom1 window(QString::fromStdString(slave));
    std::unique_ptr<CMainFrame>& frame = window.frame;
    QPushButton* readBase = nullptr;
    for (QPushButton* button : frame->View().findChildren<QPushButton*>())
        if (button->text() == "Read Base")
            readBase = button;

    int reads = 0;
    QObject::connect(&frame->View().Session(), &CExchangeSession::idleChanged, [&](bool idle) {
        if (!idle)
            return;
        if (++reads == baseReads)
            QApplication::quit();
        else
            QTimer::singleShot(0, readBase, &QPushButton::click);
    });
    QTimer::singleShot(0, readBase, &QPushButton::click);
    QApplication::exec();

    done = true;
    frame.reset();
    ::close(heldSlave); // with the program's side closed too, the console's read ends
    console.join();
    return samples;
}

std::vector<double> MeasureFloor(const char* responder, std::size_t count, bool paced) {
    std::string slave;
    int heldSlave = -1;
    const int master = OpenRawPty(slave, &heldSlave);
    std::vector<double> samples;
    const pid_t child = Spawn({responder, slave}, {});
    if (child < 0) {
        std::perror(responder);
        return samples;
    }
    Telegram telegram = BlankTelegram('B');
    FrameTelegram(telegram);
    Telegram answer{};
    // The first round waits for the responder to open its side.
    for (std::size_t i = 0; i <= count; ++i) {
        if (!WriteTelegram(master, telegram, paced))
            break;
        const BenchClock::time_point written = BenchClock::now();
        BenchClock::time_point first{};
        if (!ReadExactly(master, answer.data(), answer.size(), &first))
            break;
        if (i > 0)
            samples.push_back(Microseconds(first - written));
    }
    ::close(master);
    ::close(heldSlave);
    waitpid(child, nullptr, 0);
    return samples;
}

void Report(const char* what, const std::vector<double>& samples) {
    std::printf("%-16s samples %5zu  median %7.1f us  p99 %7.1f us  max %8.1f us\n", what,
                samples.size(), Percentile(samples, 0.5), Percentile(samples, 0.99),
                Percentile(samples, 1.0));
}

} // namespace

int main(int argc, char** argv) {
    CBenchProfile profile;
    QApplication app(argc, argv);
    const std::string responder =
        QApplication::applicationDirPath().toStdString() + "/floor_responder";

    const std::vector<double> program = MeasureProgram(baseReads, false);
    const std::vector<double> floor = MeasureFloor(responder.c_str(), program.size(), false);
    // Between a request and the end of its reply the line keeps both sides
    // waiting: threads and processor go idle, as they do on a real line.
    const std::vector<double> programPaced = MeasureProgram(pacedReads, true);
    const std::vector<double> floorPaced =
        MeasureFloor(responder.c_str(), programPaced.size(), true);
    std::printf("turnaround (last reply byte written -> first request byte read)\n");
    std::printf("reply written at once:\n");
    Report("kelvarin", program);
    Report("floor_responder", floor);
    std::printf("reply written byte by byte at 2400 baud:\n");
    Report("kelvarin", programPaced);
    Report("floor_responder", floorPaced);
    const double p99 = Percentile(program, 0.99);
    const double floorP99 = Percentile(floor, 0.99);
    std::printf("at once: p99 %.1f us: target < 1000 us %s; %.2f x floor p99, target < 2 %s\n", p99,
                p99 < 1000 ? "met" : "MISSED", floorP99 > 0 ? p99 / floorP99 : 0,
                p99 < 2 * floorP99 ? "met" : "MISSED");
    return program.empty() || floor.empty() || programPaced.empty() || floorPaced.empty() ? 1 : 0;
}
