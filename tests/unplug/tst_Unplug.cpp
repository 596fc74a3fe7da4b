// The adapter pulled out in the middle of "Read Base": the real window over a
// pseudo-terminal whose far end is closed, then the port picked again.
#include "common/PanelDriver.h"
#include "common/TestMain.h"
#include "common/WindowOnCom1.h"
#include "panel/CKelvarinView.h"
#include "sim/CSimPty.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

#include <sys/resource.h>

namespace {

constexpr int giveUpTimeout = 15000; // 120 ticks of 50 ms, with room for a slow machine

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Points the link at a pseudo-terminal's slave in one step, as udev re-points
// /dev/serial/by-id when an adapter comes back.
bool PointLink(const QString& link, const std::string& target) {
    const QString next = link + ".next";
    QFile::remove(next);
    return QFile::link(QString::fromStdString(target), next) &&
           std::rename(next.toLocal8Bit().constData(), link.toLocal8Bit().constData()) == 0;
}

QStringList Messages(CLogList& log) {
    QStringList messages;
    for (int i = 0; i < log.Count(); ++i)
        messages << CPanelDriver::WithoutTimeStamp(log.Line(i));
    return messages;
}

} // namespace

class TestUnplug : public QObject {
    Q_OBJECT
private slots:
    void unpluggedDuringReadBase();
};

void TestUnplug::unpluggedDuringReadBase() {
    QTemporaryDir dir;
    const QString com1 = dir.filePath("COM1");
    auto first = std::make_unique<CSimPty>();
    QVERIFY2(first->IsOpen(), first->Error().c_str());
    first->WithConsole([](CSimConsole& console) { console.LearnSample(600); });
    // Slow enough that the line goes while blocks are still being read.
    SimFaults slow;
    slow.replyDelayMs = 20;
    first->SetFaults(slow);
    first->Start();
    QVERIFY(PointLink(com1, first->SlavePath()));

    CWindowOnCom1 window(com1);
    CKelvarinView& view = window.frame->View();
    auto& log = *view.findChild<CLogList*>("log");
    auto& portList = *view.findChild<QComboBox*>("port");
    auto button = [&](const char* caption) {
        for (QPushButton* candidate : view.findChildren<QPushButton*>())
            if (candidate->text() == QLatin1String(caption))
                return candidate;
        return static_cast<QPushButton*>(nullptr);
    };
    QCOMPARE(Messages(log).value(1), QString("Подключен порт COM1"));

    QTest::mouseClick(button("Read Base"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(first->Requests().size() >= 5, giveUpTimeout);
    first->CloseLine();
    QElapsedTimer wall;
    wall.start();
    const double cpuAtUnplug = CpuSeconds();

    // The lost device is released quietly; the operation ends by the give-up rule.
    QTRY_VERIFY_WITH_TIMEOUT(view.Session().IsIdle(), giveUpTimeout);
    QCOMPARE(Messages(log).mid(2), QStringList({"Чтение базы объектов из ПЦН",
                                                "Установлена связь с ПЦН", "Нет связи с ПЦН"}));
    QCOMPARE(window.objectBase.deviceBaseComplete, 0);

    // Resource check, not a timing test: a dead line must not keep a thread
    // spinning. Idle, the program wakes 20 times a second for its timer.
    const double seconds = wall.elapsed() / 1000.0;
    const double cpu = CpuSeconds() - cpuAtUnplug;
    qInfo("%.2f s of CPU over %.2f s after the line was closed", cpu, seconds);
    QVERIFY(seconds >= 2.0);
    QVERIFY2(cpu < 0.25 * seconds, qPrintable(QString("CPU %1 s over %2 s").arg(cpu).arg(seconds)));

    // The adapter comes back under the same name; the operator picks COM1 again.
    CSimPty second;
    QVERIFY2(second.IsOpen(), second.Error().c_str());
    second.Start();
    QVERIFY(PointLink(com1, second.SlavePath()));
    portList.showPopup();
    QAbstractItemView* items = portList.view();
    QTRY_VERIFY(items->isVisible());
    const QRect com1Item = items->visualRect(items->model()->index(0, 0));
    QTest::mouseClick(items->viewport(), Qt::LeftButton, {}, com1Item.center());
    QTRY_COMPARE(Messages(log).last(), QString("Подключен порт COM1"));
    QCOMPARE(portList.currentText(), QString("COM1"));

    QTest::mouseClick(button("Read Setup"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(Messages(log).last(),
                              QString("Приняты установки от ПЦН версии: 1.05"), giveUpTimeout);
    QCOMPARE(second.Requests().size(), std::size_t(1));
    QCOMPARE(char(second.Requests().front()[1]), 'E');

    window.frame.reset();
}

KELVARIN_TEST_MAIN(TestUnplug)
#include "tst_Unplug.moc"
