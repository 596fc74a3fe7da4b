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

// The list item's text, or a null value for an index past the list (the window
// then shows no item).
QJsonValue ItemJson(std::span<const char* const> items, int index) {
    if (index < 0 || index >= int(items.size()))
        return QJsonValue::Null;
    return QString::fromUtf8(items[std::size_t(index)]);
}

QString ItemText(std::span<const char* const> items, int index) {
    const QJsonValue item = ItemJson(items, index);
    return item.isNull() ? QStringLiteral("%1 (not in the window's list)").arg(index)
                         : item.toString();
}

QJsonObject ListSettingJson(std::span<const char* const> items, int index) {
    return {{QStringLiteral("code"), ListIndexByte(index)},
            {QStringLiteral("text"), ItemJson(items, index)}};
}

QString NumberText(uint8_t byte1, uint8_t byte2) {
    return QString::fromStdString(::TransmitterText(byte1, byte2));
}

QString VersionText(const SettingsShown& settings) {
    return QString::asprintf("%01d.%02d", settings.versionMajor, settings.versionMinor);
}

} // namespace

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

QString SetupLines(const SettingsShown& settings) {
    return QStringLiteral("mode       %1\nperiod     %2\nrelay      %3\nbacklight  %4\n"
                          "version    %5\n")
        .arg(ItemText(modeTexts, settings.modeIndex), ItemText(periodTexts, settings.periodIndex),
             ItemText(relayTexts, settings.relayIndex),
             ItemText(backlightTexts, settings.backlightIndex), VersionText(settings));
}

QJsonObject SetupJson(const QString& command, const SettingsShown& settings) {
    const uint8_t periodCode = PeriodCodeForIndex(settings.periodIndex);
    // Code 1 is "off"; codes 2..10 are that many two-minute steps.
    const QJsonValue minutes = periodCode == 1 ? QJsonValue::Null : QJsonValue(periodCode * 2);
    return {{QStringLiteral("command"), command},
            {QStringLiteral("mode"), ListSettingJson(modeTexts, settings.modeIndex)},
            {QStringLiteral("period"),
             QJsonObject{{QStringLiteral("code"), periodCode},
                         {QStringLiteral("minutes"), minutes},
                         {QStringLiteral("text"), ItemJson(periodTexts, settings.periodIndex)}}},
            {QStringLiteral("relay"), ListSettingJson(relayTexts, settings.relayIndex)},
            {QStringLiteral("backlight"), ListSettingJson(backlightTexts, settings.backlightIndex)},
            {QStringLiteral("version"), VersionText(settings)}};
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
