// The receive assembler fed arbitrary byte streams with timer ticks in between.
#include "FuzzCheck.h"
#include "link/RxAssembler.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CRxAssembler assembler;
    for (size_t i = 0; i < size; ++i) {
        // 0xFD followed by a count stands for that many ticks of silence, so the
        // fuzzer can interleave the gap time-out with bytes; every other byte
        // (0xFD included, when it ends the input) is received data.
        if (data[i] == 0xFD && i + 1 < size) {
            const int ticks = data[++i] % 16;
            for (int t = 0; t < ticks; ++t) {
                const uint16_t countBefore = assembler.rxCount;
                const bool timedOut = assembler.CheckRxGap();
                FUZZ_CHECK(!timedOut || countBefore != 0);
                FUZZ_CHECK(assembler.rxGapTicks < 10);
                FUZZ_CHECK(assembler.rxCount == (timedOut ? 0 : countBefore));
            }
            continue;
        }
        const uint16_t countBefore = assembler.rxCount;
        const RxResult result = assembler.AssembleRxByte(data[i]);
        FUZZ_CHECK(assembler.rxCount < 26);
        // A verdict (accepted or one error message) comes only with the 26th byte
        // of a telegram, so a telegram yields at most one message.
        const bool completed = countBefore == 25;
        FUZZ_CHECK((result != RxResult::Pending) == completed);
        if (completed) {
            FUZZ_CHECK(assembler.rxCount == 0 && assembler.rxGapTicks == 0);
            FUZZ_CHECK((RxErrorMessage(result) != nullptr) == (result != RxResult::Accepted));
        } else {
            FUZZ_CHECK(assembler.rxCount == countBefore + (countBefore != 0 || data[i] == 0x7E));
        }
    }
    return 0;
}
