/* The least a program can do on the slave side of a pseudo-terminal: wait in
 * poll, read, and answer every 26 bytes received with 26 bytes. The turnaround
 * benchmark measures it beside Kelvarin as the floor that the line and the
 * kernel set. */
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <termios.h>
#include <unistd.h>

enum { telegramSize = 26 };

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: floor_responder SLAVE\n");
        return 2;
    }
    int fd = open(argv[1], O_RDWR | O_NOCTTY);
    if (fd < 0) {
        perror(argv[1]);
        return 1;
    }
    struct termios settings;
    tcgetattr(fd, &settings);
    cfmakeraw(&settings);
    tcsetattr(fd, TCSANOW, &settings);

    unsigned char buffer[4096];
    unsigned char reply[telegramSize];
    size_t pending = 0;
    for (int i = 0; i < telegramSize; ++i)
        reply[i] = '0';
    reply[0] = '~';
    struct pollfd watch = {fd, POLLIN, 0};
    for (;;) {
        if (poll(&watch, 1, -1) < 0)
            return 1;
        if (watch.revents & (POLLHUP | POLLERR))
            return 0;
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0)
            return 0;
        pending += (size_t)got;
        while (pending >= telegramSize) {
            pending -= telegramSize;
            if (write(fd, reply, telegramSize) != telegramSize)
                return 1;
        }
    }
}
