#include "cli/ResultText.h"

#include "base/TransmitterNumber.h"
#include "cli/SettingNames.h"
#include "exchange/EditorMapping.h"
#include "exchange/SettingTexts.h"
#include "link/Telegram.h"

#include <QJsonDocument>

#include <algorithm>
#include <span>

namespace {

// A setting as JSON: its code, and for a code its list has an item for, the item's
// ASCII name and the window's text (else both null).
QJsonObject SettingJson(std::span<const char* const> texts, std::span<const char* const> names,
                        bool listed, int index, uint8_t code) {
    const auto item = [listed, index](std::span<const char* const> items) {
        return listed ? QJsonValue(QString::fromUtf8(items[std::size_t(index)]))
                      : QJsonValue(QJsonValue::Null);
    };
    return {{QStringLiteral("code"), code},
            {QStringLiteral("name"), item(names)},
            {QStringLiteral("text"), item(texts)}};
}

QJsonObject ListSettingJson(std::span<const char* const> texts, std::span<const char* const> names,
                            uint8_t code) {
    return SettingJson(texts, names, IsListedCode(code, int(texts.size())), code, code);
}

QJsonObject PeriodJson(uint8_t code) {
    QJsonObject period = SettingJson(periodTexts, periodNames, IsListedPeriodCode(code),
                                     PeriodIndexForCode(code), code);
    // Codes 2..10 are that many two-minute steps; 1 is "off", and any other code is
    // none the window knows.
    period[QStringLiteral("minutes")] =
        code >= 2 && code <= 10 ? QJsonValue(code * 2) : QJsonValue(QJsonValue::Null);
    return period;
}

// "РУЧНОЙ (manual)", or "3 (not in the window's list)".
QString SettingText(const QJsonObject& setting) {
    if (setting[QStringLiteral("text")].isNull())
        return QStringLiteral("%1 (not in the window's list)")
            .arg(setting[QStringLiteral("code")].toInt());
    return QStringLiteral("%1 (%2)").arg(setting[QStringLiteral("text")].toString(),
                                         setting[QStringLiteral("name")].toString());
}

QString NumberText(uint8_t byte1, uint8_t byte2) {
    return QString::fromStdString(::TransmitterText(byte1, byte2));
}

} // namespace

QString VersionText(int versionMajor, int versionMinor) {
    return QString::asprintf("%01d.%02d", versionMajor, versionMinor);
}

QString ObjectLine(int objectNumber, uint8_t byte1, uint8_t byte2) {
    return QString::asprintf("%03d  ", objectNumber) + NumberText(byte1, byte2) +
           (IsLearned(byte1, byte2) ? QStringLiteral("  learned")
                                    : QStringLiteral("  not learned"));
}

QJsonObject ObjectJson(int objectNumber, uint8_t byte1, uint8_t byte2) {
    return {{QStringLiteral("object"), objectNumber},
            {QStringLiteral("transmitter"), NumberText(byte1, byte2)},
            {QStringLiteral("learned"), IsLearned(byte1, byte2)}};
}

QString SetupLines(const SetupShown& settings) {
    const QJsonObject json = SetupJson(settings);
    return QStringLiteral("mode       %1\nperiod     %2\nrelay      %3\nbacklight  %4\n"
                          "version    %5\n")
        .arg(SettingText(json[QStringLiteral("mode")].toObject()),
             SettingText(json[QStringLiteral("period")].toObject()),
             SettingText(json[QStringLiteral("relay")].toObject()),
             SettingText(json[QStringLiteral("backlight")].toObject()),
             VersionText(settings.versionMajor, settings.versionMinor));
}

QJsonObject SetupJson(const SetupShown& settings) {
    return {{QStringLiteral("mode"), ListSettingJson(modeTexts, modeNames, settings.modeCode)},
            {QStringLiteral("period"), PeriodJson(settings.periodCode)},
            {QStringLiteral("relay"), ListSettingJson(relayTexts, relayNames, settings.relayCode)},
            {QStringLiteral("backlight"),
             ListSettingJson(backlightTexts, backlightNames, settings.backlightCode)},
            {QStringLiteral("version"), VersionText(settings.versionMajor, settings.versionMinor)}};
}

QString LearnedLines(const ObjectTable& table) {
    QString lines;
    for (int k = 1; k <= objectCount; ++k) {
        const uint8_t byte1 = LineByte(table[k].byte1);
        const uint8_t byte2 = LineByte(table[k].byte2);
        if (IsLearned(byte1, byte2))
            lines += QString::asprintf("%03d  ", k) + NumberText(byte1, byte2) + '\n';
    }
    return lines;
}

QJsonArray LearnedJson(const ObjectTable& table) {
    QJsonArray objects;
    for (int k = 1; k <= objectCount; ++k) {
        const uint8_t byte1 = LineByte(table[k].byte1);
        const uint8_t byte2 = LineByte(table[k].byte2);
        if (IsLearned(byte1, byte2))
            objects.append(QJsonObject{{QStringLiteral("object"), k},
                                       {QStringLiteral("transmitter"), NumberText(byte1, byte2)}});
    }
    return objects;
}

int LearnedCount(const ObjectTable& table) {
    int count = 0;
    for (int k = 1; k <= objectCount; ++k)
        count += IsLearned(LineByte(table[k].byte1), LineByte(table[k].byte2)) ? 1 : 0;
    return count;
}

std::vector<int> DifferingObjects(const ObjectTable& first, const ObjectTable& second) {
    std::vector<int> objects;
    for (int k = 1; k <= objectCount; ++k) {
        if (LineByte(first[k].byte1) != LineByte(second[k].byte1) ||
            LineByte(first[k].byte2) != LineByte(second[k].byte2))
            objects.push_back(k);
    }
    return objects;
}

QString DifferenceLines(const std::vector<int>& objects, const ObjectTable& first,
                        const ObjectTable& second) {
    QString lines;
    for (const int k : objects)
        lines += QString::asprintf("%03d  ", k) +
                 NumberText(LineByte(first[k].byte1), LineByte(first[k].byte2)) + "  " +
                 NumberText(LineByte(second[k].byte1), LineByte(second[k].byte2)) + '\n';
    return lines;
}

QJsonArray DifferencesJson(const std::vector<int>& objects, const ObjectTable& first,
                           const QString& firstKey, const ObjectTable& second,
                           const QString& secondKey) {
    QJsonArray differences;
    for (const int k : objects)
        differences.append(QJsonObject{
            {QStringLiteral("object"), k},
            {firstKey, NumberText(LineByte(first[k].byte1), LineByte(first[k].byte2))},
            {secondKey, NumberText(LineByte(second[k].byte1), LineByte(second[k].byte2))}});
    return differences;
}

QJsonObject OutcomeJson(const QString& command, int exitCode, QJsonObject fields,
                        const QString& error) {
    fields[QStringLiteral("schema")] = jsonSchema;
    fields[QStringLiteral("command")] =
        command.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(command);
    fields[QStringLiteral("exit")] = exitCode;
    if (!error.isEmpty())
        fields[QStringLiteral("error")] = error;
    return fields;
}

CliResult CommandOutcome(const CliOptions& options, int exitCode, const QString& text,
                         const QJsonObject& fields, const QString& why) {
    return {exitCode,
            options.json ? JsonLine(OutcomeJson(options.commandName, exitCode, fields, why)) : text,
            why.isEmpty() ? QString() : QStringLiteral("kelvarin-cli: %1\n").arg(why)};
}

CliResult CommandFailure(const CliOptions& options, int exitCode, const QString& why) {
    return CommandOutcome(options, exitCode, {}, {}, why);
}

CliResult StartFailure(const CliOptions& options, int exitCode, const QString& message) {
    CliResult failure =
        CommandFailure(options, exitCode, message.section(QStringLiteral(": "), 1).trimmed());
    failure.err = message;
    return failure;
}

QString JsonLine(const QJsonObject& object) {
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + '\n';
}

QString ProgressLine(int blocksDone) {
    constexpr int barWidth = 30;
    constexpr int baud = 2400;
    constexpr int bitsPerBlock = 2 * int(telegramSize) * 10; // request and reply, 8N1
    const int done = std::clamp(blocksDone, 0, blockCount);
    const int filled = done * barWidth / blockCount;
    const int secondsLeft = ((blockCount - done) * bitsPerBlock + baud - 1) / baud;
    return QStringLiteral("blocks %1/%2 [%3%4] %5 s left")
        .arg(done, 2)
        .arg(blockCount)
        .arg(QString(filled, QLatin1Char('#')), QString(barWidth - filled, QLatin1Char('-')))
        .arg(secondsLeft, 2);
}
