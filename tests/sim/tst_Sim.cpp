#include "common/Telegrams.h"
#include "sim/CSimPty.h"

#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Bytes = std::vector<uint8_t>;

Telegram Request(char letter, std::initializer_list<uint8_t> payload = {}) {
    return FramedTelegram(letter, payload);
}

Bytes Send(CSimConsole& console, const Telegram& request) {
    return console.Receive(request.data(), request.size());
}

// What the program's assembler makes of the console's output.
struct Seen {
    std::vector<Telegram> accepted;
    std::vector<RxResult> rejected;
    int unfinished = 0; // bytes of a telegram still being assembled at the end
};

Seen Assemble(const Bytes& bytes) {
    Seen seen;
    CRxAssembler assembler;
    for (uint8_t byte : bytes) {
        const RxResult result = assembler.AssembleRxByte(byte);
        if (result == RxResult::Accepted)
            seen.accepted.push_back(assembler.rxTelegram);
        else if (result != RxResult::Pending)
            seen.rejected.push_back(result);
    }
    seen.unfinished = assembler.rxCount;
    return seen;
}

Telegram OnlyReply(const Bytes& bytes) {
    const Seen seen = Assemble(bytes);
    if (seen.accepted.size() != 1 || !seen.rejected.empty() || seen.unfinished != 0)
        qFatal("expected exactly one valid telegram");
    return seen.accepted.front();
}

// Reads from the program's side of the line until `count` bytes came or the
// line stayed quiet for `quietMs`.
Bytes ReadLine(int fd, std::size_t count, int quietMs = 5000) {
    Bytes bytes;
    while (bytes.size() < count) {
        pollfd line{fd, POLLIN, 0};
        if (::poll(&line, 1, quietMs) <= 0)
            break;
        uint8_t buffer[256];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
}

} // namespace

class TestSim : public QObject {
    Q_OBJECT
private slots:
    void readBlock();
    void writeBlock();
    void readObject_data();
    void readObject();
    void writeObject();
    void settings();
    void requestLog();
    void faults_data();
    void faults();
    void answerOnlySecondCopy();
    void chatterBetweenReplies();
    void lineCarriesReplies();
    void pacedLine();
    void delayedReply();
    void closedLine();
    void flood_data();
    void flood();
};

void TestSim::readBlock() {
    CSimConsole console;
    for (int i = 0; i < 10; ++i)
        console.base[31 + i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(200 + i)};
    const Telegram reply = OnlyReply(Send(console, Request('R', {3})));
    QCOMPARE(reply[1], 'B');
    QCOMPARE(reply[2], 3);
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(reply[3 + 2 * i], i);
        QCOMPARE(reply[4 + 2 * i], 200 + i);
    }
    console.faults.blockByte2 = 0;
    QCOMPARE(OnlyReply(Send(console, Request('R', {3})))[2], 0);
    // A constant in the answers to one letter only.
    console.faults.blockByte2Only = 'W';
    QCOMPARE(OnlyReply(Send(console, Request('R', {3})))[2], 3);
    QCOMPARE(OnlyReply(Send(console, FramedTelegram('W', {3})))[2], 0);
}

void TestSim::writeBlock() {
    CSimConsole console;
    Telegram request = BlankTelegram('W');
    request[2] = 59;
    for (int i = 0; i < 20; ++i)
        request[3 + i] = static_cast<uint8_t>(0x7E + i); // "~" is data here
    FrameTelegram(request);
    const Telegram reply = OnlyReply(Send(console, request));
    QCOMPARE(reply[1], 'B');
    QCOMPARE(reply[2], 59);
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(console.base[591 + i].byte1, 0x7E + 2 * i);
        QCOMPARE(console.base[591 + i].byte2, 0x7E + 2 * i + 1);
    }
    QCOMPARE(console.base[590].byte1, 255); // the block before is untouched
}

void TestSim::readObject_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("learned");
    QTest::newRow("1, not learned") << 1 << false;
    QTest::newRow("300, learned") << 300 << true;
    QTest::newRow("600, learned") << 600 << true;
    QTest::newRow("601, beyond the base") << 601 << false;
}

void TestSim::readObject() {
    QFETCH(int, number);
    QFETCH(bool, learned);
    CSimConsole console;
    if (learned)
        console.base[number] = {12, 34};
    const Telegram reply =
        OnlyReply(Send(console, Request('C', {uint8_t(number / 256), uint8_t(number % 256)})));
    QCOMPARE(reply[1], 'O');
    QCOMPARE(reply[2] * 256 + reply[3], number);
    QCOMPARE(reply[4], learned ? 12 : 255);
    QCOMPARE(reply[5], learned ? 34 : 255);
}

void TestSim::writeObject() {
    CSimConsole console;
    const Telegram reply = OnlyReply(Send(console, Request('D', {1, 2, 7, 9})));
    QCOMPARE(console.base[258].byte1, 7);
    QCOMPARE(console.base[258].byte2, 9);
    QCOMPARE(reply[1], 'O');
    QCOMPARE(reply[2], 1);
    QCOMPARE(reply[3], 2);
    QCOMPARE(reply[4], 7);
    QCOMPARE(reply[5], 9);
}

void TestSim::settings() {
    CSimConsole console;
    Telegram reply = OnlyReply(Send(console, Request('E')));
    QCOMPARE(reply[1], 'U');
    QCOMPARE(reply[6], 1); // version 1.05
    QCOMPARE(reply[7], 5);
    QCOMPARE(reply[8], 0x11);
    QCOMPARE(reply[13], 0x66);

    reply = OnlyReply(Send(console, Request('F', {3, 10, 1, 0, 9, 8, 7, 6, 5, 4})));
    QCOMPARE(reply[1], 'U');
    QCOMPARE(reply[2], 3);
    QCOMPARE(reply[3], 10);
    QCOMPARE(reply[4], 1);
    QCOMPARE(reply[5], 0);
    // The kept bytes come back two places later than the request carried them.
    for (int i = 0; i < 6; ++i)
        QCOMPARE(reply[8 + i], 9 - i);
    QCOMPARE(OnlyReply(Send(console, Request('E'))), reply);
}

void TestSim::requestLog() {
    CSimConsole console;
    Telegram damaged = Request('E');
    damaged[23] ^= 1;
    QVERIFY(Send(console, damaged).empty());

    // A request in three pieces is answered after its last byte.
    const Telegram request = Request('C', {0, 5});
    QVERIFY(console.Receive(request.data(), 10).empty());
    QVERIFY(console.Receive(request.data() + 10, 10).empty());
    QCOMPARE(OnlyReply(console.Receive(request.data() + 20, 6))[1], 'O');

    // A request that stopped halfway is dropped, and the next one is whole.
    console.Receive(request.data(), 7);
    console.AbandonPartial();
    QCOMPARE(OnlyReply(Send(console, Request('E')))[1], 'U');

    QCOMPARE(console.requests.size(), std::size_t(2));
    QCOMPARE(console.requests[0], request);
    QCOMPARE(console.requests[1][1], 'E');
}

void TestSim::faults_data() {
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("accepted"); // valid telegrams the program sees
    QTest::addColumn<int>("rejected"); // result of the rejected one, or -1
    QTest::addColumn<int>("unfinished");
    QTest::addColumn<char>("letter"); // of the last accepted telegram
    QTest::addColumn<bool>("onlyTelegrams");
    enum { Silent, Letter, Checksum, LineEnd, Partial, Noise, Twice };
    QTest::newRow("silent") << int(Silent) << 0 << -1 << 0 << '\0' << true;
    QTest::newRow("other letter") << int(Letter) << 1 << -1 << 0 << 'B' << true;
    QTest::newRow("bad checksum") << int(Checksum) << 0 << int(RxResult::ChecksumError) << 0 << '\0'
                                  << true;
    QTest::newRow("bad CR LF") << int(LineEnd) << 0 << int(RxResult::FramingError) << 0 << '\0'
                               << true;
    QTest::newRow("partial") << int(Partial) << 0 << -1 << 10 << '\0' << true;
    QTest::newRow("noise") << int(Noise) << 1 << -1 << 0 << 'O' << false;
    QTest::newRow("twice") << int(Twice) << 2 << -1 << 0 << 'O' << true;
}

void TestSim::faults() {
    QFETCH(int, fault);
    QFETCH(int, accepted);
    QFETCH(int, rejected);
    QFETCH(int, unfinished);
    QFETCH(char, letter);
    QFETCH(bool, onlyTelegrams);
    CSimConsole console;
    SimFaults& faults = console.faults;
    switch (fault) {
    case 0:
        faults.silent = true;
        break;
    case 1:
        faults.replyLetter = 'B';
        break;
    case 2:
        faults.badChecksum = true;
        break;
    case 3:
        faults.badLineEnd = true;
        break;
    case 4:
        faults.partialReply = true;
        break;
    case 5:
        faults.noise = true;
        break;
    case 6:
        faults.answerTwice = true;
        break;
    }
    const Bytes out = Send(console, Request('C', {0, 1}));
    const Seen seen = Assemble(out);
    QCOMPARE(int(seen.accepted.size()), accepted);
    QCOMPARE(int(seen.rejected.size()), rejected < 0 ? 0 : 1);
    if (rejected >= 0)
        QCOMPARE(int(seen.rejected.front()), rejected);
    QCOMPARE(seen.unfinished, unfinished);
    if (accepted > 0)
        QCOMPARE(char(seen.accepted.back()[1]), letter);
    QCOMPARE(out.size() == std::size_t(26 * accepted + (rejected >= 0 ? 26 : 0) + unfinished),
             onlyTelegrams);
    // Every request is recorded, answered or not.
    QCOMPARE(console.requests.size(), std::size_t(1));
}

void TestSim::answerOnlySecondCopy() {
    CSimConsole console;
    console.faults.answerCopy = 2;
    const Telegram request = Request('E');
    QVERIFY(Send(console, request).empty());
    QCOMPARE(OnlyReply(Send(console, request))[1], 'U');
    // The next operation asks the same again and is answered at its repeat too.
    QVERIFY(Send(console, request).empty());
    QCOMPARE(OnlyReply(Send(console, request))[1], 'U');
    // Another request starts the count again.
    QVERIFY(Send(console, Request('C', {0, 1})).empty());
    QCOMPARE(OnlyReply(Send(console, Request('C', {0, 1})))[1], 'O');
    // Only the reply named is damaged.
    CSimConsole damaging;
    damaging.faults.damagedReply = 2;
    for (const bool damaged : {false, true, false})
        QCOMPARE(Assemble(Send(damaging, request)).rejected.size(), std::size_t(damaged));
}

void TestSim::chatterBetweenReplies() {
    CSimConsole console;
    console.faults.chatter = true;
    QString letters;
    for (int i = 0; i < 4; ++i)
        for (const Telegram& telegram : Assemble(Send(console, Request('E'))).accepted)
            letters += QChar(telegram[1]);
    QCOMPARE(letters, QStringLiteral("TUIUAUTU"));
}

void TestSim::lineCarriesReplies() {
    CSimPty sim;
    QVERIFY2(sim.IsOpen(), sim.Error().c_str());
    sim.Start();
    const int fd = ::open(sim.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    QVERIFY(fd >= 0);
    const Telegram request = Request('R', {0});
    QCOMPARE(::write(fd, request.data(), request.size()), ssize_t(26));
    QCOMPARE(OnlyReply(ReadLine(fd, 26))[1], 'B');
    QCOMPARE(sim.Requests().size(), std::size_t(1));

    sim.Send({0x01, 0x02, 0xFF});
    QCOMPARE(ReadLine(fd, 3), (Bytes{0x01, 0x02, 0xFF}));
    QVERIFY(!sim.SendBreak()); // a pseudo-terminal cannot carry one
    ::close(fd);
}

void TestSim::pacedLine() {
    CSimPty sim;
    SimFaults faults;
    faults.paced = true;
    sim.SetFaults(faults);
    sim.Start();
    const int fd = ::open(sim.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    const Telegram request = Request('E');
    QCOMPARE(::write(fd, request.data(), request.size()), ssize_t(26));
    // At 2400 baud the reply trickles in: the first read cannot hold all of it.
    const Bytes first = ReadLine(fd, 1);
    QCOMPARE(first.size(), std::size_t(1));
    Bytes all = first;
    const Bytes rest = ReadLine(fd, 25);
    all.insert(all.end(), rest.begin(), rest.end());
    QCOMPARE(OnlyReply(all)[1], 'U');
    ::close(fd);
}

void TestSim::delayedReply() {
    CSimPty sim;
    sim.WithConsole([](CSimConsole& console) { return console.faults.replyDelayMs = 1500; });
    sim.Start();
    const int fd = ::open(sim.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    const Telegram request = Request('E');
    QCOMPARE(::write(fd, request.data(), request.size()), ssize_t(26));
    // Nothing comes early; the whole reply comes later.
    QVERIFY(ReadLine(fd, 26, 300).empty());
    QCOMPARE(OnlyReply(ReadLine(fd, 26))[1], 'U');
    ::close(fd);
}

void TestSim::closedLine() {
    CSimPty sim;
    sim.Start();
    const int fd = ::open(sim.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    sim.CloseLine();
    QVERIFY(!sim.IsOpen());
    pollfd line{fd, POLLIN, 0};
    QCOMPARE(::poll(&line, 1, 5000), 1);
    QVERIFY(line.revents & POLLHUP);
    ::close(fd);
}

void TestSim::flood_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("noise") << int(SimFlood::Noise);
    QTest::newRow("telegrams") << int(SimFlood::Telegrams);
    QTest::newRow("mixed") << int(SimFlood::Mixed);
}

// The flood goes on without end and a request is still answered in between.
void TestSim::flood() {
    QFETCH(int, kind);
    CSimPty sim;
    SimFaults faults;
    faults.flood = SimFlood(kind);
    sim.SetFaults(faults);
    sim.Start();
    const int fd = ::open(sim.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    const Telegram request = Request('E');
    QCOMPARE(::write(fd, request.data(), request.size()), ssize_t(26));
    const Seen seen = Assemble(ReadLine(fd, 1024 * 1024));
    QCOMPARE(seen.accepted.size(), std::size_t(1));
    QCOMPARE(seen.accepted.front()[1], 'U');
    if (SimFlood(kind) == SimFlood::Noise) {
        QVERIFY(seen.rejected.empty());
    } else {
        QVERIFY(seen.rejected.size() > 1024 * 1024 / 26 - 2);
        const auto rejected = [&](RxResult result) {
            return std::size_t(std::count(seen.rejected.begin(), seen.rejected.end(), result));
        };
        const std::size_t all = seen.rejected.size();
        if (SimFlood(kind) == SimFlood::Mixed)
            QVERIFY(rejected(RxResult::ChecksumError) > all / 4 &&
                    rejected(RxResult::FramingError) > all / 4 &&
                    rejected(RxResult::TypeError) > all / 4);
        else
            QCOMPARE(rejected(RxResult::ChecksumError), all);
    }
    ::close(fd);
}

QTEST_APPLESS_MAIN(TestSim)
#include "tst_Sim.moc"
