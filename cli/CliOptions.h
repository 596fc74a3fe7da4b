#pragma once

#include "exchange/ExchangeOperands.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>
#include <span>

// Exit status of kelvarin-cli.
enum CliExit : int {
    exitDone = 0,
    exitUsage = 1,         // a usage error, or a log or trace file that cannot be opened
    exitNoAnswer = 2,      // the console did not answer (give-up), or its answers did not pair
    exitPortFailed = 3,    // the port could not be opened
    exitDifferences = 4,   // verify-base or diff found differences
    exitFileError = 5,     // a file could not be read or written, standard output included
    exitDeclined = 6,      // the overwrite of a learned object was declined
    exitNotStored = 7,     // write-number: the console reports another number than written
    exitInterrupted = 130, // Ctrl+C; any stopping signal ends with 128 + its number
};

constexpr int ExitForSignal(int signalNumber) {
    return 128 + signalNumber;
}

enum class CliCommand {
    ReadBase,
    WriteBase,
    VerifyBase,
    ReadNumber,
    WriteNumber,
    ReadSetup,
    WriteSetup,
    Show,
    Diff,
    Ports,
    New,
    Set,
    Clear,
    ImportCsv,
    ExportCsv,
    Backup,
};

// The commands that read and write files only, with no port.
bool IsFileCommand(CliCommand command);

struct CliOptions {
    CliCommand command = CliCommand::Show;
    QString commandName; // as typed: "read-base", ...
    QStringList files;   // the command's files in their order: FILE, FILE1 FILE2, CSV FILE, ...
    uint16_t objectNumber = 1;
    QList<int> objectsToClear;    // clear: the objects, as given
    uint8_t transmitterByte1 = 0; // the part after the point
    uint8_t transmitterByte2 = 0; // the part before the point
    SetupChange setupChange;      // write-setup: the settings to change; the others stay as read

    QString port; // --port as given: "COMn", "COMn=DEVICE" or a device path; empty: the stored port
    bool demo = false;
    QString traceFilePath;
    QString logFilePath;
    bool json = false;
    bool quiet = false;
    bool yes = false;
    bool force = false;
    bool skipBad = false;   // import-csv: leave out the lines that cannot be read
    bool probe = false;     // ports: ask each free port for the console's settings
    QStringList portsNamed; // ports: only these (COM1..COM4 or device paths)
};

// What the program prints, and its exit status.
struct CliResult {
    int exitCode = exitDone;
    QString out; // standard output
    QString err; // standard error
};

// Parses the arguments, program name first. False when the program is to stop at
// once: --help, help COMMAND, COMMAND --help and --version (status 0), or a usage
// error (status 1, the reason and the usage on standard error, and with --json the
// failure as a JSON object on standard output). Nothing outside the arguments is
// looked at.
bool ParseCliArguments(const QStringList& arguments, CliOptions& options, CliResult& stop);

// The commands and their arguments, as --help and a usage error show them.
QString CliUsage();

// Values as the command line takes them; false for anything else.
// The code on the line (0, 1, 2), the text of the window's list item or its ASCII name.
bool ParseListChoice(const QString& text, std::span<const char* const> texts,
                     std::span<const char* const> names, uint8_t& code);
// Minutes 4, 6, ..., 20, their names 4min ... 20min, or "off": the channel-period
// code the window sends for that item (4 minutes 2, ..., 20 minutes 10, off 1).
bool ParsePeriod(const QString& text, uint8_t& periodCode);
