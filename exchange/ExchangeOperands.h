#pragma once

#include <cstdint>
#include <optional>

// What a button takes from the panel at the click, already cut to the widths the
// telegrams carry: a spin's position to 16 or 8 bits, a list's index to 8 bits
// (no selection, -1, becomes 255), the channel period as its code.
struct NumberOperands {
    uint16_t objectNumber = 1;
    uint8_t transmitterByte1 = 0; // right-hand spin, shown after the point
    uint8_t transmitterByte2 = 0; // left-hand spin, shown before the point
};

struct SetupOperands {
    uint8_t setupMode = 0;
    uint8_t setupBacklight = 1;
    uint8_t setupRelay = 0;
    uint8_t setupPeriodCode = 5;

    bool operator==(const SetupOperands&) const = default;
};

// What an object reply shows: the number it names, both transmitter bytes and the
// object-state item (0 "НЕ ОБУЧЕН", 1 "ОБУЧЕН").
struct ObjectShown {
    int objectNumber = 0;
    int transmitterByte1 = 0;
    int transmitterByte2 = 0;
    int stateIndex = 0;
};

// What a settings reply carries: the four settings as the console reported them,
// as codes on the line (mode, relay and backlight are their list's index; a code
// past a list's end leaves the list with no selection), and the console's version.
struct SetupShown {
    uint8_t modeCode = 0;
    uint8_t periodCode = 5;
    uint8_t relayCode = 0;
    uint8_t backlightCode = 1;
    int versionMajor = 0;
    int versionMinor = 0;

    bool operator==(const SetupShown&) const = default;
};

// The settings a front end was told to change since the console last reported
// them, as codes on the line; the others are to stay as reported.
struct SetupChange {
    std::optional<uint8_t> mode;
    std::optional<uint8_t> periodCode;
    std::optional<uint8_t> relay;
    std::optional<uint8_t> backlight;

    bool IsEmpty() const { return !mode && !periodCode && !relay && !backlight; }
};
