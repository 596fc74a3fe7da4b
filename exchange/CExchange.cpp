#include "exchange/CExchange.h"

#include "exchange/ProgressStep.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

using enum ExchangeState;

CExchange::CExchange(CExchangeHost& host, CObjectBase& objectBase)
    : host(host), objectBase(objectBase) {}

void CExchange::Begin(ExchangeState state) {
    vars.exchangeState = state;
    vars.requestPending = 1;
    vars.replyWaitTicks = 0;
    listening = false;
    shifted = false;
    slowestAnswerTicks = 0;
    pairing.OnOperationStarted();
    host.OperationStarted();
}

// Every operation ends here, last of all, so that whoever hears of it finds the
// engine idle and may start the next one.
void CExchange::End(Outcome outcome) {
    vars.exchangeState = Idle;
    host.OperationEnded(outcome);
}

void CExchange::SetUpProgress(int maximum) {
    progressMaximum = maximum;
    SetProgressPos(0);
}

void CExchange::SetProgressPos(int position) {
    progressPosition = std::clamp(position, 0, progressMaximum);
    host.ShowProgress(progressPosition, progressMaximum);
}

void CExchange::StepProgress() {
    SetProgressPos(SteppedProgress(progressPosition, 1, 0, progressMaximum));
}

void CExchange::OnReadBase() {
    if (!IsIdle())
        return;
    Begin(ReadBase);
    vars.blockIndex = 0;
    vars.linkReported = 0;
    LogStamped("Чтение базы объектов из ПЦН");
    SetUpProgress(blockCount);
    vars.progressTicks = 0;
}

void CExchange::OnWriteBase() {
    if (!IsIdle())
        return;
    if (!objectBase.fileBaseLoaded) {
        LogStamped("Загрузите файл с базой ПЦН");
        return;
    }
    Begin(WriteBase);
    vars.blockIndex = 0;
    vars.linkReported = 0;
    LogStamped("Запись базы объектов в ПЦН");
    SetUpProgress(blockCount);
    vars.progressTicks = 0;
}

void CExchange::OnReadNumber(const NumberOperands& operands) {
    if (!IsIdle())
        return;
    vars.objectNumber = operands.objectNumber;
    Begin(ReadNumber);
    vars.writeAfterCheck = 0;
    LogStamped("Чтение объекта: %03d", vars.objectNumber);
    SetUpProgress(8);
    vars.progressTicks = 0;
}

void CExchange::OnWriteNumber(const NumberOperands& operands) {
    if (!IsIdle())
        return;
    vars.objectNumber = operands.objectNumber;
    vars.transmitterByte1 = operands.transmitterByte1;
    vars.transmitterByte2 = operands.transmitterByte2;
    // The number is checked with a C request first; the write follows its reply.
    Begin(ReadNumber);
    vars.writeAfterCheck = 1;
    LogStamped("Запись объекта: %03d - %03d.%03d", vars.objectNumber, vars.transmitterByte2,
               vars.transmitterByte1);
    SetUpProgress(8);
    vars.progressTicks = 0;
}

// Unlike the other four, the settings operations keep the idle count in progressTicks,
// so their first step may come after fewer than 20 ticks.
void CExchange::OnReadSetup() {
    if (!IsIdle())
        return;
    Begin(ReadSetup);
    LogStamped("Чтение установок из ПЦН VX-418K");
    SetUpProgress(8);
}

void CExchange::OnWriteSetup(const SetupOperands& operands) {
    if (!IsIdle())
        return;
    vars.setupMode = operands.setupMode;
    vars.setupBacklight = operands.setupBacklight;
    vars.setupRelay = operands.setupRelay;
    vars.setupPeriodCode = operands.setupPeriodCode;
    Begin(WriteSetup);
    LogStamped("Запись установок в ПЦН VX-418K");
    SetUpProgress(8);
}

void CExchange::ExchangeTick() {
    if (vars.requestPending) {
        vars.requestPending = 0;
        switch (vars.exchangeState) {
        case ReadBase:
            SendRequest('R');
            break;
        case WriteBase:
            SendRequest('W');
            break;
        case ReadNumber:
            SendRequest('C');
            break;
        case ReadSetup:
            SendRequest('E');
            break;
        case WriteSetup:
            SendRequest('F');
            break;
        case Idle:
        case WriteNumber: // D follows the check's reply, never a tick
            break;
        }
    }

    const uint16_t bytesBeforeGap = assembler.rxCount;
    if (assembler.CheckRxGap()) {
        if (trace)
            trace->ReceiveTimedOut();
        LogStamped("%s", rxTimeoutMessage);
        if (bytesBeforeGap > 1)
            NoteDamagedReply(assembler.rxTelegram[1]);
    }

    if (listening) {
        ListenTick();
        return;
    }
    if (vars.exchangeState != Idle && !vars.confirmOpen) {
        ++vars.replyWaitTicks;
        ++ticksSinceWrite;
        if (vars.replyWaitTicks >= giveUpTicks) {
            vars.linkReported = 0;
            vars.replyWaitTicks = 0;
            SetProgressPos(0);
            vars.progressTicks = 0;
            LogStamped("Нет связи с ПЦН");
            End(Outcome::NoAnswer);
            return;
        }
        if (vars.replyWaitTicks == firstRepeatTicks || vars.replyWaitTicks == secondRepeatTicks) {
            host.WriteTelegram(txTelegram);
            pairing.OnRepeatWritten();
            ticksSinceWrite = 0;
        }
        // Base operations move the bar per block; the short ones show that they wait.
        if (vars.exchangeState >= ReadNumber) {
            ++vars.progressTicks;
            if (vars.progressTicks >= progressStepTicks) {
                vars.progressTicks = 0;
                StepProgress();
            }
        }
        return;
    }

    // Nothing to wait for: idle, or the operator is deciding and the console has
    // not been asked anything yet.
    vars.replyWaitTicks = 0;
    if (!vars.confirmOpen) {
        ++vars.progressTicks;
        if (vars.progressTicks >= idleClearTicks) {
            vars.progressTicks = 0;
            SetProgressPos(0);
        }
    }
}

void CExchange::SendRequest(char letter) {
    txTelegram = BlankTelegram(letter);
    switch (letter) {
    case 'R':
        txTelegram[2] = vars.blockIndex;
        break;
    case 'W':
        txTelegram[2] = vars.blockIndex;
        objectBase.ReadBlock(vars.blockIndex, txTelegram);
        break;
    case 'D':
        txTelegram[4] = vars.transmitterByte1;
        txTelegram[5] = vars.transmitterByte2;
        [[fallthrough]];
    case 'C':
        txTelegram[2] = static_cast<uint8_t>(vars.objectNumber / 256);
        txTelegram[3] = static_cast<uint8_t>(vars.objectNumber % 256);
        break;
    case 'F':
        txTelegram[2] = vars.setupMode;
        txTelegram[3] = vars.setupPeriodCode;
        txTelegram[4] = vars.setupRelay;
        txTelegram[5] = vars.setupBacklight;
        for (std::size_t i = 0; i < vars.setupKept.size(); ++i)
            txTelegram[6 + i] = vars.setupKept[i];
        break;
    default: // E carries nothing
        break;
    }
    FrameTelegram(txTelegram);
    host.WriteTelegram(txTelegram);
    pairing.OnRequestWritten(txTelegram);
    ticksSinceWrite = 0;
}

void CExchange::ReceiveBytes(const uint8_t* bytes, std::size_t count, uint32_t unsentWrites) {
    const uint64_t readAt = pairing.ReadPosition(unsentWrites);
    for (std::size_t i = 0; i < count; ++i) {
        // A reply may open the confirmation part-way through a batch; the rest waits.
        if (vars.confirmOpen)
            heldBytes.push_back(bytes[i]);
        else
            AssembleRxByte(bytes[i], readAt);
    }
    if (trace)
        trace->ReadEnded();
}

void CExchange::AnswerOverwrite(bool overwrite) {
    if (!vars.confirmOpen)
        return;
    vars.confirmOpen = 0;
    // What came while the operator decided was on the line before anything this
    // answer writes, so it goes first; the check has its answer, so none of it is one.
    std::vector<uint8_t> held;
    held.swap(heldBytes);
    ReceiveBytes(held.data(), held.size());
    if (overwrite)
        WriteCheckedNumber();
    else
        CancelNumberWrite();
}

void CExchange::AssembleRxByte(uint8_t byte, uint64_t readAt) {
    if (assembler.rxCount == 0)
        rxStartedAt = readAt;
    const uint16_t countBefore = assembler.rxCount;
    const RxResult result = assembler.AssembleRxByte(byte);
    if (result != RxResult::Accepted) {
        if (trace)
            trace->ByteReceived(byte, countBefore, result);
        if (const char* message = RxErrorMessage(result)) {
            LogStamped("%s", message);
            // A checksum or line end gone wrong on the way: the console did answer.
            if (result != RxResult::TypeError)
                NoteDamagedReply(assembler.rxTelegram[1]);
        }
        return;
    }
    const ReplyJudgement judgement = JudgeReply();
    // Told before the reply is handled, so that the trace has it before what it causes.
    if (trace)
        trace->ByteReceived(byte, countBefore, result, judgement.reason ? judgement.reason : "");
    HandleReply(judgement);
}

void CExchange::LogStamped(const char* format, ...) {
    std::string line = host.TimeOfDay();
    line += " - ";

    va_list args;
    va_start(args, format);
    va_list sizing;
    va_copy(sizing, args);
    const int length = std::vsnprintf(nullptr, 0, format, sizing);
    va_end(sizing);
    if (length > 0) {
        const std::size_t start = line.size();
        line.resize(start + static_cast<std::size_t>(length) + 1);
        std::vsnprintf(line.data() + start, static_cast<std::size_t>(length) + 1, format, args);
        line.resize(start + static_cast<std::size_t>(length));
    }
    va_end(args);
    host.AppendLogLine(line);
}
