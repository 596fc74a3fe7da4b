// The exchange engine fed arbitrary sequences of button presses, timer ticks,
// received bytes (read before or after the latest writes), changes of port and
// answers to the overwrite question.
#include "FuzzCheck.h"
#include "exchange/CExchange.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <vector>

using enum ExchangeState;

namespace {

// A panel that keeps what it is told and a port that checks what is written.
class FuzzHost : public CExchangeHost {
public:
    int asked = 0;
    int panelIndex = 0;

    std::string TimeOfDay() override { return "00:00:00"; }
    void AppendLogLine(const std::string& line) override { FUZZ_CHECK(!line.empty()); }
    void WriteTelegram(const Telegram& telegram) override {
        FUZZ_CHECK(telegram[0] == telegramStart);
        FUZZ_CHECK(telegram[telegramChecksumAt] ==
                   TelegramChecksum(telegram.data(), telegramChecksumAt));
        FUZZ_CHECK(telegram[24] == 0x0D && telegram[25] == 0x0A);
    }
    void ShowProgress(int position, int maximum) override {
        FUZZ_CHECK(position >= 0 && position <= maximum);
    }
    void ShowObject(const ObjectShown&) override {}
    void ShowSettings(const SetupShown&) override {}
    void AskOverwrite() override { ++asked; }
    void BlockStored(int blockIndex) override {
        FUZZ_CHECK(blockIndex >= 0 && blockIndex < blockCount);
    }
    void OperationStarted() override {}
    void OperationEnded(Outcome) override {}
};

// Operands as a panel whose every control holds value would give them.
NumberOperands Number(int value) {
    return {uint16_t(value), uint8_t(value), uint8_t(value)};
}
SetupOperands Setup(int value) {
    return {uint8_t(value), uint8_t(value), uint8_t(value), uint8_t(value)};
}

void CheckState(const CExchange& exchange) {
    const ExchangeVars& vars = exchange.Vars();
    FUZZ_CHECK(vars.exchangeState >= Idle && vars.exchangeState <= WriteSetup);
    FUZZ_CHECK(vars.blockIndex <= blockCount);
    FUZZ_CHECK(vars.replyWaitTicks < giveUpTicks);
    FUZZ_CHECK(exchange.Assembler().rxCount < telegramSize);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    FuzzHost host;
    CObjectBase objectBase;
    objectBase.fileBaseLoaded = input.ConsumeBool();
    CExchange exchange(host, objectBase);

    while (input.remaining_bytes() > 0) {
        switch (input.ConsumeIntegralInRange<int>(0, 11)) {
        case 0:
            exchange.OnReadBase();
            break;
        case 1:
            exchange.OnWriteBase();
            break;
        case 2:
            exchange.OnReadNumber(Number(host.panelIndex));
            break;
        case 3:
            exchange.OnWriteNumber(Number(host.panelIndex));
            break;
        case 4:
            exchange.OnReadSetup();
            break;
        case 5:
            exchange.OnWriteSetup(Setup(host.panelIndex));
            break;
        case 6: {
            const int ticks = input.ConsumeIntegralInRange<int>(1, 130);
            for (int i = 0; i < ticks; ++i)
                exchange.ExchangeTick();
            break;
        }
        case 7: {
            // A well-formed reply, so that the fuzzer reaches reply handling often.
            Telegram reply = BlankTelegram(input.PickValueInArray({'B', 'O', 'U', 'T', 'I', 'A'}));
            const std::vector<uint8_t> payload = input.ConsumeBytes<uint8_t>(21);
            for (size_t i = 0; i < payload.size(); ++i)
                reply[2 + i] = payload[i];
            FrameTelegram(reply);
            // Read now, or before the latest writes went out.
            exchange.ReceiveBytes(reply.data(), reply.size(),
                                  input.ConsumeIntegralInRange<uint32_t>(0, 3));
            break;
        }
        case 8: {
            const std::vector<uint8_t> bytes =
                input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(0, 40));
            exchange.ReceiveBytes(bytes.data(), bytes.size(),
                                  input.ConsumeIntegralInRange<uint32_t>(0, 3));
            break;
        }
        case 9:
            exchange.AnswerOverwrite(input.ConsumeBool());
            break;
        case 10:
            host.panelIndex = input.ConsumeIntegralInRange<int>(-1, 700);
            break;
        case 11:
            exchange.OnPortChanged();
            break;
        }
        CheckState(exchange);
        FUZZ_CHECK(!exchange.Vars().confirmOpen || host.asked > 0);
    }

    // Whatever came before, an open question answered and then 120 ticks of
    // silence end every operation.
    if (exchange.Vars().confirmOpen)
        exchange.AnswerOverwrite(true);
    for (int i = 0; i < giveUpTicks; ++i)
        exchange.ExchangeTick();
    FUZZ_CHECK(exchange.IsIdle());
    return 0;
}
