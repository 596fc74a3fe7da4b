#include "link/RxTraceSplitter.h"

#include <cstdio>

namespace {

// A group cut short at its front (the trace began inside a telegram) has no letter.
uint8_t LetterOf(const RxTraceGroup& group) {
    return group.bytes.size() > 1 ? group.bytes[1] : uint8_t('?');
}

} // namespace

std::string RxTraceVerdictText(const RxTraceGroup& group) {
    switch (group.verdict) {
    case RxTraceVerdict::Accepted:
        return std::string("accepted ") + static_cast<char>(LetterOf(group));
    case RxTraceVerdict::FramingError:
        return "CR LF error";
    case RxTraceVerdict::ChecksumError:
        return "checksum error";
    case RxTraceVerdict::TypeError: {
        const uint8_t letter = LetterOf(group);
        char text[32];
        if (letter >= 0x21 && letter <= 0x7E)
            std::snprintf(text, sizeof text, "unknown letter %c", letter);
        else
            std::snprintf(text, sizeof text, "unknown letter 0x%02X", letter);
        return text;
    }
    case RxTraceVerdict::TimedOut:
        return "time-out after " + std::to_string(group.bytes.size()) + " bytes";
    case RxTraceVerdict::Outside:
        break;
    }
    return "outside a telegram";
}

namespace {

RxTraceVerdict VerdictOf(RxResult result) {
    switch (result) {
    case RxResult::FramingError:
        return RxTraceVerdict::FramingError;
    case RxResult::ChecksumError:
        return RxTraceVerdict::ChecksumError;
    case RxResult::TypeError:
        return RxTraceVerdict::TypeError;
    case RxResult::Pending:
    case RxResult::Accepted:
        break;
    }
    return RxTraceVerdict::Accepted;
}

} // namespace

std::vector<RxTraceGroup> CRxTraceSplitter::OnByte(uint8_t byte, uint16_t rxCountBefore,
                                                   RxResult result) {
    std::vector<RxTraceGroup> groups;
    if (rxCountBefore == 0) {
        // The assembler is looking for "~": whatever was collected here as a
        // telegram was dropped by a time-out that nobody reported.
        TakeTelegram(RxTraceVerdict::TimedOut, groups);
        if (byte != telegramStart) {
            outside.push_back(byte);
            return groups;
        }
        TakeOutside(groups);
    }
    telegram.push_back(byte);
    if (result != RxResult::Pending)
        TakeTelegram(VerdictOf(result), groups);
    return groups;
}

std::vector<RxTraceGroup> CRxTraceSplitter::OnTimeout() {
    std::vector<RxTraceGroup> groups;
    TakeTelegram(RxTraceVerdict::TimedOut, groups);
    return groups;
}

std::vector<RxTraceGroup> CRxTraceSplitter::OnReadEnd() {
    std::vector<RxTraceGroup> groups;
    TakeOutside(groups);
    return groups;
}

void CRxTraceSplitter::TakeTelegram(RxTraceVerdict verdict, std::vector<RxTraceGroup>& groups) {
    if (telegram.empty())
        return;
    groups.push_back({std::move(telegram), verdict});
    telegram.clear();
}

void CRxTraceSplitter::TakeOutside(std::vector<RxTraceGroup>& groups) {
    if (outside.empty())
        return;
    groups.push_back({std::move(outside), RxTraceVerdict::Outside});
    outside.clear();
}
