#include "base/BaseFileCodec.h"

namespace {

void PutInt32(uint8_t* at, int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(bits >> (8 * i));
}

int32_t GetInt32(const uint8_t* at) {
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= static_cast<uint32_t>(at[i]) << (8 * i);
    return static_cast<int32_t>(bits);
}

} // namespace

BaseFileBytes EncodeBaseFile(const ObjectTable& table) {
    BaseFileBytes bytes{};
    for (std::size_t k = 0; k < baseRecordCount; ++k) {
        uint8_t* record = bytes.data() + k * baseRecordSize;
        PutInt32(record, table[k].number);
        PutInt32(record + 4, table[k].byte1);
        PutInt32(record + 8, table[k].byte2);
    }
    return bytes;
}

bool DecodeBaseFile(std::span<const uint8_t> bytes, ObjectTable& table) {
    if (bytes.size() < baseFileSize)
        return false;
    for (std::size_t k = 0; k < baseRecordCount; ++k) {
        const uint8_t* record = bytes.data() + k * baseRecordSize;
        table[k] = {GetInt32(record), GetInt32(record + 4), GetInt32(record + 8)};
    }
    return true;
}
