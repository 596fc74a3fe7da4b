#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Every message on the line, both ways: "~", a type letter, 21 payload bytes,
// the CRC-8 of bytes 0..22, CR LF. Only the fixed length ends a telegram.
constexpr std::size_t telegramSize = 26;
constexpr std::size_t telegramChecksumAt = 23;
constexpr uint8_t telegramStart = 0x7E;
constexpr uint8_t telegramFiller = 0x30; // "0" in every byte a telegram does not use

using Telegram = std::array<uint8_t, telegramSize>;

// One byte of the CRC-8 (polynomial 0x1D, reflected, initial 0, no final xor).
uint8_t CrcStep(uint8_t byte, uint8_t crc);

// Checksum of a byte sequence: starts at 0 and applies CrcStep to each byte.
uint8_t TelegramChecksum(const uint8_t* bytes, std::size_t count);

// A request ready for its payload: "~", the letter, "0" in bytes 2..22.
Telegram BlankTelegram(char letter);

// Completes a telegram: checksum into byte 23, CR LF into bytes 24 and 25.
void FrameTelegram(Telegram& telegram);
