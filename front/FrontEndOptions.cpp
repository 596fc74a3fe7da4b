#include "front/FrontEndOptions.h"

#include "base/NativePath.h"

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
    // Not Qt's own help option, which brings --help-all for Qt's options: the
    // check before the window has no display, so it can neither list nor take
    // them. -V as in most programs, -v as Qt's version option has it.
    parser.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Displays help on commandline options.")));
    parser.addOption(
        QCommandLineOption({QStringLiteral("V"), QStringLiteral("v"), QStringLiteral("version")},
                           QStringLiteral("Displays version information.")));
}

QString HelpOrVersionText(const QCommandLineParser& parser, const QString& versionName) {
    if (parser.isSet(QStringLiteral("help")))
        return parser.helpText();
    if (parser.isSet(QStringLiteral("version")))
        return QStringLiteral("%1 %2\n").arg(versionName, QStringLiteral(KELVARIN_VERSION));
    return {};
}

bool PrintTo(FILE* stream, const QString& text) {
    const QByteArray bytes = NativePath(text);
    const bool written = std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream) ==
                         std::size_t(bytes.size());
    return std::fflush(stream) == 0 && written;
}

QStringList ArgumentsFromNative(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << PathFromNative(QByteArray(argv[i]));
    return arguments;
}
