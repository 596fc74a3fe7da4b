#pragma once

#include "base/ObjectBase.h"
#include "cli/CliOptions.h"
#include "cli/ConsoleCommand.h"
#include "cli/ResultText.h"
#include "exchange/CExchangeSession.h"
#include "front/PortChoice.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class CLogFile;

// The terminal kelvarin-cli runs on.
struct CliTerminal {
    // False when standard output did not take the text.
    std::function<bool(const QString& text)> writeOut;
    std::function<void(const QString& text)> writeErr;
    bool hasTerminal = false;     // a controlling terminal to ask on, whatever stdin and stderr are
    bool errorIsTerminal = false; // the progress bar is shown only then
    // Asks a y/N question on the terminal; true for yes, nothing when a stopping
    // signal came instead of an answer (the watch reports it).
    std::function<std::optional<bool>(const QString& question)> askYesNo;
};

// Runs one prepared console command on the exchange session, as a front end of
// its own beside the window's panel: it asks for the port and the operation
// through its signals, and takes the session's signals in its On... functions.
// The session does the exchange; this decides what the command prints, what it
// saves, what it answers to the overwrite question and how the program ends.
class CCliRunner : public QObject {
    Q_OBJECT
public:
    CCliRunner(const CliOptions& options, const PortChoice& port, CObjectBase& objectBase,
               CliTerminal terminal, CLogFile* logFile, QObject* parent = nullptr);

    // Opens the port; the command starts when the session reports it open.
    void Start();
    int ExitCode() const { return exitCode; }

    // The session's signals.
    void OnLogLine(const QString& line);
    void OnProgressShown(int position, int maximum);
    void OnObjectShown(const ObjectShown& object);
    void OnSettingsShown(const SetupShown& settings);
    void OnOverwriteAsked();
    void OnFinished(Outcome outcome);
    void OnPortOpened(const QString& portName, const QString& devicePath);
    void OnPortFailed(const QString& portName, const QString& devicePath, const QString& reason);
    void OnDeviceLost(const QString& portName);
    // Ctrl+C, SIGTERM, SIGHUP: stop at once, close the port, save nothing, and end
    // with 128 + signalNumber.
    void OnInterrupted(int signalNumber);

signals:
    // To the session.
    void openPortRequested(const QString& portName);
    void openDeviceRequested(const QString& devicePath);
    void closePortRequested();
    void readBaseRequested();
    void writeBaseRequested();
    void readNumberRequested(const NumberOperands& operands);
    void writeNumberRequested(const NumberOperands& operands);
    void readSetupRequested();
    void writeSetupRequested(const SetupOperands& operands);
    void overwriteAnswered(bool overwrite);
    // The command is over; the program ends with exitCode.
    void done(int exitCode);

private:
    void StartOperation();
    void Complete();
    void CompleteNumber();
    void PrintBaseResult(const QString& format, const ObjectTable& table, const QString& file);
    // Ends the command: text (or with --json the outcome's JSON object of fields), and
    // why it failed, if it did.
    void Conclude(int code, const QString& text, const QJsonObject& fields,
                  const QString& why = {});
    void Fail(int code, const QString& why, const QJsonObject& fields = {});
    // For a write-base that stops early: what the console took of it.
    QString ObjectsTaken(QJsonObject& fields) const;
    void Finish(int code);
    void WriteErrLine(const QString& line);
    void ShowProgress();
    void ClearProgress();

    const CliOptions options;
    const PortChoice port;
    CObjectBase& objectBase;
    CliTerminal terminal;
    CLogFile* logFile;

    bool portOpen = false;
    bool settingsWritten = false; // write-setup: the write follows the read
    bool finished = false;
    int exitCode = exitDone;
    std::optional<ObjectShown> objectShown; // the last object reply
    std::optional<SetupShown> settingsShown;
    int progressPosition = 0; // blocks done, while a base is read or written
    // The most blocks the bar has shown answered: a give-up sets it back to 0.
    int blocksAnswered = 0;
    bool progressOnScreen = false;
};

// Joins the runner and the session both ways: the runner's requests become the
// session's buttons with their operands, the session's signals the runner's On....
void ConnectSession(CCliRunner& runner, CExchangeSession& session);
