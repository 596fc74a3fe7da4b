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
    connect(worker, &CPortReader::bytesReceived, this, &CSerialLink::bytesReceived,
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

void CSerialLink::WriteTelegram(const Telegram& telegram) {
    if (!reader)
        return;
    CPortReader* target = reader;
    QMetaObject::invokeMethod(
        target, [target, telegram] { target->WriteTelegram(telegram); }, Qt::QueuedConnection);
}
