#include "link/Telegram.h"

namespace {

// The per-byte rule, once for each of the 256 values; CrcStep is then a lookup.
constexpr std::array<uint8_t, 256> MakeCrcTable() {
    std::array<uint8_t, 256> table{};
    for (unsigned value = 0; value < 256; ++value) {
        uint8_t crc = static_cast<uint8_t>(value);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint8_t>((crc >> 1) ^ 0xB8)
                            : static_cast<uint8_t>(crc >> 1);
        table[value] = crc;
    }
    return table;
}

constexpr std::array<uint8_t, 256> crcTable = MakeCrcTable();

} // namespace

uint8_t CrcStep(uint8_t byte, uint8_t crc) {
    return crcTable[static_cast<uint8_t>(byte ^ crc)];
}

uint8_t TelegramChecksum(const uint8_t* bytes, std::size_t count) {
    uint8_t crc = 0;
    for (std::size_t i = 0; i < count; ++i)
        crc = CrcStep(bytes[i], crc);
    return crc;
}

Telegram BlankTelegram(char letter) {
    Telegram telegram;
    telegram.fill(telegramFiller);
    telegram[0] = telegramStart;
    telegram[1] = static_cast<uint8_t>(letter);
    return telegram;
}

void FrameTelegram(Telegram& telegram) {
    telegram[telegramChecksumAt] = TelegramChecksum(telegram.data(), telegramChecksumAt);
    telegram[24] = 0x0D;
    telegram[25] = 0x0A;
}
