#include "base/TransmitterNumber.h"

#include "base/ObjectBase.h"

#include <cstdio>

namespace {

// One to maxDigits decimal digits, nothing else.
std::optional<int> ParseDigits(std::string_view text, std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits)
        return std::nullopt;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

bool IsLearned(uint8_t byte1, uint8_t byte2) {
    return !(byte1 == 255 && byte2 == 255);
}

std::string TransmitterText(uint8_t byte1, uint8_t byte2) {
    char text[8];
    std::snprintf(text, sizeof text, "%03d.%03d", byte2, byte1);
    return text;
}

std::optional<TransmitterNumber> ParseTransmitterNumber(std::string_view text) {
    const std::size_t point = text.find('.');
    if (point == std::string_view::npos)
        return std::nullopt;
    const std::optional<int> second = ParseDigits(text.substr(0, point), 3);
    const std::optional<int> first = ParseDigits(text.substr(point + 1), 3);
    if (!second || !first || *second > 255 || *first > 255)
        return std::nullopt;
    return TransmitterNumber{static_cast<uint8_t>(*first), static_cast<uint8_t>(*second)};
}

std::optional<int> ParseObjectNumber(std::string_view text) {
    const std::optional<int> number = ParseDigits(text, 3);
    if (!number || *number < 1 || *number > objectCount)
        return std::nullopt;
    return number;
}

uint8_t LineByte(int32_t field) {
    return static_cast<uint8_t>(field & 0xFF);
}
