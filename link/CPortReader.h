#pragma once

#include "link/CComPort.h"
#include "link/RxUnescaper.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

// Lives on the reader thread and owns the port there, so the port's notifiers
// wake that thread and not the UI. Received bytes leave by queued signal in
// arrival order; nothing here ever waits for the UI thread.
class CPortReader : public QObject {
    Q_OBJECT
public:
    explicit CPortReader(CPortMapping mapping);
    ~CPortReader() override;

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
    void OnReadyRead();
    void OnError(QSerialPort::SerialPortError error);
    void StopReading();

    CPortMapping mapping;
    std::unique_ptr<CComPort> port; // made on the reader thread by Open
    CRxUnescaper unescaper;
    quint64 writesDone = 0;
    bool reading = false;
    bool lost = false;
};
