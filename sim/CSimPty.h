#pragma once

#include "sim/CSimConsole.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Runs a CSimConsole on a line: the master side of a new pseudo-terminal (the
// program opens SlavePath()), or a real serial device. A background thread
// sleeps in ppoll until a request comes in or a reply falls due. Every public
// function may be called from any thread.
class CSimPty {
public:
    CSimPty();                                       // a new pseudo-terminal
    explicit CSimPty(const std::string& devicePath); // a serial device, 2400 8N1
    ~CSimPty();
    CSimPty(const CSimPty&) = delete;
    CSimPty& operator=(const CSimPty&) = delete;

    bool IsOpen() const { return lineFd >= 0; }
    const std::string& Error() const { return error; }
    // What the program opens: the pseudo-terminal's slave or the device itself.
    const std::string& SlavePath() const { return slavePath; }

    void Start();
    void Stop();

    // Runs `use` on the console under the lock: its base, settings, faults and
    // the requests it received.
    template <typename Use> auto WithConsole(Use use) {
        std::lock_guard<std::mutex> lock(mutex);
        return use(console);
    }
    void SetFaults(const SimFaults& faults);
    std::vector<Telegram> Requests();

    // Puts bytes on the line after whatever is already waiting to go out.
    void Send(std::vector<uint8_t> bytes);
    // On a pseudo-terminal: everything sent has gone out and the program has read it.
    bool TakenByProgram();
    // Closes the line as an unplugged adapter would; the console is silent after.
    void CloseLine();
    // A break on the line. Only a real device can send one: on a pseudo-terminal
    // the far end never sees it, so this returns false there.
    bool SendBreak();

private:
    using Clock = std::chrono::steady_clock;
    struct Chunk {
        Clock::time_point due;
        std::vector<uint8_t> bytes;
        std::size_t sent = 0;
    };

    void Run();
    void Wake();
    bool WriteDue(Clock::time_point now); // false when the line takes no more now
    Clock::time_point NextDue() const;    // under the lock, output not empty

    int lineFd = -1;
    int heldSlaveFd = -1; // keeps the pseudo-terminal alive between the program's opens
    int wakeFd = -1;
    bool isPty = false;
    std::string slavePath;
    std::string error;

    std::mutex mutex;
    CSimConsole console;
    std::deque<Chunk> output;
    Clock::time_point lineFreeAt{}; // when paced, the next byte may not leave before this
    bool stopping = false;
    std::thread worker;
};
