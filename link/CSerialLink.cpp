#include "link/CSerialLink.h"

#include "link/CPortReader.h"

#include <QComboBox>
#include <QSettings>
#include <QThread>

namespace {

constexpr int offItem = 4; // "OFF" in the port list, and NumComPort's "no port"

QString PortName(int index) {
    return QStringLiteral("COM%1").arg(index + 1);
}

QSettings Profile() {
    return QSettings(QStringLiteral("Merovane_Kelvar_VX-418K"), QStringLiteral("Kelvarin"));
}

const QString numComPortKey = QStringLiteral("Merovane_Kelvar_VX-418K/NumComPort");

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

CSerialLink::CSerialLink(QComboBox& portList, LogFunction appendLogLine, CPortMapping mapping,
                         QObject* parent)
    : QObject(parent), portList(portList), appendLogLine(std::move(appendLogLine)),
      mapping(std::move(mapping)) {}

CSerialLink::~CSerialLink() {
    ClosePort();
}

void CSerialLink::OpenPort(const QString& portName) {
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
                emit statusMessage(
                    tr("%1: the device was lost; pick the port again to reconnect").arg(portName));
        },
        Qt::QueuedConnection);
    connect(
        worker, &CPortReader::breakReceived, this,
        [this, thisOpen, portName] {
            if (thisOpen == openCount)
                emit statusMessage(
                    tr("%1: break received; nothing more is read until the port is picked again")
                        .arg(portName));
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
        appendLogLine(
            QStringLiteral("Порт %1 занят другим приложением или отсутствует").arg(portName));
        portList.setCurrentIndex(offItem);
        emit statusMessage(tr("%1 (%2) cannot be opened: %3").arg(portName, devicePath, error));
        return;
    }
    readerThread = thread;
    reader = worker;
    appendLogLine(QStringLiteral("Подключен порт %1").arg(portName));
    emit statusMessage(tr("%1 connected (%2)").arg(portName, devicePath));
    emit portChanged();
}

void CSerialLink::ClosePort() {
    if (!reader)
        return;
    StopReader(readerThread, reader);
    readerThread = nullptr;
    reader = nullptr;
    emit portChanged();
}

void CSerialLink::OpenStoredPort() {
    const int stored = Profile().value(numComPortKey, 0).toInt();
    if (stored == offItem) {
        ClosePort();
        portList.setCurrentIndex(offItem);
        appendLogLine(QStringLiteral("Все порты закрыты"));
        return;
    }
    // Anything unknown falls back to COM1 but stays stored as it was.
    const int item = stored >= 0 && stored < offItem ? stored : 0;
    OpenPort(PortName(item));
    // Even after a failed open the list shows the stored port at start-up.
    portList.setCurrentIndex(item);
}

void CSerialLink::OnPortListChange() {
    const int index = portList.currentIndex();
    if (index < 0 || index > offItem)
        return;
    if (index == offItem) {
        ClosePort();
        appendLogLine(QStringLiteral("Все порты закрыты"));
    } else {
        OpenPort(PortName(index));
    }
    // Stored whatever the outcome, so that the next start tries the same port.
    Profile().setValue(numComPortKey, index);
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
