#include "exchange/EditorMapping.h"

uint8_t PeriodCodeForIndex(int index) {
    if (index >= 0 && index <= 8)
        return static_cast<uint8_t>(index + 2);
    if (index == 9)
        return 1;
    return 5;
}

int PeriodIndexForCode(uint8_t code) {
    if (code == 1)
        return 9;
    if (code >= 2 && code <= 10)
        return code - 2;
    return 3;
}

int ObjectStateIndex(uint8_t firstByte, uint8_t secondByte) {
    return IsLearned(firstByte, secondByte) ? 1 : 0;
}

uint8_t ListIndexByte(int index) {
    return static_cast<uint8_t>(index & 0xFF);
}

bool IsListedCode(uint8_t code, int listSize) {
    return code < listSize;
}

bool IsListedPeriodCode(uint8_t code) {
    return code >= 1 && code <= 10;
}

SetupOperands MergeSetup(const SetupShown& reported, const SetupChange& change) {
    return {.setupMode = change.mode.value_or(reported.modeCode),
            .setupBacklight = change.backlight.value_or(reported.backlightCode),
            .setupRelay = change.relay.value_or(reported.relayCode),
            .setupPeriodCode = change.periodCode.value_or(reported.periodCode)};
}
