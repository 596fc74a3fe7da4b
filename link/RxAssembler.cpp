#include "link/RxAssembler.h"

const char* const rxTimeoutMessage = "Тайм-аут при приеме телеграммы";

const char* RxErrorMessage(RxResult result) {
    switch (result) {
    case RxResult::FramingError:
        return "Ошибка приема телеграммы";
    case RxResult::ChecksumError:
        return "Ошибка CRC телеграммы";
    case RxResult::TypeError:
        return "Не верный тип телеграммы";
    case RxResult::Pending:
    case RxResult::Accepted:
        break;
    }
    return nullptr;
}

namespace {

bool IsAcceptedLetter(uint8_t letter) {
    switch (letter) {
    case 'T':
    case 'I':
    case 'A':
    case 'B':
    case 'O':
    case 'U':
        return true;
    default:
        return false;
    }
}

} // namespace

RxResult CRxAssembler::AssembleRxByte(uint8_t byte) {
    if (rxCount == 0) {
        if (byte != telegramStart)
            return RxResult::Pending;
        rxTelegram[0] = byte;
        rxCount = 1;
        return RxResult::Pending;
    }
    rxTelegram[rxCount] = byte;
    ++rxCount;
    if (rxCount < telegramSize)
        return RxResult::Pending;

    // Whatever the checks find, the next byte starts a new search for "~".
    rxCount = 0;
    rxGapTicks = 0;
    if (rxTelegram[24] != 0x0D || rxTelegram[25] != 0x0A)
        return RxResult::FramingError;
    if (TelegramChecksum(rxTelegram.data(), telegramChecksumAt) != rxTelegram[telegramChecksumAt])
        return RxResult::ChecksumError;
    if (!IsAcceptedLetter(rxTelegram[1]))
        return RxResult::TypeError;
    return RxResult::Accepted;
}

bool CRxAssembler::CheckRxGap() {
    if (rxCount == 0)
        return false;
    ++rxGapTicks;
    if (rxGapTicks < 10)
        return false;
    rxCount = 0;
    rxGapTicks = 0;
    return true;
}
