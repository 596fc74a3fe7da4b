#include "common/Telegrams.h"

#include "link/CLineTrace.h"
#include "link/RxAssembler.h"
#include "link/RxTraceSplitter.h"

#include <QtTest>

namespace {

// Runs steps through a receive assembler and the splitter as the exchange feeds
// them: each step is one read from the port, and a null step is the ten ticks
// of silence after which the assembler drops a partial telegram. Returns each
// group as its size and verdict.
QStringList Groups(const QList<QByteArray>& steps) {
    CRxAssembler assembler;
    CRxTraceSplitter splitter;
    QStringList groups;
    auto note = [&groups](const std::vector<RxTraceGroup>& finished) {
        for (const RxTraceGroup& group : finished)
            groups << QStringLiteral("%1 %2")
                          .arg(group.bytes.size())
                          .arg(QString::fromStdString(RxTraceVerdictText(group)));
    };
    for (const QByteArray& step : steps) {
        if (step.isNull()) {
            for (int tick = 0; tick < 10; ++tick)
                if (assembler.CheckRxGap())
                    note(splitter.OnTimeout());
            continue;
        }
        for (const char c : step) {
            const uint16_t before = assembler.rxCount;
            const RxResult result = assembler.AssembleRxByte(uint8_t(c));
            note(splitter.OnByte(uint8_t(c), before, result));
        }
        note(splitter.OnReadEnd());
    }
    return groups;
}

QByteArray Reply(char letter = 'B', std::initializer_list<uint8_t> payload = {0, 12, 34}) {
    return TelegramBytes(FramedTelegram(letter, payload));
}

QByteArray Changed(QByteArray bytes, int at, char value) {
    bytes[at] = value;
    return bytes;
}

} // namespace

class TestLineTrace : public QObject {
    Q_OBJECT
private slots:
    void groups_data() {
        QTest::addColumn<QList<QByteArray>>("steps");
        QTest::addColumn<QStringList>("expected");
        const QByteArray b = Reply();
        QTest::newRow("good") << QList<QByteArray>{b} << QStringList{"26 accepted B"};
        QTest::newRow("over two reads")
            << QList<QByteArray>{b.left(10), b.mid(10)} << QStringList{"26 accepted B"};
        QTest::newRow("checksum") << QList<QByteArray>{Changed(b, 23, char(b[23] ^ 1))}
                                  << QStringList{"26 checksum error"};
        QTest::newRow("CR LF") << QList<QByteArray>{Changed(Changed(b, 24, '\n'), 25, '\r')}
                               << QStringList{"26 CR LF error"};
        QTest::newRow("letter X") << QList<QByteArray>{Reply('X')}
                                  << QStringList{"26 unknown letter X"};
        QTest::newRow("letter 0x01")
            << QList<QByteArray>{Reply('\x01')} << QStringList{"26 unknown letter 0x01"};
        QTest::newRow("partial, silence, whole")
            << QList<QByteArray>{b.left(10), QByteArray(), b}
            << QStringList{"10 time-out after 10 bytes", "26 accepted B"};
        QTest::newRow("noise around")
            << QList<QByteArray>{"\x01\x02" + b + "\r\n\x7F"}
            << QStringList{"2 outside a telegram", "26 accepted B", "3 outside a telegram"};
        QTest::newRow("start marks as data")
            << QList<QByteArray>{Reply('B', {0x7E, 0x7E, 0x7E})} << QStringList{"26 accepted B"};
        QTest::newRow("two telegrams and a tail")
            << QList<QByteArray>{b + Reply('U') + "abcd"}
            << QStringList{"26 accepted B", "26 accepted U", "4 outside a telegram"};
    }
    void groups() {
        QFETCH(QList<QByteArray>, steps);
        QFETCH(QStringList, expected);
        QCOMPARE(Groups(steps), expected);
    }

    void lines() {
        using std::chrono::microseconds;
        using std::chrono::nanoseconds;
        nanoseconds now = std::chrono::seconds(5);
        QStringList lines;
        CLineTrace trace(
            [&lines](const std::string& line) { lines << QString::fromStdString(line); },
            [&now] { return now; });
        CRxAssembler assembler;
        auto receive = [&](const QByteArray& bytes) {
            for (const char c : bytes) {
                const uint16_t before = assembler.rxCount;
                trace.ByteReceived(uint8_t(c), before, assembler.AssembleRxByte(uint8_t(c)));
            }
            trace.ReadEnded();
        };

        trace.PortOpened("COM1", "/dev/pts/3");
        now += nanoseconds(1234567);
        trace.TelegramWritten(FramedTelegram('E'));
        now = std::chrono::seconds(5) + microseconds(118700);
        const Telegram settings = FramedTelegram('U', {0, 5});
        receive("\x01" + TelegramBytes(settings));
        receive(Reply().left(4));
        now += std::chrono::milliseconds(500);
        trace.ReceiveTimedOut();
        trace.ReceiveTimedOut(); // nothing left to drop
        now = std::chrono::seconds(105);
        trace.PortClosed();
        trace.PortOpened("", "/dev/ttyUSB0");

        const QString e = "7E 45 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 "
                          "04 0D 0A";
        const QString u =
            QString::fromStdString(CLineTrace::HexBytes(settings.data(), settings.size()));
        const QStringList expected{
            "     0.000 open COM1 /dev/pts/3",
            "     1.234 tx " + e,
            "   118.700 rx 01  outside a telegram",
            "   118.700 rx " + u + "  accepted U",
            "   618.700 rx 7E 42 00 0C  time-out after 4 bytes",
            "100000.000 close",
            "     0.000 open /dev/ttyUSB0",
        };
        QCOMPARE(lines, expected);
    }
};

QTEST_APPLESS_MAIN(TestLineTrace)
#include "tst_LineTrace.moc"
