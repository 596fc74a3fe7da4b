#pragma once

#include "link/CPortMapping.h"
#include "link/Telegram.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <utility>

class QComboBox;
class QThread;
class CPortReader;

// The one serial line of the program: the port, its reader thread and the choice
// of port (stored in the profile as NumComPort, shown in the view's port list).
// Lives on the UI thread; received bytes reach the UI thread in arrival order.
class CSerialLink : public QObject {
    Q_OBJECT
public:
    using LogFunction = std::function<void(const QString& line)>;

    CSerialLink(QComboBox& portList, LogFunction appendLogLine, CPortMapping mapping,
                QObject* parent = nullptr);
    ~CSerialLink() override; // stops and joins the reader, then closes the port

    void OpenPort(const QString& portName);
    void ClosePort();
    void OpenStoredPort();
    void OnPortListChange(); // the operator picked an item in the port list

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
    // A port was opened or closed: whatever is on the line now may be another console.
    void portChanged();
    // Why a port could not be opened, or that the device went away: for the
    // status bar and standard error, never for the log.
    void statusMessage(const QString& text);

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

    QComboBox& portList;
    LogFunction appendLogLine;
    CPortMapping mapping;
    // Both exist exactly while a port is open; the reader runs on the thread.
    QThread* readerThread = nullptr;
    CPortReader* reader = nullptr;
    // Counts opens, so that a late signal of an earlier reader is not taken for
    // news about the port open now.
    unsigned openCount = 0;
    bool holding = false;
    // Read while held.
    std::deque<Chunk> heldChunks;
    // Writes handed to a reader, over all opens; each reader counts its own from 0.
    quint64 writesHandedOver = 0;
};
