#include "link/CLineTrace.h"

#include <cstdio>

CLineTrace::CLineTrace(LineSink writeLine, Clock clock, WallClock wallClock)
    : writeLine(std::move(writeLine)), clock(std::move(clock)), wallClock(std::move(wallClock)),
      openedAt(this->clock()) {}

void CLineTrace::PortOpened(const std::string& portName, const std::string& devicePath) {
    openedAt = clock();
    std::string text =
        portName.empty() ? "open " + devicePath : "open " + portName + " " + devicePath;
    // The times that follow count from here; files appended over many runs need the date.
    if (wallClock)
        text += " at " + wallClock();
    // The start of the count, exactly: reading the clock again would not be.
    writeLine(FormatLine(std::chrono::nanoseconds(0), text));
}

void CLineTrace::PortClosed() {
    // Bytes skipped before the close belong before it; a telegram left unfinished
    // stays with the assembler, which drops it by its time-out.
    WriteGroups(splitter.OnReadEnd());
    Write("close");
}

void CLineTrace::TelegramWritten(const Telegram& telegram) {
    Write("tx " + HexBytes(telegram.data(), telegram.size()));
}

void CLineTrace::ByteReceived(uint8_t byte, uint16_t rxCountBefore, RxResult result,
                              const char* dropReason) {
    std::vector<RxTraceGroup> groups = splitter.OnByte(byte, rxCountBefore, result);
    if (!dropReason || !*dropReason || result != RxResult::Accepted) {
        WriteGroups(groups);
        return;
    }
    // The telegram this byte completed comes last, after what its start mark ended.
    const RxTraceGroup dropped = std::move(groups.back());
    groups.pop_back();
    WriteGroups(groups);
    const char letter = dropped.bytes.size() > 1 ? char(dropped.bytes[1]) : '?';
    Write("rx " + HexBytes(dropped.bytes.data(), dropped.bytes.size()) + "  dropped " + letter +
          ": " + dropReason);
}

void CLineTrace::ReceiveTimedOut() {
    WriteGroups(splitter.OnTimeout());
}

void CLineTrace::ReadEnded() {
    WriteGroups(splitter.OnReadEnd());
}

std::string CLineTrace::FormatLine(std::chrono::nanoseconds sinceOpen, const std::string& text) {
    // Whole microseconds, so the decimals never depend on floating point.
    const long long micros = sinceOpen.count() / 1000;
    char time[32];
    std::snprintf(time, sizeof time, "%6lld.%03lld", micros / 1000, micros % 1000);
    return std::string(time) + " " + text;
}

std::string CLineTrace::HexBytes(const uint8_t* bytes, std::size_t count) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0)
            hex += ' ';
        hex += digits[bytes[i] >> 4];
        hex += digits[bytes[i] & 0x0F];
    }
    return hex;
}

void CLineTrace::Write(const std::string& text) {
    writeLine(FormatLine(clock() - openedAt, text));
}

void CLineTrace::WriteGroups(const std::vector<RxTraceGroup>& groups) {
    for (const RxTraceGroup& group : groups)
        Write("rx " + HexBytes(group.bytes.data(), group.bytes.size()) + "  " +
              RxTraceVerdictText(group));
}
