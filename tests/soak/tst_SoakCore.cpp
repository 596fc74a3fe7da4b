// Thousands of operations through the exchange engine against the simulated
// console, in simulated time, with the console misbehaving at random.
#include "SoakFaults.h"
#include "SoakSeed.h"
#include "exchange/EditorMapping.h"
#include "exchange/FakeExchangeHost.h"

#include <QtTest>

#include <deque>
#include <memory>

namespace {

// A telegram must arrive within 10 ticks of its "~"; pieces of one reply are
// spread over fewer than that.
constexpr int maxPieceSpread = 5;
constexpr int longestDelay = 140; // past the give-up, so late replies find the engine idle
constexpr int longestConfirmation = 200;

struct Piece {
    uint64_t due = 0;
    std::vector<uint8_t> bytes;
};

struct Tally {
    int started[6] = {};
    int completed[6] = {};
    int gaveUp = 0;
    int cancelled = 0;
};

// The program's engine and the console joined by a line in simulated time: ticks
// are calls; the console's bytes reach the engine some ticks after the request,
// in order, possibly in pieces.
class CoreSoak {
public:
    CoreSoak(uint64_t seed, Tally& tally) : seed(seed), rng(seed), tally(tally) {
        for (int k = 1; k <= CSimConsole::objectCount; ++k)
            if (Chance(rng, 0.7))
                console.base[k] = {uint8_t(Between(rng, 0, 254)), uint8_t(Between(rng, 0, 255))};
        DrawBlockByte2();
    }

    void RunOperation(int index);

private:
    void Prepare(Operation operation);
    // Whether the console echoes the block in byte 2 of its "B" replies or puts a
    // constant there.
    void DrawBlockByte2() { blockByte2 = Chance(rng, 0.5) ? -1 : Between(rng, 0, 255); }
    void Pump();
    void Schedule(std::vector<uint8_t> bytes);
    void Step(); // one tick with everything that falls due in it
    void CheckLog(Operation operation, const QStringList& lines, const QString& closing);
    void CheckOutcome(Operation operation, const QString& closing);
    bool WasLearned() const { return IsLearned(before.byte1, before.byte2); }

    uint64_t seed;
    std::mt19937_64 rng;
    Tally& tally;
    FakeExchangeHost host;
    CObjectBase objectBase;
    CExchange exchange{host, objectBase};
    CSimConsole console;

    uint64_t now = 0;
    std::deque<Piece> line;
    uint64_t lineFreeAt = 0;
    std::size_t requestsSeen = 0;

    int blockByte2 = -1;

    // This operation's delivery, drawn per operation.
    double lateShare = 0;
    double splitShare = 0;
    int shortDelay = 0;

    // The overwrite question.
    int asksSeen = 0;
    int asksAtStart = 0;
    uint64_t answerAt = 0;
    bool answerPending = false;
    bool answerOk = false;
    int answersGiven = 0;
    bool lastAnswerOk = false;
    std::size_t writtenAtStart = 0;

    // What the operation was started with.
    QByteArray context;
    int objectNumber = 0;
    CSimConsole::Object before; // the object's number in the console before a Write Number
    CSimConsole::Object written;
    std::array<uint8_t, 6> keptBefore{};
    uint8_t modeSent = 0, periodSent = 0, relaySent = 0, backlightSent = 0;
};

void CoreSoak::Schedule(std::vector<uint8_t> bytes) {
    if (bytes.empty())
        return;
    // A console that sends every reply twice and answers so late that the request
    // is repeated sends the repeat's answer twice too, the copy read after the
    // next request went out: only a console known to echo the block tells it from
    // that request's answer. Late answers of such a console come before any repeat.
    const int latest = console.faults.answerTwice ? firstRepeatTicks - 2 : longestDelay;
    const int delay =
        Chance(rng, lateShare) ? Between(rng, 30, latest) : Between(rng, 0, shortDelay);
    uint64_t due = std::max(lineFreeAt, now + uint64_t(delay));
    // A copy sent without being asked is told from the next answer only when it is
    // read with the reply it copies, so such replies go out whole.
    if (console.faults.answerTwice || !Chance(rng, splitShare)) {
        line.push_back({due, std::move(bytes)});
    } else {
        const uint64_t last = due + uint64_t(Between(rng, 0, maxPieceSpread));
        std::size_t at = 0;
        while (at < bytes.size()) {
            const std::size_t size = std::min<std::size_t>(bytes.size() - at, Between(rng, 1, 30));
            line.push_back({due, {bytes.begin() + at, bytes.begin() + at + size}});
            at += size;
            due = std::min(last, due + uint64_t(Between(rng, 0, 2)));
        }
    }
    lineFreeAt = line.back().due;
}

// Requests go to the console at once; whatever is due goes to the engine, which
// may answer with a request of its own.
void CoreSoak::Pump() {
    for (;;) {
        if (requestsSeen < host.written.size()) {
            const Telegram& request = host.written[requestsSeen++];
            std::vector<uint8_t> reply = console.Receive(request.data(), request.size());
            // A repeat that comes while the answer is on its way is answered by it.
            const bool repeat = requestsSeen > 1 && request == host.written[requestsSeen - 2];
            if (!repeat || line.empty())
                Schedule(std::move(reply));
            continue;
        }
        if (!line.empty() && line.front().due <= now) {
            // One read takes everything that has arrived; what the engine writes
            // while it handles the pieces goes out after that read.
            std::vector<Piece> read;
            while (!line.empty() && line.front().due <= now) {
                read.push_back(std::move(line.front()));
                line.pop_front();
            }
            const std::size_t writesAtRead = host.written.size();
            for (const Piece& piece : read)
                exchange.ReceiveBytes(piece.bytes.data(), piece.bytes.size(),
                                      uint32_t(host.written.size() - writesAtRead));
            continue;
        }
        break;
    }
    if (host.askCount > asksSeen) {
        asksSeen = host.askCount;
        answerPending = true;
        answerOk = Chance(rng, 0.5);
        answerAt = now + uint64_t(Chance(rng, 0.5) ? Between(rng, 0, 5)
                                                   : Between(rng, 0, longestConfirmation));
    }
    if (answerPending && answerAt <= now) {
        answerPending = false;
        ++answersGiven;
        lastAnswerOk = answerOk;
        exchange.AnswerOverwrite(answerOk);
        Pump();
    }
}

void CoreSoak::Step() {
    ++now;
    exchange.ExchangeTick();
    Pump();
}

void CoreSoak::Prepare(Operation operation) {
    // The console's own learning between two visits of the engineer.
    for (int changes = Between(rng, 0, 5); changes > 0; --changes)
        console.base[Between(rng, 1, 600)] = {uint8_t(Between(rng, 0, 255)),
                                              uint8_t(Between(rng, 0, 255))};

    switch (operation) {
    case OpWriteBase:
        // Entries beyond a byte: only their low 8 bits go out.
        for (int k = 1; k <= objectCount; ++k)
            objectBase.fileTable[k] = {k, Between(rng, -300, 700), Between(rng, 0, 255)};
        objectBase.fileBaseLoaded = 1;
        break;
    case OpReadNumber:
    case OpWriteNumber:
        objectNumber = Between(rng, 1, 600);
        host.objectNumberPos = objectNumber;
        host.rightPos = Between(rng, 0, 255);
        host.leftPos = Between(rng, 0, 255);
        before = console.base[objectNumber];
        written = {uint8_t(host.rightPos), uint8_t(host.leftPos)};
        break;
    case OpReadSetup:
    case OpWriteSetup:
        console.settings.mode = uint8_t(Between(rng, 0, 2));
        console.settings.periodCode = uint8_t(Between(rng, 1, 10));
        console.settings.relay = uint8_t(Between(rng, 0, 2));
        console.settings.backlight = uint8_t(Between(rng, 0, 2));
        console.settings.versionMajor = uint8_t(Between(rng, 0, 9));
        console.settings.versionMinor = uint8_t(Between(rng, 0, 99));
        for (uint8_t& byte : console.settings.kept)
            byte = uint8_t(Between(rng, 0, 255));
        modeSent = uint8_t(Between(rng, 0, 2));
        periodSent = PeriodCodeForIndex(Between(rng, 0, 9));
        relaySent = uint8_t(Between(rng, 0, 2));
        backlightSent = uint8_t(Between(rng, 0, 2));
        host.setupChange = {modeSent, periodSent, relaySent, backlightSent};
        keptBefore = exchange.Vars().setupKept;
        break;
    case OpReadBase:
        break;
    }

    const double lateShares[] = {0, 0, 0.02, 0.1};
    lateShare = lateShares[Between(rng, 0, 3)];
    splitShare = Chance(rng, 0.5) ? 0.5 : 0;
    shortDelay = Between(rng, 0, 3);
}

void CoreSoak::RunOperation(int index) {
    const Operation operation = Operation(Between(rng, 0, 5));
    Prepare(operation);
    // Now and then the engineer moves to another console on another port.
    if (Chance(rng, 0.01)) {
        exchange.OnPortChanged();
        DrawBlockByte2();
    }
    SimFaults faults = DrawFaults(rng, FaultMix{});
    faults.blockByte2 = blockByte2;
    console.faults = faults;
    // The console counts copies of a request across operations; a request of
    // another kind starts the count anew, so that "answers only the 4th copy"
    // means no answer in this operation.
    Telegram other = BlankTelegram('X');
    FrameTelegram(other);
    console.Receive(other.data(), other.size());
    context = QString("seed %1, operation %2 (%3), faults: %4, late share %5, split share %6, "
                      "block byte 2 %7")
                  .arg(seed)
                  .arg(index)
                  .arg(operationNames[operation])
                  .arg(Describe(faults))
                  .arg(lateShare)
                  .arg(splitShare)
                  .arg(blockByte2)
                  .toUtf8();
    ++tally.started[operation];

    host.log.clear();
    writtenAtStart = host.written.size();
    asksAtStart = host.askCount;
    const uint64_t start = now;
    const int requests = operation <= OpWriteBase ? blockCount : operation == OpWriteNumber ? 2 : 1;
    const uint64_t limit = start + uint64_t(requests) * giveUpTicks + longestConfirmation + 2;
    PressButton(exchange, host, operation);
    QVERIFY2(!exchange.IsIdle(), context);

    QString closing;
    while (closing.isEmpty()) {
        QVERIFY2(now < limit, context + " did not end in time");
        const qsizetype logged = host.log.size();
        Step();
        QVERIFY2(exchange.Vars().replyWaitTicks < giveUpTicks, context);
        if (exchange.IsIdle()) {
            // The line that ended the operation is the last one of the tick but
            // for receive errors of bytes handled after it.
            QStringList lines = host.log.mid(logged);
            while (!lines.isEmpty() && receiveErrors.contains(lines.last()))
                lines.removeLast();
            QVERIFY2(!lines.isEmpty(), context + " ended without a line");
            closing = lines.last();
        }
    }
    CheckLog(operation, host.log, closing);
    if (QTest::currentTestFailed())
        return;
    CheckOutcome(operation, closing);
    if (QTest::currentTestFailed())
        return;

    // The engineer waits until the line is quiet before the next operation: late
    // replies land in idle and must change nothing.
    const ObjectTable deviceTable = objectBase.deviceTable;
    const int deviceComplete = objectBase.deviceBaseComplete;
    while (!line.empty() || now < lineFreeAt + 11)
        Step();
    QVERIFY2(exchange.IsIdle(), context + " busy after the operation");
    QVERIFY2(objectBase.deviceTable == deviceTable, context + " late reply stored");
    QVERIFY2(objectBase.deviceBaseComplete == deviceComplete, context);
    for (int ticks = Between(rng, 0, 50); ticks > 0; --ticks)
        Step();
}

// The operation's own lines, receive errors aside, in their order.
void CoreSoak::CheckLog(Operation operation, const QStringList& log, const QString& closing) {
    QStringList lines;
    for (const QString& line : log)
        if (!receiveErrors.contains(line))
            lines << line;

    QStringList expected;
    const QString number = QString::asprintf("%03d", objectNumber);
    switch (operation) {
    case OpReadBase:
        expected << "Чтение базы объектов из ПЦН";
        break;
    case OpWriteBase:
        expected << "Запись базы объектов в ПЦН";
        break;
    case OpReadNumber:
        expected << "Чтение объекта: " + number;
        break;
    case OpWriteNumber:
        expected << QString::asprintf("Запись объекта: %03d - %03d.%03d", objectNumber,
                                      written.byte2, written.byte1);
        break;
    case OpReadSetup:
        expected << "Чтение установок из ПЦН VX-418K";
        break;
    case OpWriteSetup:
        expected << "Запись установок в ПЦН VX-418K";
        break;
    }
    // The link is reported at the first accepted block: always, unless the console
    // never answered.
    if (operation <= OpWriteBase &&
        (closing != noLink || lines.contains("Установлена связь с ПЦН")))
        expected << "Установлена связь с ПЦН";
    if (operation == OpWriteNumber && host.askCount > asksAtStart)
        expected << "Записываемый объект номер: " + number + " уже обучен";
    expected << closing;
    QVERIFY2(lines == expected, context + "\n got: " + lines.join(" | ").toUtf8() +
                                    "\n expected: " + expected.join(" | ").toUtf8());
}

void CoreSoak::CheckOutcome(Operation operation, const QString& closing) {
    if (closing == noLink) {
        ++tally.gaveUp;
        answersGiven = 0;
        return;
    }
    if (closing.startsWith("Ответы ПЦН не совпали с запросами")) {
        // Only from a console that answered a request twice: all of them, or one and its repeat.
        const bool repeated =
            std::adjacent_find(host.written.begin() + std::ptrdiff_t(writtenAtStart),
                               host.written.end()) != host.written.end();
        QVERIFY2(console.faults.answerTwice || repeated, context + " shifted without a cause");
        QVERIFY2(operation == OpWriteBase ||
                     (operation == OpReadBase && !objectBase.deviceBaseComplete),
                 context);
        return;
    }
    QVERIFY2(!AnswersNever(console.faults, replyLetters[operation]),
             context + " ended well without a valid answer: " + closing.toUtf8());
    ++tally.completed[operation];
    const SimSettings& settings = console.settings;
    const QString version =
        QString::asprintf("%01d.%02d", settings.versionMajor, settings.versionMinor);

    switch (operation) {
    case OpReadBase:
        QVERIFY2(closing == "База объектов прочитана из ПЦН, принято 600 объектов", context);
        QVERIFY2(objectBase.deviceBaseComplete == 1, context);
        for (int k = 1; k <= objectCount; ++k) {
            const ObjectRecord expected{k, console.base[k].byte1, console.base[k].byte2};
            QVERIFY2(objectBase.deviceTable[k] == expected,
                     context + " object " + QByteArray::number(k) + " read wrong");
        }
        break;
    case OpWriteBase:
        QVERIFY2(closing == "База объектов записана в ПЦН, передано 600 объектов", context);
        for (int k = 1; k <= objectCount; ++k) {
            QVERIFY2(console.base[k].byte1 == (objectBase.fileTable[k].byte1 & 0xFF) &&
                         console.base[k].byte2 == (objectBase.fileTable[k].byte2 & 0xFF),
                     context + " object " + QByteArray::number(k) + " written wrong");
        }
        break;
    case OpReadNumber:
        QVERIFY2(closing.startsWith(QString::asprintf("Принят объект: %03d - %03d.%03d  ID h",
                                                      objectNumber, before.byte2, before.byte1)),
                 context + " " + closing.toUtf8());
        QVERIFY2(host.rightPos == before.byte1 && host.leftPos == before.byte2, context);
        QVERIFY2(host.objectState == (WasLearned() ? 1 : 0), context);
        break;
    case OpWriteNumber: {
        const bool cancelled =
            closing == QString::asprintf("Запись объекта номер: %03d отменена", objectNumber);
        if (cancelled) {
            ++tally.cancelled;
            QVERIFY2(WasLearned() && answersGiven == 1 && !lastAnswerOk, context);
            QVERIFY2(console.base[objectNumber].byte1 == before.byte1 &&
                         console.base[objectNumber].byte2 == before.byte2,
                     context + " written after a cancel");
            break;
        }
        QVERIFY2(closing == QString::asprintf("Записан объект: %03d - %03d.%03d", objectNumber,
                                              written.byte2, written.byte1),
                 context + " " + closing.toUtf8());
        QVERIFY2(WasLearned() ? answersGiven == 1 && lastAnswerOk : answersGiven == 0, context);
        QVERIFY2(console.base[objectNumber].byte1 == written.byte1 &&
                     console.base[objectNumber].byte2 == written.byte2,
                 context);
        QVERIFY2(host.rightPos == written.byte1 && host.leftPos == written.byte2, context);
        break;
    }
    case OpReadSetup:
    case OpWriteSetup:
        QVERIFY2(closing == (operation == OpReadSetup ? "Приняты установки от ПЦН версии: "
                                                      : "Записаны установки в ПЦН версии: ") +
                                version,
                 context + " " + closing.toUtf8());
        if (operation == OpWriteSetup) {
            QVERIFY2(settings.mode == modeSent && settings.periodCode == periodSent &&
                         settings.relay == relaySent && settings.backlight == backlightSent,
                     context + " settings written wrong");
            QVERIFY2(settings.kept == keptBefore, context + " kept bytes not carried back");
        }
        QVERIFY2(host.modeIndex == settings.mode && host.relayIndex == settings.relay &&
                     host.backlightIndex == settings.backlight &&
                     host.periodIndex == PeriodIndexForCode(settings.periodCode),
                 context + " panel does not show the console's settings");
        QVERIFY2(exchange.Vars().setupKept == settings.kept, context);
        break;
    }
    answersGiven = 0;
}

} // namespace

class TestSoakCore : public QObject {
    Q_OBJECT
private slots:
    void operationsWithRandomFaults();
};

void TestSoakCore::operationsWithRandomFaults() {
    const uint64_t seed = SoakSeed();
    const int operations = SoakCount("KELVARIN_SOAK_OPERATIONS", 5000);
    qInfo("seed %llu (replay: KELVARIN_SOAK_SEED=%llu), %d operations",
          static_cast<unsigned long long>(seed), static_cast<unsigned long long>(seed), operations);

    Tally tally;
    auto soak = std::make_unique<CoreSoak>(seed, tally);
    for (int i = 0; i < operations; ++i) {
        soak->RunOperation(i);
        if (QTest::currentTestFailed())
            return;
    }

    int completed = 0;
    for (int op = 0; op < 6; ++op) {
        qInfo("%-12s started %4d, completed %4d", operationNames[op], tally.started[op],
              tally.completed[op]);
        completed += tally.completed[op];
    }
    qInfo("gave up %d, cancelled %d", tally.gaveUp, tally.cancelled);
    // Most faults still let an operation finish; a soak in which nearly nothing
    // finished would have checked little.
    QVERIFY(completed >= operations / 2);
    QVERIFY(tally.gaveUp > 0);
}

QTEST_APPLESS_MAIN(TestSoakCore)
#include "tst_SoakCore.moc"
