#include "E2eRig.h"

#include "base/BaseFileCodec.h"
#include "base/TransmitterNumber.h"
#include "common/TestMain.h"
#include "panel/CBaseWindow.h"
#include "panel/CObjectBaseModel.h"
#include "panel/CRewriteDlg.h"

#include <QFile>
#include <QTableView>
#include <QTemporaryDir>

namespace {

constexpr int operationTimeout = 20000; // ms; an operation on a quiet line takes far less
constexpr int giveUpTimeout = 15000;    // 120 ticks of 50 ms, with room for a slow machine

// A base in which every object has its own number.
void FillSample(CSimConsole& console) {
    for (int k = 1; k <= CSimConsole::objectCount; ++k)
        console.base[k] = {uint8_t(k * 7 % 256), uint8_t(k / 3 % 256)};
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void connectsAtStart();
    void readBaseAndSave();
    void readBaseFillsTheBaseWindowBlockByBlock();
    void writeBaseFromFile();
    void readNumber();
    void writeNumberFreeObject();
    void writeNumberLearnedObject_data();
    void writeNumberLearnedObject();
    void readAndWriteSetup();
    void faultsFromConsole_data();
    void faultsFromConsole();
};

void TestEndToEnd::connectsAtStart() {
    E2eRig rig;
    QCOMPARE(rig.Messages().value(1), QString("Подключен порт COM1"));
    QCOMPARE(rig.Selected("port"), QString("COM1"));
}

void TestEndToEnd::readBaseAndSave() {
    E2eRig rig;
    rig.sim.WithConsole([](CSimConsole& console) { FillSample(console); });

    rig.Click("Read Base");
    QTRY_COMPARE_WITH_TIMEOUT(rig.LastMessage(),
                              QString("База объектов прочитана из ПЦН, принято 600 объектов"),
                              operationTimeout);
    QCOMPARE(rig.Messages().mid(2),
             QStringList({"Чтение базы объектов из ПЦН", "Установлена связь с ПЦН",
                          "База объектов прочитана из ПЦН, принято 600 объектов"}));
    QCOMPARE(rig.Find<QProgressBar>("progress").value(), 60);
    const std::vector<Telegram> requests = rig.sim.Requests();
    QCOMPARE(requests.size(), std::size_t(60));
    for (int b = 0; b < 60; ++b) {
        QCOMPARE(char(requests[b][1]), 'R');
        QCOMPARE(int(requests[b][2]), b);
    }

    // The base saved is what the console holds, byte for byte.
    QTemporaryDir dir;
    const QString path = dir.filePath("objects.base");
    QString message;
    AnswerNextMessageBox(&message);
    QVERIFY(rig.frame->SaveFile(path));
    QCOMPARE(message, QString("Загружен файл базы объектов ПЦН VX-418"));
    ObjectTable expected{};
    rig.sim.WithConsole([&](CSimConsole& console) {
        for (int k = 1; k <= objectCount; ++k)
            expected[k] = {k, console.base[k].byte1, console.base[k].byte2};
    });
    const BaseFileBytes bytes = EncodeBaseFile(expected);
    QCOMPARE(ReadAll(path), QByteArray(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    QCOMPARE(rig.frame->windowTitle(), QString("objects.base - Kelvarin"));
}

// The base window shows a read's progress: a block's ten rows fill when its reply
// is taken, and the rows of blocks still to come say "not read".
void TestEndToEnd::readBaseFillsTheBaseWindowBlockByBlock() {
    E2eRig rig;
    constexpr int heldBlock = 20;
    rig.sim.WithConsole([](CSimConsole& console) {
        FillSample(console);
        // Below the 2 s after which a request is repeated: one reply is late, none is lost.
        console.faults.holdUpRequest = heldBlock + 1;
        console.faults.holdUpMs = 1500;
    });
    rig.frame->OnViewObjectBase();
    QAbstractItemModel* table =
        rig.frame->BaseWindow()->findChild<QTableView*>("objectBaseTable")->model();
    auto consoleText = [&](int object) {
        return table->index(object - 1, CObjectBaseModel::ConsoleColumn).data().toString();
    };
    auto expectedText = [](int object) {
        return QString::fromStdString(TransmitterText(object * 7 % 256, object / 3 % 256));
    };
    // Blocks before `filled` show the console's numbers, the others "not read".
    auto rowsFilledUpTo = [&](int filled) {
        for (int object = 1; object <= objectCount; ++object) {
            const QString expected = object <= 10 * filled ? expectedText(object) : "not read";
            if (consoleText(object) != expected)
                return object;
        }
        return 0;
    };

    QList<int> changedFirstRows;
    QList<int> wrongRows;
    connect(&rig.frame->BaseModel(), &QAbstractItemModel::dataChanged, this,
            [&](const QModelIndex& first, const QModelIndex& last) {
                changedFirstRows << first.row();
                if (last.row() != first.row() + 9)
                    wrongRows << first.row();
                else if (const int wrong = rowsFilledUpTo(last.row() / 10 + 1))
                    wrongRows << wrong;
            });
    rig.Click("Read Base");

    // Held up on the block's request: the earlier blocks are shown, it and the rest are not.
    QTRY_VERIFY_WITH_TIMEOUT(rig.sim.Requests().size() == std::size_t(heldBlock + 1),
                             operationTimeout);
    QCOMPARE(rowsFilledUpTo(heldBlock), 0);

    QTRY_COMPARE_WITH_TIMEOUT(rig.LastMessage(),
                              QString("База объектов прочитана из ПЦН, принято 600 объектов"),
                              operationTimeout);
    QList<int> blockFirstRows;
    for (int block = 0; block < 60; ++block)
        blockFirstRows << 10 * block;
    QCOMPARE(changedFirstRows, blockFirstRows);
    QCOMPARE(wrongRows, QList<int>());
    QCOMPARE(rowsFilledUpTo(60), 0);
}

void TestEndToEnd::writeBaseFromFile() {
    E2eRig rig;
    ObjectTable table{};
    for (int k = 1; k <= objectCount; ++k)
        table[k] = {k, k * 3 + 256, 600 - k}; // byte1 beyond a byte: only its low 8 bits go out
    QTemporaryDir dir;
    const QString path = dir.filePath("to-console.base");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const BaseFileBytes bytes = EncodeBaseFile(table);
        file.write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    AnswerNextMessageBox();
    QVERIFY(rig.frame->OpenFile(path));

    rig.Click("Write Base");
    QTRY_COMPARE_WITH_TIMEOUT(rig.LastMessage(),
                              QString("База объектов записана в ПЦН, передано 600 объектов"),
                              operationTimeout);
    rig.sim.WithConsole([&](CSimConsole& console) {
        for (int k = 1; k <= objectCount; ++k) {
            QCOMPARE(int(console.base[k].byte1), table[k].byte1 & 0xFF);
            QCOMPARE(int(console.base[k].byte2), table[k].byte2 & 0xFF);
        }
    });
    // The device table only ever holds what was read from the console.
    QCOMPARE(rig.objectBase.deviceBaseComplete, 0);
}

void TestEndToEnd::readNumber() {
    E2eRig rig;
    rig.sim.WithConsole([](CSimConsole& console) { console.base[5] = {12, 34}; });
    rig.Find<QSpinBox>("objectNumber").setValue(5);

    rig.Click("Read Number");
    QTRY_VERIFY_WITH_TIMEOUT(rig.LastMessage().startsWith("Принят объект: 005 - 034.012  ID h"),
                             operationTimeout);
    QCOMPARE(rig.Messages().value(2), QString("Чтение объекта: 005"));
    QCOMPARE(rig.Find<QSpinBox>("transmitterByte2").value(), 34);
    QCOMPARE(rig.Find<QSpinBox>("transmitterByte1").value(), 12);
    QCOMPARE(rig.Find<QSpinBox>("objectNumber").value(), 5);
    QCOMPARE(rig.Selected("objectState"), QString("ОБУЧЕН"));
    QCOMPARE(rig.Find<QProgressBar>("progress").value(), 8);
}

void TestEndToEnd::writeNumberFreeObject() {
    E2eRig rig;
    rig.Find<QSpinBox>("objectNumber").setValue(7);
    rig.Find<QSpinBox>("transmitterByte2").setValue(56);
    rig.Find<QSpinBox>("transmitterByte1").setValue(78);

    rig.Click("Write Number");
    QTRY_COMPARE_WITH_TIMEOUT(rig.LastMessage(), QString("Записан объект: 007 - 056.078"),
                              operationTimeout);
    QCOMPARE(rig.Messages().value(2), QString("Запись объекта: 007 - 056.078"));
    const std::vector<Telegram> requests = rig.sim.Requests();
    QCOMPARE(requests.size(), std::size_t(2));
    QCOMPARE(char(requests[0][1]), 'C');
    QCOMPARE(char(requests[1][1]), 'D');
    rig.sim.WithConsole([](CSimConsole& console) {
        QCOMPARE(int(console.base[7].byte1), 78);
        QCOMPARE(int(console.base[7].byte2), 56);
    });
    QCOMPARE(rig.Selected("objectState"), QString("ОБУЧЕН"));
}

void TestEndToEnd::writeNumberLearnedObject_data() {
    QTest::addColumn<bool>("overwrite");
    QTest::newRow("OK") << true;
    QTest::newRow("Cancel") << false;
}

void TestEndToEnd::writeNumberLearnedObject() {
    QFETCH(bool, overwrite);
    E2eRig rig;
    rig.sim.WithConsole([](CSimConsole& console) { console.base[9] = {1, 2}; });
    rig.Find<QSpinBox>("objectNumber").setValue(9);
    rig.Find<QSpinBox>("transmitterByte2").setValue(3);
    rig.Find<QSpinBox>("transmitterByte1").setValue(4);

    rig.Click("Write Number");
    QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<CRewriteDlg*>(QApplication::activeModalWidget()),
                             operationTimeout);
    QCOMPARE(rig.LastMessage(), QString("Записываемый объект номер: 009 уже обучен"));
    QCOMPARE(rig.Find<QProgressBar>("progress").value(), 4);
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    overwrite ? dialog->accept() : dialog->reject();

    if (overwrite) {
        QTRY_COMPARE_WITH_TIMEOUT(rig.LastMessage(), QString("Записан объект: 009 - 003.004"),
                                  operationTimeout);
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(rig.LastMessage(), QString("Запись объекта номер: 009 отменена"),
                                  operationTimeout);
    }
    QCOMPARE(rig.Find<QProgressBar>("progress").value(), 8);
    QVERIFY(rig.View().Session().IsIdle());
    QCOMPARE(rig.sim.Requests().size(), std::size_t(overwrite ? 2 : 1));
    rig.sim.WithConsole([&](CSimConsole& console) {
        QCOMPARE(int(console.base[9].byte1), overwrite ? 4 : 1);
        QCOMPARE(int(console.base[9].byte2), overwrite ? 3 : 2);
    });
}

void TestEndToEnd::readAndWriteSetup() {
    E2eRig rig;
    const std::array<uint8_t, 6> kept{9, 8, 7, 6, 5, 4};
    rig.sim.WithConsole([&](CSimConsole& console) {
        console.settings.mode = 2;
        console.settings.periodCode = 10;
        console.settings.relay = 1;
        console.settings.backlight = 2;
        console.settings.kept = kept;
    });

    rig.Click("Read Setup");
    QTRY_COMPARE_WITH_TIMEOUT(rig.LastMessage(), QString("Приняты установки от ПЦН версии: 1.05"),
                              operationTimeout);
    QCOMPARE(rig.Selected("mode"), QString("КОМПЬЮТЕР"));
    QCOMPARE(rig.Selected("channelPeriod"), QString("20 МИН"));
    QCOMPARE(rig.Selected("relay"), QString("3 СЕК"));
    QCOMPARE(rig.Selected("backlight"), QString("ПОСТОЯННО"));

    rig.Find<QComboBox>("mode").setCurrentIndex(1);
    rig.Find<QComboBox>("channelPeriod").setCurrentIndex(9); // "ВЫКЛ" travels as code 1
    rig.Find<QComboBox>("relay").setCurrentIndex(2);
    rig.Find<QComboBox>("backlight").setCurrentIndex(0);
    rig.Click("Write Setup");
    QTRY_COMPARE_WITH_TIMEOUT(rig.LastMessage(), QString("Записаны установки в ПЦН версии: 1.05"),
                              operationTimeout);
    const Telegram request = rig.sim.Requests().back();
    QCOMPARE(char(request[1]), 'F');
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(request.data()) + 2, 10),
             QByteArray("\x01\x01\x02\x00\x09\x08\x07\x06\x05\x04", 10));
    rig.sim.WithConsole([](CSimConsole& console) {
        QCOMPARE(int(console.settings.mode), 1);
        QCOMPARE(int(console.settings.periodCode), 1);
        QCOMPARE(int(console.settings.relay), 2);
        QCOMPARE(int(console.settings.backlight), 0);
    });
    QCOMPARE(rig.Selected("channelPeriod"), QString("ВЫКЛ"));
}

void TestEndToEnd::faultsFromConsole_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("expected"); // the log after "Чтение установок из ПЦН VX-418K"

    const QString noLink = "Нет связи с ПЦН";
    const QString done = "Приняты установки от ПЦН версии: 1.05";
    QTest::newRow("silence") << "silent" << QStringList{noLink};
    QTest::newRow("wrong letter") << "letter" << QStringList{noLink};
    QTest::newRow("bad checksum") << "checksum"
                                  << QStringList{"Ошибка CRC телеграммы", "Ошибка CRC телеграммы",
                                                 "Ошибка CRC телеграммы", noLink};
    QTest::newRow("bad line end") << "lineEnd"
                                  << QStringList{"Ошибка приема телеграммы",
                                                 "Ошибка приема телеграммы",
                                                 "Ошибка приема телеграммы", noLink};
    QTest::newRow("partial telegram")
        << "partial"
        << QStringList{"Тайм-аут при приеме телеграммы", "Тайм-аут при приеме телеграммы",
                       "Тайм-аут при приеме телеграммы", noLink};
    QTest::newRow("noise around the reply") << "noise" << QStringList{done};
    QTest::newRow("T, I, A in between") << "chatter" << QStringList{done};
    QTest::newRow("answers only the repeat") << "secondCopy" << QStringList{done};
}

void TestEndToEnd::faultsFromConsole() {
    QFETCH(QString, fault);
    QFETCH(QStringList, expected);
    E2eRig rig;
    SimFaults faults;
    faults.silent = fault == "silent";
    faults.replyLetter = fault == "letter" ? 'B' : 0;
    faults.badChecksum = fault == "checksum";
    faults.badLineEnd = fault == "lineEnd";
    faults.partialReply = fault == "partial";
    faults.noise = fault == "noise";
    faults.chatter = fault == "chatter";
    faults.answerCopy = fault == "secondCopy" ? 2 : 1;
    rig.sim.SetFaults(faults);

    rig.Click("Read Setup");
    QTRY_VERIFY_WITH_TIMEOUT(rig.View().Session().IsIdle(), giveUpTimeout);
    QCOMPARE(rig.Messages().mid(2), QStringList{"Чтение установок из ПЦН VX-418K"} + expected);
    const int requestsSent = rig.sim.Requests().size();
    QCOMPARE(requestsSent,
             expected.last() == "Нет связи с ПЦН" ? 3 : (fault == "secondCopy" ? 2 : 1));
}

KELVARIN_TEST_MAIN(TestEndToEnd)
#include "tst_EndToEnd.moc"
