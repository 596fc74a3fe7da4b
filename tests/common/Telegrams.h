#pragma once

#include "link/Telegram.h"

#include <QByteArray>

#include <algorithm>
#include <initializer_list>

// A telegram as either end of the line frames it: the payload from byte 2 on,
// "0" in the bytes it leaves, checksum and CR LF.
inline Telegram FramedTelegram(char letter, std::initializer_list<uint8_t> payload = {}) {
    Telegram telegram = BlankTelegram(letter);
    std::copy(payload.begin(), payload.end(), telegram.begin() + 2);
    FrameTelegram(telegram);
    return telegram;
}

inline QByteArray TelegramBytes(const Telegram& telegram) {
    return QByteArray(reinterpret_cast<const char*>(telegram.data()), telegramSize);
}
