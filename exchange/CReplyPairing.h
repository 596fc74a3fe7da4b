#pragma once

#include "link/Telegram.h"

#include <cstdint>

// Tells whether a reply is the answer to the request on the line. The console
// answers requests in order, but a late one may still be answering a request that
// was given up or repeated, and its replies say little of what they answer. A
// reply with the right letter is taken unless something shows that it answers
// something else:
//
// - its "~" was read before the request went out;
// - it is an "O" about another object than the request's;
// - it is a "B" whose byte 2 is not the requested block, from a console that has
//   shown on this port that it echoes the block: byte 2 equalled the block for two
//   different blocks other than 0 (a constant can match only one);
// - the previous request of the operation went out more than once, and the reply
//   equals the answer taken for it byte for byte: the console still owes answers to
//   the repeats. Not when the request on the line writes the very number that the
//   reply shows: then either reading is true.
//
// A console that answers every request once, in time, never sees a repeat, so the
// last rule never costs it an answer; the others never match its answers at all.
class CReplyPairing {
public:
    // Every write to the line, in order: a new request, or a repeat of the one on it.
    void OnRequestWritten(const Telegram& request);
    void OnRepeatWritten();
    // A button started an operation: nothing of it is on the line yet, and what was
    // owed to an earlier operation's repeats is its own affair.
    void OnOperationStarted();
    // The port was opened, closed or changed: what the console showed is forgotten.
    void OnPortChanged();

    // The place on the line of bytes that were read while the latest unsentWrites
    // writes had not gone out yet: the count of writes out by then.
    uint64_t ReadPosition(uint32_t unsentWrites) const;

    // Whether reply, whose "~" was read at readAt, is the answer to the request on
    // the line. Once one is taken the request has its answer and nothing more is.
    bool Take(const Telegram& reply, uint64_t readAt);

    bool ConsoleEchoesBlock() const { return echoesBlock; }

private:
    bool Answers(const Telegram& reply, uint64_t readAt) const;
    bool OwedToRepeats(const Telegram& reply) const;
    void NoteEcho(const Telegram& reply);

    uint64_t writesOut = 0; // repeats included
    bool requestOnLine = false;
    Telegram request{};
    uint64_t requestWrittenAt = 0; // its first write's place: writesOut just after it
    unsigned requestWrites = 0;    // the request and its repeats

    Telegram previousAnswer{};
    unsigned answersOwed = 0; // by the console to the previous request's repeats

    int echoedBlock = -1; // a block other than 0 whose answer carried it in byte 2
    bool echoesBlock = false;
};
