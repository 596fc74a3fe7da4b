#include "front/FrontEndOptions.h"

QCommandLineOption LogFileOption() {
    return QCommandLineOption(
        QStringLiteral("log-file"),
        QStringLiteral("Append every line of the log to <path> as well (UTF-8)."),
        QStringLiteral("path"));
}

QCommandLineOption TraceFileOption() {
    return QCommandLineOption(
        QStringLiteral("trace-file"),
        QStringLiteral("Append a trace of every telegram on the line to <path> (UTF-8)."),
        QStringLiteral("path"));
}

void AddHelpAndVersion(QCommandLineParser& parser) {
    parser.addHelpOption();
    parser.addVersionOption();
}

QString HelpOrVersionText(const QCommandLineParser& parser, const QString& versionName) {
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")))
        return parser.helpText();
    if (parser.isSet(QStringLiteral("version")))
        return QStringLiteral("%1 %2\n").arg(versionName, QStringLiteral(KELVARIN_VERSION));
    return {};
}

void PrintTo(FILE* stream, const QString& text) {
    std::fputs(qUtf8Printable(text), stream);
    std::fflush(stream);
}
