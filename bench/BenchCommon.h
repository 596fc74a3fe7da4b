#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using BenchClock = std::chrono::steady_clock;

inline double Microseconds(BenchClock::duration duration) {
    return std::chrono::duration<double, std::micro>(duration).count();
}

// The value below which the given share of samples lies (nearest rank).
inline double Percentile(std::vector<double> samples, double share) {
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const std::size_t rank = std::min(samples.size() - 1, std::size_t(share * samples.size()));
    return samples[rank];
}

// A raw pseudo-terminal; the master stays with the caller, the slave is opened by
// path by whoever plays the program. *heldSlave keeps the slave open meanwhile: a
// master without any slave reads as an error.
inline int OpenRawPty(std::string& slavePath, int* heldSlave) {
    termios settings{};
    cfmakeraw(&settings);
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, &settings, nullptr) != 0)
        return -1;
    slavePath = ::ptsname(master);
    // A child that inherited the master would keep the line up after we close it.
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    *heldSlave = slave;
    return master;
}

// Reads exactly `count` bytes; the time the first one arrived goes to *first.
inline bool ReadExactly(int fd, unsigned char* bytes, std::size_t count,
                        BenchClock::time_point* first = nullptr) {
    std::size_t got = 0;
    while (got < count) {
        const ssize_t n = ::read(fd, bytes + got, count - got);
        if (n <= 0)
            return false;
        if (got == 0 && first)
            *first = BenchClock::now();
        got += std::size_t(n);
    }
    return true;
}
