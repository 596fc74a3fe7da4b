#pragma once

#include <cstdint>

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
};

// What an object reply shows: the number it names, both transmitter bytes and the
// object-state item (0 "НЕ ОБУЧЕН", 1 "ОБУЧЕН").
struct ObjectShown {
    int objectNumber = 0;
    int transmitterByte1 = 0;
    int transmitterByte2 = 0;
    int stateIndex = 0;
};

// What a settings reply shows: the list items to select (an index past a list's
// end leaves it with no selection) and the console's version.
struct SetupShown {
    int modeIndex = 0;
    int periodIndex = 0;
    int relayIndex = 0;
    int backlightIndex = 0;
    int versionMajor = 0;
    int versionMinor = 0;
};
