#pragma once

#include "link/RxAssembler.h"
#include "link/RxTraceSplitter.h"
#include "link/Telegram.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

// The trace of the line (--trace-file): one line for every telegram written and
// every telegram or fragment received, in order, each with the time since the
// port was opened, in milliseconds with three decimals; the open line says when
// that was by the wall clock, when the trace has one:
//
//      0.000 open COM1 /dev/ttyUSB0 at 2024-05-14T14:49:33.120+02:00
//      1.204 tx 7E 52 00 30 ... 19 0D 0A
//    118.733 rx 7E 42 00 ... 0D 0A  accepted B
//    227.040 rx 7E 42 00 ... 0D 0A  dropped B: copy of the previous answer
//
// It only watches: it is told what was written and what the receive assembler
// did with each byte, and never changes what goes on the line or when. Where
// the lines go (a file, flushed at each line) is the caller's.
class CLineTrace {
public:
    using LineSink = std::function<void(const std::string& line)>;
    using Clock = std::function<std::chrono::nanoseconds()>; // a monotonic clock
    using WallClock = std::function<std::string()>;          // the date and time as text

    CLineTrace(LineSink writeLine, Clock clock, WallClock wallClock = {});

    // portName is empty for a device opened by its path.
    void PortOpened(const std::string& portName, const std::string& devicePath);
    void PortClosed();
    void TelegramWritten(const Telegram& telegram);

    // For each received byte: the assembler's rxCount before it and its result.
    // A valid telegram that answers nothing asked comes with why: it is traced as
    // "dropped B: <dropReason>" instead of "accepted B".
    void ByteReceived(uint8_t byte, uint16_t rxCountBefore, RxResult result,
                      const char* dropReason = nullptr);
    // CheckRxGap dropped a partly received telegram.
    void ReceiveTimedOut();
    // The bytes of one read from the port have all been handed over.
    void ReadEnded();

    // "     0.000 open COM1 /dev/ttyUSB0": the time right-aligned in ten places.
    static std::string FormatLine(std::chrono::nanoseconds sinceOpen, const std::string& text);
    static std::string HexBytes(const uint8_t* bytes, std::size_t count);

private:
    void Write(const std::string& text);
    void WriteGroups(const std::vector<RxTraceGroup>& groups);

    LineSink writeLine;
    Clock clock;
    WallClock wallClock;
    std::chrono::nanoseconds openedAt; // before the first open: when the trace began
    CRxTraceSplitter splitter;
};
