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
    exitFileError = 5,     // a file could not be read or written
    exitDeclined = 6,      // the overwrite of a learned object was declined
    exitInterrupted = 130, // Ctrl+C
};

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
};

struct CliOptions {
    CliCommand command = CliCommand::Show;
    QString commandName; // as typed: "read-base", ...
    QStringList files;   // FILE, or FILE1 FILE2 for diff
    uint16_t objectNumber = 1;
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
};

// What the program prints, and its exit status.
struct CliResult {
    int exitCode = exitDone;
    QString out; // standard output
    QString err; // standard error
};

// Parses the arguments, program name first. False when the program is to stop at
// once: --help and --version (status 0), or a usage error (status 1, the reason
// and the usage on standard error). Nothing outside the arguments is looked at.
bool ParseCliArguments(const QStringList& arguments, CliOptions& options, CliResult& stop);

// The commands and their arguments, as --help and a usage error show them.
QString CliUsage();

// Values as the command line takes them; false for anything else.
// The code on the line (0, 1, 2) or the text of the window's list item.
bool ParseListChoice(const QString& text, std::span<const char* const> items, uint8_t& code);
// Minutes 4, 6, ..., 20, or "off": the channel-period code the window sends
// for that item (4 minutes 2, ..., 20 minutes 10, off 1).
bool ParsePeriod(const QString& text, uint8_t& periodCode);
