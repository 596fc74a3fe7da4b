#pragma once

#include "link/RxAssembler.h"
#include "link/Telegram.h"

#include <array>
#include <cstdint>
#include <vector>

// What the console sends unasked, as fast as the line takes it.
enum class SimFlood {
    None,
    Noise,     // bytes outside telegrams: never a "~"
    Telegrams, // telegrams with a wrong checksum, one after another
    Mixed,     // damaged telegrams, in turn a wrong checksum, line end and letter
};

// Ways the simulated console can misbehave, each one on its own.
struct SimFaults {
    bool silent = false;       // answers nothing
    int answerCopy = 1;        // answers only the n-th copy of the same request
    char replyLetter = 0;      // answers with this letter instead of the right one (0: right one)
    bool badChecksum = false;  // byte 23 of every reply is wrong
    bool badLineEnd = false;   // bytes 24 and 25 are LF CR instead of CR LF
    bool partialReply = false; // sends only the first bytes of a reply, then nothing
    bool noise = false;        // bytes outside telegrams before and after each reply
    bool chatter = false;      // a "T", "I" or "A" telegram before each reply
    bool answerTwice = false;  // every reply goes out twice
    int replyDelayMs = 0;      // wait before a reply (carried out by CSimPty)
    bool paced = false;        // output at the real speed of 2400 baud (CSimPty)
    SimFlood flood = SimFlood::None; // sent between replies, without end (CSimPty)
    int blockByte2 = -1;             // byte 2 of every "B" reply; -1: the block asked for
    char blockByte2Only = 0;         // with blockByte2: only in replies to this letter (R or W)
    int damagedReply = 0;            // the n-th reply (counted from 1) has a wrong checksum
    // The n-th request received (counted from 1; 0: none) keeps the console busy for
    // holdUpMs; then it answers that request and every one sent meanwhile, in order
    // (carried out by CSimPty).
    int holdUpRequest = 0;
    int holdUpMs = 0;
};

struct SimSettings {
    uint8_t mode = 0;
    uint8_t periodCode = 2;
    uint8_t relay = 0;
    uint8_t backlight = 1;
    uint8_t versionMajor = 1;
    uint8_t versionMinor = 5;
    // Carried for the program and handed back by it unread.
    std::array<uint8_t, 6> kept{0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
};

// The console's side of the line without any I/O: request bytes in, reply bytes
// out. Keeps a base of 600 objects (two transmitter bytes each, 255/255 when no
// transmitter is learned) and the settings, and records every request.
class CSimConsole {
public:
    static constexpr int objectCount = 600;
    static constexpr int blockCount = 60;
    static constexpr std::size_t partialLength = 10;

    struct Object {
        uint8_t byte1 = 255;
        uint8_t byte2 = 255;
    };

    CSimConsole();

    // Takes received bytes and returns what the console sends back, in order.
    std::vector<uint8_t> Receive(const uint8_t* bytes, std::size_t count);
    // Drops a request left unfinished (the line fell silent in the middle).
    void AbandonPartial() { assembler.rxCount = 0; }
    bool HasPartialRequest() const { return assembler.rxCount != 0; }

    std::array<Object, objectCount + 1> base{}; // index 0 unused: objects are 1..600
    SimSettings settings;
    SimFaults faults;
    std::vector<Telegram> requests; // every well-formed request, as received

    // Fills objects 1..count with sample transmitter numbers.
    void LearnSample(int count);
    // The next stretch of the flood: whole telegrams, about 4 KiB.
    std::vector<uint8_t> FloodBytes() const;

private:
    std::vector<uint8_t> Answer(const Telegram& request);
    bool BuildReply(const Telegram& request, Telegram& reply);
    Telegram ObjectReply(int number) const;
    Telegram SettingsReply() const;

    CRxAssembler assembler;
    Telegram lastRequest{};
    int copies = 0; // copies of lastRequest received in a row since the last answer
    int repliesSent = 0;
    int chatterTurn = 0;
};
