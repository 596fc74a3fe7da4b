// kelvarin-cli: every operation of the VX-418K monitoring console from the command
// line, for scripts and for work on many sites.

#include "cli/BackupCommand.h"
#include "cli/CCliRunner.h"
#include "cli/CInterruptWatch.h"
#include "cli/CliOptions.h"
#include "cli/ConsoleCommand.h"
#include "cli/FileCommands.h"
#include "cli/PortsCommand.h"
#include "cli/ResultText.h"
#include "exchange/CExchangeSession.h"
#include "front/CFrontEndStart.h"
#include "front/FrontEndOptions.h"
#include "front/RunHeader.h"
#include "sim/DemoConsole.h"

#include <QCoreApplication>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The controlling terminal, where the overwrite question is asked whatever standard
// input and standard error are (a script may send both elsewhere); -1 without one.
int terminalFd = -1;

// Asks on the terminal and reads the operator's answer, a line. Nothing when a
// stopping signal came first (the watch's handler cuts the read short).
std::optional<bool> AskOnTerminal(const QString& question) {
    const QByteArray asked = question.toUtf8();
    [[maybe_unused]] const ssize_t written = write(terminalFd, asked.constData(), asked.size());
    QByteArray answer;
    char byte = 0;
    for (;;) {
        const ssize_t got = read(terminalFd, &byte, 1);
        if (got < 0 && errno == EINTR) {
            if (CInterruptWatch::CaughtSignal() != 0)
                return std::nullopt;
            continue;
        }
        if (got <= 0 || byte == '\n')
            break;
        answer += byte;
    }
    const QByteArray word = answer.trimmed().toLower();
    return word == "y" || word == "yes";
}

// Runs a console command on an exchange session of its own until the runner is done.
int RunOnConsole(const CliOptions& options, CObjectBase& objectBase, PortChoice& port,
                 CFrontEndStart& start, const QString& operation) {
    if (options.demo) {
        QString error;
        if (!start.StartDemo(port.mapping, error)) {
            start.WriteHeader(operation, {}, {});
            const CliResult failure = StartFailure(options, exitPortFailed, error);
            PrintTo(stderr, failure.err);
            PrintTo(stdout, failure.out);
            return exitPortFailed;
        }
        port.portName = demoPortName;
        port.devicePath = port.mapping.DevicePath(demoPortName);
    } else if (port.portName.isEmpty()) {
        // A device given by its path goes under that path as its port name, so
        // the log names the device that was opened.
        port.mapping.SetOverride(port.devicePath, port.devicePath);
    }
    start.WriteHeader(operation, port.portName, port.devicePath);

    CExchangeSession session(objectBase, port.mapping);
    session.SetTrace(start.Trace());
    terminalFd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    CliTerminal terminal{[](const QString& text) { return PrintTo(stdout, text); },
                         [](const QString& text) { PrintTo(stderr, text); }, terminalFd >= 0,
                         isatty(STDERR_FILENO) == 1, AskOnTerminal};
    CCliRunner runner(options, port, objectBase, std::move(terminal), start.LogFile());
    ConnectSession(runner, session);
    CInterruptWatch interruptWatch;
    QObject::connect(&interruptWatch, &CInterruptWatch::interrupted, &runner,
                     &CCliRunner::OnInterrupted);
    QObject::connect(&runner, &CCliRunner::done, QCoreApplication::instance(),
                     &QCoreApplication::exit, Qt::QueuedConnection);
    session.StartTimer();
    runner.Start();
    QCoreApplication::exec();
    return runner.ExitCode();
}

// operation: the command line after the program's name, for the files' header.
CliResult RunCommand(CliOptions options, const QString& operation) {
    // Every base file is checked, and read, before the log and trace files are
    // opened: neither may be a base file, and nothing goes into a file refused.
    CliResult result;
    CObjectBase objectBase;
    PortChoice port;
    const bool console = !IsFileCommand(options.command) && options.command != CliCommand::Ports;
    // The backup is named by the time it starts.
    if (options.command == CliCommand::Backup)
        options.files << BackupPath(options.files.at(0), QDateTime::currentDateTime());
    if (IsFileCommand(options.command)) {
        result = RunFileCommand(options);
        // A file refused or not read stops the run before either file is opened, as
        // for a console command.
        if (result.exitCode == exitFileError)
            return result;
    } else if (console && !PrepareConsoleCommand(options, objectBase, port, result))
        return result;

    // Either file that cannot be opened ends the program before the port is touched.
    CFrontEndStart start(QStringLiteral("kelvarin-cli"));
    QString error;
    if (!start.OpenFiles(options.logFilePath, options.traceFilePath, error))
        return StartFailure(options, exitUsage, error);
    if (console)
        return {RunOnConsole(options, objectBase, port, start, operation), {}, {}};
    // Commands without a console have no port for the header.
    start.WriteHeader(operation, {}, {});
    if (options.command == CliCommand::Ports)
        return RunPorts(options, start);
    return result;
}

} // namespace

int main(int argc, char** argv) {
    // A reader that went away is a failed write, not the end of the program.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelvarin-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELVARIN_VERSION));

    CliOptions options;
    CliResult result;
    const QStringList arguments = ArgumentsFromNative(argc, argv);
    if (ParseCliArguments(arguments, options, result))
        result = RunCommand(options, CommandText(arguments.mid(1)));
    PrintTo(stderr, result.err);
    if (!PrintTo(stdout, result.out) && result.exitCode == exitDone) {
        PrintTo(stderr, QStringLiteral("kelvarin-cli: the result could not be written to "
                                       "standard output: %1\n")
                            .arg(QString::fromLocal8Bit(std::strerror(errno))));
        result.exitCode = exitFileError;
    }
    return result.exitCode;
}
