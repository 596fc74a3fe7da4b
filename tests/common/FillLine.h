#pragma once

#include <QByteArray>

#include <algorithm>
#include <functional>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

// A bare pseudo-terminal: the test writes into its non-blocking master side as
// the far end of the line, the program opens slaveName. Closed when it goes.
struct CBarePty {
    int master = -1;
    int slave = -1;
    char slaveName[64] = {};

    CBarePty() {
        if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
            return;
        ::ptsname_r(master, slaveName, sizeof slaveName);
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    }
    ~CBarePty() {
        ::close(master);
        ::close(slave);
    }
    CBarePty(const CBarePty&) = delete;
    CBarePty& operator=(const CBarePty&) = delete;
    bool IsOpen() const { return master >= 0; }
};

// Writes noise (bytes that are neither "~" nor 0xFF) into the non-blocking
// master side of a pseudo-terminal until the line has taken nothing for 25 tries
// in a row, 20 ms apart, or `most` bytes went in; returns what went in.
// `meanwhile` runs between tries.
inline QByteArray FillLine(int master, qsizetype most,
                           const std::function<void()>& meanwhile = {}) {
    QByteArray sent;
    char chunk[4096];
    for (int refused = 0; sent.size() < most && refused < 25;) {
        for (std::size_t i = 0; i < sizeof chunk; ++i)
            chunk[i] = char((sent.size() + qsizetype(i)) % 125);
        pollfd line{master, POLLOUT, 0};
        const qsizetype size = std::min<qsizetype>(sizeof chunk, most - sent.size());
        const ssize_t written = ::poll(&line, 1, 20) > 0 ? ::write(master, chunk, size) : 0;
        if (written > 0) {
            refused = 0;
            sent.append(chunk, written);
        } else {
            ++refused;
            ::usleep(20000);
        }
        if (meanwhile)
            meanwhile();
    }
    return sent;
}
