#include "cli/ResultText.h"

#include "base/TransmitterNumber.h"
#include "cli/BaseFiles.h"
#include "exchange/EditorMapping.h"
#include "exchange/SettingTexts.h"
#include "link/Telegram.h"

#include <QJsonDocument>

#include <algorithm>
#include <span>

namespace {

// The text of the list item that stands for code, or a null value for a code
// the list has no item for.
QJsonValue ItemJson(std::span<const char* const> items, bool listed, int index) {
    return listed ? QJsonValue(QString::fromUtf8(items[std::size_t(index)])) : QJsonValue::Null;
}

QString ItemText(const QJsonValue& item, uint8_t code) {
    return item.isNull() ? QStringLiteral("%1 (not in the window's list)").arg(code)
                         : item.toString();
}

QJsonValue ListItemJson(std::span<const char* const> items, uint8_t code) {
    return ItemJson(items, IsListedCode(code, int(items.size())), code);
}

QJsonValue PeriodItemJson(uint8_t code) {
    return ItemJson(periodTexts, IsListedPeriodCode(code), PeriodIndexForCode(code));
}

QJsonObject ListSettingJson(std::span<const char* const> items, uint8_t code) {
    return {{QStringLiteral("code"), code}, {QStringLiteral("text"), ListItemJson(items, code)}};
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

QJsonObject ObjectJson(const QString& command, int objectNumber, uint8_t byte1, uint8_t byte2) {
    return {{QStringLiteral("command"), command},
            {QStringLiteral("object"), objectNumber},
            {QStringLiteral("transmitter"), NumberText(byte1, byte2)},
            {QStringLiteral("learned"), IsLearned(byte1, byte2)}};
}

QString SetupLines(const SetupShown& settings) {
    return QStringLiteral("mode       %1\nperiod     %2\nrelay      %3\nbacklight  %4\n"
                          "version    %5\n")
        .arg(ItemText(ListItemJson(modeTexts, settings.modeCode), settings.modeCode),
             ItemText(PeriodItemJson(settings.periodCode), settings.periodCode),
             ItemText(ListItemJson(relayTexts, settings.relayCode), settings.relayCode),
             ItemText(ListItemJson(backlightTexts, settings.backlightCode), settings.backlightCode),
             VersionText(settings.versionMajor, settings.versionMinor));
}

QJsonObject SetupJson(const QString& command, const SetupShown& settings) {
    const uint8_t periodCode = settings.periodCode;
    // Codes 2..10 are that many two-minute steps; 1 is "off", and any other code
    // is none the window knows.
    const QJsonValue minutes =
        periodCode >= 2 && periodCode <= 10 ? QJsonValue(periodCode * 2) : QJsonValue::Null;
    return {{QStringLiteral("command"), command},
            {QStringLiteral("mode"), ListSettingJson(modeTexts, settings.modeCode)},
            {QStringLiteral("period"),
             QJsonObject{{QStringLiteral("code"), periodCode},
                         {QStringLiteral("minutes"), minutes},
                         {QStringLiteral("text"), PeriodItemJson(periodCode)}}},
            {QStringLiteral("relay"), ListSettingJson(relayTexts, settings.relayCode)},
            {QStringLiteral("backlight"), ListSettingJson(backlightTexts, settings.backlightCode)},
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
