#include "common/CoreTestMain.h"

#include "exchange/CExchangeSession.h"
#include "sim/CSimPty.h"

#include <QSignalSpy>

#include <memory>

namespace {

// A front end of the session without any widget: it keeps what the session
// says and answers the overwrite question as told.
struct FrontEnd {
    CObjectBase objectBase;
    std::unique_ptr<CExchangeSession> session;
    QStringList log;
    QStringList status;
    QList<int> storedBlocks;
    QList<Outcome> outcomes;
    ObjectShown object;
    SetupShown settings;
    int asked = 0;
    int answer = -1; // -1: leave the question open

    explicit FrontEnd(CPortMapping mapping) {
        session = std::make_unique<CExchangeSession>(objectBase, std::move(mapping));
        CExchangeSession& s = *session;
        QObject::connect(&s, &CExchangeSession::logLine, [this](const QString& line) {
            // "HH:MM:SS - text" -> "text"; bare port lines stay as they are.
            log << (line.size() > 11 && line.at(2) == ':' ? line.mid(11) : line);
        });
        QObject::connect(&s, &CExchangeSession::statusMessage,
                         [this](const QString& text) { status << text; });
        QObject::connect(&s, &CExchangeSession::blockStored,
                         [this](int block) { storedBlocks << block; });
        QObject::connect(&s, &CExchangeSession::finished,
                         [this](Outcome outcome) { outcomes << outcome; });
        QObject::connect(&s, &CExchangeSession::objectShown,
                         [this](const ObjectShown& shown) { object = shown; });
        QObject::connect(&s, &CExchangeSession::settingsShown,
                         [this](const SetupShown& shown) { settings = shown; });
        QObject::connect(&s, &CExchangeSession::overwriteAsked, [this] {
            ++asked;
            if (answer >= 0)
                session->AnswerOverwrite(answer == 1);
        });
    }
    // Runs the session's own clock until the operation under way has ended.
    bool WaitUntilIdle(int timeoutMs = 10000) {
        if (session->IsIdle())
            return true;
        QSignalSpy ended(session.get(), &CExchangeSession::finished);
        return ended.wait(timeoutMs);
    }
};

CPortMapping MapCom1(const std::string& path) {
    CPortMapping mapping;
    mapping.SetOverride(QStringLiteral("COM1"), QString::fromStdString(path));
    return mapping;
}

enum Operation { OpReadBase, OpWriteBase, OpReadNumber, OpWriteNumber, OpReadSetup, OpWriteSetup };

} // namespace

class TestExchangeSession : public QObject {
    Q_OBJECT
private slots:
    void operation_data();
    void operation();
    void silentConsoleGivesUp();
    void deviceLost();
};

void TestExchangeSession::operation_data() {
    QTest::addColumn<int>("operation");
    QTest::addColumn<int>("answer"); // to the overwrite question
    QTest::addColumn<QString>("closingLine");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<int>("asked");
    const int completed = int(Outcome::Completed);
    QTest::newRow("read base") << int(OpReadBase) << -1
                               << "База объектов прочитана из ПЦН, принято 600 объектов"
                               << completed << 0;
    QTest::newRow("write base") << int(OpWriteBase) << -1
                                << "База объектов записана в ПЦН, передано 600 объектов"
                                << completed << 0;
    QTest::newRow("read number") << int(OpReadNumber) << -1
                                 << "Принят объект: 003 - 100.003  ID hA1  003  087  100"
                                 << completed << 0;
    QTest::newRow("write number, OK")
        << int(OpWriteNumber) << 1 << "Записан объект: 003 - 034.012" << completed << 1;
    QTest::newRow("write number, Cancel")
        << int(OpWriteNumber) << 0 << "Запись объекта номер: 003 отменена" << int(Outcome::Declined)
        << 1;
    QTest::newRow("read setup") << int(OpReadSetup) << -1 << "Приняты установки от ПЦН версии: 1.05"
                                << completed << 0;
    QTest::newRow("write setup") << int(OpWriteSetup) << -1
                                 << "Записаны установки в ПЦН версии: 1.05" << completed << 0;
}

// Each operation from the operands a front end took to its closing log line,
// against the simulated console with objects 1..25 learned.
void TestExchangeSession::operation() {
    QFETCH(int, operation);
    QFETCH(int, answer);
    QFETCH(QString, closingLine);
    QFETCH(int, outcome);
    QFETCH(int, asked);
    CSimPty sim;
    sim.WithConsole([](CSimConsole& console) {
        console.LearnSample(25);
        return 0;
    });
    sim.Start();
    FrontEnd front(MapCom1(sim.SlavePath()));
    front.answer = answer;
    front.objectBase.fileBaseLoaded = 1;
    front.session->OpenPort(QStringLiteral("COM1"));
    front.session->StartTimer();

    const NumberOperands number{3, 12, 34};
    switch (operation) {
    case OpReadBase:
        front.session->OnReadBase();
        break;
    case OpWriteBase:
        front.session->OnWriteBase();
        break;
    case OpReadNumber:
        front.session->OnReadNumber(number);
        break;
    case OpWriteNumber:
        front.session->OnWriteNumber(number);
        break;
    case OpReadSetup:
        front.session->OnReadSetup();
        break;
    default:
        front.session->OnWriteSetup(
            {.setupMode = 2, .setupBacklight = 0, .setupRelay = 1, .setupPeriodCode = 1});
        break;
    }
    QVERIFY(!front.session->IsIdle());
    QVERIFY(front.WaitUntilIdle(30000));
    QCOMPARE(front.log.last(), closingLine);
    QCOMPARE(front.outcomes, QList<Outcome>{Outcome(outcome)});
    QCOMPARE(front.asked, asked);

    switch (operation) {
    case OpReadBase:
        QCOMPARE(front.storedBlocks.size(), 60);
        QCOMPARE(front.storedBlocks.first(), 0);
        QCOMPARE(front.storedBlocks.last(), 59);
        QCOMPARE(front.objectBase.deviceTable[25].byte2, 100);
        QCOMPARE(front.objectBase.deviceTable[26].byte2, 255);
        break;
    case OpReadNumber:
        QCOMPARE(front.object.objectNumber, 3);
        QCOMPARE(front.object.transmitterByte1, 3);
        QCOMPARE(front.object.transmitterByte2, 100);
        QCOMPARE(front.object.stateIndex, 1);
        break;
    case OpWriteSetup:
        QCOMPARE(front.settings.modeCode, 2);
        QCOMPARE(front.settings.periodCode, 1);
        QCOMPARE(front.settings.relayCode, 1);
        QCOMPARE(front.settings.backlightCode, 0);
        QCOMPARE(front.settings.versionMajor * 100 + front.settings.versionMinor, 105);
        break;
    default:
        QVERIFY(front.storedBlocks.isEmpty());
    }
}

// Ticks counted by the caller: a console that never answers costs 120 of them.
void TestExchangeSession::silentConsoleGivesUp() {
    CSimPty sim;
    SimFaults faults;
    faults.silent = true;
    sim.SetFaults(faults);
    sim.Start();
    FrontEnd front(MapCom1(sim.SlavePath()));
    front.session->OpenPort(QStringLiteral("COM1"));
    front.session->OnReadSetup();
    int ticks = 0;
    while (!front.session->IsIdle() && ticks < 200) {
        front.session->ExchangeTick();
        ++ticks;
    }
    QCOMPARE(ticks, 120);
    QCOMPARE(front.log.last(), QStringLiteral("Нет связи с ПЦН"));
    QCOMPARE(front.outcomes, QList<Outcome>{Outcome::NoAnswer});
    QTRY_COMPARE_WITH_TIMEOUT(sim.Requests().size(), std::size_t(3), 5000);
}

void TestExchangeSession::deviceLost() {
    auto sim = std::make_unique<CSimPty>();
    sim->Start();
    FrontEnd front(MapCom1(sim->SlavePath()));
    QSignalSpy lost(front.session.get(), &CExchangeSession::deviceLost);
    front.session->OpenPort(QStringLiteral("COM1"));
    sim->CloseLine();
    QVERIFY(lost.wait(5000));
    QCOMPARE(lost.first().first().toString(), QStringLiteral("COM1"));
    QVERIFY(front.status.last().contains("lost"));
    // The log says nothing of it; the exchange runs into its give-up.
    QCOMPARE(front.log, QStringList{"Подключен порт COM1"});
}

KELVARIN_CORE_TEST_MAIN(TestExchangeSession)
#include "tst_ExchangeSession.moc"
