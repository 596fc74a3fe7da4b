#include "cli/CliOptions.h"

#include "base/TransmitterNumber.h"
#include "cli/ResultText.h"
#include "cli/SettingNames.h"
#include "exchange/EditorMapping.h"
#include "exchange/SettingTexts.h"
#include "front/FrontEndOptions.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <map>

namespace {

struct CommandForm {
    const char* name;
    CliCommand command;
    int minArguments;
    int maxArguments;        // -1: any number
    const char* arguments;   // as the usage shows them
    const char* summary;     // its line in the list of commands
    const char* description; // what help COMMAND tells besides
    const char* options;     // its own options, by name, separated by blanks
};

constexpr CommandForm commandForms[] = {
    {"read-base", CliCommand::ReadBase, 1, 1, "FILE [--force]",
     "read the console's 600 objects, save them as a base file",
     "Reads the console's base of 600 objects and saves it to FILE as a base file.\n"
     "An existing FILE is kept unless --force is given. A FILE that cannot be\n"
     "written is refused before the port is opened, and a base not read\n"
     "completely is never saved.",
     "force"},
    {"write-base", CliCommand::WriteBase, 1, 1, "FILE", "write a base file to the console",
     "Writes the base file FILE (exactly 7212 bytes) to the console, block by\n"
     "block. A write that stops early says how many objects the console took.",
     ""},
    {"verify-base", CliCommand::VerifyBase, 1, 1, "FILE",
     "read the console's base and compare it with FILE",
     "Reads the console's base and compares it with FILE: the objects that differ,\n"
     "one a line, the number, the console's transmitter number and the file's.\n"
     "Status 4 when any differ.",
     ""},
    {"read-number", CliCommand::ReadNumber, 1, 1, "N", "one object (1..600)",
     "Reads object N (1..600): its transmitter number and whether it is learned.", ""},
    {"write-number", CliCommand::WriteNumber, 2, 2, "N XXX.YYY",
     "one object's transmitter number, as the window shows it",
     "Writes transmitter number XXX.YYY into object N: the second byte, a point and\n"
     "the first byte, each 0..255, as the window shows it. When the object is\n"
     "learned already, asks on the terminal whether to overwrite it (y/N). Prints\n"
     "the object as the console reports it after the write; status 7 when that is\n"
     "not the number written.",
     "yes"},
    {"read-setup", CliCommand::ReadSetup, 0, 0, "",
     "mode, channel period, relay, backlight, version",
     "Reads the console's settings (mode, channel-check period, relay, backlight)\n"
     "and its version.",
     ""},
    {"write-setup", CliCommand::WriteSetup, 0, 0,
     "[--mode M] [--period P] [--relay R] [--backlight B]",
     "reads the settings first, changes only the ones given, writes",
     "Reads the console's settings, changes the ones given and writes them back;\n"
     "every other setting goes back exactly as the console reported it. Prints the\n"
     "settings the console reports after the write.",
     "mode period relay backlight"},
    {"show", CliCommand::Show, 1, 1, "FILE", "a base file's learned objects (no console needed)",
     "Lists the learned objects of the base file FILE. Needs no console.", ""},
    {"diff", CliCommand::Diff, 2, 2, "FILE1 FILE2",
     "the objects that differ between two base files (no console)",
     "Lists the objects whose transmitter numbers differ between two base files:\n"
     "the number, the first file's and the second file's. Status 4 when any\n"
     "differ. Needs no console.",
     ""},
    {"ports", CliCommand::Ports, 0, -1, "[PORT...] [--probe]",
     "the serial ports and whether they can be opened",
     "Lists the serial ports (or only the PORTs given, as --port takes them): the\n"
     "device, its /dev/serial/by-id name, description and serial number where the\n"
     "system knows them, the COM names that lead to it, and whether it can be\n"
     "opened now. With --probe, sends one \"Read Setup\" on each free port and\n"
     "shows which one answers as a console, with its version. Needs no console.",
     "probe"},
    {"new", CliCommand::New, 1, 1, "FILE [--force]",
     "an empty base file: no object learned (no console)",
     "Makes FILE a base file with all 600 objects not learned, the start of a\n"
     "site's base prepared in the office. An existing FILE is kept unless --force\n"
     "is given. Needs no console.",
     "force"},
    {"set", CliCommand::Set, 3, 3, "FILE N XXX.YYY",
     "one object's number in a base file (no console)",
     "Sets object N (1..600) of the base file FILE to the transmitter number\n"
     "XXX.YYY, as write-number takes it, and saves FILE. FILE must exist (new\n"
     "makes one). Prints the object as it now stands in FILE. Needs no console.",
     ""},
    {"clear", CliCommand::Clear, 2, -1, "FILE N...",
     "objects of a base file not learned (no console)",
     "Makes the objects N... (1..600) of the base file FILE not learned (255.255)\n"
     "and saves FILE. FILE must exist. Prints each object as it now stands in\n"
     "FILE. Needs no console.",
     ""},
    {"import-csv", CliCommand::ImportCsv, 2, 2, "CSV FILE [--force] [--skip-bad]",
     "a base file from a list of objects (no console)",
     "Makes the base file FILE from the list of objects CSV, read as the window's\n"
     "Import CSV reads it: the object's number, then the transmitter number (an\n"
     "empty cell for not learned); a header naming a \"file\" column takes that\n"
     "column. Objects the list does not name are not learned. Prints how many\n"
     "objects are set, cleared and unchanged and how many lines cannot be read.\n"
     "When any line cannot be read, it is named and nothing is written (status\n"
     "5), unless --skip-bad leaves such lines out. An existing FILE is kept\n"
     "unless --force is given. Needs no console.",
     "force skip-bad"},
    {"export-csv", CliCommand::ExportCsv, 1, 2, "FILE [CSV]", "a base file as CSV (no console)",
     "Writes the base file FILE as the window's Export CSV does, to CSV or\n"
     "without it to standard output: the header object,console,file,differs, then\n"
     "one line for each of the 600 objects, the file's number in the file column\n"
     "(empty for not learned) and \"not read\" in the console column. Import CSV\n"
     "and import-csv read it back. An existing CSV is replaced. Needs no console.",
     ""},
    {"backup", CliCommand::Backup, 1, 1, "DIR",
     "read-base into DIR/<date>_<time>.kvb, then what changed",
     "Reads the console's base, as read-base does, into DIR/YYYY-MM-DD_HHMMSS.kvb\n"
     "(the local date and time of the start), then compares it with the newest\n"
     "earlier backup in DIR, by the time in the names: the objects that differ,\n"
     "one a line, as diff shows them. A read that fails leaves no file in DIR.\n"
     "Status 0 with or without differences.",
     ""},
};

const CommandForm* FindCommand(const QString& name) {
    for (const CommandForm& form : commandForms) {
        if (name == QLatin1String(form.name))
            return &form;
    }
    return nullptr;
}

QString CommandsText() {
    constexpr int column = 28;
    QString text = QStringLiteral("Commands:\n");
    for (const CommandForm& form : commandForms) {
        QString line =
            QStringLiteral("  %1 %2").arg(QLatin1String(form.name), QLatin1String(form.arguments));
        line = line.trimmed().prepend(QStringLiteral("  "));
        line = line.size() < column ? line.leftJustified(column)
                                    : line + '\n' + QString(column, QLatin1Char(' '));
        text += line + QLatin1String(form.summary) + '\n';
    }
    return text;
}

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

// One option as --help lists it: its name, and its description wrapped beside it.
QString OptionLine(const QCommandLineOption& option) {
    constexpr int column = 24;
    constexpr int width = 79;
    QString name = QStringLiteral("  --") + option.names().constLast();
    if (!option.valueName().isEmpty())
        name += QStringLiteral(" <%1>").arg(option.valueName());
    QString text = name.leftJustified(column - 1);
    qsizetype lineLength = text.size();
    for (const QString& word : option.description().split(' ')) {
        if (lineLength + 1 + word.size() > width) {
            text += '\n' + QString(column - 1, QLatin1Char(' '));
            lineLength = column - 1;
        }
        text += ' ' + word;
        lineLength += 1 + word.size();
    }
    return text + '\n';
}

// What help COMMAND and COMMAND --help print.
QString CommandHelp(const CommandForm& form,
                    const std::map<QString, const QCommandLineOption*>& options) {
    QString text = QStringLiteral("Usage: kelvarin-cli [options] %1 %2\n\n%3\n")
                       .arg(QLatin1String(form.name), QLatin1String(form.arguments),
                            QLatin1String(form.description));
    const QStringList own = QString::fromLatin1(form.options).split(' ', Qt::SkipEmptyParts);
    if (!own.isEmpty()) {
        text += QStringLiteral("\nOptions:\n");
        for (const QString& name : own)
            text += OptionLine(*options.at(name));
    }
    const bool console = !IsFileCommand(form.command);
    return text + QStringLiteral("\nAlso: %1--json. kelvarin-cli --help lists every option.\n")
                      .arg(console ? QStringLiteral("--port, --demo, --log-file, --trace-file, "
                                                    "--quiet, ")
                                   : QStringLiteral("--log-file, --trace-file, "));
}

// "takes 2 argument(s)", "takes 1 or 2 arguments", "takes at least 2 arguments".
QString ArgumentCountText(const CommandForm& form) {
    if (form.maxArguments < 0)
        return QStringLiteral("at least %1 arguments").arg(form.minArguments);
    if (form.maxArguments > form.minArguments)
        return QStringLiteral("%1 or %2 arguments").arg(form.minArguments).arg(form.maxArguments);
    return QStringLiteral("%1 argument(s)").arg(form.minArguments);
}

} // namespace

bool IsFileCommand(CliCommand command) {
    switch (command) {
    case CliCommand::Show:
    case CliCommand::Diff:
    case CliCommand::New:
    case CliCommand::Set:
    case CliCommand::Clear:
    case CliCommand::ImportCsv:
    case CliCommand::ExportCsv:
        return true;
    default:
        return false;
    }
}

QString CliUsage() {
    return QStringLiteral("Usage: kelvarin-cli [options] COMMAND [ARGS]\n\n") + CommandsText() +
           QStringLiteral("\nkelvarin-cli --help lists the options, kelvarin-cli help COMMAND "
                          "tells about one command.\n");
}

bool ParseListChoice(const QString& text, std::span<const char* const> texts,
                     std::span<const char* const> names, uint8_t& code) {
    int value = 0;
    if (ParseDigits(text, 1, value) && value < int(texts.size())) {
        code = static_cast<uint8_t>(value);
        return true;
    }
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (text == QString::fromUtf8(texts[i]) || text == QLatin1String(names[i])) {
            code = static_cast<uint8_t>(i);
            return true;
        }
    }
    return false;
}

bool ParsePeriod(const QString& text, uint8_t& periodCode) {
    for (std::size_t i = 0; i < periodNames.size(); ++i) {
        if (text == QLatin1String(periodNames[i])) {
            periodCode = PeriodCodeForIndex(int(i));
            return true;
        }
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
        CommandsText().chopped(1));
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
    const QCommandLineOption jsonOption(
        QStringLiteral("json"),
        QStringLiteral("Print the outcome as one JSON object, a failure's too."));
    const QCommandLineOption quietOption(QStringLiteral("quiet"),
                                         QStringLiteral("Do not copy the log to standard error."));
    const QCommandLineOption yesOption(
        QStringLiteral("yes"),
        QStringLiteral("write-number: overwrite an object that is already learned."));
    const QCommandLineOption forceOption(
        QStringLiteral("force"),
        QStringLiteral("read-base, new, import-csv: replace FILE if it exists."));
    const QCommandLineOption skipBadOption(
        QStringLiteral("skip-bad"),
        QStringLiteral("import-csv: leave out the lines that cannot be read, and write FILE of "
                       "the others."));
    const QCommandLineOption probeOption(
        QStringLiteral("probe"),
        QStringLiteral("ports: send one \"Read Setup\" on each free port and show which answers "
                       "as a console."));
    const QCommandLineOption modeOption(QStringLiteral("mode"),
                                        QStringLiteral("write-setup: console mode, %1, or 0..2 "
                                                       "or %2.")
                                            .arg(Joined(modeNames), Joined(modeTexts)),
                                        QStringLiteral("M"));
    const QCommandLineOption periodOption(
        QStringLiteral("period"),
        QStringLiteral("write-setup: channel-check period in minutes, 4, 6, ..., 20 (or 4min, "
                       "..., 20min), or off."),
        QStringLiteral("P"));
    const QCommandLineOption relayOption(QStringLiteral("relay"),
                                         QStringLiteral("write-setup: relay, %1, or 0..2 or %2.")
                                             .arg(Joined(relayNames), Joined(relayTexts)),
                                         QStringLiteral("R"));
    const QCommandLineOption backlightOption(
        QStringLiteral("backlight"),
        QStringLiteral("write-setup: backlight, %1, or 0..2 or %2.")
            .arg(Joined(backlightNames), Joined(backlightTexts)),
        QStringLiteral("B"));
    const QCommandLineOption* const allOptions[] = {
        &portOption,  &demoOption,   &traceFileOption, &logFileOption,  &jsonOption,
        &quietOption, &yesOption,    &forceOption,     &skipBadOption,  &probeOption,
        &modeOption,  &periodOption, &relayOption,     &backlightOption};
    std::map<QString, const QCommandLineOption*> optionsByName;
    for (const QCommandLineOption* option : allOptions) {
        parser.addOption(*option);
        optionsByName[option->names().constLast()] = option;
    }
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("One of the commands above, with its arguments."),
                                 QStringLiteral("COMMAND [ARGS]"));

    // A script that asked for JSON gets its one object even for a usage error.
    const bool json = arguments.contains(QStringLiteral("--json"));
    auto usageError = [&](const QString& reason) {
        stop = {exitUsage,
                json ? JsonLine(OutcomeJson(options.commandName, exitUsage, {}, reason))
                     : QString(),
                QStringLiteral("kelvarin-cli: %1\n\n").arg(reason) + CliUsage()};
        return false;
    };
    auto help = [&stop](const QString& text) {
        stop = {exitDone, text, {}};
        return false;
    };

    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    QStringList positional = parser.positionalArguments();
    const QString helpOrVersion = HelpOrVersionText(parser, QStringLiteral("kelvarin-cli"));
    const bool helpCommand = positional.value(0) == QLatin1String("help");
    if (!helpOrVersion.isEmpty() || helpCommand) {
        const QString name = positional.value(helpCommand ? 1 : 0);
        if (parser.isSet(QStringLiteral("version")) || name.isEmpty())
            return help(helpCommand ? parser.helpText() : helpOrVersion);
        if (const CommandForm* form = FindCommand(name))
            return help(CommandHelp(*form, optionsByName));
        return usageError(QStringLiteral("unknown command %1").arg(name));
    }
    for (const QCommandLineOption* option : allOptions) {
        const QStringList values =
            option->valueName().isEmpty() ? QStringList() : parser.values(*option);
        if (values.size() > 1)
            return usageError(
                QStringLiteral("--%1 is given more than once").arg(option->names()[0]));
        if (values.size() == 1 && values[0].isEmpty())
            return usageError(
                QStringLiteral("--%1 is given an empty value").arg(option->names()[0]));
    }

    if (positional.isEmpty())
        return usageError(QStringLiteral("no command given"));
    options.commandName = positional.takeFirst();
    const CommandForm* form = FindCommand(options.commandName);
    if (!form)
        return usageError(QStringLiteral("unknown command %1").arg(options.commandName));
    if (positional.size() < form->minArguments ||
        (form->maxArguments >= 0 && positional.size() > form->maxArguments))
        return usageError(QStringLiteral("%1 takes %2, not %3")
                              .arg(options.commandName, ArgumentCountText(*form))
                              .arg(positional.size()));
    options.command = form->command;

    // N and XXX.YYY of read-number, write-number, set and clear.
    const auto objectAt = [&](qsizetype index, int& object) {
        const std::optional<int> number = ParseObjectNumber(positional[index].toStdString());
        if (!number)
            return usageError(
                QStringLiteral("the object number is 1..600, not %1").arg(positional[index]));
        object = *number;
        return true;
    };
    const auto transmitterAt = [&](qsizetype index) {
        const std::optional<TransmitterNumber> transmitter =
            ParseTransmitterNumber(positional[index].toStdString());
        if (!transmitter)
            return usageError(
                QStringLiteral("the transmitter number is XXX.YYY, each part 0..255, not %1")
                    .arg(positional[index]));
        options.transmitterByte1 = transmitter->byte1;
        options.transmitterByte2 = transmitter->byte2;
        return true;
    };
    switch (options.command) {
    case CliCommand::ReadNumber:
    case CliCommand::WriteNumber:
    case CliCommand::Set: {
        // set: FILE first.
        const qsizetype first = options.command == CliCommand::Set ? 1 : 0;
        int object = 0;
        if (!objectAt(first, object))
            return false;
        options.objectNumber = static_cast<uint16_t>(object);
        if (options.command != CliCommand::ReadNumber && !transmitterAt(first + 1))
            return false;
        if (first == 1)
            options.files = positional.mid(0, 1);
        break;
    }
    case CliCommand::Clear:
        for (qsizetype i = 1; i < positional.size(); ++i) {
            int object = 0;
            if (!objectAt(i, object))
                return false;
            options.objectsToClear << object;
        }
        options.files = positional.mid(0, 1);
        break;
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
        std::span<const char* const> texts;
        std::span<const char* const> names;
        std::optional<uint8_t>& code;
    };
    const ListOption listOptions[] = {
        {modeOption, modeTexts, modeNames, options.setupChange.mode},
        {relayOption, relayTexts, relayNames, options.setupChange.relay},
        {backlightOption, backlightTexts, backlightNames, options.setupChange.backlight},
    };
    for (const ListOption& list : listOptions) {
        if (!parser.isSet(list.option))
            continue;
        uint8_t code = 0;
        if (!ParseListChoice(parser.value(list.option), list.texts, list.names, code))
            return usageError(QStringLiteral("--%1 takes %2, or 0, 1, 2 or %3, not %4")
                                  .arg(list.option.names()[0], Joined(list.names),
                                       Joined(list.texts), parser.value(list.option)));
        list.code = code;
    }
    if (parser.isSet(periodOption)) {
        uint8_t code = 0;
        if (!ParsePeriod(parser.value(periodOption), code))
            return usageError(
                QStringLiteral("--period takes minutes 4, 6, ..., 20 (4min, ..., 20min) or off, "
                               "not %1")
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
    if (options.force && options.command != CliCommand::ReadBase &&
        options.command != CliCommand::New && options.command != CliCommand::ImportCsv)
        return usageError(QStringLiteral("--force belongs to read-base, new and import-csv"));
    options.skipBad = parser.isSet(skipBadOption);
    if (options.skipBad && options.command != CliCommand::ImportCsv)
        return usageError(QStringLiteral("--skip-bad belongs to import-csv"));
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
    if (options.json && options.command == CliCommand::ExportCsv && options.files.size() < 2)
        return usageError(QStringLiteral("export-csv --json needs CSV: standard output takes "
                                         "the CSV itself"));
    options.quiet = parser.isSet(quietOption);
    options.yes = parser.isSet(yesOption);
    return true;
}
