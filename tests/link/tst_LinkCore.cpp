#include "common/Telegrams.h"
#include "link/RxAssembler.h"
#include "link/RxUnescaper.h"
#include "link/Telegram.h"

#include <QtTest>

namespace {

Telegram Framed(char letter, const QByteArray& payload = {}) {
    Telegram telegram = BlankTelegram(letter);
    for (int i = 0; i < payload.size(); ++i)
        telegram[2 + i] = static_cast<uint8_t>(payload[i]);
    FrameTelegram(telegram);
    return telegram;
}

// Feeds bytes and returns the result of each completed telegram, in order.
QList<RxResult> Feed(CRxAssembler& assembler, const QByteArray& bytes) {
    QList<RxResult> results;
    for (char byte : bytes) {
        const RxResult result = assembler.AssembleRxByte(static_cast<uint8_t>(byte));
        if (result != RxResult::Pending)
            results.append(result);
    }
    return results;
}

// The checksum as first described: bit by bit, least significant first, with
// the 0x70 exclusive-or and a rotation; the program uses a table instead.
uint8_t BitwiseCrcStep(uint8_t byte, uint8_t crc) {
    for (int bit = 0; bit < 8; ++bit) {
        crc ^= (byte >> bit) & 1;
        if (crc & 1)
            crc ^= 0x70;
        crc = static_cast<uint8_t>((crc >> 1) | (crc << 7));
    }
    return crc;
}

} // namespace

class TestLinkCore : public QObject {
    Q_OBJECT
private slots:
    void checksum_data();
    void checksum();
    void tableMatchesBitwiseRule();
    void request_data();
    void request();
    void bytesBeforeStartDropped();
    void splitTelegram_data();
    void splitTelegram();
    void thirtyBytesAtOnce();
    void startMarkAsData();
    void rejected_data();
    void rejected();
    void gapTimeout();
    void unescape_data();
    void unescape();
};

void TestLinkCore::checksum_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("expected");
    QTest::newRow("123456789") << QByteArray("123456789") << 0x56;
    QTest::newRow("abc") << QByteArray("abc") << 0x87;
    QTest::newRow("none") << QByteArray() << 0x00;
}

void TestLinkCore::checksum() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, expected);
    QCOMPARE(TelegramChecksum(reinterpret_cast<const uint8_t*>(bytes.constData()),
                              static_cast<std::size_t>(bytes.size())),
             expected);
}

void TestLinkCore::tableMatchesBitwiseRule() {
    for (int crc = 0; crc < 256; ++crc)
        for (int byte = 0; byte < 256; ++byte)
            QCOMPARE(CrcStep(static_cast<uint8_t>(byte), static_cast<uint8_t>(crc)),
                     BitwiseCrcStep(static_cast<uint8_t>(byte), static_cast<uint8_t>(crc)));
}

void TestLinkCore::request_data() {
    QTest::addColumn<QByteArray>("telegram");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("E") << TelegramBytes(Framed('E'))
                       << QByteArray::fromHex("7E45" + QByteArray(21, '\0').replace('\0', "30") +
                                              "040D0A");
    QTest::newRow("R block 0") << TelegramBytes(Framed('R', QByteArray(1, '\0')))
                               << QByteArray::fromHex("7E5200" +
                                                      QByteArray(20, '\0').replace('\0', "30") +
                                                      "190D0A");
    QTest::newRow("C object 1") << TelegramBytes(Framed('C', QByteArray("\x00\x01", 2)))
                                << QByteArray::fromHex("7E430001" +
                                                       QByteArray(19, '\0').replace('\0', "30") +
                                                       "AD0D0A");
}

void TestLinkCore::request() {
    QFETCH(QByteArray, telegram);
    QFETCH(QByteArray, expected);
    QCOMPARE(telegram.toHex(' '), expected.toHex(' '));
}

void TestLinkCore::bytesBeforeStartDropped() {
    CRxAssembler assembler;
    QVERIFY(Feed(assembler, QByteArray("\x00\x30\x0D\x0A\xFF", 5)).isEmpty());
    QCOMPARE(assembler.rxCount, 0);
    QCOMPARE(Feed(assembler, TelegramBytes(Framed('B'))), QList<RxResult>{RxResult::Accepted});
}

void TestLinkCore::splitTelegram_data() {
    QTest::addColumn<QList<int>>("pieces");
    QTest::newRow("1+25") << QList<int>{1, 25};
    QTest::newRow("13+13") << QList<int>{13, 13};
    QTest::newRow("5+5+5+5+6") << QList<int>{5, 5, 5, 5, 6};
    QTest::newRow("25+1") << QList<int>{25, 1};
}

void TestLinkCore::splitTelegram() {
    QFETCH(QList<int>, pieces);
    const QByteArray telegram = TelegramBytes(Framed('O', QByteArray("\x00\x07\x0D\x0A", 4)));
    CRxAssembler assembler;
    int at = 0;
    for (int i = 0; i < pieces.size(); ++i) {
        const QList<RxResult> results = Feed(assembler, telegram.mid(at, pieces[i]));
        at += pieces[i];
        if (i + 1 < pieces.size())
            QVERIFY(results.isEmpty());
        else
            QCOMPARE(results, QList<RxResult>{RxResult::Accepted});
    }
    QCOMPARE(TelegramBytes(assembler.rxTelegram), telegram);
}

void TestLinkCore::thirtyBytesAtOnce() {
    CRxAssembler assembler;
    const QByteArray bytes = TelegramBytes(Framed('U')) + QByteArray("\x01~\x55\x56", 4);
    RxResult atTwentySix = RxResult::Pending;
    for (int i = 0; i < bytes.size(); ++i) {
        const RxResult result = assembler.AssembleRxByte(static_cast<uint8_t>(bytes[i]));
        if (i == 25)
            atTwentySix = result;
        else
            QCOMPARE(result, RxResult::Pending);
    }
    QCOMPARE(atTwentySix, RxResult::Accepted);
    QCOMPARE(assembler.rxCount, 3); // "~" and the two bytes after it
}

void TestLinkCore::startMarkAsData() {
    QByteArray payload(21, '\x7E');
    payload[0] = 4;
    const Telegram telegram = Framed('B', payload);
    CRxAssembler assembler;
    QCOMPARE(Feed(assembler, TelegramBytes(telegram)), QList<RxResult>{RxResult::Accepted});
    QCOMPARE(TelegramBytes(assembler.rxTelegram), TelegramBytes(telegram));
}

void TestLinkCore::rejected_data() {
    QTest::addColumn<QByteArray>("telegram");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("message");

    QByteArray both = TelegramBytes(Framed('B'));
    both[23] = static_cast<char>(both[23] ^ 1);
    both[24] = '\x0A';
    QByteArray badChecksum = TelegramBytes(Framed('B'));
    badChecksum[23] = static_cast<char>(badChecksum[23] ^ 1);
    QByteArray badLineEnd = TelegramBytes(Framed('O'));
    badLineEnd[25] = '\x0D';

    QTest::newRow("wrong checksum and CR LF")
        << both << int(RxResult::FramingError) << "Ошибка приема телеграммы";
    QTest::newRow("wrong LF") << badLineEnd << int(RxResult::FramingError)
                              << "Ошибка приема телеграммы";
    QTest::newRow("wrong checksum")
        << badChecksum << int(RxResult::ChecksumError) << "Ошибка CRC телеграммы";
    QTest::newRow("letter X") << TelegramBytes(Framed('X')) << int(RxResult::TypeError)
                              << "Не верный тип телеграммы";
    QTest::newRow("letter R") << TelegramBytes(Framed('R')) << int(RxResult::TypeError)
                              << "Не верный тип телеграммы";
    for (char letter : {'T', 'I', 'A', 'B', 'O', 'U'})
        QTest::newRow(QByteArray(1, letter).constData())
            << TelegramBytes(Framed(letter)) << int(RxResult::Accepted) << QString();
}

void TestLinkCore::rejected() {
    QFETCH(QByteArray, telegram);
    QFETCH(int, result);
    QFETCH(QString, message);
    CRxAssembler assembler;
    QCOMPARE(Feed(assembler, telegram), QList<RxResult>{static_cast<RxResult>(result)});
    QCOMPARE(QString::fromUtf8(RxErrorMessage(static_cast<RxResult>(result))), message);
    QCOMPARE(assembler.rxCount, 0);
    QCOMPARE(assembler.rxGapTicks, 0);
    // Whatever the outcome, the next telegram is found.
    QCOMPARE(Feed(assembler, TelegramBytes(Framed('T'))), QList<RxResult>{RxResult::Accepted});
}

void TestLinkCore::gapTimeout() {
    CRxAssembler assembler;
    QVERIFY(!assembler.CheckRxGap()); // waiting: no counting at all
    QCOMPARE(assembler.rxGapTicks, 0);
    Feed(assembler, TelegramBytes(Framed('B')).left(11)); // "~" and 10 bytes, then silence
    for (int tick = 1; tick < 10; ++tick)
        QVERIFY2(!assembler.CheckRxGap(), qPrintable(QString::number(tick)));
    QVERIFY(assembler.CheckRxGap());
    QCOMPARE(assembler.rxCount, 0);
    QCOMPARE(assembler.rxGapTicks, 0);
    QCOMPARE(QString::fromUtf8(rxTimeoutMessage), QStringLiteral("Тайм-аут при приеме телеграммы"));
    QCOMPARE(Feed(assembler, TelegramBytes(Framed('B'))), QList<RxResult>{RxResult::Accepted});
}

void TestLinkCore::unescape_data() {
    QTest::addColumn<QList<QByteArray>>("reads");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("breakSeen");
    QTest::newRow("plain") << QList<QByteArray>{"~B01"} << QByteArray("~B01") << false;
    QTest::newRow("data FF") << QList<QByteArray>{QByteArray("\x01\xFF\xFF\x02", 4)}
                             << QByteArray("\x01\xFF\x02", 3) << false;
    QTest::newRow("data FF split")
        << QList<QByteArray>{QByteArray("\x01\xFF", 2), QByteArray("\xFF\x02", 2)}
        << QByteArray("\x01\xFF\x02", 3) << false;
    QTest::newRow("two data FF") << QList<QByteArray>{QByteArray("\xFF\xFF\xFF", 3),
                                                      QByteArray("\xFF", 1)}
                                 << QByteArray("\xFF\xFF", 2) << false;
    QTest::newRow("zero bytes stay") << QList<QByteArray>{QByteArray("\x00\x00\x41", 3)}
                                     << QByteArray("\x00\x00\x41", 3) << false;
    QTest::newRow("break") << QList<QByteArray>{QByteArray("\x41\xFF\x00\x00", 4)}
                           << QByteArray("\x41") << true;
    QTest::newRow("break split over three reads")
        << QList<QByteArray>{QByteArray("\x41\xFF", 2), QByteArray("\x00", 1),
                             QByteArray("\x00\x42", 2)}
        << QByteArray("\x41") << true;
    QTest::newRow("byte with a line error")
        << QList<QByteArray>{QByteArray("\xFF\x00\x37\x38", 4)} << QByteArray("\x37\x38") << false;
}

void TestLinkCore::unescape() {
    QFETCH(QList<QByteArray>, reads);
    QFETCH(QByteArray, data);
    QFETCH(bool, breakSeen);
    CRxUnescaper unescaper;
    std::vector<uint8_t> out;
    bool sawBreak = false;
    for (const QByteArray& read : reads) {
        if (unescaper.Decode(reinterpret_cast<const uint8_t*>(read.constData()),
                             static_cast<std::size_t>(read.size()), out)) {
            sawBreak = true;
            break; // the reader takes nothing after a break
        }
    }
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(out.data()), int(out.size())).toHex(' '),
             data.toHex(' '));
    QCOMPARE(sawBreak, breakSeen);
}

QTEST_APPLESS_MAIN(TestLinkCore)
#include "tst_LinkCore.moc"
