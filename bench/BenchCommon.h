#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <fcntl.h>
#include <pty.h>
#include <spawn.h>
#include <termios.h>
#include <unistd.h>

extern char** environ;

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

// Starts `arguments` (the program first) with this process's environment, in
// which `overrides` ("NAME=value") win; its standard output goes to `output`
// when that is not -1. Returns the child's id, or -1.
inline pid_t Spawn(const std::vector<std::string>& arguments,
                   const std::vector<std::string>& overrides, int output = -1) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    // getenv takes the first of two same names.
    std::vector<char*> envp;
    for (const std::string& variable : overrides)
        envp.push_back(const_cast<char*>(variable.c_str()));
    for (char** variable = environ; *variable; ++variable)
        envp.push_back(*variable);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (output >= 0)
        posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    pid_t child = -1;
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        child = -1;
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

// Starts kelvarin-sim (at simPath) with a flood of that kind and returns the
// pseudo-terminal it prints.
inline std::string StartSim(const char* simPath, const char* kind, pid_t& pid) {
    int out[2];
    if (::pipe(out) != 0)
        return {};
    pid = Spawn({simPath, "--flood", kind}, {}, out[1]);
    ::close(out[1]);
    std::string text;
    char byte;
    while (text.find('\n') == std::string::npos && ::read(out[0], &byte, 1) == 1)
        text += byte;
    ::close(out[0]); // its later lines go nowhere; it writes none while it floods
    const std::string prefix = "Simulated VX-418K console on ";
    return text.rfind(prefix, 0) == 0 ? text.substr(prefix.size(), text.size() - prefix.size() - 1)
                                      : std::string();
}
