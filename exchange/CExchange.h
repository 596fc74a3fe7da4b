#pragma once

#include "base/ObjectBase.h"
#include "exchange/ExchangeHost.h"
#include "link/RxAssembler.h"
#include "link/Telegram.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

enum ExchangeState : int32_t {
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
    ExchangeState exchangeState = Idle;
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
constexpr uint16_t firstRepeatTicks = 40;
constexpr uint16_t secondRepeatTicks = 80;
constexpr uint16_t giveUpTicks = 120;
constexpr uint16_t progressStepTicks = 20;
constexpr uint16_t idleClearTicks = 40;

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

    // Bytes from the port in arrival order. While the overwrite confirmation is
    // open they are held, and fed in order after the answer.
    void ReceiveBytes(const uint8_t* bytes, std::size_t count);

    // The operator's answer to AskOverwrite: true for OK.
    void AnswerOverwrite(bool overwrite);

    bool IsIdle() const { return vars.exchangeState == Idle; }
    const ExchangeVars& Vars() const { return vars; }
    const CRxAssembler& Assembler() const { return assembler; }
    const Telegram& TxTelegram() const { return txTelegram; }

private:
    void SendRequest(char letter);
    void AssembleRxByte(uint8_t byte);
    void HandleReply();
    // Appends "%s - " plus the message formatted printf-style, stamped now.
    void LogStamped(const char* format, ...) __attribute__((format(printf, 2, 3)));

    void Begin(ExchangeState state);
    void SetUpProgress(int maximum);
    void ResetBlockPairing();
    bool DropStaleBlockReply();
    bool DropStaleCheckReply();
    bool IsCopyOf(const Telegram& accepted) const; // rxTelegram equals it in bytes 2..22
    void NoteBlockReply();
    void OnBlockRead();
    void OnBlockWritten();
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

    // Pairing of B replies with block requests, see DropStaleBlockReply.
    uint8_t requestWrites = 0;       // writes of the current request, repeats included
    uint8_t staleRepliesAllowed = 0; // answers still expected to the previous block's repeats
    bool consoleEchoesBlock = true;  // every B reply so far carried its block index in byte 2
    Telegram lastBlockReply{};       // the B reply accepted last

    // Pairing of O replies in "Write Number", see DropStaleCheckReply.
    Telegram checkReply{};                // the accepted answer to the check
    uint8_t staleCheckRepliesAllowed = 0; // answers still expected to the check's repeats
};
