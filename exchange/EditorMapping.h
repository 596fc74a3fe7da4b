#pragma once

#include "base/TransmitterNumber.h"
#include "exchange/ExchangeOperands.h"

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

// Whether the code on the line has an item of its own in its list: mode, relay and
// backlight 0..2, the channel period 1..10. Any other code the list cannot show
// (it shows no item, or for the period "10 МИН").
bool IsListedCode(uint8_t code, int listSize);
bool IsListedPeriodCode(uint8_t code);

// What "Write Setup" sends: every setting the operator (or the command line)
// changed, and every other one exactly as the console reported it, even a code
// that its list cannot show.
SetupOperands MergeSetup(const SetupShown& reported, const SetupChange& change);
