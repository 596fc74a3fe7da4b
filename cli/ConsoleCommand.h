#pragma once

#include "base/ObjectBase.h"
#include "cli/CliOptions.h"
#include "cli/PortChoice.h"
#include "cli/ResultText.h"

#include <cstdint>

// Everything a console command checks before the port is touched: the base file
// of write-base and verify-base is read into the file table (exit 5 when it
// cannot be read or is of the wrong size), read-base's FILE may be written
// (exit 5), and a port is chosen (exit 3 when none is). False, with what to
// print and the exit status in stop, when the command must not go on.
bool PrepareConsoleCommand(const CliOptions& options, CObjectBase& objectBase, PortChoice& port,
                           CliResult& stop);

// The four settings "Write Setup" sends from the panel's lists.
struct SetupValues {
    uint8_t setupMode = 0;
    uint8_t setupPeriodCode = 5;
    uint8_t setupRelay = 0;
    uint8_t setupBacklight = 1;

    bool operator==(const SetupValues&) const = default;
};

// write-setup: the settings as read from the console, with only the given ones
// changed. A setting the console reported past its list goes back as it came
// (the window would send 255 for its empty list); the channel period goes back
// as the code of the item the window shows for it.
SetupValues MergeSetup(const SetupChange& change, const SettingsShown& read);
