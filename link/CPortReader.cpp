#include "link/CPortReader.h"

#include <vector>

CPortReader::CPortReader(CPortMapping mapping) : mapping(std::move(mapping)) {}

CPortReader::~CPortReader() = default;

bool CPortReader::Open(const QString& portName) {
    port = std::make_unique<CComPort>(mapping);
    if (!port->Open(portName))
        return false;
    reading = true;
    lost = false;
    unescaper.Reset();
    connect(&port->Port(), &QSerialPort::readyRead, this, &CPortReader::OnReadyRead);
    connect(&port->Port(), &QSerialPort::errorOccurred, this, &CPortReader::OnError);
    return true;
}

void CPortReader::Close() {
    StopReading();
    if (port && lost)
        port->Abandon();
    port.reset(); // drains, sends the break and releases a live device
}

void CPortReader::WriteTelegram(const Telegram& telegram) {
    // After a loss the port is already released and requests go nowhere.
    if (port)
        port->WriteTelegram(telegram);
    ++writesDone;
}

QString CPortReader::DevicePath() const {
    return port ? port->DevicePath() : QString();
}

QString CPortReader::OpenError() const {
    return port ? port->OpenError() : QString();
}

void CPortReader::OnReadyRead() {
    if (!reading)
        return;
    const QByteArray raw = port->Port().readAll();
    std::vector<uint8_t> data;
    data.reserve(static_cast<std::size_t>(raw.size()));
    const bool breakSeen = unescaper.Decode(reinterpret_cast<const uint8_t*>(raw.constData()),
                                            static_cast<std::size_t>(raw.size()), data);
    if (!data.empty())
        emit bytesReceived(QByteArray(reinterpret_cast<const char*>(data.data()),
                                      static_cast<qsizetype>(data.size())),
                           writesDone);
    if (breakSeen) {
        // Nothing more is taken from the line until the port is opened again.
        StopReading();
        // A full buffer makes Qt stop reading, so the thread sleeps from now on
        // instead of waking for bytes that are dropped.
        port->Port().setReadBufferSize(1);
        emit breakReceived();
    }
}

void CPortReader::OnError(QSerialPort::SerialPortError error) {
    if (lost || (error != QSerialPort::ReadError && error != QSerialPort::ResourceError &&
                 error != QSerialPort::WriteError))
        return;
    // Qt goes on reporting the error for as long as the dead device is open, at
    // full speed. Release it, but on the next turn of the event loop: closing
    // inside Qt's own error signal is not safe.
    lost = true;
    StopReading();
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (port)
                port->Abandon();
        },
        Qt::QueuedConnection);
    emit deviceLost();
}

void CPortReader::StopReading() {
    reading = false;
    if (port)
        port->Port().disconnect(this);
}
