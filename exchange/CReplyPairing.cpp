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

bool IsBlockRequest(uint8_t letter) {
    return letter == 'R' || letter == 'W';
}

bool SamePayload(const Telegram& a, const Telegram& b) {
    return std::equal(a.begin() + 1, a.begin() + telegramChecksumAt, b.begin() + 1);
}

ReplyJudgement Dropped(const char* reason) {
    return {ReplyVerdict::Dropped, reason};
}

ReplyJudgement Shifted(const char* reason) {
    return {ReplyVerdict::Shifted, reason};
}

} // namespace

void CReplyPairing::OnRequestWritten(const Telegram& written) {
    ++writesOut;
    request = written;
    requestOnLine = true;
    requestWrittenAt = writesOut;
    requestWrites = 1;
    damagedAnswers = 0;
    if (operationLetter == 0)
        operationLetter = written[1];
}

void CReplyPairing::OnRepeatWritten() {
    ++writesOut;
    if (requestOnLine)
        ++requestWrites;
}

void CReplyPairing::OnOperationStarted() {
    requestOnLine = false;
    answered = false;
    answersOwed = 0;
    operationLetter = 0;
    operationStart = writesOut;
    askingDone = false;
    blockMismatched = false;
    lastEchoedBlock = -1;
    mayHaveTakenOwed = false;
    copyRead = false;
}

void CReplyPairing::OnAskingDone() {
    askingDone = true;
    requestOnLine = false;
    // A mark on the line, as if written: what was read with the last answer stands
    // before it, as bytes read before a next request would.
    askingDoneAt = ++writesOut;
}

void CReplyPairing::OnPortChanged() {
    echoesRead = false;
    echoesWrite = false;
}

uint64_t CReplyPairing::ReadPosition(uint32_t unsentWrites) const {
    return unsentWrites >= writesOut ? 0 : writesOut - unsentWrites;
}

bool CReplyPairing::EchoesBlock(char requestLetter) const {
    return requestLetter == 'R' ? echoesRead : requestLetter == 'W' && echoesWrite;
}

ReplyJudgement CReplyPairing::Judge(const Telegram& reply, uint64_t readAt) {
    const uint8_t letter = reply[1];
    if (letter != 'B' && letter != 'O' && letter != 'U')
        return Dropped("sent unasked");
    if (askingDone) {
        if (!AnswersOperation(letter, readAt))
            return Dropped("no request waiting");
        if (readAt < askingDoneAt)
            return JudgeEarlier(reply);
        return Shifted("an answer after the last request");
    }
    if (!requestOnLine)
        return Dropped(answered ? "answer to an earlier request" : "no request waiting");
    if (letter != AnswerLetter(request[1]))
        return Dropped("not the answer's letter");
    if (readAt < requestWrittenAt)
        return answered && readAt >= previousWrittenAt ? JudgeEarlier(reply)
                                                       : Dropped("answer to an earlier request");
    if (letter == 'O' && (reply[2] != request[2] || reply[3] != request[3]))
        return Dropped("about another object");
    if (letter == 'B' && EchoesBlock(char(request[1])) && reply[2] != request[2])
        return Dropped("about another block");
    if (OwedToCheck(reply)) {
        --answersOwed;
        return Dropped("owed to a repeat of the check");
    }
    if (letter == 'B' && NoteBlockAnswer(reply))
        return Shifted("the console echoes the block, and an earlier answer carried another");

    // Equal to the previous answer, while the previous request's repeats may still be
    // owed one: it may be that answer, if it came before this request's repeat or
    // from a console seen to answer a request twice (one that answers only a repeat
    // answers after it, and once).
    if (IsBlockRequest(request[1]) && answersOwed > 0 && (requestWrites == 1 || copyRead) &&
        SamePayload(reply, previousAnswer))
        mayHaveTakenOwed = true;

    answered = true;
    previousRequest = request;
    previousWrittenAt = requestWrittenAt;
    previousAnswer = reply;
    answersOwed = requestWrites - 1 - std::min(damagedAnswers, requestWrites - 1);
    requestOnLine = false;
    return {ReplyVerdict::Taken, nullptr};
}

// A reply read after the previous request went out and before this one did: it
// answers the previous request, or something earlier. A copy of the answer taken
// changes nothing; another answer to a block means that one of the two answered
// something else, and nothing tells which.
ReplyJudgement CReplyPairing::JudgeEarlier(const Telegram& reply) {
    if (SamePayload(reply, previousAnswer)) {
        if (answersOwed > 0)
            --answersOwed;
        copyRead = true;
        return Dropped("copy of the previous answer");
    }
    const bool anotherBlock =
        EchoesBlock(char(previousRequest[1])) && reply[2] != previousRequest[2];
    if (!IsBlockRequest(previousRequest[1]) || anotherBlock)
        return Dropped("answer to an earlier request");
    return Shifted("another answer to the previous block");
}

bool CReplyPairing::OnDamagedReply(uint8_t letter, uint64_t readAt) {
    if (askingDone)
        return AnswersOperation(letter, readAt) && readAt >= askingDoneAt;
    if (!requestOnLine || letter != AnswerLetter(request[1]) || readAt < requestWrittenAt)
        return false;
    // The console answers in order: what it owed the check's repeats comes first.
    if (answersOwed > 0)
        --answersOwed;
    else
        ++damagedAnswers;
    return false;
}

// Only the write after the check is judged by this: an answer to a block is judged
// by its block index where the console echoes it, and otherwise by what comes at
// the end of its operation.
bool CReplyPairing::OwedToCheck(const Telegram& reply) const {
    if (answersOwed == 0 || request[1] != 'D' || !SamePayload(reply, previousAnswer))
        return false;
    const bool writesWhatItShows = reply[4] == request[4] && reply[5] == request[5];
    return !writesWhatItShows;
}

// Learns the echo from an answer about to be taken; true when that shows an
// earlier answer of this operation to have carried another block.
bool CReplyPairing::NoteBlockAnswer(const Telegram& reply) {
    const int block = request[2];
    if (reply[2] != block) {
        blockMismatched = true;
        lastEchoedBlock = -1;
        return false;
    }
    const bool echoedTwiceInARow = block > 1 && lastEchoedBlock == block - 1;
    lastEchoedBlock = block;
    bool& echoes = request[1] == 'R' ? echoesRead : echoesWrite;
    if (!echoedTwiceInARow || echoes)
        return false;
    echoes = true;
    return blockMismatched;
}

bool CReplyPairing::AnswersOperation(uint8_t letter, uint64_t readAt) const {
    return letter == AnswerLetter(operationLetter) && readAt > operationStart;
}
