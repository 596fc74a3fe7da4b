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
// and the 50 ms timer that paces it, and the choice of port. Front ends press its
// buttons with the operands they took at the click and listen to its signals, so
// requests, repeats, time-outs and log texts are the same whoever drives it.
// Lives on the UI thread.
class CExchangeSession : public QObject, private CExchangeHost {
    Q_OBJECT
public:
    enum class Outcome {
        Completed, // the operation's last reply was taken
        NoAnswer,  // given up: "Нет связи с ПЦН"
        Declined,  // the operator did not allow the overwrite
    };
    // Items of the window's port list: COM1..COM4, then "OFF"; the profile's
    // NumComPort holds the same numbers.
    static constexpr int offPortIndex = 4;

    CExchangeSession(CObjectBase& objectBase, CPortMapping mapping, QObject* parent = nullptr);
    ~CExchangeSession() override; // the reader is joined before the engine goes

    // The port of the profile (NumComPort), as the window opens it at start.
    void OpenStoredPort();
    // The operator picked an item of the port list; the choice is stored.
    void OnPortListChange(int index);
    // Opens a port for this run only, showing it in the list; the profile stays.
    void OpenPortForRun(const QString& portName);
    // Closes whatever is open and opens portName; the log says how it went.
    bool OpenPort(const QString& portName);
    void ClosePort();

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
    // The last statusMessage, for a front end that starts listening late.
    QString LastStatusMessage() const { return lastStatusMessage; }
    const CExchange& Exchange() const { return exchange; }

signals:
    void logLine(const QString& line);
    void progressRange(int minimum, int maximum);
    void progressPos(int position);
    void objectShown(const ObjectShown& object);
    void settingsShown(const SetupShown& settings);
    void overwriteAsked();
    void idleChanged(bool idle);
    void finished(CExchangeSession::Outcome outcome);
    // Rows 10 * blockIndex + 1 .. + 10 of the device table have been filled.
    void blockStored(int blockIndex);
    // What the window's port list is to show.
    void portSelectionShown(int index);
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
    void SetProgressRange(int minimum, int maximum) override;
    void SetProgressStep(int step) override;
    void SetProgressPos(int position) override;
    void StepProgress() override;
    void ShowObject(const ObjectShown& object) override;
    void ShowSettings(const SetupShown& settings) override;
    void AskOverwrite() override;

    void OnBytesReceived(const QByteArray& bytes, quint32 unsentWrites);
    void AppendBareLine(const QString& line);
    void TracePortOpened();
    // Runs one call into the engine, then says whether it went busy or idle; an
    // operation that ends here ends with endedAs.
    template <typename Call> void Run(Call call, Outcome endedAs);

    CExchange exchange;
    // After the engine, so that it goes first: the reader is joined while the
    // engine it feeds still exists.
    CSerialLink link;
    QTimer timer;
    int progressMinimum = 0;
    int progressMaximum = 100;
    int progressStep = 10;
    int progressPosition = 0;
    bool wasIdle = true;
    QString lastStatusMessage;
    CLineTrace* trace = nullptr;
    QString openPortName; // empty while no port is open
    QString openDevicePath;
};
