// The base-file codec fed arbitrary files.
#include "FuzzCheck.h"
#include "base/BaseFileCodec.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ObjectTable table;
    for (int i = 0; i < objectTableSize; ++i)
        table[i] = {-i, i, 7 * i}; // a table that no file can produce by accident
    const ObjectTable before = table;

    const bool loaded = DecodeBaseFile({data, size}, table);
    FUZZ_CHECK(loaded == (size >= baseFileSize));
    if (!loaded) {
        FUZZ_CHECK(table == before); // a short file never half-replaces the table
        return 0;
    }
    // Entries past the last object never take part in a file.
    FUZZ_CHECK(
        std::equal(table.begin() + objectCount + 1, table.end(), before.begin() + objectCount + 1));
    // Loading is lossless: storing the loaded table gives the file's first bytes back.
    const BaseFileBytes stored = EncodeBaseFile(table);
    FUZZ_CHECK(std::memcmp(stored.data(), data, baseFileSize) == 0);
    return 0;
}
