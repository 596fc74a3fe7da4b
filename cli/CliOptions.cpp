#include "cli/CliOptions.h"

#include "base/TransmitterNumber.h"
#include "exchange/SettingTexts.h"
#include "front/FrontEndOptions.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace {

struct CommandForm {
    const char* name;
    CliCommand command;
    int argumentCount; // -1: any number
};

constexpr CommandForm commandForms[] = {
    {"read-base", CliCommand::ReadBase, 1},
    {"write-base", CliCommand::WriteBase, 1},
    {"verify-base", CliCommand::VerifyBase, 1},
    {"read-number", CliCommand::ReadNumber, 1},
    {"write-number", CliCommand::WriteNumber, 2},
    {"read-setup", CliCommand::ReadSetup, 0},
    {"write-setup", CliCommand::WriteSetup, 0},
    {"show", CliCommand::Show, 1},
    {"diff", CliCommand::Diff, 2},
    {"ports", CliCommand::Ports, -1},
};

const char* const commandsText =
    "Commands:\n"
    "  read-base FILE [--force]  read the console's 600 objects, save them as a base file\n"
    "  write-base FILE           write a base file to the console\n"
    "  verify-base FILE          read the console's base and compare it with FILE\n"
    "  read-number N             one object (1..600)\n"
    "  write-number N XXX.YYY    one object's transmitter number, as the window shows it\n"
    "  read-setup                mode, channel period, relay, backlight, version\n"
    "  write-setup [--mode M] [--period P] [--relay R] [--backlight B]\n"
    "                            reads the settings first, changes only the ones given, writes\n"
    "  show FILE                 a base file's learned objects (no console needed)\n"
    "  diff FILE1 FILE2          the objects that differ between two base files (no console)\n"
    "  ports [PORT...] [--probe] the serial ports, the COM names that lead to them and whether\n"
    "                            they can be opened; --probe asks each free one for the console\n";

// Decimal digits only (no sign, no blanks), at most maxDigits of them.
bool ParseDigits(const QString& text, int maxDigits, int& value) {
    if (text.isEmpty() || text.size() > maxDigits)
        return false;
    value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        value = value * 10 + (c.unicode() - '0');
    }
    return true;
}

QString Joined(std::span<const char* const> items) {
    QStringList texts;
    for (const char* item : items)
        texts << QString::fromUtf8(item);
    return texts.join(QStringLiteral(", "));
}

// --port: COM1..COM4, COMn=DEVICE (as the window takes it), or a device path.
bool IsPortForm(const QString& port) {
    static const QRegularExpression portName(QStringLiteral("^COM[1-4](=.+)?$"),
                                             QRegularExpression::CaseInsensitiveOption);
    return portName.match(port).hasMatch() ||
           (port.contains(QLatin1Char('/')) &&
            !port.startsWith(QStringLiteral("COM"), Qt::CaseInsensitive));
}

} // namespace

QString CliUsage() {
    return QStringLiteral("Usage: kelvarin-cli [options] COMMAND [ARGS]\n\n") +
           QString::fromUtf8(commandsText) +
           QStringLiteral("\nkelvarin-cli --help lists the options.\n");
}

bool ParseListChoice(const QString& text, std::span<const char* const> items, uint8_t& code) {
    int value = 0;
    if (ParseDigits(text, 1, value) && value < int(items.size())) {
        code = static_cast<uint8_t>(value);
        return true;
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (text == QString::fromUtf8(items[i])) {
            code = static_cast<uint8_t>(i);
            return true;
        }
    }
    return false;
}

bool ParsePeriod(const QString& text, uint8_t& periodCode) {
    if (text == QStringLiteral("off")) {
        periodCode = 1;
        return true;
    }
    int minutes = 0;
    if (!ParseDigits(text, 2, minutes) || minutes < 4 || minutes > 20 || minutes % 2 != 0)
        return false;
    periodCode = static_cast<uint8_t>(minutes / 2);
    return true;
}

bool ParseCliArguments(const QStringList& arguments, CliOptions& options, CliResult& stop) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Every operation of the VX-418K monitoring console "
                       "from the command line.\n\n") +
        QString::fromUtf8(commandsText).chopped(1));
    AddHelpAndVersion(parser);
    const QCommandLineOption portOption(
        QStringLiteral("port"),
        QStringLiteral("The port: COM1..COM4 as the profile maps them, COMn=DEVICE, or a device "
                       "path. Without it, the port the window chose last."),
        QStringLiteral("COMn|DEVICE"));
    const QCommandLineOption demoOption(
        QStringLiteral("demo"), QStringLiteral("Run against the built-in simulated console."));
    const QCommandLineOption traceFileOption = TraceFileOption();
    const QCommandLineOption logFileOption = LogFileOption();
    const QCommandLineOption jsonOption(QStringLiteral("json"),
                                        QStringLiteral("Print the result as one JSON object."));
    const QCommandLineOption quietOption(QStringLiteral("quiet"),
                                         QStringLiteral("Do not copy the log to standard error."));
    const QCommandLineOption yesOption(
        QStringLiteral("yes"),
        QStringLiteral("write-number: overwrite an object that is already learned."));
    const QCommandLineOption forceOption(QStringLiteral("force"),
                                         QStringLiteral("read-base: replace FILE if it exists."));
    const QCommandLineOption probeOption(
        QStringLiteral("probe"),
        QStringLiteral("ports: send one \"Read Setup\" on each free port and show which answers "
                       "as a console."));
    const QCommandLineOption modeOption(
        QStringLiteral("mode"),
        QStringLiteral("write-setup: console mode, 0..2 or %1.").arg(Joined(modeTexts)),
        QStringLiteral("M"));
    const QCommandLineOption periodOption(
        QStringLiteral("period"),
        QStringLiteral("write-setup: channel-check period in minutes (4, 6, ..., 20) or off."),
        QStringLiteral("P"));
    const QCommandLineOption relayOption(
        QStringLiteral("relay"),
        QStringLiteral("write-setup: relay, 0..2 or %1.").arg(Joined(relayTexts)),
        QStringLiteral("R"));
    const QCommandLineOption backlightOption(
        QStringLiteral("backlight"),
        QStringLiteral("write-setup: backlight, 0..2 or %1.").arg(Joined(backlightTexts)),
        QStringLiteral("B"));
    for (const QCommandLineOption& option :
         {portOption, demoOption, traceFileOption, logFileOption, jsonOption, quietOption,
          yesOption, forceOption, probeOption, modeOption, periodOption, relayOption,
          backlightOption})
        parser.addOption(option);
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("One of the commands above, with its arguments."),
                                 QStringLiteral("COMMAND [ARGS]"));

    auto usageError = [&stop](const QString& reason) {
        stop = {exitUsage, {}, QStringLiteral("kelvarin-cli: %1\n\n").arg(reason) + CliUsage()};
        return false;
    };

    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    const QString helpOrVersion = HelpOrVersionText(parser, QStringLiteral("kelvarin-cli"));
    if (!helpOrVersion.isEmpty()) {
        stop = {exitDone, helpOrVersion, {}};
        return false;
    }
    for (const QCommandLineOption& option : {portOption, traceFileOption, logFileOption, modeOption,
                                             periodOption, relayOption, backlightOption}) {
        if (parser.values(option).size() > 1)
            return usageError(
                QStringLiteral("--%1 is given more than once").arg(option.names()[0]));
    }

    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return usageError(QStringLiteral("no command given"));
    options.commandName = positional.takeFirst();
    const CommandForm* form = nullptr;
    for (const CommandForm& candidate : commandForms) {
        if (options.commandName == QLatin1String(candidate.name))
            form = &candidate;
    }
    if (!form)
        return usageError(QStringLiteral("unknown command %1").arg(options.commandName));
    if (form->argumentCount >= 0 && positional.size() != form->argumentCount)
        return usageError(QStringLiteral("%1 takes %2 argument(s), not %3")
                              .arg(options.commandName)
                              .arg(form->argumentCount)
                              .arg(positional.size()));
    options.command = form->command;

    switch (options.command) {
    case CliCommand::ReadNumber:
    case CliCommand::WriteNumber: {
        const std::optional<int> number = ParseObjectNumber(positional[0].toStdString());
        if (!number)
            return usageError(
                QStringLiteral("the object number is 1..600, not %1").arg(positional[0]));
        options.objectNumber = static_cast<uint16_t>(*number);
        if (options.command == CliCommand::WriteNumber) {
            const std::optional<TransmitterNumber> transmitter =
                ParseTransmitterNumber(positional[1].toStdString());
            if (!transmitter)
                return usageError(
                    QStringLiteral("the transmitter number is XXX.YYY, each part 0..255, not %1")
                        .arg(positional[1]));
            options.transmitterByte1 = transmitter->byte1;
            options.transmitterByte2 = transmitter->byte2;
        }
        break;
    }
    case CliCommand::ReadSetup:
    case CliCommand::WriteSetup:
        break;
    case CliCommand::Ports:
        for (const QString& name : positional) {
            if (!IsPortForm(name) || name.contains(QLatin1Char('=')))
                return usageError(
                    QStringLiteral("ports takes COM1..COM4 or device paths, not %1").arg(name));
            options.portsNamed << (name.contains(QLatin1Char('/')) ? name : name.toUpper());
        }
        break;
    default:
        options.files = positional;
        break;
    }

    struct ListOption {
        const QCommandLineOption& option;
        std::span<const char* const> items;
        std::optional<uint8_t>& code;
    };
    const ListOption listOptions[] = {
        {modeOption, modeTexts, options.setupChange.mode},
        {relayOption, relayTexts, options.setupChange.relay},
        {backlightOption, backlightTexts, options.setupChange.backlight},
    };
    for (const ListOption& list : listOptions) {
        if (!parser.isSet(list.option))
            continue;
        uint8_t code = 0;
        if (!ParseListChoice(parser.value(list.option), list.items, code))
            return usageError(
                QStringLiteral("--%1 takes 0, 1, 2 or %2, not %3")
                    .arg(list.option.names()[0], Joined(list.items), parser.value(list.option)));
        list.code = code;
    }
    if (parser.isSet(periodOption)) {
        uint8_t code = 0;
        if (!ParsePeriod(parser.value(periodOption), code))
            return usageError(QStringLiteral("--period takes minutes 4, 6, ..., 20 or off, not %1")
                                  .arg(parser.value(periodOption)));
        options.setupChange.periodCode = code;
    }
    if (options.command == CliCommand::WriteSetup && options.setupChange.IsEmpty())
        return usageError(
            QStringLiteral("write-setup needs at least one of --mode, --period, --relay, "
                           "--backlight"));
    if (options.command != CliCommand::WriteSetup && !options.setupChange.IsEmpty())
        return usageError(QStringLiteral("--mode, --period, --relay and --backlight belong to "
                                         "write-setup"));

    options.force = parser.isSet(forceOption);
    if (options.force && options.command != CliCommand::ReadBase)
        return usageError(QStringLiteral("--force belongs to read-base"));
    options.probe = parser.isSet(probeOption);
    if (options.probe && options.command != CliCommand::Ports)
        return usageError(QStringLiteral("--probe belongs to ports"));
    options.port = parser.value(portOption);
    options.demo = parser.isSet(demoOption);
    if (!options.port.isEmpty() && !IsPortForm(options.port))
        return usageError(
            QStringLiteral("--port takes COM1..COM4, COMn=DEVICE or a device path, not %1")
                .arg(options.port));
    if (options.demo && !options.port.isEmpty())
        return usageError(QStringLiteral("--demo brings its own port; leave out --port"));
    options.traceFilePath = parser.value(traceFileOption);
    options.logFilePath = parser.value(logFileOption);
    options.json = parser.isSet(jsonOption);
    options.quiet = parser.isSet(quietOption);
    options.yes = parser.isSet(yesOption);
    return true;
}
