#include "sim/CSimConsole.h"

namespace {

void Append(std::vector<uint8_t>& out, const Telegram& telegram) {
    out.insert(out.end(), telegram.begin(), telegram.end());
}

// Line noise that holds no "~", so that it cannot start a telegram of its own.
constexpr std::array<uint8_t, 4> noiseBefore{0x00, 0x55, 0x0D, 0x0A};
constexpr std::array<uint8_t, 3> noiseAfter{0xFF, 0x13, 0xAA};

} // namespace

CSimConsole::CSimConsole() = default;

void CSimConsole::LearnSample(int count) {
    for (int number = 1; number <= count && number <= objectCount; ++number) {
        base[number].byte1 = static_cast<uint8_t>(number % 256);
        base[number].byte2 = static_cast<uint8_t>(100 + number / 256);
    }
}

std::vector<uint8_t> CSimConsole::FloodBytes() const {
    constexpr std::size_t telegrams = 4096 / telegramSize;
    std::vector<uint8_t> out;
    out.reserve(telegrams * telegramSize);
    if (faults.flood == SimFlood::Noise) {
        for (std::size_t i = 0; i < telegrams * telegramSize; ++i) {
            const auto byte = static_cast<uint8_t>(i);
            out.push_back(byte == telegramStart ? 0 : byte);
        }
    } else if (faults.flood != SimFlood::None) {
        Telegram badChecksum = BlankTelegram('B');
        FrameTelegram(badChecksum);
        Telegram badLineEnd = badChecksum;
        badChecksum[telegramChecksumAt] ^= 0x5A;
        badLineEnd[24] = 0x0A;
        badLineEnd[25] = 0x0D;
        Telegram badLetter = BlankTelegram('X');
        FrameTelegram(badLetter);
        const bool mixed = faults.flood == SimFlood::Mixed;
        for (std::size_t i = 0; i < telegrams; ++i)
            Append(out, !mixed || i % 3 == 0 ? badChecksum : i % 3 == 1 ? badLineEnd : badLetter);
    }
    return out;
}

std::vector<uint8_t> CSimConsole::Receive(const uint8_t* bytes, std::size_t count) {
    std::vector<uint8_t> out;
    for (std::size_t i = 0; i < count; ++i) {
        // The program's own assembler checks the envelope; the letters of
        // requests are not among the reply letters it accepts, so a well-formed
        // request comes back as a type error.
        const RxResult result = assembler.AssembleRxByte(bytes[i]);
        if (result == RxResult::Accepted || result == RxResult::TypeError) {
            const std::vector<uint8_t> reply = Answer(assembler.rxTelegram);
            out.insert(out.end(), reply.begin(), reply.end());
        }
    }
    return out;
}

std::vector<uint8_t> CSimConsole::Answer(const Telegram& request) {
    requests.push_back(request);
    copies = request == lastRequest ? copies + 1 : 1;
    lastRequest = request;

    Telegram reply;
    if (!BuildReply(request, reply) || faults.silent || copies < faults.answerCopy)
        return {};
    // A program asks the same again in its next operation (a second "Read
    // Setup"): that starts a new count.
    copies = 0;

    if (faults.replyLetter != 0) {
        reply[1] = static_cast<uint8_t>(faults.replyLetter);
        FrameTelegram(reply);
    }
    ++repliesSent;
    if (faults.badChecksum || repliesSent == faults.damagedReply)
        reply[telegramChecksumAt] ^= 0x5A;
    if (faults.badLineEnd) {
        reply[24] = 0x0A;
        reply[25] = 0x0D;
    }

    // Room for the longest answer at once: noise, chatter, the reply twice, noise.
    // Growing the vector piece by piece also makes GCC 12 at -O3 see a copy into
    // a too small block that cannot happen (a false stringop-overflow warning).
    std::vector<uint8_t> out;
    out.reserve(noiseBefore.size() + 3 * telegramSize + noiseAfter.size());
    if (faults.noise)
        out.insert(out.end(), noiseBefore.begin(), noiseBefore.end());
    if (faults.chatter) {
        static constexpr char letters[] = {'T', 'I', 'A'};
        Telegram unsolicited = BlankTelegram(letters[chatterTurn]);
        chatterTurn = (chatterTurn + 1) % 3;
        FrameTelegram(unsolicited);
        Append(out, unsolicited);
    }
    if (faults.partialReply) {
        out.insert(out.end(), reply.begin(), reply.begin() + partialLength);
        return out;
    }
    Append(out, reply);
    if (faults.answerTwice)
        Append(out, reply);
    if (faults.noise)
        out.insert(out.end(), noiseAfter.begin(), noiseAfter.end());
    return out;
}

bool CSimConsole::BuildReply(const Telegram& request, Telegram& reply) {
    const int objectNumber = request[2] * 256 + request[3];
    switch (request[1]) {
    case 'R':
    case 'W': {
        const int block = request[2];
        const bool known = block < blockCount;
        if (request[1] == 'W' && known) {
            for (int i = 0; i < 10; ++i) {
                base[10 * block + i + 1].byte1 = request[3 + 2 * i];
                base[10 * block + i + 1].byte2 = request[4 + 2 * i];
            }
        }
        reply = BlankTelegram('B');
        const bool fixed = faults.blockByte2 >= 0 &&
                           (faults.blockByte2Only == 0 || faults.blockByte2Only == request[1]);
        reply[2] = static_cast<uint8_t>(fixed ? faults.blockByte2 : block);
        for (int i = 0; i < 10; ++i) {
            const Object object = known ? base[10 * block + i + 1] : Object{};
            reply[3 + 2 * i] = object.byte1;
            reply[4 + 2 * i] = object.byte2;
        }
        break;
    }
    case 'D':
        if (objectNumber >= 1 && objectNumber <= objectCount) {
            base[objectNumber].byte1 = request[4];
            base[objectNumber].byte2 = request[5];
        }
        reply = ObjectReply(objectNumber);
        break;
    case 'C':
        reply = ObjectReply(objectNumber);
        break;
    case 'F':
        settings.mode = request[2];
        settings.periodCode = request[3];
        settings.relay = request[4];
        settings.backlight = request[5];
        for (std::size_t i = 0; i < settings.kept.size(); ++i)
            settings.kept[i] = request[6 + i];
        reply = SettingsReply();
        break;
    case 'E':
        reply = SettingsReply();
        break;
    default:
        return false; // not a request this console knows: no answer
    }
    FrameTelegram(reply);
    return true;
}

Telegram CSimConsole::ObjectReply(int number) const {
    const bool known = number >= 1 && number <= objectCount;
    const Object object = known ? base[number] : Object{};
    const bool learned = object.byte1 != 255 || object.byte2 != 255;
    Telegram reply = BlankTelegram('O');
    reply[2] = static_cast<uint8_t>(number / 256);
    reply[3] = static_cast<uint8_t>(number % 256);
    reply[4] = object.byte1;
    reply[5] = object.byte2;
    // Transmitter type, then the object's zone as three digits, then signal
    // and battery levels: what a service engineer reads in the log.
    reply[6] = learned ? 0xA1 : 0x00;
    reply[7] = static_cast<uint8_t>(number / 100 % 10);
    reply[8] = static_cast<uint8_t>(number / 10 % 10);
    reply[9] = static_cast<uint8_t>(number % 10);
    reply[10] = learned ? 87 : 0;
    reply[11] = learned ? 100 : 0;
    return reply;
}

Telegram CSimConsole::SettingsReply() const {
    Telegram reply = BlankTelegram('U');
    reply[2] = settings.mode;
    reply[3] = settings.periodCode;
    reply[4] = settings.relay;
    reply[5] = settings.backlight;
    reply[6] = settings.versionMajor;
    reply[7] = settings.versionMinor;
    for (std::size_t i = 0; i < settings.kept.size(); ++i)
        reply[8 + i] = settings.kept[i];
    return reply;
}
