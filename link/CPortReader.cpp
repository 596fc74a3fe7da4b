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
    // With its buffer full Qt stops reading the device, which is how the reader
    // leaves bytes in the kernel while the UI thread is behind.
    port->Port().setReadBufferSize(readChunk);
    connect(&port->Port(), &QSerialPort::readyRead, this, &CPortReader::ReadWhatFits);
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

void CPortReader::BytesTaken(qint64 count) {
    // Only a reader that found no room may be waiting for this; for one that did
    // not, the extra turn finds nothing to do.
    if (inFlight.fetch_sub(count) >= handOverLimit)
        QMetaObject::invokeMethod(this, &CPortReader::ReadWhatFits, Qt::QueuedConnection);
}

void CPortReader::ReadWhatFits() {
    while (reading) {
        const qint64 room = handOverLimit - inFlight;
        const qint64 waiting = port->Port().bytesAvailable();
        if (room <= 0 || waiting == 0)
            return;
        // Reading everything also restarts Qt's reading from the device, which
        // stops while its buffer is full; a partial read leaves that for the
        // next turn.
        const QByteArray raw = waiting <= room ? port->Port().readAll() : port->Port().read(room);
        std::vector<uint8_t> data;
        data.reserve(static_cast<std::size_t>(raw.size()));
        const bool breakSeen = unescaper.Decode(reinterpret_cast<const uint8_t*>(raw.constData()),
                                                static_cast<std::size_t>(raw.size()), data);
        if (!data.empty()) {
            inFlight += qint64(data.size());
            emit bytesReceived(QByteArray(reinterpret_cast<const char*>(data.data()),
                                          static_cast<qsizetype>(data.size())),
                               writesDone);
        }
        if (breakSeen) {
            // Nothing more is taken from the line until the port is opened again.
            StopReading();
            // A full buffer makes Qt stop reading, so the thread sleeps from now on
            // instead of waking for bytes that are dropped.
            port->Port().setReadBufferSize(1);
            emit breakReceived();
        }
        if (waiting <= room)
            return;
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
