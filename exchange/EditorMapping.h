#pragma once

#include "base/TransmitterNumber.h"

#include <cstdint>

// How the object and settings controls turn into the bytes that telegrams carry,
// and back. The controls themselves are the view's.

// Channel-period list index -> code sent: 0..8 -> index + 2, 9 ("ВЫКЛ") -> 1, else 5.
uint8_t PeriodCodeForIndex(int index);

// Code received -> channel-period list index: 1 -> 9, 2..10 -> code - 2, else 3.
int PeriodIndexForCode(uint8_t code);

// Object-state list index for a pair of transmitter bytes: 0 "НЕ ОБУЧЕН", 1 "ОБУЧЕН".
int ObjectStateIndex(uint8_t firstByte, uint8_t secondByte);

// A list's selection as a byte: the low 8 bits of the index, so "none" (-1) is 255.
uint8_t ListIndexByte(int index);
