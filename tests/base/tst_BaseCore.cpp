#include "base/BaseFileCodec.h"
#include "base/TransmitterNumber.h"

#include <QtTest>

#include <algorithm>
#include <climits>
#include <vector>

namespace {

// Every entry, the unused ones too, holds something no codec or block step writes.
ObjectTable MarkedTable() {
    ObjectTable table;
    for (int k = 0; k < objectTableSize; ++k)
        table[k] = {-1000 - k, -2000 - k, -3000 - k};
    return table;
}

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    return std::vector<uint8_t>(values.begin(), values.end());
}

} // namespace

class TestBaseCore : public QObject {
    Q_OBJECT
private slots:
    void encodeExample();
    void encodeLittleEndian_data();
    void encodeLittleEndian();
    void decodeRoundTrip();
    void decodeTooShort_data();
    void decodeTooShort();
    void decodeIgnoresTail();
    void storeBlock_data();
    void storeBlock();
    void readBlockLowBits_data();
    void readBlockLowBits();
    void transmitterNumberText_data();
    void transmitterNumberText();
};

void TestBaseCore::encodeExample() {
    ObjectTable table{};
    table[1] = {1, 34, 12}; // printed as 012.034
    const BaseFileBytes bytes = EncodeBaseFile(table);

    QCOMPARE(bytes.size(), std::size_t(7212));
    const std::vector<uint8_t> head(bytes.begin(), bytes.begin() + 24);
    QCOMPARE(head, Bytes({0,    0, 0, 0, 0,    0, 0, 0, 0,    0, 0, 0, //
                          0x01, 0, 0, 0, 0x22, 0, 0, 0, 0x0C, 0, 0, 0}));
    QVERIFY(std::all_of(bytes.begin() + 24, bytes.end(), [](uint8_t b) { return b == 0; }));
}

void TestBaseCore::encodeLittleEndian_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("byte") << 255 << QByteArray::fromHex("ff000000");
    QTest::newRow("321") << 321 << QByteArray::fromHex("41010000");
    QTest::newRow("minus one") << -1 << QByteArray::fromHex("ffffffff");
    QTest::newRow("largest") << INT_MAX << QByteArray::fromHex("ffffff7f");
    QTest::newRow("smallest") << INT_MIN << QByteArray::fromHex("00000080");
}

void TestBaseCore::encodeLittleEndian() {
    QFETCH(int, value);
    QFETCH(QByteArray, expected);

    // The value in each field of the last record, so record order and field
    // order both show.
    ObjectTable table{};
    table[600] = {value, value, value};
    const BaseFileBytes bytes = EncodeBaseFile(table);
    const QByteArray last(reinterpret_cast<const char*>(bytes.data()) + 600 * 12, 12);
    QCOMPARE(last, expected + expected + expected);
    QVERIFY(std::all_of(bytes.begin(), bytes.begin() + 600 * 12, [](uint8_t b) { return b == 0; }));
}

void TestBaseCore::decodeRoundTrip() {
    ObjectTable source{};
    for (int k = 0; k <= objectCount; ++k)
        source[k] = {k * 7919 - 1000000, k * 321, INT_MIN + k};
    source[0] = {5, 6, 7}; // record 0 is taken like any other
    const BaseFileBytes bytes = EncodeBaseFile(source);

    ObjectTable decoded = MarkedTable();
    QVERIFY(DecodeBaseFile(bytes, decoded));
    for (int k = 0; k <= objectCount; ++k)
        QCOMPARE(decoded[k], source[k]);
    for (int k = objectCount + 1; k < objectTableSize; ++k)
        QCOMPARE(decoded[k], MarkedTable()[k]);
}

void TestBaseCore::decodeTooShort_data() {
    QTest::addColumn<int>("size");
    QTest::newRow("empty") << 0;
    QTest::newRow("one byte") << 1;
    QTest::newRow("one record short") << 7200;
    QTest::newRow("one byte short") << 7211;
}

void TestBaseCore::decodeTooShort() {
    QFETCH(int, size);
    const std::vector<uint8_t> bytes(size, 0x5A);
    ObjectTable table = MarkedTable();
    QVERIFY(!DecodeBaseFile(bytes, table));
    QVERIFY(table == MarkedTable());
}

void TestBaseCore::decodeIgnoresTail() {
    ObjectTable source{};
    source[600] = {600, 1, 2};
    const BaseFileBytes image = EncodeBaseFile(source);
    std::vector<uint8_t> bytes(image.begin(), image.end());
    bytes.insert(bytes.end(), 100, 0xEE);

    ObjectTable table = MarkedTable();
    QVERIFY(DecodeBaseFile(bytes, table));
    QCOMPARE(table[600], source[600]);
    QCOMPARE(table[601], MarkedTable()[601]);
}

void TestBaseCore::storeBlock_data() {
    QTest::addColumn<int>("blockIndex");
    QTest::newRow("first") << 0;
    QTest::newRow("second") << 1;
    QTest::newRow("middle") << 33;
    QTest::newRow("last") << 59;
}

void TestBaseCore::storeBlock() {
    QFETCH(int, blockIndex);
    Telegram rxTelegram;
    for (std::size_t i = 0; i < rxTelegram.size(); ++i)
        rxTelegram[i] = uint8_t(0xC0 + i); // high bytes: a signed widening would show
    CObjectBase base;
    base.deviceTable = MarkedTable();
    base.fileTable = MarkedTable();

    base.StoreBlock(uint8_t(blockIndex), rxTelegram);

    const int first = 10 * blockIndex + 1;
    for (int k = 0; k < objectTableSize; ++k) {
        if (k >= first && k < first + 10) {
            const int i = k - first;
            const ObjectRecord expected{k, rxTelegram[3 + 2 * i], rxTelegram[4 + 2 * i]};
            QCOMPARE(base.deviceTable[k], expected);
            QVERIFY(base.deviceTable[k].byte1 >= 0xC0);
        } else {
            QCOMPARE(base.deviceTable[k], MarkedTable()[k]);
        }
    }
    QVERIFY(base.fileTable == MarkedTable());
    QCOMPARE(base.deviceBaseComplete, 0);
    QCOMPARE(base.fileBaseLoaded, 0);
}

void TestBaseCore::readBlockLowBits_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("sent");
    QTest::newRow("byte") << 200 << 200;
    QTest::newRow("321") << 321 << 65;
    QTest::newRow("256") << 256 << 0;
    QTest::newRow("minus one") << -1 << 255;
}

void TestBaseCore::readBlockLowBits() {
    QFETCH(int, value);
    QFETCH(int, sent);
    CObjectBase base;
    base.fileTable[21] = {999, value, 7};  // block 2, object 1: bytes 3 and 4
    base.fileTable[30] = {999, 8, value};  // block 2, object 10: bytes 21 and 22
    base.deviceTable[21] = {21, 111, 112}; // must not be the source
    Telegram txTelegram;
    txTelegram.fill(0x30);

    base.ReadBlock(2, txTelegram);

    QCOMPARE(int(txTelegram[3]), sent);
    QCOMPARE(int(txTelegram[4]), 7);
    QCOMPARE(int(txTelegram[21]), 8);
    QCOMPARE(int(txTelegram[22]), sent);
    QCOMPARE(int(txTelegram[5]), 0); // entry 22 is empty
    for (int i : {0, 1, 2, 23, 24, 25})
        QCOMPARE(int(txTelegram[i]), 0x30);
}

void TestBaseCore::transmitterNumberText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("byte1"); // -1: refused
    QTest::addColumn<int>("byte2");
    QTest::newRow("as shown") << "034.012" << 12 << 34;
    QTest::newRow("short") << "34.12" << 12 << 34;
    QTest::newRow("not learned") << "255.255" << 255 << 255;
    QTest::newRow("zero") << "0.0" << 0 << 0;
    QTest::newRow("above 255") << "256.001" << -1 << 0;
    QTest::newRow("four digits") << "0034.012" << -1 << 0;
    QTest::newRow("no point") << "034012" << -1 << 0;
    QTest::newRow("empty part") << "034." << -1 << 0;
    QTest::newRow("two points") << "1.2.3" << -1 << 0;
    QTest::newRow("blank around") << " 34.12" << -1 << 0;
    QTest::newRow("sign") << "+34.12" << -1 << 0;
}

// Every number that parses shows again as the window shows it.
void TestBaseCore::transmitterNumberText() {
    QFETCH(QString, text);
    QFETCH(int, byte1);
    QFETCH(int, byte2);
    const std::optional<TransmitterNumber> parsed = ParseTransmitterNumber(text.toStdString());
    QCOMPARE(parsed.has_value(), byte1 >= 0);
    if (!parsed)
        return;
    QCOMPARE(int(parsed->byte1), byte1);
    QCOMPARE(int(parsed->byte2), byte2);
    QCOMPARE(TransmitterText(parsed->byte1, parsed->byte2),
             QString::asprintf("%03d.%03d", byte2, byte1).toStdString());
}

QTEST_APPLESS_MAIN(TestBaseCore)
#include "tst_BaseCore.moc"
