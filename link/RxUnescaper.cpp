#include "link/RxUnescaper.h"

bool CRxUnescaper::Decode(const uint8_t* bytes, std::size_t count, std::vector<uint8_t>& out) {
    for (std::size_t i = 0; i < count; ++i) {
        const uint8_t byte = bytes[i];
        switch (state) {
        case State::Plain:
            if (byte == 0xFF)
                state = State::AfterMark;
            else
                out.push_back(byte);
            break;
        case State::AfterMark:
            if (byte == 0xFF) {
                out.push_back(0xFF);
                state = State::Plain;
            } else if (byte == 0x00) {
                state = State::AfterMarkZero;
            } else {
                // Not a mark the line discipline writes; keep both bytes rather
                // than lose data.
                out.push_back(0xFF);
                out.push_back(byte);
                state = State::Plain;
            }
            break;
        case State::AfterMarkZero:
            state = State::Plain;
            if (byte == 0x00)
                return true;
            // A byte that came with a framing or parity error: pass it on, the
            // telegram checks reject what it damaged.
            out.push_back(byte);
            break;
        }
    }
    return false;
}
