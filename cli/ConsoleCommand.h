#pragma once

#include "base/ObjectBase.h"
#include "cli/CliOptions.h"
#include "cli/ResultText.h"
#include "front/PortChoice.h"

#include <cstdint>

// Everything a console command checks before the port is touched: the base file
// of write-base and verify-base is read into the file table (exit 5 when it is
// refused, cannot be read or is of the wrong size), read-base's FILE may take the
// base (exit 5, see SaveRefusal), as may backup's file in DIR, and a port is chosen (exit 3 when
// none is). False, with what to print and the exit status in stop, when the command must not go on.
bool PrepareConsoleCommand(const CliOptions& options, CObjectBase& objectBase, PortChoice& port,
                           CliResult& stop);
