#pragma once

#include "link/CPortMapping.h"
#include "link/Telegram.h"

#include <QSerialPort>
#include <QString>

// The serial port to the console with the line settings it needs: 2400 baud,
// 8 data bits, no parity, one stop bit, no flow control, DTR and RTS inactive,
// held exclusively. Not thread-safe: create and use it on one thread (the reader
// thread), since the Qt port's notifiers belong to the thread that made it.
class CComPort {
public:
    explicit CComPort(CPortMapping mapping);
    ~CComPort(); // runs Close
    CComPort(const CComPort&) = delete;
    CComPort& operator=(const CComPort&) = delete;

    // Opens "COM1".."COM4" on the device the mapping gives. 1 on success, 0 when
    // the device is missing, not permitted or held by another program (see
    // OpenError).
    int Open(const QString& portName);
    // Lets queued output go out, puts the line into the break state briefly and
    // releases the device. Nothing when the port is closed.
    void Close();
    // Releases the device at once, without draining or a break: for a device
    // that has gone away.
    void Abandon();

    // Hands the 26 bytes to the system in one write at once, never waiting; what
    // the line cannot take yet Qt keeps and writes later. Ignored when the port
    // is closed.
    void WriteTelegram(const Telegram& telegram);

    bool IsOpen() const { return port.isOpen(); }
    QSerialPort& Port() { return port; }
    QString DevicePath() const { return devicePath; }
    QString OpenError() const { return openError; } // the system's reason for the last failed Open

private:
    bool MarkLineEvents();

    CPortMapping mapping;
    QSerialPort port;
    QString devicePath;
    QString openError;
};
