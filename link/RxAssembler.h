#pragma once

#include "link/Telegram.h"

#include <cstdint>

// What one received byte did to the telegram being assembled.
enum class RxResult {
    Pending,       // no telegram completed by this byte
    Accepted,      // a valid telegram now stands in rxTelegram
    FramingError,  // bytes 24 and 25 are not CR LF
    ChecksumError, // byte 23 is not the checksum of bytes 0..22
    TypeError,     // the letter is none of T, I, A, B, O, U
};

// The log message of a rejected telegram (without the time stamp), or nullptr.
const char* RxErrorMessage(RxResult result);

// Message logged when a partly received telegram is abandoned.
extern const char* const rxTimeoutMessage;

// Turns the byte stream from the port into checked telegrams. The start mark is
// looked for only between telegrams; inside one, 0x7E is ordinary data.
struct CRxAssembler {
    Telegram rxTelegram{};
    uint16_t rxCount = 0;    // bytes of the telegram being assembled; 0: waiting for "~"
    uint16_t rxGapTicks = 0; // ticks spent assembling the current telegram

    RxResult AssembleRxByte(uint8_t byte);

    // Once per timer tick. True when the tenth tick found a telegram unfinished
    // and it was dropped.
    bool CheckRxGap();
};
