#include "base/ObjectBase.h"

void CObjectBase::StoreBlock(uint8_t blockIndex, const Telegram& rxTelegram) {
    for (int i = 0; i < objectsPerBlock; ++i) {
        const int entry = objectsPerBlock * blockIndex + i + 1;
        if (entry > objectCount)
            return;
        deviceTable[entry] = {entry, rxTelegram[3 + 2 * i], rxTelegram[4 + 2 * i]};
    }
}

void CObjectBase::ReadBlock(uint8_t blockIndex, Telegram& txTelegram) const {
    for (int i = 0; i < objectsPerBlock; ++i) {
        const int entry = objectsPerBlock * blockIndex + i + 1;
        if (entry > objectCount)
            return;
        txTelegram[3 + 2 * i] = static_cast<uint8_t>(fileTable[entry].byte1 & 0xFF);
        txTelegram[4 + 2 * i] = static_cast<uint8_t>(fileTable[entry].byte2 & 0xFF);
    }
}
