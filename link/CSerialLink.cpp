#include "link/CSerialLink.h"

#include "link/CPortReader.h"

#include <QThread>

namespace {

// Stops a reader's thread after it released its port there; the reader never
// waits for the UI thread, so this join cannot deadlock.
void StopReader(QThread* thread, CPortReader* reader) {
    QMetaObject::invokeMethod(
        reader, [reader] { reader->Close(); }, Qt::BlockingQueuedConnection);
    thread->quit();
    thread->wait();
    delete reader;
    delete thread;
}

} // namespace

CSerialLink::CSerialLink(CPortMapping mapping, QObject* parent)
    : QObject(parent), mapping(std::move(mapping)) {}

CSerialLink::~CSerialLink() {
    ClosePort();
}

bool CSerialLink::OpenPort(const QString& portName) {
    ClosePort();

    auto* thread = new QThread;
    thread->setObjectName(QStringLiteral("Reader ") + portName);
    auto* worker = new CPortReader(mapping);
    worker->moveToThread(thread);
    // Connected before the open, so the first bytes read cannot go unheard.
    const unsigned thisOpen = ++openCount;
    // A reader carries out every write handed to it before it closes, so the next
    // one starts counting where this one ends.
    const quint64 writesBefore = writesHandedOver;
    connect(
        worker, &CPortReader::bytesReceived, this,
        [this, thisOpen, writesBefore](const QByteArray& bytes, quint64 writesDone) {
            OnBytesRead({thisOpen, writesBefore + writesDone, bytes});
        },
        Qt::QueuedConnection);
    connect(
        worker, &CPortReader::deviceLost, this,
        [this, thisOpen, portName] {
            if (thisOpen == openCount)
                emit deviceLost(portName);
        },
        Qt::QueuedConnection);
    connect(
        worker, &CPortReader::breakReceived, this,
        [this, thisOpen, portName] {
            if (thisOpen == openCount)
                emit breakReceived(portName);
        },
        Qt::QueuedConnection);
    thread->start();

    bool opened = false;
    QString devicePath;
    QString error;
    QMetaObject::invokeMethod(
        worker,
        [&] {
            opened = worker->Open(portName);
            devicePath = worker->DevicePath();
            error = worker->OpenError();
        },
        Qt::BlockingQueuedConnection);

    if (!opened) {
        StopReader(thread, worker);
        emit portFailed(portName, devicePath, error);
        return false;
    }
    readerThread = thread;
    reader = worker;
    openPortName = portName;
    emit portOpened(portName, devicePath);
    return true;
}

void CSerialLink::ClosePort() {
    if (!reader)
        return;
    StopReader(readerThread, reader);
    readerThread = nullptr;
    reader = nullptr;
    emit portClosed(openPortName);
}

void CSerialLink::HoldReceived() {
    holding = true;
}

void CSerialLink::ReleaseReceived() {
    holding = false;
    // Whoever takes these may hold again, for instance when a reply among them
    // opens a new question.
    while (!holding && !heldChunks.empty()) {
        const Chunk chunk = std::move(heldChunks.front());
        heldChunks.pop_front();
        HandOn(chunk);
    }
}

qint64 CSerialLink::BytesInFlight() const {
    return reader ? reader->BytesInFlight() : 0;
}

void CSerialLink::OnBytesRead(Chunk chunk) {
    if (holding || !heldChunks.empty())
        heldChunks.push_back(std::move(chunk));
    else
        HandOn(chunk);
}

void CSerialLink::HandOn(const Chunk& chunk) {
    // Counted as the bytes are handed on, so that a write made while they were
    // held, such as the one after an overwrite question, counts as later than them.
    emit bytesReceived(chunk.bytes, quint32(writesHandedOver - chunk.writesOut));
    // Bytes of an earlier open still arrive in order, but its reader is gone and
    // counts nothing any more.
    if (chunk.fromOpen == openCount && reader)
        reader->BytesTaken(chunk.bytes.size());
}

void CSerialLink::WriteTelegram(const Telegram& telegram) {
    if (!reader)
        return;
    ++writesHandedOver;
    CPortReader* target = reader;
    QMetaObject::invokeMethod(
        target, [target, telegram] { target->WriteTelegram(telegram); }, Qt::QueuedConnection);
}
