#include "common/CoreTestMain.h"

#include "exchange/CExchangeSession.h"
#include "front/CPortList.h"
#include "front/PortChoice.h"
#include "link/ProfileNames.h"
#include "sim/CSimPty.h"

#include <QSettings>
#include <QSignalSpy>

namespace {

QSettings Profile() {
    return QSettings(profileOrganization, profileApplication);
}

// The window's port list over a session, without widgets: what it logs, what
// the status bar and the list would show.
struct Window {
    CObjectBase objectBase;
    CExchangeSession session;
    CPortList ports{session};
    QStringList log;
    QStringList status;
    int shownPort = -1;

    explicit Window(CPortMapping mapping) : session(objectBase, std::move(mapping)) {
        QObject::connect(&session, &CExchangeSession::logLine,
                         [this](const QString& line) { log << line; });
        QObject::connect(&session, &CExchangeSession::statusMessage,
                         [this](const QString& text) { status << text; });
        QObject::connect(&ports, &CPortList::selectionShown,
                         [this](int index) { shownPort = index; });
    }
};

CPortMapping MapCom1(const std::string& path) {
    CPortMapping mapping;
    mapping.SetOverride(QStringLiteral("COM1"), QString::fromStdString(path));
    return mapping;
}

} // namespace

// What both front ends share: the choice of port, ...
class TestFront : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // Pseudo-terminals have no modem lines; the warning about it is expected.
        QLoggingCategory::setFilterRules(QStringLiteral("kelvarin.link.warning=false"));
    }
    void init() { Profile().clear(); }
    void storedPort_data();
    void storedPort();
    void pickedPort();
    void portChoice_data();
    void portChoice();
};

void TestFront::storedPort_data() {
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("device"); // COM1's device; "sim" for the running console
    QTest::addColumn<QString>("logLine");
    QTest::addColumn<int>("shown");
    QTest::newRow("absent") << QVariant() << "sim"
                            << "Подключен порт COM1" << 0;
    QTest::newRow("2") << QVariant(2) << "sim"
                       << "Подключен порт COM3" << 2;
    QTest::newRow("4") << QVariant(4) << "sim"
                       << "Все порты закрыты" << 4;
    QTest::newRow("7") << QVariant(7) << "sim"
                       << "Подключен порт COM1" << 0;
    QTest::newRow("-1") << QVariant(-1) << "sim"
                        << "Подключен порт COM1" << 0;
    // After a failed open at start-up the list shows the stored port, not "OFF".
    QTest::newRow("missing") << QVariant(0) << "/nonexistent/kelvarin-tty"
                             << "Порт COM1 занят другим приложением или отсутствует" << 0;
}

void TestFront::storedPort() {
    QFETCH(QVariant, stored);
    QFETCH(QString, device);
    QFETCH(QString, logLine);
    QFETCH(int, shown);
    if (stored.isValid())
        Profile().setValue(numComPortKey, stored);
    CSimPty sim;
    sim.Start();
    const std::string simPath = sim.SlavePath();
    CPortMapping mapping = MapCom1(device == "sim" ? simPath : device.toStdString());
    mapping.SetOverride(QStringLiteral("COM3"), QString::fromStdString(simPath));
    Window window(mapping);
    window.ports.OpenStored();
    QCOMPARE(window.log, QStringList{logLine});
    QCOMPARE(window.shownPort, shown);
    // Start-up never writes the stored value.
    QCOMPARE(Profile().value(numComPortKey), stored);
    if (device != "sim")
        QVERIFY2(window.status.join('\n').contains(device), qPrintable(window.status.join('\n')));
}

// The operator's picks: stored whatever their outcome; a failed one shows "OFF";
// the port open now is closed before another is opened.
void TestFront::pickedPort() {
    CSimPty sim;
    sim.Start();
    CPortMapping mapping = MapCom1(sim.SlavePath());
    mapping.SetOverride(QStringLiteral("COM2"), QStringLiteral("/nonexistent/kelvarin-tty"));
    Window window(mapping);
    QSignalSpy closed(&window.session, &CExchangeSession::portClosed);

    window.ports.OnPicked(0);
    window.ports.OnPicked(0);
    QCOMPARE(closed.count(), 1);
    window.ports.OnPicked(1);
    QCOMPARE(window.shownPort, 4);
    QCOMPARE(Profile().value(numComPortKey).toInt(), 1);
    QCOMPARE(closed.count(), 2);
    window.ports.OnPicked(4);
    QCOMPARE(Profile().value(numComPortKey).toInt(), 4);
    QCOMPARE(window.log, (QStringList{"Подключен порт COM1", "Подключен порт COM1",
                                      "Порт COM2 занят другим приложением или отсутствует",
                                      "Все порты закрыты"}));
}

void TestFront::portChoice_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<int>("stored");       // NumComPort; -1 for none
    QTest::addColumn<QString>("expected"); // "name device", or "" when refused
    QTest::newRow("COM2") << "COM2" << 4 << "COM2 /dev/ttyS1";
    QTest::newRow("profile's device") << "com3" << 0 << "COM3 /dev/ttyUSB3";
    QTest::newRow("for the run") << "COM1=/dev/pts/7" << 0 << "COM1 /dev/pts/7";
    QTest::newRow("device") << "/dev/ttyACM0" << 0 << " /dev/ttyACM0";
    QTest::newRow("stored") << "" << 2 << "COM3 /dev/ttyUSB3";
    QTest::newRow("none stored") << "" << -1 << "COM1 /dev/ttyS0";
    QTest::newRow("stored 7") << "" << 7 << "COM1 /dev/ttyS0";
    QTest::newRow("stored OFF") << "" << 4 << "";
}
void TestFront::portChoice() {
    QFETCH(QString, option);
    QFETCH(int, stored);
    QFETCH(QString, expected);
    Profile().clear();
    Profile().setValue(QStringLiteral("Ports/COM3"), QStringLiteral("/dev/ttyUSB3"));
    if (stored >= 0)
        Profile().setValue(QStringLiteral("Merovane_Kelvar_VX-418K/NumComPort"), stored);
    const QStringList keysBefore = Profile().allKeys();
    PortChoice choice;
    QString error;
    const bool chosen = ChoosePort(option, choice, error);
    QCOMPARE(chosen ? choice.portName + ' ' + choice.devicePath : QString(), expected);
    QCOMPARE(error.isEmpty(), chosen);
    QCOMPARE(Profile().allKeys(), keysBefore);
    Profile().clear();
}

KELVARIN_CORE_TEST_MAIN(TestFront)
#include "tst_Front.moc"
