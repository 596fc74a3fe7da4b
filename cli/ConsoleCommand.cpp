#include "cli/ConsoleCommand.h"

#include "cli/BaseFiles.h"

bool PrepareConsoleCommand(const CliOptions& options, CObjectBase& objectBase, PortChoice& port,
                           CliResult& stop) {
    QString error;
    switch (options.command) {
    case CliCommand::WriteBase:
    case CliCommand::VerifyBase:
        if (!LoadBaseFile(options.files.at(0), objectBase.fileTable, error)) {
            stop = {exitFileError, {}, QStringLiteral("kelvarin-cli: %1\n").arg(error)};
            return false;
        }
        objectBase.fileBaseLoaded = 1;
        break;
    case CliCommand::ReadBase:
        if (!CheckSaveTarget(options.files.at(0), options.force, error)) {
            stop = {exitFileError, {}, QStringLiteral("kelvarin-cli: %1\n").arg(error)};
            return false;
        }
        break;
    default:
        break;
    }
    // The simulated console brings its own port.
    if (!options.demo && !ChoosePort(options.port, port, error)) {
        stop = {exitPortFailed, {}, QStringLiteral("kelvarin-cli: %1\n").arg(error)};
        return false;
    }
    return true;
}
