#include "app/CommandLine.h"

#include "front/FrontEndOptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>

bool ParseCommandLine(const QStringList& arguments, CCommandLine& commandLine, int& exitCode) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Service tool for the VX-418K alarm monitoring console."));
    AddHelpAndVersion(parser);
    const QCommandLineOption logFileOption = LogFileOption();
    const QCommandLineOption traceFileOption = TraceFileOption();
    const QCommandLineOption portOption(
        QStringLiteral("port"),
        QStringLiteral("Use <device> for port COMn (1 to 4) in this run only; may be repeated."),
        QStringLiteral("COMn=device"));
    const QCommandLineOption demoOption(
        QStringLiteral("demo"),
        QStringLiteral("Try the program without a console: a simulated console with sample "
                       "objects answers on COM1 in this run only (the profile is not changed)."));
    parser.addOption(logFileOption);
    parser.addOption(traceFileOption);
    parser.addOption(portOption);
    parser.addOption(demoOption);
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("A base file to open at start."),
                                 QStringLiteral("[file]"));

    exitCode = 1;
    if (!parser.parse(arguments)) {
        PrintTo(stderr, parser.errorText() + QLatin1Char('\n'));
        return false;
    }
    const QString helpOrVersion = HelpOrVersionText(parser, QStringLiteral("Kelvarin"));
    if (!helpOrVersion.isEmpty()) {
        PrintTo(stdout, helpOrVersion);
        exitCode = 0;
        return false;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        PrintTo(stderr, QStringLiteral("Only one file can be opened: %1\n").arg(files.join(' ')));
        return false;
    }
    for (const QString& assignment : parser.values(portOption)) {
        if (!commandLine.portMapping.AddOverride(assignment)) {
            PrintTo(stderr, QStringLiteral("--port wants COMn=device with n from 1 to 4, not %1\n")
                                .arg(assignment));
            return false;
        }
    }
    commandLine.fileName = files.value(0);
    commandLine.logFilePath = parser.value(logFileOption);
    commandLine.traceFilePath = parser.value(traceFileOption);
    commandLine.demo = parser.isSet(demoOption);
    exitCode = 0;
    return true;
}

bool CheckOptionsBeforeWindow(int argc, char** argv, int& exitCode) {
    QCoreApplication textOnly(argc, argv);
    CCommandLine commandLine;
    return ParseCommandLine(ArgumentsFromNative(argc, argv), commandLine, exitCode);
}
