// kelvarin-cli: every operation of the VX-418K monitoring console from the command
// line, for scripts and for work on many sites.

#include "cli/CCliRunner.h"
#include "cli/CInterruptWatch.h"
#include "cli/CliOptions.h"
#include "cli/ConsoleCommand.h"
#include "cli/FileCommands.h"
#include "cli/PortsCommand.h"
#include "exchange/CExchangeSession.h"
#include "front/CFrontEndStart.h"
#include "front/FrontEndOptions.h"
#include "front/RunHeader.h"
#include "sim/DemoConsole.h"

#include <QCoreApplication>

#include <cerrno>
#include <unistd.h>

namespace {

// Reads the operator's answer from standard input, a line; nothing when Ctrl+C
// came first (the watch's handler interrupts the read).
std::optional<bool> AskOnTerminal(const QString& question) {
    PrintTo(stderr, question);
    QByteArray answer;
    char byte = 0;
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, &byte, 1);
        if (got < 0 && errno == EINTR)
            return std::nullopt;
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
            PrintTo(stderr, error);
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
    CliTerminal terminal{[](const QString& text) { PrintTo(stdout, text); },
                         [](const QString& text) { PrintTo(stderr, text); },
                         isatty(STDIN_FILENO) == 1, isatty(STDERR_FILENO) == 1, AskOnTerminal};
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
CliResult RunCommand(const CliOptions& options, const QString& operation) {
    // Either file that cannot be opened ends the program at start, before any
    // other file or the port is touched.
    CFrontEndStart start(QStringLiteral("kelvarin-cli"));
    QString error;
    if (!start.OpenFiles(options.logFilePath, options.traceFilePath, error))
        return {exitUsage, {}, error};

    // Commands without a console have no port for the header.
    switch (options.command) {
    case CliCommand::Show:
        start.WriteHeader(operation, {}, {});
        return RunShow(options);
    case CliCommand::Diff:
        start.WriteHeader(operation, {}, {});
        return RunDiff(options);
    case CliCommand::Ports:
        start.WriteHeader(operation, {}, {});
        return RunPorts(options, start);
    default:
        break;
    }

    CObjectBase objectBase;
    PortChoice port;
    CliResult stop;
    if (!PrepareConsoleCommand(options, objectBase, port, stop)) {
        start.WriteHeader(operation, {}, {});
        return stop;
    }
    return {RunOnConsole(options, objectBase, port, start, operation), {}, {}};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelvarin-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KELVARIN_VERSION));

    CliOptions options;
    CliResult result;
    if (ParseCliArguments(QCoreApplication::arguments(), options, result))
        result = RunCommand(options, CommandText(QCoreApplication::arguments().mid(1)));
    PrintTo(stdout, result.out);
    PrintTo(stderr, result.err);
    return result.exitCode;
}
