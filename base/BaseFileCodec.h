#pragma once

#include "base/ObjectBase.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// A base file is table entries 0..objectCount as records of three little-endian
// 32-bit integers (number, byte1, byte2), with no header and nothing after them.
constexpr std::size_t baseRecordCount = objectCount + 1;
constexpr std::size_t baseRecordSize = 12;
constexpr std::size_t baseFileSize = baseRecordCount * baseRecordSize;

using BaseFileBytes = std::array<uint8_t, baseFileSize>;

// The file image of entries 0..objectCount of table.
BaseFileBytes EncodeBaseFile(const ObjectTable& table);

// Takes the first baseFileSize bytes into entries 0..objectCount of table, as they
// stand. Fails for fewer bytes, and then leaves table untouched.
bool DecodeBaseFile(std::span<const uint8_t> bytes, ObjectTable& table);
