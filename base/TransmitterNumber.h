#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A transmitter number is two bytes. Telegrams carry byte1 first; the operator
// reads byte2, a point and byte1, each as three decimal digits: "034.012" is
// byte2 34 and byte1 12. These are the one place where the two forms meet, for
// the panel, the base window, the command line and base-file imports alike.
struct TransmitterNumber {
    uint8_t byte1 = 255;
    uint8_t byte2 = 255;

    bool operator==(const TransmitterNumber&) const = default;
};

// An object counts as not learned exactly when both transmitter bytes are 255.
bool IsLearned(uint8_t byte1, uint8_t byte2);

// "%03d.%03d" of byte2 and byte1: "034.012".
std::string TransmitterText(uint8_t byte1, uint8_t byte2);

// "034.012" or "34.12": two groups of one to three decimal digits, each 0..255,
// joined by a point, with nothing around them.
std::optional<TransmitterNumber> ParseTransmitterNumber(std::string_view text);

// An object's number, 1..objectCount, as one to three decimal digits ("7", "007").
std::optional<int> ParseObjectNumber(std::string_view text);

// What a table field holds of the transmitter number: its low 8 bits, all of it
// that ever reaches the console (a loaded base file may hold any value there).
uint8_t LineByte(int32_t field);
