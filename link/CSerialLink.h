#pragma once

#include "link/CPortMapping.h"
#include "link/Telegram.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <deque>

class QThread;
class CPortReader;

// The one serial line of the program: at most one open port and its reader
// thread. Lives on the UI thread; received bytes reach it in arrival order. It
// says what happened through signals and leaves the wording to its users.
class CSerialLink : public QObject {
    Q_OBJECT
public:
    explicit CSerialLink(CPortMapping mapping, QObject* parent = nullptr);
    ~CSerialLink() override; // stops and joins the reader, then closes the port

    // Closes whatever is open, then opens portName ("COM1".."COM4" through the
    // mapping, or a name the mapping leads to a device) and starts its reader.
    bool OpenPort(const QString& portName);
    void ClosePort();
    bool IsOpen() const { return reader != nullptr; }

    void WriteTelegram(const Telegram& telegram);

    // While held, received bytes are not handed on: what has arrived waits here,
    // at most CPortReader::handOverLimit bytes, and the rest in the kernel and on
    // the line. Releasing hands on what waited, in order, before anything newer.
    void HoldReceived();
    void ReleaseReceived();
    // Bytes read from the port and not handed on yet.
    qint64 BytesInFlight() const;

signals:
    // unsentWrites: how many of the latest writes had not gone out yet when the
    // bytes were read, so that nothing read before a request is taken for its answer.
    void bytesReceived(const QByteArray& bytes, quint32 unsentWrites);
    void portOpened(const QString& portName, const QString& devicePath);
    void portFailed(const QString& portName, const QString& devicePath, const QString& reason);
    void portClosed(const QString& portName);
    // The device went away (an unplugged adapter): nothing more is read or
    // written until the port is opened again.
    void deviceLost(const QString& portName);
    // A break came on the line: nothing more is read until the port is opened again.
    void breakReceived(const QString& portName);

private:
    // Bytes as a reader read them: from which open, and how many writes, counted
    // over all opens, had gone out by then.
    struct Chunk {
        unsigned fromOpen;
        quint64 writesOut;
        QByteArray bytes;
    };
    void OnBytesRead(Chunk chunk);
    void HandOn(const Chunk& chunk);

    CPortMapping mapping;
    // Both exist exactly while a port is open; the reader runs on the thread.
    QThread* readerThread = nullptr;
    CPortReader* reader = nullptr;
    QString openPortName;
    // Counts opens, so that a late signal of an earlier reader is not taken for
    // news about the port open now.
    unsigned openCount = 0;
    bool holding = false;
    // Read while held.
    std::deque<Chunk> heldChunks;
    // Writes handed to a reader, over all opens; each reader counts its own from 0.
    quint64 writesHandedOver = 0;
};
