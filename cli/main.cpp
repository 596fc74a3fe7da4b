// kelvarin-cli: every operation of the VX-418K monitoring console from the command
// line, for scripts and for work on many sites.

#include "cli/CliOptions.h"
#include "cli/ConsoleCommand.h"
#include "cli/FileCommands.h"
#include "exchange/FrontEndOptions.h"
#include "link/CLineFile.h"

#include <QCoreApplication>

namespace {

CliResult RunCommand(const CliOptions& options) {
    // Either file that cannot be opened ends the program at start, before any
    // other file or the port is touched.
    CLineFile traceFile;
    CLineFile logFile;
    if (!options.traceFilePath.isEmpty() && !traceFile.Open(options.traceFilePath))
        return {exitUsage,
                {},
                QStringLiteral("kelvarin-cli: cannot open the trace file %1: %2\n")
                    .arg(options.traceFilePath, traceFile.ErrorString())};
    if (!options.logFilePath.isEmpty() && !logFile.Open(options.logFilePath))
        return {exitUsage,
                {},
                QStringLiteral("kelvarin-cli: cannot open the log file %1: %2\n")
                    .arg(options.logFilePath, logFile.ErrorString())};

    if (options.command == CliCommand::Show)
        return RunShow(options);
    if (options.command == CliCommand::Diff)
        return RunDiff(options);

    CObjectBase objectBase;
    PortChoice port;
    CliResult stop;
    if (!PrepareConsoleCommand(options, objectBase, port, stop))
        return stop;
    return NotConnected(options);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelvarin-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELVARIN_VERSION));

    CliOptions options;
    CliResult result;
    if (ParseCliArguments(QCoreApplication::arguments(), options, result))
        result = RunCommand(options);
    PrintTo(stdout, result.out);
    PrintTo(stderr, result.err);
    return result.exitCode;
}
