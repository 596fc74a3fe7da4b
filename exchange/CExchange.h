#pragma once

#include "base/ObjectBase.h"
#include "exchange/CReplyPairing.h"
#include "exchange/ExchangeHost.h"
#include "link/CLineTrace.h"
#include "link/RxAssembler.h"
#include "link/Telegram.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

enum class ExchangeState : int32_t {
    Idle = 0,
    ReadBase = 1,
    WriteBase = 2,
    ReadNumber = 3,
    WriteNumber = 4,
    ReadSetup = 5,
    WriteSetup = 6,
};

// The one set of exchange variables; all zero at start.
struct ExchangeVars {
    ExchangeState exchangeState = ExchangeState::Idle;
    int32_t requestPending = 0;
    uint16_t replyWaitTicks = 0;
    uint16_t progressTicks = 0;
    uint8_t blockIndex = 0;
    int32_t linkReported = 0;
    int32_t writeAfterCheck = 0;
    int32_t confirmOpen = 0;

    // Operands the button handlers took at the click.
    uint16_t objectNumber = 0;
    uint8_t transmitterByte1 = 0;
    uint8_t transmitterByte2 = 0;
    uint8_t setupMode = 0;
    uint8_t setupPeriodCode = 0;
    uint8_t setupRelay = 0;
    uint8_t setupBacklight = 0;

    // Bytes 8..13 of the last settings reply, sent back in "Write Setup".
    std::array<uint8_t, 6> setupKept{};
};

// Timing of the exchange, in ticks of the 50 ms timer.
constexpr int exchangeTickMs = 50;
constexpr uint16_t firstRepeatTicks = 40;
constexpr uint16_t secondRepeatTicks = 80;
constexpr uint16_t giveUpTicks = 120;
constexpr uint16_t progressStepTicks = 20;
constexpr uint16_t idleClearTicks = 40;
// After its last block, a base operation listens at least this long: one reply
// takes 108 ms on the line at 2400 baud, and a tick may pass before it starts.
constexpr uint16_t minListenTicks = 5;
// and longer by this than the slowest answer of the operation took.
constexpr uint16_t listenMarginTicks = 2;

// The exchange engine: button handlers, the timer tick, the request builder and
// reply handling. Lives on the UI thread; the port's bytes and the dialog's answer
// are handed to it there.
class CExchange {
public:
    CExchange(CExchangeHost& host, CObjectBase& objectBase);

    void OnReadBase();
    void OnWriteBase();
    void OnReadNumber(const NumberOperands& operands);
    void OnWriteNumber(const NumberOperands& operands);
    void OnReadSetup();
    void OnWriteSetup(const SetupOperands& operands);

    void ExchangeTick();

    // Bytes from the port in arrival order, read while the latest unsentWrites
    // writes had not gone out yet (nothing read then answers those). While the
    // overwrite confirmation is open they are held, and fed in order when it is
    // answered, before anything the answer writes.
    void ReceiveBytes(const uint8_t* bytes, std::size_t count, uint32_t unsentWrites = 0);

    // The line trace to tell of every byte received and every receive time-out;
    // null for none. It only watches.
    void SetTrace(CLineTrace* lineTrace) { trace = lineTrace; }

    // Another port, or none: what the console on the old one showed no longer holds.
    void OnPortChanged() { pairing.OnPortChanged(); }

    // The operator's answer to AskOverwrite: true for OK.
    void AnswerOverwrite(bool overwrite);

    bool IsIdle() const { return vars.exchangeState == ExchangeState::Idle; }
    const ExchangeVars& Vars() const { return vars; }
    const CRxAssembler& Assembler() const { return assembler; }
    const CReplyPairing& Pairing() const { return pairing; }
    const Telegram& TxTelegram() const { return txTelegram; }

private:
    void SendRequest(char letter);
    void AssembleRxByte(uint8_t byte, uint64_t readAt);
    ReplyJudgement JudgeReply();
    void HandleReply(const ReplyJudgement& judgement);
    void NoteDamagedReply(uint8_t letter);
    // Appends "%s - " plus the message formatted printf-style, stamped now.
    void LogStamped(const char* format, ...) __attribute__((format(printf, 2, 3)));

    void Begin(ExchangeState state);
    void End(Outcome outcome);
    // The progress bar, kept here so that every front end shows the same: its
    // minimum is 0 and a step adds 1.
    void SetUpProgress(int maximum);
    void SetProgressPos(int position);
    void StepProgress();
    void OnBlockRead();
    void OnBlockWritten();
    void AfterLastBlock(char letter);
    void StartListening();
    void ListenTick();
    void OnShifted();
    void EndBaseOperation();
    void OnObjectRead();
    void ShowObjectReply();
    void OnWriteCheck();
    void OnObjectWritten();
    void OnSetupReply();
    void WriteCheckedNumber();
    void CancelNumberWrite();

    CExchangeHost& host;
    CObjectBase& objectBase;
    ExchangeVars vars;
    CRxAssembler assembler;
    Telegram txTelegram{};
    std::vector<uint8_t> heldBytes; // received while the confirmation is open
    CReplyPairing pairing;
    CLineTrace* trace = nullptr;
    uint64_t rxStartedAt = 0; // where on the line the "~" of the telegram being assembled was read
    int progressMaximum = 100;
    int progressPosition = 0;

    // The end of a base operation: after its last block, or once its answers turned
    // out shifted, it listens until the line has been quiet for a while. Nothing
    // is sent meanwhile; only the closing line and the outcome wait.
    bool listening = false;
    bool shifted = false;
    uint16_t quietTicksLeft = 0;
    uint16_t listenedTicks = 0;
    uint16_t ticksSinceWrite = 0;     // since the request on the line was last written
    uint16_t slowestAnswerTicks = 0;  // the most ticksSinceWrite at an answer taken
    uint16_t lastAnswerWaitTicks = 0; // replyWaitTicks at the last answer taken
};
