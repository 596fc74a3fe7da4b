// Replies paired with requests through the line: the real window against a
// simulated console that holds up, echoes or not, and sends copies.
#include "E2eRig.h"

#include "common/TestMain.h"
#include "panel/CRewriteDlg.h"

namespace {

constexpr int giveUpTimeout = 15000;    // 120 ticks of 50 ms, with room for a slow machine
constexpr int operationTimeout = 20000; // a held-up console answers after 7 s
constexpr int holdUpMs = 7000;          // longer than the 6 s after which the program gives up

QString Word(const Telegram& request) {
    const char letter = char(request[1]);
    if (letter == 'R' || letter == 'W')
        return QString(letter) + QString::number(request[2]);
    if (letter == 'C' || letter == 'D')
        return QString(letter) + QString::number(request[2] * 256 + request[3]);
    return QString(letter);
}

QStringList Requests(E2eRig& rig, std::size_t from = 0) {
    QStringList words;
    const std::vector<Telegram> requests = rig.sim.Requests();
    for (std::size_t i = from; i < requests.size(); ++i)
        words << Word(requests[i]);
    return words;
}

QStringList Blocks(char letter) {
    QStringList words;
    for (int block = 0; block < blockCount; ++block)
        words << QString(letter) + QString::number(block);
    return words;
}

// Waits for the operation to end, pressing OK whenever the overwrite question shows.
int RunUntilIdle(E2eRig& rig) {
    int asked = 0;
    QDeadlineTimer deadline(operationTimeout);
    while (!rig.View().Session().IsIdle() && !deadline.hasExpired()) {
        if (auto* dialog = qobject_cast<CRewriteDlg*>(QApplication::activeModalWidget())) {
            ++asked;
            dialog->accept();
        }
        QTest::qWait(5);
    }
    return asked;
}

} // namespace

class TestPairingLine : public QObject {
    Q_OBJECT
private slots:
    void givenUpReadRetried_data();
    void givenUpReadRetried();
    void writeAfterGivenUpRead();
    void requestsAsAsked_data();
    void requestsAsAsked();
    void portChangeForgetsEcho();
};

void TestPairingLine::givenUpReadRetried_data() {
    QTest::addColumn<bool>("portPicked"); // between the two: the echo is forgotten
    QTest::newRow("same port") << false;
    QTest::newRow("port picked again") << true;
}

// Busy for 7 s on block 5, then the console answers everything it was sent; the
// operator presses "Read Base" again as soon as the program gives up.
void TestPairingLine::givenUpReadRetried() {
    QFETCH(bool, portPicked);
    E2eRig rig;
    rig.sim.WithConsole([](CSimConsole& console) {
        for (int k = 1; k <= CSimConsole::objectCount; ++k)
            console.base[k] = {uint8_t(k * 7 % 256), uint8_t(k / 3 % 256)};
        console.faults.holdUpRequest = 6;
        console.faults.holdUpMs = holdUpMs;
    });
    rig.Click("Read Base");
    QTRY_COMPARE_WITH_TIMEOUT(rig.LastMessage(), QString("Нет связи с ПЦН"), giveUpTimeout);
    QCOMPARE(Requests(rig), Blocks('R').mid(0, 5) + QStringList({"R5", "R5", "R5"}));

    if (portPicked) { // the read fails: nothing tells the late answers from the new
        auto& ports = rig.Find<QComboBox>("port");
        for (const int index : {ports.count() - 1, 0}) { // "OFF", then COM1
            ports.setCurrentIndex(index);
            emit ports.activated(index);
        }
        rig.Click("Read Base");
        RunUntilIdle(rig);
        QCOMPARE(rig.LastMessage(),
                 QString("Ответы ПЦН не совпали с запросами, база объектов не прочитана"));
        QCOMPARE(rig.objectBase.deviceBaseComplete, 0);
    }
    const std::size_t retriedFrom = rig.sim.Requests().size();
    rig.Click("Read Base");
    RunUntilIdle(rig);
    QCOMPARE(rig.LastMessage(), QString("База объектов прочитана из ПЦН, принято 600 объектов"));
    QStringList retried = Requests(rig, retriedFrom);
    retried.removeDuplicates(); // block 0 is repeated if the console is still busy
    QCOMPARE(retried, Blocks('R'));
    rig.sim.WithConsole([&](CSimConsole& console) {
        for (int k = 1; k <= objectCount; ++k)
            QVERIFY2(rig.objectBase.deviceTable[k] ==
                         (ObjectRecord{k, console.base[k].byte1, console.base[k].byte2}),
                     qPrintable(QString::number(k)));
    });
}

// "Read Number" of object 30 gives up on a console busy for 7 s; the operator then
// writes to object 3, which is learned: the question comes before any write.
void TestPairingLine::writeAfterGivenUpRead() {
    E2eRig rig;
    rig.sim.WithConsole([](CSimConsole& console) {
        console.base[3] = {1, 2};
        console.faults.holdUpRequest = 1;
        console.faults.holdUpMs = holdUpMs;
    });
    rig.Find<QSpinBox>("objectNumber").setValue(30);
    rig.Click("Read Number");
    QTRY_COMPARE_WITH_TIMEOUT(rig.LastMessage(), QString("Нет связи с ПЦН"), giveUpTimeout);

    rig.Find<QSpinBox>("objectNumber").setValue(3);
    rig.Find<QSpinBox>("transmitterByte2").setValue(34);
    rig.Find<QSpinBox>("transmitterByte1").setValue(12);
    rig.Click("Write Number");
    QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<CRewriteDlg*>(QApplication::activeModalWidget()),
                             operationTimeout);
    QCOMPARE(rig.LastMessage(), QString("Записываемый объект номер: 003 уже обучен"));
    QVERIFY(!Requests(rig).contains("D3"));
    rig.sim.WithConsole([](CSimConsole& console) { QCOMPARE(int(console.base[3].byte1), 1); });

    qobject_cast<QDialog*>(QApplication::activeModalWidget())->accept();
    QTRY_COMPARE_WITH_TIMEOUT(rig.LastMessage(), QString("Записан объект: 003 - 034.012"),
                              operationTimeout);
    rig.sim.WithConsole([](CSimConsole& console) { QCOMPARE(int(console.base[3].byte1), 12); });
}

void TestPairingLine::requestsAsAsked_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("console"); // "constant 0" or "paced"
    QTest::addColumn<int>("held");    // object 9's number in the console, as byte1 * 256 + byte2
    QTest::addColumn<int>("written"); // the number written to object 9, the same way
    QTest::addColumn<QString>("closing");
    QTest::addColumn<QStringList>("requests");

    const QString read = "База объектов прочитана из ПЦН, принято 600 объектов";
    const QString written = "База объектов записана в ПЦН, передано 600 объектов";
    QTest::newRow("number held, after OK")
        << "Write Number"
        << "paced" << 0x0403 << 0x0403 << "Записан объект: 009 - 003.004"
        << QStringList{"C9", "D9"};
    QTest::newRow("255.255 to an object not learned")
        << "Write Number"
        << "paced" << 0xFFFF << 0xFFFF << "Записан объект: 009 - 255.255"
        << QStringList{"C9", "D9"};
    QTest::newRow("Read Base, constant 0, empty console")
        << "Read Base"
        << "constant 0" << 0xFFFF << 0 << read << Blocks('R');
    QTest::newRow("Write Base, constant 0, blocks alike")
        << "Write Base"
        << "constant 0" << 0xFFFF << 0 << written << Blocks('W');
}

// A console that answers every request once sees exactly the requests asked.
void TestPairingLine::requestsAsAsked() {
    QFETCH(QString, button);
    QFETCH(QString, console);
    QFETCH(int, held);
    QFETCH(int, written);
    QFETCH(QString, closing);
    QFETCH(QStringList, requests);

    E2eRig rig;
    rig.sim.WithConsole([&](CSimConsole& sim) {
        sim.base[9] = {uint8_t(held >> 8), uint8_t(held & 0xFF)};
        sim.faults.blockByte2 = console == "constant 0" ? 0 : -1;
        sim.faults.paced = console == "paced";
    });
    for (int k = 1; k <= objectCount; ++k)
        rig.objectBase.fileTable[k] = {k, 255, 255};
    rig.objectBase.fileBaseLoaded = 1;
    rig.Find<QSpinBox>("objectNumber").setValue(9);
    rig.Find<QSpinBox>("transmitterByte1").setValue(written >> 8);
    rig.Find<QSpinBox>("transmitterByte2").setValue(written & 0xFF);

    rig.Click(qPrintable(button));
    RunUntilIdle(rig);
    QCOMPARE(rig.LastMessage(), closing);
    QCOMPARE(Requests(rig), requests);
}

// What a console showed about itself does not outlive its port.
void TestPairingLine::portChangeForgetsEcho() {
    E2eRig rig;
    rig.Click("Read Base");
    RunUntilIdle(rig);
    QVERIFY(rig.View().Session().Exchange().Pairing().EchoesBlock('R'));
    auto& ports = rig.Find<QComboBox>("port");
    ports.setCurrentIndex(ports.count() - 1); // "OFF"
    emit ports.activated(ports.currentIndex());
    QVERIFY(!rig.View().Session().Exchange().Pairing().EchoesBlock('R'));
}

KELVARIN_TEST_MAIN(TestPairingLine)
#include "tst_PairingLine.moc"
