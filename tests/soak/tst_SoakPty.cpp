// Operations through the real window against the simulated console on a
// pseudo-terminal, with the console misbehaving at random.
#include "SoakFaults.h"
#include "SoakSeed.h"
#include "common/TestMain.h"
#include "e2e/E2eRig.h"
#include "exchange/EditorMapping.h"
#include "panel/CRewriteDlg.h"

#include <QSignalSpy>

namespace {

// The slowest operation ends in 120 ticks of 6 s after its last answer; twice that
// leaves room for a loaded machine and still catches a hang.
constexpr int operationDeadlineMs = 15000;

// Silence and its like cost 6 s each on a real line, late copies 2 to 4 s: few
// of them keep the suite within minutes.
FaultMix PtyMix() {
    FaultMix mix;
    mix.fatal = 0.08;
    mix.lateCopy = 0.1;
    return mix;
}

// Answers the overwrite question as soon as it shows.
class COverwriteAnswer : public QObject {
public:
    bool overwrite = false;
    bool asked = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* dialog = qobject_cast<CRewriteDlg*>(watched);
        if (dialog && event->type() == QEvent::Show) {
            asked = true;
            QTimer::singleShot(0, dialog, [dialog, accept = overwrite] {
                accept ? dialog->accept() : dialog->reject();
            });
        }
        return false;
    }
};

} // namespace

class TestSoakPty : public QObject {
    Q_OBJECT
private slots:
    void operationsWithRandomFaults();
};

void TestSoakPty::operationsWithRandomFaults() {
    const uint64_t seed = SoakSeed();
    const int operations = SoakCount("KELVARIN_SOAK_PTY_OPERATIONS", 100);
    qInfo("seed %llu (replay: KELVARIN_SOAK_SEED=%llu), %d operations",
          static_cast<unsigned long long>(seed), static_cast<unsigned long long>(seed), operations);
    std::mt19937_64 rng(seed);

    E2eRig rig;
    rig.sim.WithConsole([&](CSimConsole& console) {
        for (int k = 1; k <= CSimConsole::objectCount; ++k)
            if (Chance(rng, 0.7))
                console.base[k] = {uint8_t(Between(rng, 0, 254)), uint8_t(Between(rng, 0, 255))};
    });
    auto& objectSpin = rig.Find<QSpinBox>("objectNumber");
    auto& leftSpin = rig.Find<QSpinBox>("transmitterByte2");
    auto& rightSpin = rig.Find<QSpinBox>("transmitterByte1");
    COverwriteAnswer answer;
    QApplication::instance()->installEventFilter(&answer);

    int completed = 0, gaveUp = 0, readsCompared = 0;
    for (int index = 0; index < operations; ++index) {
        const Operation operation = Operation(Between(rng, 0, 5));
        SimFaults faults = DrawFaults(rng, PtyMix());
        // A late copy costs 2 s a block: only the short operations get them.
        if (operation <= OpWriteBase && faults.answerCopy > 1 && faults.answerCopy < 4)
            faults.answerCopy = 1;
        faults.replyDelayMs = Chance(rng, 0.2) ? Between(rng, 1, 50) : 0;
        rig.sim.SetFaults(faults);
        const QByteArray context = QString("seed %1, operation %2 (%3), faults: %4, delay %5 ms")
                                       .arg(seed)
                                       .arg(index)
                                       .arg(operationNames[operation])
                                       .arg(Describe(faults))
                                       .arg(faults.replyDelayMs)
                                       .toUtf8();

        const int number = Between(rng, 1, 600);
        const CSimConsole::Object written{uint8_t(Between(rng, 0, 255)),
                                          uint8_t(Between(rng, 0, 255))};
        const CSimConsole::Object before =
            rig.sim.WithConsole([&](CSimConsole& console) { return console.base[number]; });
        answer.overwrite = Chance(rng, 0.5);
        answer.asked = false;
        objectSpin.setValue(number);
        rightSpin.setValue(written.byte1);
        leftSpin.setValue(written.byte2);
        if (operation == OpWriteBase) {
            for (int k = 1; k <= objectCount; ++k)
                rig.objectBase.fileTable[k] = {k, Between(rng, -300, 700), Between(rng, 0, 255)};
            rig.objectBase.fileBaseLoaded = 1;
        }

        const qsizetype logged = rig.Messages().size();
        // The window learns of the end only from this signal: it gives the file
        // commands back then.
        QSignalSpy idleChanged(&rig.View().Session(), &CExchangeSession::idleChanged);
        rig.Click(operationNames[operation]);
        QVERIFY2(idleChanged.size() == 1 && !idleChanged[0][0].toBool(), context);
        QVERIFY2(idleChanged.wait(operationDeadlineMs),
                 context + " did not end: the program hangs");
        QVERIFY2(idleChanged.size() == 2 && idleChanged[1][0].toBool() &&
                     rig.View().Session().IsIdle(),
                 context + " said it ended but did not");

        QStringList lines;
        for (const QString& line : rig.Messages().mid(logged))
            if (!receiveErrors.contains(line))
                lines << line;
        QVERIFY2(lines.size() >= 2, context);
        const QString closing = lines.last();
        const bool fatal = AnswersNever(faults, replyLetters[operation]);
        QVERIFY2(fatal == (closing == noLink), context + " ended with " + closing.toUtf8());
        if (fatal) {
            ++gaveUp;
        } else {
            ++completed;
            QString expected;
            switch (operation) {
            case OpReadBase:
                expected = "База объектов прочитана из ПЦН, принято 600 объектов";
                rig.sim.WithConsole([&](CSimConsole& console) {
                    for (int k = 1; k <= objectCount; ++k) {
                        const ObjectRecord record{k, console.base[k].byte1, console.base[k].byte2};
                        QVERIFY2(rig.objectBase.deviceTable[k] == record,
                                 context + " object " + QByteArray::number(k) + " read wrong");
                    }
                });
                ++readsCompared;
                break;
            case OpWriteBase:
                expected = "База объектов записана в ПЦН, передано 600 объектов";
                rig.sim.WithConsole([&](CSimConsole& console) {
                    for (int k = 1; k <= objectCount; ++k)
                        QVERIFY2(
                            console.base[k].byte1 == (rig.objectBase.fileTable[k].byte1 & 0xFF) &&
                                console.base[k].byte2 == (rig.objectBase.fileTable[k].byte2 & 0xFF),
                            context + " object " + QByteArray::number(k) + " written wrong");
                });
                break;
            case OpReadNumber:
                expected = QString::asprintf("Принят объект: %03d - %03d.%03d  ID h", number,
                                             before.byte2, before.byte1);
                QVERIFY2(closing.startsWith(expected), context + " " + closing.toUtf8());
                expected = closing;
                break;
            case OpWriteNumber:
                QCOMPARE(answer.asked, IsLearned(before.byte1, before.byte2));
                expected = answer.asked && !answer.overwrite
                               ? QString::asprintf("Запись объекта номер: %03d отменена", number)
                               : QString::asprintf("Записан объект: %03d - %03d.%03d", number,
                                                   written.byte2, written.byte1);
                break;
            case OpReadSetup:
            case OpWriteSetup: {
                const SimSettings settings =
                    rig.sim.WithConsole([](CSimConsole& console) { return console.settings; });
                expected = QString::asprintf(operation == OpReadSetup
                                                 ? "Приняты установки от ПЦН версии: %01d.%02d"
                                                 : "Записаны установки в ПЦН версии: %01d.%02d",
                                             settings.versionMajor, settings.versionMinor);
                break;
            }
            }
            if (QTest::currentTestFailed())
                return;
            QVERIFY2(closing == expected, context + " ended with " + closing.toUtf8());
        }

        // A copy of the last reply may still be on its way: the next operation
        // starts on a quiet line, as the engineer's would.
        QTRY_VERIFY_WITH_TIMEOUT(rig.View().Session().Exchange().Assembler().rxCount == 0, 2000);
        QVERIFY2(rig.View().Session().IsIdle(), context + " busy after the operation");
    }
    qInfo("completed %d, gave up %d, base reads compared %d", completed, gaveUp, readsCompared);
    QVERIFY(completed >= operations / 2);
}

KELVARIN_TEST_MAIN(TestSoakPty)
#include "tst_SoakPty.moc"
