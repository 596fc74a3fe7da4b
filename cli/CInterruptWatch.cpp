#include "cli/CInterruptWatch.h"

#include <QSocketNotifier>

#include <array>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::array<int, 3> watchedSignals{SIGINT, SIGTERM, SIGHUP};

volatile int interruptWriteFd = -1;
volatile std::sig_atomic_t caughtSignal = 0;
std::array<struct sigaction, watchedSignals.size()> formerActions{};

void OnSignal(int signalNumber) {
    if (caughtSignal == 0)
        caughtSignal = signalNumber;
    const char byte = char(signalNumber);
    // Nothing to do if the pipe is full: one byte waiting is enough.
    [[maybe_unused]] const ssize_t written = write(interruptWriteFd, &byte, 1);
}

} // namespace

CInterruptWatch::CInterruptWatch(QObject* parent) : QObject(parent) {
    if (pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    interruptWriteFd = pipeFds[1];
    caughtSignal = 0;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a read waiting for the operator's answer returns at once.
    action.sa_flags = 0;
    for (std::size_t i = 0; i < watchedSignals.size(); ++i)
        sigaction(watchedSignals[i], &action, &formerActions[i]);
    notifier = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &CInterruptWatch::OnReadable);
}

CInterruptWatch::~CInterruptWatch() {
    if (notifier) {
        for (std::size_t i = 0; i < watchedSignals.size(); ++i)
            sigaction(watchedSignals[i], &formerActions[i], nullptr);
    }
    delete notifier; // before its descriptor closes
    interruptWriteFd = -1;
    for (int& fd : pipeFds) {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
}

int CInterruptWatch::CaughtSignal() {
    return caughtSignal;
}

void CInterruptWatch::OnReadable() {
    char bytes[16];
    int first = 0;
    ssize_t got = 0;
    while ((got = read(pipeFds[0], bytes, sizeof bytes)) > 0) {
        if (first == 0)
            first = bytes[0];
    }
    if (first != 0)
        emit interrupted(first);
}
