#pragma once

#include "link/Telegram.h"

#include <cstdint>

// What a reply is to the request on the line.
enum class ReplyVerdict {
    Taken,   // its answer
    Dropped, // the answer to something else, or to nothing
    Shifted, // shows that the operation's answers cannot be paired with its requests
};

struct ReplyJudgement {
    ReplyVerdict verdict = ReplyVerdict::Dropped;
    const char* reason = nullptr; // why it was not taken, as the line trace says it
};

// Tells whether a reply is the answer to the request on the line. The console
// answers requests in order, but a late one may still be answering a request that
// was given up or repeated, and its replies say little of what they answer. A
// reply with the right letter is taken unless something shows that it answers
// something else:
//
// - its "~" was read before the request went out;
// - it is an "O" about another object than the request's;
// - it is a "B" whose byte 2 is not the requested block, from a console that has
//   shown on this port that it echoes the block in its answers to that letter
//   (R or W): byte 2 equalled the block for two blocks in a row other than 0, which
//   no constant does;
// - the check before "Write Number" went out more than once, and the reply to the
//   write equals the check's answer byte for byte: the console still owes answers to
//   the check's repeats (damaged replies count as answers). Not when the write
//   writes the very number that the reply shows: then either reading is true.
//
// Where nothing tells, a "B" is taken, as from a console that answered only a
// repeat. Base operations then look for evidence that they took the wrong one, and
// the verdict Shifted reports it:
//
// - a second answer to the previous block, read before this request went out, that
//   differs from the one taken: one of them answered something else;
// - a console that turns out to echo the block, where an earlier answer of the
//   same operation carried another block;
// - any answer read after the operation has asked its last (OnAskingDone) but a
//   copy read with the last answer: a console that answers each request once owes
//   nothing then.
//
// A console that answers every request at most once, in time, never sees a
// repeat, never sends a second answer and never answers another block, so none of
// this costs it an answer.
class CReplyPairing {
public:
    // Every write to the line, in order: a new request, or a repeat of the one on it.
    void OnRequestWritten(const Telegram& request);
    void OnRepeatWritten();
    // A button started an operation: nothing of it is on the line yet, and what was
    // owed to an earlier operation's repeats is its own affair.
    void OnOperationStarted();
    // The operation will write nothing more: every answer of its letter from now on
    // is one more than it asked for.
    void OnAskingDone();
    // The port was opened, closed or changed: what the console showed is forgotten.
    void OnPortChanged();

    // The place on the line of bytes that were read while the latest unsentWrites
    // writes had not gone out yet: the count of writes out by then.
    uint64_t ReadPosition(uint32_t unsentWrites) const;

    // What reply, whose "~" was read at readAt, is to the request on the line. Once
    // one is taken the request has its answer and nothing more is.
    ReplyJudgement Judge(const Telegram& reply, uint64_t readAt);
    // A telegram that failed the receive checks after its letter came: the console
    // answered, if that letter answers the request. True when it shows the
    // operation shifted, as any answer after the last does.
    bool OnDamagedReply(uint8_t letter, uint64_t readAt);

    // Whether the console has shown on this port that it echoes the block in its
    // answers to requestLetter ('R' or 'W').
    bool EchoesBlock(char requestLetter) const;
    // Whether this operation took an answer that may have been owed to a repeat of
    // the request before it: then the answer to its last request may still come.
    bool MayHaveTakenOwed() const { return mayHaveTakenOwed; }

private:
    ReplyJudgement JudgeEarlier(const Telegram& reply);
    bool OwedToCheck(const Telegram& reply) const;
    bool NoteBlockAnswer(const Telegram& reply);
    bool AnswersOperation(uint8_t letter, uint64_t readAt) const;

    uint64_t writesOut = 0; // repeats included
    bool requestOnLine = false;
    Telegram request{};
    uint64_t requestWrittenAt = 0; // its first write's place: writesOut just after it
    unsigned requestWrites = 0;    // the request and its repeats
    unsigned damagedAnswers = 0;   // to the request on the line

    // The operation's previous request and the answer taken for it.
    bool answered = false;
    Telegram previousRequest{};
    uint64_t previousWrittenAt = 0;
    Telegram previousAnswer{};
    unsigned answersOwed = 0; // by the console to the previous request's repeats

    // This operation.
    uint8_t operationLetter = 0; // of its first request
    uint64_t operationStart = 0; // writesOut when it started
    bool askingDone = false;
    uint64_t askingDoneAt = 0;    // the place of its mark on the line
    bool blockMismatched = false; // an answer taken with another block in byte 2
    int lastEchoedBlock = -1;     // the block of the last answer taken, if it echoed it
    bool mayHaveTakenOwed = false;
    bool copyRead = false; // a copy of an answer taken was read

    bool echoesRead = false;
    bool echoesWrite = false;
};
