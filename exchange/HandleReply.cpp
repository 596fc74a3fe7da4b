#include "exchange/CExchange.h"

#include "exchange/EditorMapping.h"

#include <algorithm>

void CExchange::HandleReply() {
    const uint8_t letter = assembler.rxTelegram[1];
    switch (vars.exchangeState) {
    case ReadBase:
        if (letter == 'B' && !DropStaleBlockReply())
            OnBlockRead();
        break;
    case WriteBase:
        if (letter == 'B' && !DropStaleBlockReply())
            OnBlockWritten();
        break;
    case ReadNumber:
        if (letter == 'O') {
            if (vars.writeAfterCheck)
                OnWriteCheck();
            else
                OnObjectRead();
        }
        break;
    case WriteNumber:
        if (letter == 'O' && !DropStaleCheckReply())
            OnObjectWritten();
        break;
    case ReadSetup:
    case WriteSetup:
        if (letter == 'U')
            OnSetupReply();
        break;
    case Idle:
        break;
    }
}

// A console that answers a request and its repeat as well sends two B replies for
// one block. Taken at face value, the second would be stored under the next block
// (Read Base) or would let the next block go unwritten (Write Base). When the
// console echoes the block index in byte 2, such a copy is recognised by carrying
// the previous block's index while that block's request went out more than once,
// and is dropped. A console that does not echo gives nothing to go by: its replies
// are all taken, one per request.
//
// A console that sends each reply twice gives the same copy without any repeat.
// From an echoing console a copy is the previous answer byte for byte, and from
// block 2 on no true answer can be: it carries another index. At block 1 a console
// with a constant 0 in byte 2 is not yet told apart from an echoing one, and its
// answer equals block 0's where both blocks hold the same; it is taken once the
// request has been repeated, so such a console loses one repeat and no data.
void CExchange::ResetBlockPairing() {
    requestWrites = 0;
    staleRepliesAllowed = 0;
    consoleEchoesBlock = true;
}

bool CExchange::DropStaleBlockReply() {
    if (!consoleEchoesBlock || vars.blockIndex == 0)
        return false;
    const Telegram& rx = assembler.rxTelegram;
    if (staleRepliesAllowed > 0 && rx[2] == vars.blockIndex - 1) {
        --staleRepliesAllowed;
        return true;
    }
    return IsCopyOf(lastBlockReply) && (vars.blockIndex >= 2 || requestWrites == 1);
}

void CExchange::NoteBlockReply() {
    consoleEchoesBlock = consoleEchoesBlock && assembler.rxTelegram[2] == vars.blockIndex;
    staleRepliesAllowed = consoleEchoesBlock ? static_cast<uint8_t>(requestWrites - 1) : 0;
    lastBlockReply = assembler.rxTelegram;
}

bool CExchange::IsCopyOf(const Telegram& accepted) const {
    return std::equal(accepted.begin() + 2, accepted.begin() + telegramChecksumAt,
                      assembler.rxTelegram.begin() + 2);
}

// The same happens in "Write Number" when the console answers the check and its
// repeat, or sends its answer twice: the copy would be taken for the write's
// answer and the log would report as written a number that the console still
// holds. An answer identical to the check's is such a copy while the check went
// out more than once, or while the write has not been repeated yet: a write of
// the number the object already holds is answered the same way, and is taken
// after its repeat.
bool CExchange::DropStaleCheckReply() {
    if (!IsCopyOf(checkReply))
        return false;
    if (staleCheckRepliesAllowed > 0) {
        --staleCheckRepliesAllowed;
        return true;
    }
    return requestWrites == 1;
}

void CExchange::OnBlockRead() {
    NoteBlockReply();
    const bool firstBlock = !vars.linkReported;
    if (firstBlock) {
        vars.linkReported = 1;
        // Cleared before the first block lands, so a complete flag never goes with
        // a table that mixes two reads.
        objectBase.deviceBaseComplete = 0;
    }
    objectBase.StoreBlock(vars.blockIndex, assembler.rxTelegram);
    vars.replyWaitTicks = 0;
    ++vars.blockIndex;
    // The next request leaves before the window is touched: repainting the bar and
    // the log takes longer than the console needs to get ready for it.
    const bool lastBlock = vars.blockIndex == blockCount;
    if (!lastBlock)
        SendRequest('R');
    if (firstBlock)
        LogStamped("Установлена связь с ПЦН");
    host.StepProgress();
    if (lastBlock) {
        LogStamped("База объектов прочитана из ПЦН, принято %03d объектов",
                   vars.blockIndex * objectsPerBlock);
        vars.exchangeState = Idle;
        objectBase.deviceBaseComplete = 1;
    }
}

void CExchange::OnBlockWritten() {
    NoteBlockReply();
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
    host.StepProgress();
    if (lastBlock) {
        LogStamped("База объектов записана в ПЦН, передано %03d объектов",
                   vars.blockIndex * objectsPerBlock);
        vars.exchangeState = Idle;
        vars.linkReported = 0;
    }
}

void CExchange::OnObjectRead() {
    const Telegram& rx = assembler.rxTelegram;
    LogStamped("Принят объект: %03d - %03d.%03d  ID h%02X  %d%d%d  %03d  %03d", rx[2] * 256 + rx[3],
               rx[5], rx[4], rx[6], rx[7], rx[8], rx[9], rx[10], rx[11]);
    ShowObjectReply();
    vars.replyWaitTicks = 0;
    vars.exchangeState = Idle;
    host.SetProgressPos(8);
    vars.progressTicks = 0;
}

// The check before "Write Number": a learned object is only overwritten when the
// operator says so. The question returns at once; the answer comes through
// AnswerOverwrite, and until then received bytes wait and no repeat is due.
void CExchange::OnWriteCheck() {
    const Telegram& rx = assembler.rxTelegram;
    checkReply = rx;
    staleCheckRepliesAllowed = static_cast<uint8_t>(requestWrites - 1);
    host.StepProgress();
    if (!IsLearned(rx[4], rx[5])) {
        WriteCheckedNumber();
        return;
    }
    LogStamped("Записываемый объект номер: %03d уже обучен", vars.objectNumber);
    host.SetProgressPos(4);
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
    vars.exchangeState = Idle;
    host.SetProgressPos(8);
    vars.progressTicks = 0;
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
    host.SetProgressPos(8);
    vars.replyWaitTicks = 0;
    vars.exchangeState = Idle;
}

void CExchange::OnSetupReply() {
    const Telegram& rx = assembler.rxTelegram;
    if (vars.exchangeState == ReadSetup)
        LogStamped("Приняты установки от ПЦН версии: %01d.%02d", rx[6], rx[7]);
    else
        LogStamped("Записаны установки в ПЦН версии: %01d.%02d", rx[6], rx[7]);
    host.ShowSettings({.modeIndex = rx[2],
                       .periodIndex = PeriodIndexForCode(rx[3]),
                       .relayIndex = rx[4],
                       .backlightIndex = rx[5],
                       .versionMajor = rx[6],
                       .versionMinor = rx[7]});
    std::copy(rx.begin() + 8, rx.begin() + 14, vars.setupKept.begin());
    // The reply ends the wait: show the bar full whatever the waiting had reached.
    host.SetProgressRange(0, 1);
    host.SetProgressStep(1);
    host.SetProgressPos(0);
    host.StepProgress();
    vars.progressTicks = 0;
    vars.replyWaitTicks = 0;
    vars.exchangeState = Idle;
}
