#include "common/TestMain.h"

#include "common/PanelDriver.h"

#include "app/CKelvarinApp.h"
#include "app/CMainFrame.h"
#include "panel/CKelvarinView.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>

#include <memory>

namespace {

constexpr int operationTimeout = 20000; // ms; an operation on a quiet line takes far less

const QString numComPortKey = QStringLiteral("Merovane_Kelvar_VX-418K/NumComPort");

QSettings Profile() {
    return QSettings(QStringLiteral("Merovane_Kelvar_VX-418K"), QStringLiteral("Kelvarin"));
}

QMap<QString, QVariant> ProfileContents() {
    QSettings profile = Profile();
    QMap<QString, QVariant> contents;
    for (const QString& key : profile.allKeys())
        contents.insert(key, profile.value(key));
    return contents;
}

// The program as `kelvarin --demo` starts it, offscreen.
struct DemoRun : CPanelDriver {
    CKelvarinApp app;

    DemoRun() {
        int exitCode = -1;
        if (!app.InitInstance({"kelvarin", "--demo"}, exitCode))
            qFatal("--demo did not start (exit code %d)", exitCode);
    }
    ~DemoRun() { app.ExitInstance(); }

    CMainFrame& Frame() override { return *app.MainFrame(); }
};

} // namespace

class TestDemo : public QObject {
    Q_OBJECT
private slots:
    void init() { Profile().clear(); }

    void startsOnTheSimulatedConsoleAndLeavesTheProfileAlone() {
        {
            // The stored choice leads somewhere else entirely; the demo must not care.
            QSettings profile = Profile();
            profile.setValue(numComPortKey, 2);
            profile.setValue(QStringLiteral("Ports/COM1"), QStringLiteral("/nonexistent/tty-a"));
            profile.setValue(QStringLiteral("Ports/COM3"), QStringLiteral("/nonexistent/tty-c"));
        }
        const QMap<QString, QVariant> before = ProfileContents();
        {
            DemoRun demo;
            QCOMPARE(demo.Messages().mid(1), QStringList{"Подключен порт COM1"});
            QCOMPARE(demo.Find<QComboBox>("port").currentText(), QStringLiteral("COM1"));
            const QLabel& simulated = demo.Find<QLabel>("demo");
            QCOMPARE(simulated.text(), QStringLiteral("Simulated console (demo)"));
            QVERIFY(simulated.isVisible());
            QVERIFY(demo.Frame().statusBar()->isAncestorOf(&simulated));
            QCOMPARE(demo.Frame().windowTitle(), QStringLiteral("Untitled - Kelvarin"));
        }
        QCOMPARE(ProfileContents(), before);
    }

    void readsBaseNumberAndSettings() {
        DemoRun demo;
        demo.Click("Read Base");
        QTRY_COMPARE_WITH_TIMEOUT(
            demo.LastMessage(),
            QStringLiteral("База объектов прочитана из ПЦН, принято 600 объектов"),
            operationTimeout);
        QCOMPARE(demo.Messages().mid(2),
                 QStringList({"Чтение базы объектов из ПЦН", "Установлена связь с ПЦН",
                              "База объектов прочитана из ПЦН, принято 600 объектов"}));

        // The demo base has objects learned, so that there is something to look at.
        demo.Find<QSpinBox>("objectNumber").setValue(7);
        demo.Click("Read Number");
        QTRY_VERIFY_WITH_TIMEOUT(demo.LastMessage().startsWith("Принят объект: 007 - 100.007"),
                                 operationTimeout);
        QCOMPARE(demo.Find<QComboBox>("objectState").currentText(), QStringLiteral("ОБУЧЕН"));

        demo.Click("Read Setup");
        QTRY_COMPARE_WITH_TIMEOUT(demo.LastMessage(),
                                  QStringLiteral("Приняты установки от ПЦН версии: 1.05"),
                                  operationTimeout);
        QCOMPARE(demo.Messages().at(demo.Messages().size() - 2),
                 QStringLiteral("Чтение установок из ПЦН VX-418K"));
        QCOMPARE(demo.Find<QComboBox>("backlight").currentText(), QStringLiteral("ПРИ РАБОТЕ"));
    }

    void pickingAPortIsStoredAsAlways() {
        QSettings(QStringLiteral("Merovane_Kelvar_VX-418K"), QStringLiteral("Kelvarin"))
            .setValue(numComPortKey, 4);
        DemoRun demo;
        QCOMPARE(demo.LastMessage(), QStringLiteral("Подключен порт COM1"));
        QCOMPARE(Profile().value(numComPortKey).toInt(), 4);

        auto& ports = demo.Find<QComboBox>("port");
        ports.setCurrentIndex(0);
        emit ports.activated(0);
        QCOMPARE(demo.LastMessage(), QStringLiteral("Подключен порт COM1"));
        QCOMPARE(Profile().value(numComPortKey).toInt(), 0);

        // Picked again, COM1 still leads to the simulated console.
        demo.Click("Read Setup");
        QTRY_COMPARE_WITH_TIMEOUT(demo.LastMessage(),
                                  QStringLiteral("Приняты установки от ПЦН версии: 1.05"),
                                  operationTimeout);

        ports.setCurrentIndex(4);
        emit ports.activated(4);
        QCOMPARE(demo.LastMessage(), QStringLiteral("Все порты закрыты"));
        QCOMPARE(Profile().value(numComPortKey).toInt(), 4);
    }
};

KELVARIN_TEST_MAIN(TestDemo)
#include "tst_Demo.moc"
