// kelvarin-cli: every operation of the VX-418K monitoring console from the command
// line, for scripts and for work on many sites.

#include "cli/CCliRunner.h"
#include "cli/CInterruptWatch.h"
#include "cli/CliOptions.h"
#include "cli/ConsoleCommand.h"
#include "cli/FileCommands.h"
#include "exchange/CExchangeSession.h"
#include "exchange/FrontEndOptions.h"
#include "link/CLogFile.h"
#include "sim/DemoConsole.h"

#include <QCoreApplication>

#include <cerrno>
#include <chrono>
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
                 CLogFile* logFile, CLogFile* traceFile) {
    std::unique_ptr<CSimPty> demoConsole;
    if (options.demo) {
        QString error;
        demoConsole = StartDemoConsole(port.mapping, error);
        if (!demoConsole) {
            PrintTo(stderr, QStringLiteral("kelvarin-cli: the simulated console cannot start: %1\n")
                                .arg(error));
            return exitPortFailed;
        }
        port.portName = demoPortName;
        port.devicePath = port.mapping.DevicePath(demoPortName);
    } else if (port.portName.isEmpty()) {
        // A device given by its path goes under that path as its port name, so
        // the log names the device that was opened.
        port.mapping.SetOverride(port.devicePath, port.devicePath);
    }

    // Before the session, which may still close the port as it goes.
    std::unique_ptr<CLineTrace> trace;
    if (traceFile)
        trace = std::make_unique<CLineTrace>(
            [traceFile](const std::string& line) {
                traceFile->Append(QString::fromStdString(line));
            },
            [] { return std::chrono::steady_clock::now().time_since_epoch(); });
    CExchangeSession session(objectBase, port.mapping);
    session.SetTrace(trace.get());
    CliTerminal terminal{[](const QString& text) { PrintTo(stdout, text); },
                         [](const QString& text) { PrintTo(stderr, text); },
                         isatty(STDIN_FILENO) == 1, isatty(STDERR_FILENO) == 1, AskOnTerminal};
    CCliRunner runner(options, port, objectBase, std::move(terminal), logFile);
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

CliResult RunCommand(const CliOptions& options) {
    // Either file that cannot be opened ends the program at start, before any
    // other file or the port is touched.
    CLogFile traceFile;
    CLogFile logFile;
    // Said once when a file stops taking lines, and once when it takes them again.
    for (CLogFile* file : {&traceFile, &logFile}) {
        QObject::connect(file, &CLogFile::writeFailed, [](const QString& text) {
            PrintTo(stderr, QStringLiteral("kelvarin-cli: %1\n").arg(text));
        });
        QObject::connect(file, &CLogFile::writeResumed, [](const QString& text) {
            PrintTo(stderr, QStringLiteral("kelvarin-cli: %1\n").arg(text));
        });
    }
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
    return {RunOnConsole(options, objectBase, port,
                         options.logFilePath.isEmpty() ? nullptr : &logFile,
                         options.traceFilePath.isEmpty() ? nullptr : &traceFile),
            {},
            {}};
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
