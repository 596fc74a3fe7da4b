#pragma once

#include "front/SerialPortList.h"
#include "link/RxAssembler.h"
#include "link/RxUnescaper.h"

#include <QObject>
#include <QTimer>

#include <memory>
#include <vector>

class CComPort;

// Finds the console among serial devices: each one that can be opened is asked
// once for the console's settings ("Read Setup", as the window's button sends it)
// and counts as a console when a valid "U" telegram comes back within
// answerTimeMs. All are asked at once, so the whole probe takes that long at most.
// A device is held only while it is asked: released as soon as it answers, and
// the others when the time is up. Nothing more is written to a device than that
// one request; the break that tells a console the program lets go of the line
// goes only to a device that answered as one.
class CPortProbe : public QObject {
    Q_OBJECT
public:
    // A console that keeps its contract answers before the program repeats a
    // request (2 s).
    static constexpr int answerTimeMs = 2000;

    explicit CPortProbe(QObject* parent = nullptr);
    ~CPortProbe() override;

    // Opens and asks every entry's device; finished follows, never from inside
    // this call.
    void Start(QList<SerialPortEntry> entries);
    // The entries with their access and their probe result, once finished.
    const QList<SerialPortEntry>& Entries() const { return entries; }

signals:
    void finished();

private:
    struct Line {
        int entry; // index into entries
        std::unique_ptr<CComPort> port;
        CRxUnescaper unescaper;
        CRxAssembler assembler;
        bool breakSeen = false;
    };

    void OnReadyRead(Line& line);
    void EndLine(Line& line, bool answered);
    void EndAll();
    void FinishWhenDone();

    QList<SerialPortEntry> entries;
    std::vector<std::unique_ptr<Line>> lines; // one for each device being asked
    QTimer deadline;
    bool done = false;
};
