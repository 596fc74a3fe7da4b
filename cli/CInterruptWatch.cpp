#include "cli/CInterruptWatch.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

volatile int interruptWriteFd = -1;
struct sigaction formerAction {};

void OnSigint(int) {
    const char byte = 1;
    // Nothing to do if the pipe is full: one byte waiting is enough.
    [[maybe_unused]] const ssize_t written = write(interruptWriteFd, &byte, 1);
}

} // namespace

CInterruptWatch::CInterruptWatch(QObject* parent) : QObject(parent) {
    if (pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    interruptWriteFd = pipeFds[1];
    struct sigaction action {};
    action.sa_handler = OnSigint;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a read waiting for the operator's answer returns at once.
    action.sa_flags = 0;
    sigaction(SIGINT, &action, &formerAction);
    notifier = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &CInterruptWatch::OnReadable);
}

CInterruptWatch::~CInterruptWatch() {
    if (notifier)
        sigaction(SIGINT, &formerAction, nullptr);
    delete notifier; // before its descriptor closes
    interruptWriteFd = -1;
    for (int& fd : pipeFds) {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
}

void CInterruptWatch::OnReadable() {
    char bytes[16];
    while (read(pipeFds[0], bytes, sizeof bytes) > 0) {
    }
    emit interrupted();
}
