#include "exchange/CExchange.h"

#include "exchange/EditorMapping.h"

#include <algorithm>

using enum ExchangeState;

ReplyJudgement CExchange::JudgeReply() {
    if (vars.exchangeState == Idle)
        return {ReplyVerdict::Dropped, "no operation"};
    const ReplyJudgement judgement = pairing.Judge(assembler.rxTelegram, rxStartedAt);
    if (judgement.verdict == ReplyVerdict::Taken) {
        slowestAnswerTicks = std::max(slowestAnswerTicks, ticksSinceWrite);
        lastAnswerWaitTicks = vars.replyWaitTicks;
    }
    return judgement;
}

// A reply that the state does not accept, or that is not the answer to the
// request on the line (see CReplyPairing), is ignored: nothing is logged, stored or
// sent, and the wait for the answer goes on.
void CExchange::HandleReply(const ReplyJudgement& judgement) {
    if (judgement.verdict == ReplyVerdict::Shifted)
        OnShifted();
    if (judgement.verdict != ReplyVerdict::Taken)
        return;
    switch (vars.exchangeState) {
    case ReadBase:
        OnBlockRead();
        break;
    case WriteBase:
        OnBlockWritten();
        break;
    case ReadNumber:
        if (vars.writeAfterCheck)
            OnWriteCheck();
        else
            OnObjectRead();
        break;
    case WriteNumber:
        OnObjectWritten();
        break;
    case ReadSetup:
    case WriteSetup:
        OnSetupReply();
        break;
    case Idle:
        break;
    }
}

void CExchange::OnBlockRead() {
    const bool firstBlock = !vars.linkReported;
    if (firstBlock) {
        vars.linkReported = 1;
        // Cleared before the first block lands, so a complete flag never goes with
        // a table that mixes two reads.
        objectBase.deviceBaseComplete = 0;
    }
    const uint8_t storedBlock = vars.blockIndex;
    objectBase.StoreBlock(storedBlock, assembler.rxTelegram);
    vars.replyWaitTicks = 0;
    ++vars.blockIndex;
    // The next request leaves before the window is touched: repainting the bar and
    // the log takes longer than the console needs to get ready for it.
    const bool lastBlock = vars.blockIndex == blockCount;
    if (!lastBlock)
        SendRequest('R');
    host.BlockStored(storedBlock);
    if (firstBlock)
        LogStamped("Установлена связь с ПЦН");
    StepProgress();
    if (lastBlock)
        AfterLastBlock('R');
}

void CExchange::OnBlockWritten() {
    vars.replyWaitTicks = 0;
    const bool firstBlock = !vars.linkReported;
    vars.linkReported = 1;
    ++vars.blockIndex;
    // As in a read, the next block leaves before the window is repainted.
    const bool lastBlock = vars.blockIndex == blockCount;
    if (!lastBlock)
        SendRequest('W');
    if (firstBlock)
        LogStamped("Установлена связь с ПЦН");
    StepProgress();
    if (lastBlock)
        AfterLastBlock('W');
}

// Every answer from a console known to echo the block carried its block in byte 2.
// From any other an answer may have been taken for the wrong block, and then the
// console still owes one: the operation listens for it before it ends.
void CExchange::AfterLastBlock(char letter) {
    if (pairing.EchoesBlock(letter))
        EndBaseOperation();
    else
        StartListening();
}

// As long as the slowest answer of the operation took, and a little longer:
// whatever answers the console still owes come at its pace.
void CExchange::StartListening() {
    listening = true;
    listenedTicks = 0;
    quietTicksLeft = std::min<uint16_t>(
        giveUpTicks, std::max<uint16_t>(minListenTicks, slowestAnswerTicks + listenMarginTicks));
    // An answer owed to a repeat may have been taken for the next block: the last
    // request's own answer may then come as long as a console may take to answer.
    if (pairing.MayHaveTakenOwed() && giveUpTicks - lastAnswerWaitTicks > quietTicksLeft)
        quietTicksLeft = uint16_t(giveUpTicks - lastAnswerWaitTicks);
    vars.replyWaitTicks = 0;
    pairing.OnAskingDone();
}

// The operation asks nothing more once its answers turned out shifted; it waits
// until the console has sent what it owes, so that the next operation does not
// take that for its own answers.
void CExchange::OnShifted() {
    shifted = true;
    const uint16_t listenedBefore = listenedTicks;
    StartListening();
    listenedTicks = listenedBefore;
}

void CExchange::ListenTick() {
    ++listenedTicks;
    if (quietTicksLeft > 0)
        --quietTicksLeft;
    // A telegram under way is heard out; the receive time-out ends it if need be.
    const bool quiet = quietTicksLeft == 0 && assembler.rxCount == 0;
    if (quiet || listenedTicks >= giveUpTicks)
        EndBaseOperation();
}

void CExchange::EndBaseOperation() {
    listening = false;
    const bool read = vars.exchangeState == ReadBase;
    if (shifted) {
        vars.linkReported = 0;
        SetProgressPos(0);
        vars.progressTicks = 0;
        if (read) {
            objectBase.deviceBaseComplete = 0;
            LogStamped("Ответы ПЦН не совпали с запросами, база объектов не прочитана");
        } else {
            // Every block up to the one on the line when the shift showed went out.
            const int blocksSent = std::min(vars.blockIndex + 1, int(blockCount));
            LogStamped("Ответы ПЦН не совпали с запросами, запись базы не подтверждена: "
                       "передано %03d объектов",
                       blocksSent * objectsPerBlock);
        }
        End(Outcome::Shifted);
        return;
    }
    if (read) {
        LogStamped("База объектов прочитана из ПЦН, принято %03d объектов",
                   vars.blockIndex * objectsPerBlock);
        objectBase.deviceBaseComplete = 1;
    } else {
        LogStamped("База объектов записана в ПЦН, передано %03d объектов",
                   vars.blockIndex * objectsPerBlock);
        vars.linkReported = 0;
    }
    End(Outcome::Completed);
}

void CExchange::NoteDamagedReply(uint8_t letter) {
    if (vars.exchangeState != Idle && pairing.OnDamagedReply(letter, rxStartedAt))
        OnShifted();
}

void CExchange::OnObjectRead() {
    const Telegram& rx = assembler.rxTelegram;
    LogStamped("Принят объект: %03d - %03d.%03d  ID h%02X  %d%d%d  %03d  %03d", rx[2] * 256 + rx[3],
               rx[5], rx[4], rx[6], rx[7], rx[8], rx[9], rx[10], rx[11]);
    ShowObjectReply();
    vars.replyWaitTicks = 0;
    SetProgressPos(8);
    vars.progressTicks = 0;
    End(Outcome::Completed);
}

// The check before "Write Number": a learned object is only overwritten when the
// operator says so. The question returns at once; the answer comes through
// AnswerOverwrite, and until then received bytes wait and no repeat is due.
void CExchange::OnWriteCheck() {
    const Telegram& rx = assembler.rxTelegram;
    StepProgress();
    if (!IsLearned(rx[4], rx[5])) {
        WriteCheckedNumber();
        return;
    }
    LogStamped("Записываемый объект номер: %03d уже обучен", vars.objectNumber);
    SetProgressPos(4);
    vars.progressTicks = 0;
    vars.replyWaitTicks = 0;
    vars.confirmOpen = 1;
    host.AskOverwrite();
}

void CExchange::WriteCheckedNumber() {
    vars.exchangeState = WriteNumber;
    vars.writeAfterCheck = 0;
    vars.replyWaitTicks = 0;
    SendRequest('D');
}

void CExchange::CancelNumberWrite() {
    vars.writeAfterCheck = 0;
    LogStamped("Запись объекта номер: %03d отменена", vars.objectNumber);
    vars.replyWaitTicks = 0;
    SetProgressPos(8);
    vars.progressTicks = 0;
    End(Outcome::Declined);
}

// The object-number spin keeps the operator's choice; the number the reply names
// goes only into the log and to front ends that show it.
void CExchange::ShowObjectReply() {
    const Telegram& rx = assembler.rxTelegram;
    host.ShowObject({.objectNumber = rx[2] * 256 + rx[3],
                     .transmitterByte1 = rx[4],
                     .transmitterByte2 = rx[5],
                     .stateIndex = ObjectStateIndex(rx[4], rx[5])});
}

// The log shows what the console says it stored, not what was sent.
void CExchange::OnObjectWritten() {
    const Telegram& rx = assembler.rxTelegram;
    LogStamped("Записан объект: %03d - %03d.%03d", rx[2] * 256 + rx[3], rx[5], rx[4]);
    ShowObjectReply();
    SetProgressPos(8);
    vars.replyWaitTicks = 0;
    End(Outcome::Completed);
}

void CExchange::OnSetupReply() {
    const Telegram& rx = assembler.rxTelegram;
    if (vars.exchangeState == ReadSetup)
        LogStamped("Приняты установки от ПЦН версии: %01d.%02d", rx[6], rx[7]);
    else
        LogStamped("Записаны установки в ПЦН версии: %01d.%02d", rx[6], rx[7]);
    host.ShowSettings({.modeCode = rx[2],
                       .periodCode = rx[3],
                       .relayCode = rx[4],
                       .backlightCode = rx[5],
                       .versionMajor = rx[6],
                       .versionMinor = rx[7]});
    std::copy(rx.begin() + 8, rx.begin() + 14, vars.setupKept.begin());
    // The reply ends the wait: show the bar full whatever the waiting had reached.
    SetUpProgress(1);
    StepProgress();
    vars.progressTicks = 0;
    vars.replyWaitTicks = 0;
    End(Outcome::Completed);
}
