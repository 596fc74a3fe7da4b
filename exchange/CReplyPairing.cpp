#include "exchange/CReplyPairing.h"

#include <algorithm>

namespace {

char AnswerLetter(uint8_t requestLetter) {
    switch (requestLetter) {
    case 'R':
    case 'W':
        return 'B';
    case 'C':
    case 'D':
        return 'O';
    case 'E':
    case 'F':
        return 'U';
    default:
        return 0;
    }
}

bool SamePayload(const Telegram& a, const Telegram& b) {
    return std::equal(a.begin() + 1, a.begin() + telegramChecksumAt, b.begin() + 1);
}

} // namespace

void CReplyPairing::OnRequestWritten(const Telegram& written) {
    ++writesOut;
    request = written;
    requestOnLine = true;
    requestWrittenAt = writesOut;
    requestWrites = 1;
}

void CReplyPairing::OnRepeatWritten() {
    ++writesOut;
    if (requestOnLine)
        ++requestWrites;
}

void CReplyPairing::OnOperationStarted() {
    requestOnLine = false;
    answersOwed = 0;
}

void CReplyPairing::OnPortChanged() {
    echoedBlock = -1;
    echoesBlock = false;
}

uint64_t CReplyPairing::ReadPosition(uint32_t unsentWrites) const {
    return unsentWrites >= writesOut ? 0 : writesOut - unsentWrites;
}

bool CReplyPairing::Take(const Telegram& reply, uint64_t readAt) {
    if (!Answers(reply, readAt))
        return false;
    if (OwedToRepeats(reply)) {
        --answersOwed;
        return false;
    }
    NoteEcho(reply);
    previousAnswer = reply;
    answersOwed = requestWrites - 1;
    requestOnLine = false;
    return true;
}

bool CReplyPairing::Answers(const Telegram& reply, uint64_t readAt) const {
    if (!requestOnLine || reply[1] != AnswerLetter(request[1]) || readAt < requestWrittenAt)
        return false;
    switch (request[1]) {
    case 'C':
    case 'D':
        return reply[2] == request[2] && reply[3] == request[3];
    case 'R':
    case 'W':
        return !echoesBlock || reply[2] == request[2];
    default:
        return true;
    }
}

bool CReplyPairing::OwedToRepeats(const Telegram& reply) const {
    if (answersOwed == 0 || !SamePayload(reply, previousAnswer))
        return false;
    const bool writesWhatItShows =
        request[1] == 'D' && reply[4] == request[4] && reply[5] == request[5];
    return !writesWhatItShows;
}

void CReplyPairing::NoteEcho(const Telegram& reply) {
    const bool blockRequest = request[1] == 'R' || request[1] == 'W';
    const int block = request[2];
    if (!blockRequest || block == 0 || reply[2] != block)
        return;
    if (echoedBlock < 0)
        echoedBlock = block;
    else if (echoedBlock != block)
        echoesBlock = true;
}
