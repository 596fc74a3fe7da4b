// kelvarin-sim: a stand-in for the VX-418K monitoring console on a
// pseudo-terminal or a serial device, for training and for trying Kelvarin
// without the console.

#include "sim/CSimPty.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>

namespace {

const char* const usage =
    "Usage: kelvarin-sim [options]\n"
    "Answers Kelvarin's requests as the VX-418K monitoring console does.\n"
    "Without --device it makes a pseudo-terminal and prints its path: start\n"
    "Kelvarin with --port COM1=<that path> and pick COM1.\n"
    "An option's value follows it as the next argument or after \"=\" (--learned=25).\n"
    "\n"
    "Line:\n"
    "  --device PATH        serve a serial device (2400 8N1) instead of a pseudo-terminal\n"
    "  --paced              send replies at the real speed of 2400 baud (4.17 ms a byte)\n"
    "  --break-after SEC    put a break on the line SEC seconds after the start\n"
    "                       (only with --device: a pseudo-terminal cannot carry a break)\n"
    "Console contents:\n"
    "  --learned N          objects 1..N have sample transmitters learned (default 0)\n"
    "  --console-version M.NN  version reported in settings replies (default 1.05)\n"
    "Faults:\n"
    "  --silent             answer nothing\n"
    "  --answer-copy N      answer only the N-th copy of the same request (2: the first repeat)\n"
    "  --reply-letter L     answer with letter L instead of the right one\n"
    "  --bad-checksum       every reply carries a wrong checksum\n"
    "  --bad-line-end       every reply ends in LF CR instead of CR LF\n"
    "  --partial            send only the first 10 bytes of each reply\n"
    "  --noise              stray bytes before and after each reply\n"
    "  --chatter            a \"T\", \"I\" or \"A\" telegram before each reply\n"
    "  --answer-twice       send every reply twice\n"
    "  --delay MS           wait MS milliseconds before each reply\n"
    "  --hold-up N,SEC      be busy for SEC seconds on the N-th request, then answer it\n"
    "                       and every request sent meanwhile, in order\n"
    "  --fixed-index N[:L]  put N in byte 2 of every \"B\" reply instead of the block index;\n"
    "                       with :R or :W only in the replies to that request letter\n"
    "  --damage-reply N     the N-th reply (counted from 1) carries a wrong checksum\n"
    "  --flood KIND         send without end between replies, as fast as the line\n"
    "                       takes it: noise (bytes outside telegrams), telegrams\n"
    "                       (each with a wrong checksum) or mixed (telegrams damaged\n"
    "                       in turn in their checksum, line end and letter)\n"
    "Other:\n"
    "  -h, --help           this text\n"
    "  -V, --version        the program's version\n";

int Fail(const std::string& message) {
    std::fprintf(stderr, "kelvarin-sim: %s\nTry --help.\n", message.c_str());
    return 2;
}

bool ToInt(const char* text, int low, int high, int& value) {
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < low || parsed > high)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

// "M.NN": digits, one point, digits, each part 0..255, nothing else around them.
bool ToVersion(const std::string& text, int& major, int& minor) {
    const std::size_t point = text.find('.');
    if (point == std::string::npos || text.find_first_not_of("0123456789.") != std::string::npos)
        return false;
    const std::string majorText = text.substr(0, point);
    const std::string minorText = text.substr(point + 1);
    return ToInt(majorText.c_str(), 0, 255, major) && ToInt(minorText.c_str(), 0, 255, minor);
}

} // namespace

int main(int argc, char** argv) {
    SimFaults faults;
    std::string device;
    int learned = 0;
    int breakAfter = -1;
    int versionMajor = 1;
    int versionMinor = 5;

    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        // "--learned=25" as well as "--learned 25".
        std::optional<std::string> attached;
        if (const std::size_t equals = option.find('=');
            option.starts_with("--") && equals != std::string::npos) {
            attached = option.substr(equals + 1);
            option.erase(equals);
        }
        const char* value = attached ? attached->c_str() : i + 1 < argc ? argv[i + 1] : nullptr;
        bool valueTaken = false;
        auto needsValue = [&] {
            if (!value)
                return false;
            if (!attached)
                ++i;
            valueTaken = true;
            return true;
        };
        if (option == "--help" || option == "-h") {
            std::fputs(usage, stdout);
            return 0;
        } else if (option == "--version" || option == "-V") {
            std::printf("kelvarin-sim %s\n", KELVARIN_VERSION);
            return 0;
        } else if (option == "--device") {
            if (!needsValue() || !*value)
                return Fail("--device needs a path");
            device = value;
        } else if (option == "--paced") {
            faults.paced = true;
        } else if (option == "--break-after") {
            if (!needsValue() || !ToInt(value, 0, 86400, breakAfter))
                return Fail("--break-after needs a number of seconds");
        } else if (option == "--learned") {
            if (!needsValue() || !ToInt(value, 0, CSimConsole::objectCount, learned))
                return Fail("--learned needs a count from 0 to 600");
        } else if (option == "--console-version") {
            if (!needsValue() || !ToVersion(value, versionMajor, versionMinor))
                return Fail("--console-version needs a version such as 1.05");
        } else if (option == "--silent") {
            faults.silent = true;
        } else if (option == "--answer-copy") {
            if (!needsValue() || !ToInt(value, 1, 100, faults.answerCopy))
                return Fail("--answer-copy needs a number from 1 to 100");
        } else if (option == "--reply-letter") {
            if (!needsValue() || std::strlen(value) != 1)
                return Fail("--reply-letter needs one letter");
            faults.replyLetter = value[0];
        } else if (option == "--bad-checksum") {
            faults.badChecksum = true;
        } else if (option == "--bad-line-end") {
            faults.badLineEnd = true;
        } else if (option == "--partial") {
            faults.partialReply = true;
        } else if (option == "--noise") {
            faults.noise = true;
        } else if (option == "--chatter") {
            faults.chatter = true;
        } else if (option == "--answer-twice") {
            faults.answerTwice = true;
        } else if (option == "--hold-up") {
            int request = 0;
            int seconds = 0;
            char end = 0;
            if (!needsValue() || std::sscanf(value, "%d,%d%c", &request, &seconds, &end) != 2 ||
                request < 1 || seconds < 0 || seconds > 3600)
                return Fail("--hold-up needs a request number and seconds, such as 6,9");
            faults.holdUpRequest = request;
            faults.holdUpMs = seconds * 1000;
        } else if (option == "--fixed-index") {
            const std::string text = needsValue() ? value : "";
            const std::size_t colon = text.find(':');
            const std::string letter = colon == std::string::npos ? "" : text.substr(colon + 1);
            if (!ToInt(text.substr(0, colon).c_str(), 0, 255, faults.blockByte2) ||
                (colon != std::string::npos && letter != "R" && letter != "W"))
                return Fail("--fixed-index needs a number from 0 to 255, then :R or :W if any");
            faults.blockByte2Only = letter.empty() ? 0 : letter[0];
        } else if (option == "--damage-reply") {
            if (!needsValue() || !ToInt(value, 1, 1000000, faults.damagedReply))
                return Fail("--damage-reply needs a reply number from 1");
        } else if (option == "--delay") {
            if (!needsValue() || !ToInt(value, 0, 60000, faults.replyDelayMs))
                return Fail("--delay needs milliseconds from 0 to 60000");
        } else if (option == "--flood") {
            const std::string kind = needsValue() ? value : "";
            if (kind == "noise")
                faults.flood = SimFlood::Noise;
            else if (kind == "telegrams")
                faults.flood = SimFlood::Telegrams;
            else if (kind == "mixed")
                faults.flood = SimFlood::Mixed;
            else
                return Fail("--flood needs noise, telegrams or mixed");
        } else {
            return Fail("unknown option " + option);
        }
        if (attached && !valueTaken)
            return Fail(option + " takes no value");
    }
    if (breakAfter >= 0 && device.empty())
        return Fail("--break-after needs --device: a pseudo-terminal cannot carry a break");

    // Signals are taken by sigwait below, not by handlers, so block them before
    // the line's thread starts and inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    CSimPty line = device.empty() ? CSimPty() : CSimPty(device);
    if (!line.IsOpen())
        return Fail(line.Error());
    line.WithConsole([&](CSimConsole& console) {
        console.faults = faults;
        console.LearnSample(learned);
        console.settings.versionMajor = static_cast<uint8_t>(versionMajor);
        console.settings.versionMinor = static_cast<uint8_t>(versionMinor);
        return 0;
    });
    line.Start();

    std::printf("Simulated VX-418K console on %s\n", line.SlavePath().c_str());
    if (device.empty())
        std::printf("Start Kelvarin with: kelvarin --port COM1=%s\n", line.SlavePath().c_str());
    std::printf("Stop with Ctrl+C.\n");
    std::fflush(stdout);

    if (breakAfter >= 0) {
        const timespec wait{breakAfter, 0};
        if (sigtimedwait(&stopSignals, nullptr, &wait) < 0) {
            std::printf(line.SendBreak() ? "Break sent.\n" : "The break could not be sent.\n");
            std::fflush(stdout);
        } else {
            return 0;
        }
    }
    int signal = 0;
    sigwait(&stopSignals, &signal);
    return 0;
}
