#pragma once

#include "cli/CliOptions.h"

// The commands that need no console: show, diff, and the ones that prepare a base
// file in the office (new, set, clear, import-csv, export-csv). Each reads and writes
// its files through front/BaseFiles, as the window does.
CliResult RunShow(const CliOptions& options);
CliResult RunDiff(const CliOptions& options);
CliResult RunNew(const CliOptions& options);
CliResult RunSet(const CliOptions& options);
CliResult RunClear(const CliOptions& options);
CliResult RunImportCsv(const CliOptions& options);
CliResult RunExportCsv(const CliOptions& options);
// Whichever of them options.command names.
CliResult RunFileCommand(const CliOptions& options);
