#pragma once

#include "base/ObjectBase.h"
#include "exchange/CExchange.h"
#include "exchange/ExchangeHost.h"
#include "exchange/ExchangeOperands.h"
#include "link/CPortMapping.h"
#include "link/CSerialLink.h"

#include <QObject>
#include <QString>
#include <QTimer>

// One exchange with the console for any front end: the serial link, the engine
// and the 50 ms timer that paces it. Front ends press its buttons with the
// operands they took at the click and listen to its signals, so requests,
// repeats, time-outs and log texts are the same whoever drives it. Every front end
// starts it the same way: create it, connect every listener, then open the port.
// Lives on the UI thread.
class CExchangeSession : public QObject, private CExchangeHost {
    Q_OBJECT
public:
    CExchangeSession(CObjectBase& objectBase, CPortMapping mapping, QObject* parent = nullptr);
    ~CExchangeSession() override; // the reader is joined before the engine goes

    // Closes whatever is open and opens portName ("COM1".."COM4" through the
    // mapping, or a name the mapping leads to a device); the log says how it went.
    bool OpenPort(const QString& portName);
    void ClosePort();
    // Closes the port as the port list's "OFF" does, and says so in the log.
    void TurnPortOff();

    // The six buttons; each is ignored unless the exchange is idle.
    void OnReadBase();
    void OnWriteBase();
    void OnReadNumber(const NumberOperands& operands);
    void OnWriteNumber(const NumberOperands& operands);
    void OnReadSetup();
    void OnWriteSetup(const SetupOperands& operands);
    // The operator's answer to overwriteAsked: true for OK.
    void AnswerOverwrite(bool overwrite);

    // Starts the 50 ms timer that calls ExchangeTick. Callers that count ticks
    // themselves (simulated time) leave it stopped and call ExchangeTick.
    void StartTimer();
    void ExchangeTick();

    // The trace of the line (--trace-file): written telegrams, received bytes, port
    // open and close; null for none. A port already open gets its open line now.
    void SetTrace(CLineTrace* lineTrace);

    bool IsIdle() const { return exchange.IsIdle(); }
    // The port open now, as portOpened named it; empty while none is.
    QString OpenPortName() const { return openPortName; }
    QString OpenDevicePath() const { return openPortName.isEmpty() ? QString() : openDevicePath; }
    const CExchange& Exchange() const { return exchange; }

signals:
    void logLine(const QString& line);
    // The progress bar stands at position of 0..maximum.
    void progressShown(int position, int maximum);
    void objectShown(const ObjectShown& object);
    void settingsShown(const SetupShown& settings);
    void overwriteAsked();
    // False when a button started an operation, true when it is over; finished
    // follows with how it ended.
    void idleChanged(bool idle);
    void finished(Outcome outcome);
    // Rows 10 * blockIndex + 1 .. + 10 of the device table have been filled.
    void blockStored(int blockIndex);
    void portOpened(const QString& portName, const QString& devicePath);
    void portClosed(const QString& portName);
    void portFailed(const QString& portName, const QString& devicePath, const QString& reason);
    void deviceLost(const QString& portName);
    // Why a port could not be opened, that it was, or that the device went away:
    // for a status bar or a terminal, never for the log.
    void statusMessage(const QString& text);

private:
    // CExchangeHost
    std::string TimeOfDay() override;
    void AppendLogLine(const std::string& line) override;
    void WriteTelegram(const Telegram& telegram) override;
    void ShowProgress(int position, int maximum) override;
    void ShowObject(const ObjectShown& object) override;
    void ShowSettings(const SetupShown& settings) override;
    void AskOverwrite() override;
    void BlockStored(int blockIndex) override;
    void OperationStarted() override;
    void OperationEnded(Outcome outcome) override;

    void OnBytesReceived(const QByteArray& bytes, quint32 unsentWrites);
    void AppendBareLine(const QString& line);
    void TracePortOpened();

    CExchange exchange;
    // After the engine, so that it goes first: the reader is joined while the
    // engine it feeds still exists.
    CSerialLink link;
    QTimer timer;
    CLineTrace* trace = nullptr;
    QString openPortName; // empty while no port is open
    QString openDevicePath;
};

// Why a port could not be opened, as the status bar and the command line say it:
// "COM1 (/dev/ttyUSB0) cannot be opened: ...", or for a device opened by its path
// "/dev/ttyUSB0 cannot be opened: ...".
QString PortFailureText(const QString& portName, const QString& devicePath, const QString& reason);
