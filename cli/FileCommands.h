#pragma once

#include "cli/CliOptions.h"

// The commands that need no console: show FILE and diff FILE1 FILE2.
CliResult RunShow(const CliOptions& options);
CliResult RunDiff(const CliOptions& options);
