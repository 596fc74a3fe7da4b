#pragma once

#include "link/CComPort.h"
#include "link/RxUnescaper.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

// Lives on the reader thread and owns the port there, so the port's notifiers
// wake that thread and not the UI. Received bytes leave by queued signal in
// arrival order; nothing here ever waits for the UI thread. What the UI thread
// has not taken yet is bounded: past handOverLimit the reader stops reading, and
// the kernel's buffer and the line hold the rest until BytesTaken.
class CPortReader : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 handOverLimit = 64 * 1024;
    // Qt's own buffer between the device and the reader, and so the largest chunk.
    static constexpr qint64 readChunk = 4096;

    explicit CPortReader(CPortMapping mapping);
    ~CPortReader() override;

    // Any thread: the receiver of bytesReceived has taken `count` bytes of it.
    void BytesTaken(qint64 count);
    // Any thread: bytes handed over and not taken yet, never above handOverLimit.
    qint64 BytesInFlight() const { return inFlight; }

    // All of these run on the reader thread.
    bool Open(const QString& portName);
    void Close();
    void WriteTelegram(const Telegram& telegram);
    QString DevicePath() const;
    QString OpenError() const;

signals:
    // writesDone: the writes this reader had carried out when it read the bytes.
    void bytesReceived(const QByteArray& bytes, quint64 writesDone);
    void breakReceived();
    void deviceLost();

private:
    void ReadWhatFits();
    void OnError(QSerialPort::SerialPortError error);
    void StopReading();

    CPortMapping mapping;
    std::unique_ptr<CComPort> port; // made on the reader thread by Open
    CRxUnescaper unescaper;
    quint64 writesDone = 0;
    bool reading = false;
    bool lost = false;
    std::atomic<qint64> inFlight{0};
};
