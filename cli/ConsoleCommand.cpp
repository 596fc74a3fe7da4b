#include "cli/ConsoleCommand.h"

#include "cli/ResultText.h"
#include "front/BaseFiles.h"

bool PrepareConsoleCommand(const CliOptions& options, CObjectBase& objectBase, PortChoice& port,
                           CliResult& stop) {
    const QList<RunFile> runFiles = RunFilesOf(options.logFilePath, options.traceFilePath);
    // backup: the file in DIR.
    const QString file = options.files.value(options.command == CliCommand::Backup ? 1 : 0);
    QString error;
    switch (options.command) {
    case CliCommand::WriteBase:
    case CliCommand::VerifyBase:
        if (!LoadBaseFile(file, runFiles, objectBase.fileTable, error))
            break;
        objectBase.fileBaseLoaded = 1;
        break;
    case CliCommand::ReadBase:
        // Asked now, so that a file that cannot take the base is known before the
        // read, not after it.
        error = SaveRefusal(file, options.force, runFiles);
        break;
    case CliCommand::Backup:
        // A site's first backup makes its folder, as "backup DIR" reads.
        error = MakeFolder(options.files.at(0));
        if (!error.isEmpty()) {
            stop = CommandFailure(options, exitFileError,
                                  QStringLiteral("%1: %2").arg(options.files.at(0), error));
            return false;
        }
        // As for read-base; a backup never replaces another, and only one started in
        // the same second can be in the way.
        error = SaveRefusal(file, true, runFiles);
        if (error.isEmpty() && !SaveRefusal(file, false, runFiles).isEmpty())
            error = QStringLiteral("A backup started in the same second exists");
        break;
    default:
        break;
    }
    if (!error.isEmpty()) {
        stop = CommandFailure(options, exitFileError, QStringLiteral("%1: %2").arg(file, error));
        return false;
    }
    // The simulated console brings its own port.
    if (!options.demo && !ChoosePort(options.port, port, error)) {
        stop = CommandFailure(options, exitPortFailed, error);
        return false;
    }
    return true;
}
