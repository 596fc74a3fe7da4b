#pragma once

#include "link/Telegram.h"

#include <string>

// Everything the exchange engine needs of the world outside the core. The view
// implements it over its controls and the port; tests implement it with a fake.
class CExchangeHost {
public:
    virtual ~CExchangeHost() = default;

    // Local time of day as eight characters, "HH:MM:SS", read at the call.
    virtual std::string TimeOfDay() = 0;
    // Appends one finished line to the log (time stamp already in it, if any).
    virtual void AppendLogLine(const std::string& line) = 0;
    // Writes all 26 bytes in one write; never waits, never reports failure.
    virtual void WriteTelegram(const Telegram& telegram) = 0;

    // Progress bar.
    virtual void SetProgressRange(int minimum, int maximum) = 0;
    virtual void SetProgressStep(int step) = 0;
    virtual void SetProgressPos(int position) = 0;
    virtual void StepProgress() = 0; // past the maximum the bar starts again from the minimum

    // Panel reads: a spin's position, a list's selected index (-1 when none).
    virtual int ObjectNumberPos() = 0;
    virtual int RightTransmitterPos() = 0; // first transmitter byte
    virtual int LeftTransmitterPos() = 0;  // second transmitter byte
    virtual int ModeIndex() = 0;
    virtual int PeriodIndex() = 0;
    virtual int RelayIndex() = 0;
    virtual int BacklightIndex() = 0;

    // Panel writes: a spin's position; a list's selection (an index past the end
    // leaves the list with no selection).
    virtual void SetRightTransmitterPos(int value) = 0;
    virtual void SetLeftTransmitterPos(int value) = 0;
    virtual void SelectObjectState(int index) = 0;
    virtual void SelectMode(int index) = 0;
    virtual void SelectPeriod(int index) = 0;
    virtual void SelectRelay(int index) = 0;
    virtual void SelectBacklight(int index) = 0;

    // Shows the overwrite confirmation and returns at once; the answer comes back
    // through CExchange::AnswerOverwrite.
    virtual void AskOverwrite() = 0;
};
