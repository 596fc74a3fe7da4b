#pragma once

#include "exchange/ExchangeOperands.h"
#include "link/Telegram.h"

#include <string>

// What the exchange engine does to the world outside the core. The exchange
// session implements it over the port and its signals; tests implement it with a
// fake.
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

    // A reply's object or settings, for the panel's editors.
    virtual void ShowObject(const ObjectShown& object) = 0;
    virtual void ShowSettings(const SetupShown& settings) = 0;

    // Asks the operator whether to overwrite and returns at once; the answer comes
    // back through CExchange::AnswerOverwrite.
    virtual void AskOverwrite() = 0;
};
