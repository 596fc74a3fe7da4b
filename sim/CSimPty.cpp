#include "sim/CSimPty.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

namespace {

// One character of 10 bits at 2400 baud.
constexpr auto characterTime = std::chrono::nanoseconds(10'000'000'000LL / 2400);
// A request whose bytes stop for this long is dropped, as the program does with
// replies.
constexpr auto requestGap = std::chrono::milliseconds(500);

void MakeRaw(termios& settings) {
    cfmakeraw(&settings);
    cfsetispeed(&settings, B2400);
    cfsetospeed(&settings, B2400);
    settings.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
    settings.c_cflag |= CLOCAL | CREAD | CS8;
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
}

std::string SystemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

} // namespace

CSimPty::CSimPty() : isPty(true) {
    termios settings{};
    MakeRaw(settings);
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, &settings, nullptr) != 0) {
        error = SystemError("openpty");
        return;
    }
    char* name = ::ptsname(master);
    slavePath = name ? name : "";
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    lineFd = master;
    heldSlaveFd = slave;
    wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

CSimPty::CSimPty(const std::string& devicePath) : slavePath(devicePath) {
    const int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = SystemError(devicePath);
        return;
    }
    termios settings{};
    ::tcgetattr(fd, &settings);
    MakeRaw(settings);
    if (::tcsetattr(fd, TCSANOW, &settings) != 0) {
        error = SystemError(devicePath);
        ::close(fd);
        return;
    }
    ::tcflush(fd, TCIOFLUSH);
    lineFd = fd;
    wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

CSimPty::~CSimPty() {
    Stop();
    for (int fd : {lineFd, heldSlaveFd, wakeFd})
        if (fd >= 0)
            ::close(fd);
}

void CSimPty::Start() {
    if (worker.joinable() || lineFd < 0)
        return;
    stopping = false;
    worker = std::thread([this] { Run(); });
}

void CSimPty::Stop() {
    if (!worker.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    Wake();
    worker.join();
}

void CSimPty::SetFaults(const SimFaults& faults) {
    std::lock_guard<std::mutex> lock(mutex);
    console.faults = faults;
}

std::vector<Telegram> CSimPty::Requests() {
    std::lock_guard<std::mutex> lock(mutex);
    return console.requests;
}

void CSimPty::Send(std::vector<uint8_t> bytes) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        output.push_back(Chunk{Clock::now(), std::move(bytes)});
    }
    Wake();
}

bool CSimPty::TakenByProgram() {
    std::lock_guard<std::mutex> lock(mutex);
    if (!output.empty() || heldSlaveFd < 0)
        return false;
    // Polling the program's side first hands over what is still on its way to it.
    pollfd slave{heldSlaveFd, POLLIN, 0};
    return ::poll(&slave, 1, 0) == 0;
}

void CSimPty::CloseLine() {
    Stop();
    for (int* fd : {&lineFd, &heldSlaveFd}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

bool CSimPty::SendBreak() {
    if (isPty || lineFd < 0)
        return false;
    return ::tcsendbreak(lineFd, 0) == 0;
}

void CSimPty::Wake() {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeFd, &one, sizeof one);
}

CSimPty::Clock::time_point CSimPty::NextDue() const {
    const bool paced = console.faults.paced;
    return paced ? std::max(output.front().due, lineFreeAt) : output.front().due;
}

bool CSimPty::WriteDue(Clock::time_point now) {
    std::lock_guard<std::mutex> lock(mutex);
    for (;;) {
        if (output.empty() && console.faults.flood != SimFlood::None)
            output.push_back(Chunk{now, console.FloodBytes()});
        if (output.empty() || NextDue() > now)
            break;
        Chunk& chunk = output.front();
        const bool paced = console.faults.paced;
        const std::size_t left = chunk.bytes.size() - chunk.sent;
        // A byte starts when it fell due, not when this thread woke for it: waking
        // a little late must not stretch the line; waking very late must not let
        // the line catch up faster than 2400 baud either.
        const Clock::time_point slot = NextDue();
        const ssize_t written = ::write(lineFd, chunk.bytes.data() + chunk.sent, paced ? 1 : left);
        if (written < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return false;
            output.clear(); // a dead line: what was to go out is lost, as on a cut cable
            return true;
        }
        chunk.sent += static_cast<std::size_t>(written);
        if (chunk.sent == chunk.bytes.size())
            output.pop_front();
        if (paced) {
            lineFreeAt = std::max(slot + characterTime, now);
            if (!output.empty() && NextDue() > now)
                break;
        }
    }
    return true;
}

void CSimPty::Run() {
    std::vector<uint8_t> buffer(4096);
    Clock::time_point lastInput{};
    int lineEvents = POLLIN;
    bool lineDead = false;
    for (;;) {
        Clock::time_point now = Clock::now();
        const bool lineTakesMore = WriteDue(now);

        Clock::time_point wakeAt = Clock::time_point::max();
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (stopping)
                return;
            if (!output.empty() && lineTakesMore)
                wakeAt = NextDue();
            if (console.HasPartialRequest())
                wakeAt = std::min(wakeAt, lastInput + requestGap);
        }
        lineEvents = lineTakesMore ? (lineEvents & ~POLLOUT) : (lineEvents | POLLOUT);

        pollfd fds[2] = {{lineDead ? -1 : lineFd, static_cast<short>(lineEvents), 0},
                         {wakeFd, POLLIN, 0}};
        timespec timeout{};
        timespec* timeoutPointer = nullptr;
        if (wakeAt != Clock::time_point::max()) {
            const auto wait = std::max(Clock::duration::zero(), wakeAt - now);
            const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(wait);
            timeout.tv_sec = static_cast<time_t>(nanoseconds.count() / 1000000000);
            timeout.tv_nsec = static_cast<long>(nanoseconds.count() % 1000000000);
            timeoutPointer = &timeout;
        }
        if (::ppoll(fds, 2, timeoutPointer, nullptr) < 0 && errno != EINTR)
            return;
        now = Clock::now();

        if (fds[1].revents & POLLIN) {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = ::read(wakeFd, &count, sizeof count);
        }
        if (fds[0].revents & POLLIN) {
            const ssize_t got = ::read(lineFd, buffer.data(), buffer.size());
            if (got > 0) {
                lastInput = now;
                std::lock_guard<std::mutex> lock(mutex);
                const std::size_t requestsBefore = console.requests.size();
                std::vector<uint8_t> reply =
                    console.Receive(buffer.data(), static_cast<std::size_t>(got));
                const SimFaults& faults = console.faults;
                const auto holdUp = static_cast<std::size_t>(faults.holdUpRequest);
                const bool heldUp = holdUp > requestsBefore && holdUp <= console.requests.size();
                // Replies leave in order, so those after a held-up one wait behind it.
                const int delayMs = heldUp ? faults.holdUpMs : faults.replyDelayMs;
                if (!reply.empty())
                    output.push_back(
                        Chunk{now + std::chrono::milliseconds(delayMs), std::move(reply)});
            } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
                lineDead = true;
            }
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            // The far end went away (a real device unplugged): stop watching the
            // line rather than wake for it again and again.
            lineDead = true;
        }
        if (now >= lastInput + requestGap) {
            std::lock_guard<std::mutex> lock(mutex);
            console.AbandonPartial();
        }
    }
}
