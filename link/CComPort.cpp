#include "link/CComPort.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

// Its debug lines are off unless asked for (QT_LOGGING_RULES="kelvarin.link.debug=true").
Q_LOGGING_CATEGORY(lcComPort, "kelvarin.link", QtInfoMsg)

namespace {

// Long enough that the console takes it for a break and not for a zero byte:
// several character times at 2400 baud (4.2 ms each).
constexpr auto breakHold = std::chrono::milliseconds(25);

// Why an open failed, in the words an engineer in the field can act on. Qt reports
// a device held through its lock file and a device the user may not open with the
// same PermissionError; only the device's own access rights tell them apart. path
// is the full path: Qt's portName() drops "/dev/", and a relative name would be
// looked up in the working folder. The effective ids are the ones open() used.
QString OpenErrorText(const QSerialPort& port, const QString& path) {
    switch (port.error()) {
    case QSerialPort::OpenError:
        return QStringLiteral("held by another program");
    case QSerialPort::PermissionError:
        if (::eaccess(QFile::encodeName(path).constData(), R_OK | W_OK) != 0 && errno == EACCES)
            return QStringLiteral("permission denied (the user is not in the dialout group?)");
        return QStringLiteral("held by another program");
    default:
        return port.errorString();
    }
}

} // namespace

CComPort::CComPort(CPortMapping mapping) : mapping(std::move(mapping)) {}

CComPort::~CComPort() {
    Close();
}

int CComPort::Open(const QString& portName) {
    Close();
    openError.clear();
    devicePath = mapping.DevicePath(portName);

    // Qt's lock file and TIOCEXCL guard the device's own name; opened through a
    // symlink the lock file would be another one, so open the real device.
    const QString realPath = QFileInfo(devicePath).canonicalFilePath();
    const QString openedPath = realPath.isEmpty() ? devicePath : realPath;
    port.setPortName(openedPath);
    port.setBaudRate(QSerialPort::Baud2400);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    if (!port.open(QIODevice::ReadWrite)) {
        openError = OpenErrorText(port, openedPath);
        return 0;
    }

    // TIOCEXCL does not stop root and is cleared by any close; a lock on the open
    // file keeps two programs off one line whoever runs them.
    if (::flock(port.handle(), LOCK_EX | LOCK_NB) != 0) {
        openError = errno == EWOULDBLOCK ? QStringLiteral("held by another program")
                                         : QString::fromLocal8Bit(std::strerror(errno));
        port.close();
        return 0;
    }

    // Pseudo-terminals and some adapters have no modem lines; the line works
    // without them, so this is nothing to warn an engineer about.
    if (!port.setDataTerminalReady(false) || !port.setRequestToSend(false))
        qCDebug(lcComPort) << "DTR/RTS cannot be set on" << devicePath << ":" << port.errorString();
    if (!MarkLineEvents())
        qCWarning(lcComPort) << "received breaks cannot be detected on" << devicePath;
    port.clear(QSerialPort::AllDirections);
    return 1;
}

// Qt reports a received break as a plain zero byte. With PARMRK the line
// discipline marks it (FF 00 00) and escapes a data 0xFF (FF FF); CRxUnescaper
// undoes that. Must follow every change of the line settings, which rewrite
// the termios flags.
bool CComPort::MarkLineEvents() {
    termios settings{};
    if (::tcgetattr(port.handle(), &settings) != 0)
        return false;
    settings.c_iflag &= ~(IGNBRK | BRKINT | ISTRIP);
    settings.c_iflag |= PARMRK;
    return ::tcsetattr(port.handle(), TCSANOW, &settings) == 0;
}

void CComPort::Close() {
    if (!port.isOpen())
        return;
    port.flush();
    ::tcdrain(port.handle());
    // The console is told that the program lets go of the line by a break.
    if (port.setBreakEnabled(true)) {
        std::this_thread::sleep_for(breakHold);
        // Not every driver clears the break when the device is released, and a
        // line left in break would look to the console like a cut cable.
        port.setBreakEnabled(false);
    }
    port.close();
}

void CComPort::Abandon() {
    if (port.isOpen())
        port.close();
}

void CComPort::WriteTelegram(const Telegram& telegram) {
    if (!port.isOpen())
        return;
    port.write(reinterpret_cast<const char*>(telegram.data()), telegram.size());
    // QSerialPort only buffers the bytes until its write notifier fires on a later
    // turn of this thread's event loop; flush writes what the line takes now
    // without waiting, and leaves any rest to the notifier.
    port.flush();
}
