#pragma once

#include "exchange/ExchangeOperands.h"
#include "link/Telegram.h"

#include <string>

// How an operation ended.
enum class Outcome {
    Completed, // its last reply was taken
    NoAnswer,  // given up: "Нет связи с ПЦН"
    Declined,  // the operator did not allow the overwrite
    // A base operation's answers did not pair with its requests: a read is not
    // complete, a write is not confirmed.
    Shifted,
};

// What the exchange engine does to the world outside the core, and what it knows
// that front ends want to hear. The exchange session implements it over the port
// and its signals; tests implement it with a fake.
class CExchangeHost {
public:
    virtual ~CExchangeHost() = default;

    // Local time of day as eight characters, "HH:MM:SS", read at the call.
    virtual std::string TimeOfDay() = 0;
    // Appends one finished line to the log (time stamp already in it, if any).
    virtual void AppendLogLine(const std::string& line) = 0;
    // Writes all 26 bytes in one write; never waits, never reports failure.
    virtual void WriteTelegram(const Telegram& telegram) = 0;

    // The progress bar stands at position of 0..maximum.
    virtual void ShowProgress(int position, int maximum) = 0;

    // A reply's object or settings, for the panel's editors.
    virtual void ShowObject(const ObjectShown& object) = 0;
    virtual void ShowSettings(const SetupShown& settings) = 0;

    // Asks the operator whether to overwrite and returns at once; the answer comes
    // back through CExchange::AnswerOverwrite.
    virtual void AskOverwrite() = 0;

    // Rows 10 * blockIndex + 1 .. + 10 of the device table were stored by a read.
    virtual void BlockStored(int blockIndex) = 0;
    // A button started an operation; OperationEnded follows when it is over, once
    // the engine is idle again.
    virtual void OperationStarted() = 0;
    virtual void OperationEnded(Outcome outcome) = 0;
};
