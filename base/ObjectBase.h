#pragma once

#include "link/Telegram.h"

#include <array>
#include <cstdint>

// One entry of an object table, as it stands in a base file.
struct ObjectRecord {
    int32_t number = 0; // the object's number; 0 until the entry is filled
    int32_t byte1 = 0;  // first transmitter byte (shown after the point)
    int32_t byte2 = 0;  // second transmitter byte (shown before the point)

    bool operator==(const ObjectRecord&) const = default;
};

// Objects 1..600; entry 0 is a placeholder that only takes part in base files.
constexpr int objectCount = 600;
constexpr int objectTableSize = 650;
constexpr int objectsPerBlock = 10;
constexpr int blockCount = objectCount / objectsPerBlock;

using ObjectTable = std::array<ObjectRecord, objectTableSize>;

// The two copies of the base the program keeps, and the flags that gate them:
// a save needs a complete device table, "Write Base" needs a file table.
struct CObjectBase {
    ObjectTable deviceTable{}; // as last read from the console
    ObjectTable fileTable{};   // as last loaded from or saved to a base file
    int32_t deviceBaseComplete = 0;
    int32_t fileBaseLoaded = 0;

    // Stores the ten objects of a "B" reply (bytes 3..22) under block blockIndex.
    void StoreBlock(uint8_t blockIndex, const Telegram& rxTelegram);

    // The data of a "W" request for block blockIndex from the file table:
    // the low 8 bits of byte1 and byte2 of its ten objects into telegram bytes 3..22.
    void ReadBlock(uint8_t blockIndex, Telegram& txTelegram) const;
};
