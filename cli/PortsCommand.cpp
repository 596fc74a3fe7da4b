#include "cli/PortsCommand.h"

#include "cli/ResultText.h"
#include "front/CFrontEndStart.h"
#include "front/CPortProbe.h"
#include "front/PortChoice.h"

#include <QEventLoop>
#include <QJsonArray>

namespace {

QString ComNamesText(const SerialPortEntry& entry) {
    QStringList names;
    for (const ComNameOnDevice& com : entry.comNames)
        names << (com.isDefault ? com.portName + QStringLiteral(" (default)") : com.portName);
    return names.join(QStringLiteral(", "));
}

const char* VerdictWord(ProbeResult::Verdict verdict) {
    switch (verdict) {
    case ProbeResult::Console:
        return "console";
    case ProbeResult::NoAnswer:
        return "no answer";
    case ProbeResult::NotAConsole:
        return "not a console";
    case ProbeResult::NotProbed:
        break;
    }
    return "not probed";
}

QString ProbeText(const ProbeResult& probe) {
    switch (probe.verdict) {
    case ProbeResult::Console:
        return QStringLiteral("console, version ") +
               VersionText(probe.versionMajor, probe.versionMinor);
    case ProbeResult::NoAnswer:
        return QStringLiteral("no answer within %1 s").arg(CPortProbe::answerTimeMs / 1000);
    case ProbeResult::NotAConsole:
        return QStringLiteral("not a console: %1 bytes came back, no valid \"U\" telegram among "
                              "them")
            .arg(probe.bytesReceived);
    case ProbeResult::NotProbed:
        break;
    }
    return QStringLiteral("not probed: it cannot be opened");
}

QJsonValue TextOrNull(const QString& text) {
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

// Where the console answered, and how to reach it when no port name leads there.
QString ConsoleFoundLine(const SerialPortEntry& entry) {
    const QString version = VersionText(entry.probe.versionMajor, entry.probe.versionMinor);
    if (entry.comNames.isEmpty())
        return QStringLiteral("the console (version %1) answers on %2, which no COM name leads "
                              "to: use --port COM1=%2, or set Ports/COM1 in the profile\n")
            .arg(version, entry.devicePath);
    return QStringLiteral("the console (version %1) answers on %2 (%3)\n")
        .arg(version, entry.devicePath, ComNamesText(entry));
}

} // namespace

QString PortLines(const QList<SerialPortEntry>& entries, bool probed) {
    QString text;
    auto field = [&text](const char* name, const QString& value) {
        if (!value.isEmpty())
            text += QStringLiteral("    %1%2\n").arg(QLatin1String(name), -13).arg(value);
    };
    QString found;
    for (const SerialPortEntry& entry : entries) {
        text += entry.devicePath + '\n';
        field("COM names", ComNamesText(entry));
        for (const QString& link : entry.byIdPaths)
            field("by-id", link);
        field("description", entry.description);
        field("maker", entry.manufacturer);
        field("serial", entry.serialNumber);
        field("access", entry.access);
        if (probed)
            field("probe", ProbeText(entry.probe));
        text += '\n';
        if (entry.probe.verdict == ProbeResult::Console)
            found += ConsoleFoundLine(entry);
    }
    if (probed)
        text += found.isEmpty() ? QStringLiteral("no console answered; each free port was asked "
                                                 "once and given %1 s\n")
                                      .arg(CPortProbe::answerTimeMs / 1000)
                                : found;
    return text;
}

QJsonObject PortsJson(const QList<SerialPortEntry>& entries, bool probed) {
    QJsonArray ports;
    for (const SerialPortEntry& entry : entries) {
        QJsonArray comNames;
        for (const ComNameOnDevice& com : entry.comNames)
            comNames.append(QJsonObject{{QStringLiteral("name"), com.portName},
                                        {QStringLiteral("default"), com.isDefault}});
        QJsonObject port{{QStringLiteral("device"), entry.devicePath},
                         {QStringLiteral("byId"), QJsonArray::fromStringList(entry.byIdPaths)},
                         {QStringLiteral("description"), TextOrNull(entry.description)},
                         {QStringLiteral("manufacturer"), TextOrNull(entry.manufacturer)},
                         {QStringLiteral("serialNumber"), TextOrNull(entry.serialNumber)},
                         {QStringLiteral("comNames"), comNames},
                         {QStringLiteral("free"), entry.free},
                         {QStringLiteral("access"), entry.access}};
        if (probed) {
            const ProbeResult& probe = entry.probe;
            QJsonObject result{
                {QStringLiteral("result"), QLatin1String(VerdictWord(probe.verdict))},
                {QStringLiteral("bytes"), probe.bytesReceived}};
            if (probe.verdict == ProbeResult::Console)
                result.insert(QStringLiteral("version"),
                              VersionText(probe.versionMajor, probe.versionMinor));
            port.insert(QStringLiteral("probe"), result);
        }
        ports.append(port);
    }
    return {{QStringLiteral("probed"), probed}, {QStringLiteral("ports"), ports}};
}

CliResult RunPorts(const CliOptions& options, CFrontEndStart& start) {
    CPortMapping mapping;
    QStringList extraDevices;
    QString error;
    if (options.demo) {
        if (!start.StartDemo(mapping, error))
            return StartFailure(options, exitPortFailed, error);
    } else if (!options.port.isEmpty()) {
        PortChoice choice;
        ChoosePort(options.port, choice, error);
        mapping = choice.mapping;
        if (choice.portName.isEmpty())
            extraDevices << choice.devicePath;
    }

    QList<SerialPortEntry> entries =
        ListSerialPorts(mapping, extraDevices, options.portsNamed, SerialPortSources::System());
    if (options.probe) {
        CPortProbe probe;
        QEventLoop loop;
        QObject::connect(&probe, &CPortProbe::finished, &loop, &QEventLoop::quit);
        probe.Start(entries);
        loop.exec();
        entries = probe.Entries();
    } else {
        CheckAccess(entries);
    }

    const bool consoleFound =
        std::any_of(entries.begin(), entries.end(), [](const SerialPortEntry& entry) {
            return entry.probe.verdict == ProbeResult::Console;
        });
    const int exitCode = options.probe && !consoleFound ? exitNoAnswer : exitDone;
    return {exitCode,
            options.json ? JsonLine(OutcomeJson(options.commandName, exitCode,
                                                PortsJson(entries, options.probe)))
                         : PortLines(entries, options.probe),
            {}};
}
