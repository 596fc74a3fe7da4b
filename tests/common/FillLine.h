#pragma once

#include <QByteArray>

#include <algorithm>
#include <functional>

#include <poll.h>
#include <unistd.h>

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
