#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The port reads with PARMRK set, so the line discipline marks what it saw:
// a data byte 0xFF arrives as FF FF, a break as FF 00 00, a byte with a line
// error as FF 00 byte. This turns that back into the bytes the console sent and
// tells when a break came. The marks may be split over reads, so the state is
// carried from one call to the next.
class CRxUnescaper {
public:
    // Appends the data bytes of `count` read bytes to `out`, in order. Returns
    // true when a break was found: the bytes after it are not decoded.
    bool Decode(const uint8_t* bytes, std::size_t count, std::vector<uint8_t>& out);

    void Reset() { state = State::Plain; }

private:
    enum class State { Plain, AfterMark, AfterMarkZero };
    State state = State::Plain;
};
