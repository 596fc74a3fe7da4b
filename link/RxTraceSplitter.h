#pragma once

#include "link/RxAssembler.h"

#include <cstdint>
#include <string>
#include <vector>

// What became of a run of received bytes, as the line trace reports it.
enum class RxTraceVerdict {
    Accepted,      // a valid telegram
    FramingError,  // bytes 24 and 25 are not CR LF
    ChecksumError, // byte 23 is not the checksum
    TypeError,     // a letter none of T, I, A, B, O, U
    TimedOut,      // the bytes stopped before the telegram was complete
    Outside,       // bytes between telegrams, skipped while looking for "~"
};

struct RxTraceGroup {
    std::vector<uint8_t> bytes;
    RxTraceVerdict verdict = RxTraceVerdict::Outside;
};

// "accepted B", "checksum error", "time-out after 10 bytes", ...
std::string RxTraceVerdictText(const RxTraceGroup& group);

// Groups received bytes the way the receive assembler took them, for the line
// trace: it is told, for every byte, the assembler's rxCount before the byte and
// its result after it, so it never judges a byte differently from the assembler.
class CRxTraceSplitter {
public:
    // The groups this byte completes: a telegram with its verdict, the bytes
    // outside a telegram that a start mark ends, or a telegram the assembler
    // dropped without it being reported here.
    std::vector<RxTraceGroup> OnByte(uint8_t byte, uint16_t rxCountBefore, RxResult result);
    // CheckRxGap dropped the telegram being assembled.
    std::vector<RxTraceGroup> OnTimeout();
    // The end of one read from the port: bytes outside a telegram are reported
    // now rather than held until the next start mark.
    std::vector<RxTraceGroup> OnReadEnd();

private:
    void TakeTelegram(RxTraceVerdict verdict, std::vector<RxTraceGroup>& groups);
    void TakeOutside(std::vector<RxTraceGroup>& groups);

    std::vector<uint8_t> telegram; // the telegram being assembled, so far
    std::vector<uint8_t> outside;  // bytes skipped since the last report
};
