#include "common/CoreTestMain.h"

#include "common/FillLine.h"
#include "common/Telegrams.h"

#include "link/CPortReader.h"
#include "link/CSerialLink.h"
#include "link/ProfileNames.h"
#include "sim/CSimPty.h"

#include <QDeadlineTimer>
#include <QSerialPort>
#include <QSettings>
#include <QSignalSpy>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QSettings Profile() {
    return QSettings(profileOrganization, profileApplication);
}

Telegram Request(char letter, std::initializer_list<uint8_t> payload = {}) {
    return FramedTelegram(letter, payload);
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A user of the link: what it was told and what reached it.
struct Panel {
    explicit Panel(CPortMapping mapping) {
        link = std::make_unique<CSerialLink>(std::move(mapping));
        QObject::connect(link.get(), &CSerialLink::bytesReceived,
                         [this](const QByteArray& bytes) { received += bytes; });
        QObject::connect(link.get(), &CSerialLink::portOpened,
                         [this](const QString& name) { log.append("opened " + name); });
        QObject::connect(link.get(), &CSerialLink::portFailed,
                         [this](const QString& name, const QString& device, const QString& reason) {
                             log.append("failed " + name);
                             status.append(device + ": " + reason);
                         });
        QObject::connect(link.get(), &CSerialLink::portClosed,
                         [this](const QString& name) { log.append("closed " + name); });
        QObject::connect(link.get(), &CSerialLink::deviceLost,
                         [this](const QString& name) { status.append("lost " + name); });
    }
    void Open() { link->OpenPort(QStringLiteral("COM1")); }

    QStringList log;
    QStringList status;
    QByteArray received;
    std::unique_ptr<CSerialLink> link;
};

// The effective user nobody while it lasts (root's own groups, root only, stay);
// the tests run as root, who may open any device.
struct CAsNobody {
    const passwd* nobody = ::getpwnam("nobody");
    bool active = nobody && ::setegid(nobody->pw_gid) == 0 && ::seteuid(nobody->pw_uid) == 0;
    ~CAsNobody() { [[maybe_unused]] const int restored = ::seteuid(0) + ::setegid(0); }
};

CPortMapping MapCom1(const std::string& path) {
    CPortMapping mapping;
    mapping.SetOverride(QStringLiteral("COM1"), QString::fromStdString(path));
    return mapping;
}

} // namespace

class TestLinkPort : public QObject {
    Q_OBJECT
private slots:
    void init();
    void mapping_data();
    void mapping();
    void requestAndReply();
    void bytesArriveInOrder();
    void bytesToldWhichWritesWereOut();
    void reopenSamePort();
    void heldPortFails();
    void missingDevice();
    void openAsAnotherUser_data();
    void openAsAnotherUser();
    void stopWhileStreaming();
    void handOverIsBounded();
    void deviceLost();
};

void TestLinkPort::init() {
    Profile().clear();
}

void TestLinkPort::mapping_data() {
    QTest::addColumn<QString>("stored");   // profile Ports/COM2, or empty
    QTest::addColumn<QString>("override"); // command-line assignment, or empty
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("com1");
    QTest::addColumn<QString>("com2");
    QTest::newRow("defaults") << ""
                              << "" << false << "/dev/ttyS0"
                              << "/dev/ttyS1";
    QTest::newRow("profile") << "/dev/ttyUSB0"
                             << "" << false << "/dev/ttyS0"
                             << "/dev/ttyUSB0";
    QTest::newRow("override") << ""
                              << "COM1=/dev/pts/5" << true << "/dev/pts/5"
                              << "/dev/ttyS1";
    QTest::newRow("override beats profile") << "/dev/ttyUSB0"
                                            << "com2=/dev/pts/7" << true << "/dev/ttyS0"
                                            << "/dev/pts/7";
    QTest::newRow("COM5") << ""
                          << "COM5=/dev/pts/5" << false << "/dev/ttyS0"
                          << "/dev/ttyS1";
    QTest::newRow("no device") << ""
                               << "COM1=" << false << "/dev/ttyS0"
                               << "/dev/ttyS1";
    QTest::newRow("no assignment") << ""
                                   << "COM1" << false << "/dev/ttyS0"
                                   << "/dev/ttyS1";
}

void TestLinkPort::mapping() {
    QFETCH(QString, stored);
    QFETCH(QString, override);
    QFETCH(bool, accepted);
    QFETCH(QString, com1);
    QFETCH(QString, com2);
    if (!stored.isEmpty())
        Profile().setValue(QStringLiteral("Ports/COM2"), stored);
    CPortMapping mapping;
    if (!override.isEmpty())
        QCOMPARE(mapping.AddOverride(override), accepted);
    QCOMPARE(mapping.DevicePath(QStringLiteral("COM1")), com1);
    QCOMPARE(mapping.DevicePath(QStringLiteral("COM2")), com2);
    QCOMPARE(mapping.DevicePath(QStringLiteral("COM4")), QStringLiteral("/dev/ttyS3"));
    // An override lasts for the run only.
    QVERIFY(!Profile().contains(QStringLiteral("Ports/COM1")));
}

void TestLinkPort::requestAndReply() {
    CSimPty sim;
    QVERIFY2(sim.IsOpen(), sim.Error().c_str());
    sim.Start();
    Panel panel(MapCom1(sim.SlavePath()));
    panel.Open();
    QCOMPARE(panel.log, QStringList{"opened COM1"});

    // Object 1 is not learned: the reply carries 0xFF twice, which the line
    // discipline doubles and the reader must undo.
    const Telegram request = Request('C', {0, 1});
    panel.link->WriteTelegram(request);
    QTRY_COMPARE_WITH_TIMEOUT(panel.received.size(), 26, 5000);
    QCOMPARE(sim.Requests().size(), std::size_t(1));
    QCOMPARE(TelegramBytes(sim.Requests().front()), TelegramBytes(request));
    CRxAssembler assembler;
    RxResult result = RxResult::Pending;
    for (char byte : panel.received)
        result = assembler.AssembleRxByte(static_cast<uint8_t>(byte));
    QCOMPARE(result, RxResult::Accepted);
    QCOMPARE(assembler.rxTelegram[1], 'O');
    QCOMPARE(assembler.rxTelegram[4], 0xFF);
    QCOMPARE(assembler.rxTelegram[5], 0xFF);
}

void TestLinkPort::bytesArriveInOrder() {
    CSimPty sim;
    sim.Start();
    Panel panel(MapCom1(sim.SlavePath()));
    panel.Open();

    QByteArray sent;
    for (int chunk = 0; chunk < 40; ++chunk) {
        std::vector<uint8_t> bytes;
        for (int i = 0; i <= chunk; ++i)
            bytes.push_back(static_cast<uint8_t>(chunk * 31 + i * 7));
        bytes.push_back(0xFF);
        sent.append(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()));
        sim.Send(std::move(bytes));
    }
    QTRY_COMPARE_WITH_TIMEOUT(panel.received.size(), sent.size(), 5000);
    QCOMPARE(panel.received.toHex(), sent.toHex());
}

// Bytes the reader took before a write went out say so, however late they reach
// the UI thread; the link says when a port opens or closes.
void TestLinkPort::bytesToldWhichWritesWereOut() {
    CSimPty sim;
    SimFaults silent;
    silent.silent = true;
    sim.SetFaults(silent);
    sim.Start();
    Panel panel(MapCom1(sim.SlavePath()));
    QList<quint32> unsent;
    QObject::connect(panel.link.get(), &CSerialLink::bytesReceived,
                     [&](const QByteArray&, quint32 writes) { unsent << writes; });
    panel.Open();
    QCOMPARE(panel.log, QStringList{"opened COM1"});

    sim.Send({1, 2, 3});
    // The UI thread does not run its events meanwhile: the bytes wait in its queue.
    QDeadlineTimer deadline(5000);
    while (!sim.TakenByProgram() && !deadline.hasExpired())
        QThread::msleep(1);
    panel.link->WriteTelegram(Request('E'));
    QTRY_COMPARE_WITH_TIMEOUT(unsent, QList<quint32>{1}, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(sim.Requests().size(), std::size_t(1), 5000);
    sim.Send({4});
    QTRY_COMPARE_WITH_TIMEOUT(unsent, (QList<quint32>{1, 0}), 5000);

    panel.link->ClosePort();
    QCOMPARE(panel.log, (QStringList{"opened COM1", "closed COM1"}));
}

void TestLinkPort::reopenSamePort() {
    CSimPty sim;
    sim.Start();
    Panel panel(MapCom1(sim.SlavePath()));
    panel.Open();
    panel.Open();
    QCOMPARE(panel.log, (QStringList{"opened COM1", "closed COM1", "opened COM1"}));

    panel.link->WriteTelegram(Request('E'));
    QTRY_COMPARE_WITH_TIMEOUT(panel.received.size(), 26, 5000);
    QCOMPARE(panel.received[1], 'U');
}

void TestLinkPort::heldPortFails() {
    CSimPty sim;
    sim.Start();
    const int holder = ::open(sim.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    QVERIFY(holder >= 0);
    QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);

    Panel panel(MapCom1(sim.SlavePath()));
    panel.Open();
    QCOMPARE(panel.log, QStringList{"failed COM1"});
    QVERIFY(!panel.link->IsOpen());
    QVERIFY2(panel.status.join('\n').contains("held by another program"),
             qPrintable(panel.status.join('\n')));

    // Nothing is open, so a request goes nowhere.
    panel.link->WriteTelegram(Request('E'));
    ::close(holder);

    // Another program that locks the line the way Qt does, with a lock file.
    {
        QSerialPort other(QString::fromStdString(sim.SlavePath()));
        QVERIFY(other.open(QIODevice::ReadWrite));
        panel.status.clear();
        panel.Open();
        QCOMPARE(panel.log.last(), QStringLiteral("failed COM1"));
        QVERIFY2(panel.status.join('\n').contains("held by another program"),
                 qPrintable(panel.status.join('\n')));
    }
    panel.Open();
    QCOMPARE(panel.log.last(), QStringLiteral("opened COM1"));
    QVERIFY(sim.Requests().empty());
}

void TestLinkPort::missingDevice() {
    CPortMapping mapping;
    mapping.SetOverride(QStringLiteral("COM2"), QStringLiteral("/nonexistent/kelvarin-tty"));
    Panel panel(mapping);
    QVERIFY(!panel.link->OpenPort(QStringLiteral("COM2")));
    QCOMPARE(panel.log, QStringList{"failed COM2"});
    QVERIFY(panel.status.join('\n').contains("/nonexistent/kelvarin-tty"));
    QVERIFY(panel.status.join('\n').contains(QString::fromLocal8Bit(std::strerror(ENOENT))));
}

void TestLinkPort::openAsAnotherUser_data() {
    QTest::addColumn<int>("mode");       // of the device, which root and the group dialout own
    QTest::addColumn<QString>("holder"); // who else has it open: nobody, "flock" or "Qt"
    QTest::addColumn<QString>("reason");
    QTest::newRow("not in the dialout group")
        << 0660 << ""
        << "permission denied (the user is not in the dialout group?)";
    QTest::newRow("held with a lock on the device") << 0666 << "flock"
                                                    << "held by another program";
    QTest::newRow("held with Qt's lock file") << 0666 << "Qt"
                                              << "held by another program";
}

// As an engineer's program would: not as root, and from a working folder other than /dev.
void TestLinkPort::openAsAnotherUser() {
    if (::geteuid() != 0)
        QSKIP("opening as another user needs root");
    QFETCH(int, mode);
    QFETCH(QString, holder);
    QFETCH(QString, reason);
    CBarePty pty;
    const group* dialout = ::getgrnam("dialout");
    QVERIFY(pty.IsOpen() && dialout);
    QCOMPARE(::fchown(pty.slave, 0, dialout->gr_gid), 0);
    QCOMPARE(::fchmod(pty.slave, mode_t(mode)), 0);
    const QString device = QString::fromLatin1(pty.slaveName);
    QSerialPort other(device);
    if (holder == QLatin1String("flock"))
        QCOMPARE(::flock(pty.slave, LOCK_EX | LOCK_NB), 0);
    if (holder == QLatin1String("Qt"))
        QVERIFY(other.open(QIODevice::ReadWrite));

    Panel panel(MapCom1(pty.slaveName));
    {
        CAsNobody nobody;
        QVERIFY(nobody.active);
        panel.Open();
    }
    QCOMPARE(panel.log, QStringList{"failed COM1"});
    QCOMPARE(panel.status, QStringList{device + ": " + reason});
}

void TestLinkPort::stopWhileStreaming() {
    CBarePty pty;
    QVERIFY(pty.IsOpen());
    const int master = pty.master;
    const char* slaveName = pty.slaveName;

    std::atomic<bool> stop{false};
    std::thread flood([&] {
        const QByteArray bytes = TelegramBytes(Request('T')).repeated(10);
        while (!stop) {
            pollfd line{master, POLLOUT, 0};
            if (::poll(&line, 1, 50) > 0) [[maybe_unused]]
                const ssize_t written = ::write(master, bytes.constData(), size_t(bytes.size()));
        }
    });

    Panel panel(MapCom1(slaveName));
    constexpr int rounds = 30;
    for (int round = 0; round < rounds; ++round) {
        const int before = panel.received.size();
        panel.Open();
        QTRY_VERIFY_WITH_TIMEOUT(panel.received.size() > before, 5000);
        panel.link->ClosePort();
    }
    stop = true;
    flood.join();
    QCOMPARE(panel.log.count(QStringLiteral("opened COM1")), rounds);
}

// The window's thread takes nothing here, as when it is busy: the reader must
// stop at its bound and leave the rest to the kernel, and lose nothing.
void TestLinkPort::handOverIsBounded() {
    CBarePty pty;
    QVERIFY(pty.IsOpen());
    const int master = pty.master;
    const char* slaveName = pty.slaveName;
    Panel panel(MapCom1(slaveName));
    panel.link->OpenPort(QStringLiteral("COM1"));

    const QByteArray sent = FillLine(master, 8 * 1024 * 1024);
    // The bound, Qt's buffer and the pseudo-terminal's own buffers.
    QVERIFY2(sent.size() < 512 * 1024, qPrintable(QString::number(sent.size())));
    // Stopped by the bound, not before it; a slow reader may still be on its way.
    for (int wait = 0; wait < 500 && panel.link->BytesInFlight() <=
                                         CPortReader::handOverLimit - CPortReader::readChunk;
         ++wait)
        ::usleep(20000);
    const qint64 inFlight = panel.link->BytesInFlight();
    QVERIFY2(inFlight > CPortReader::handOverLimit - CPortReader::readChunk &&
                 inFlight <= CPortReader::handOverLimit,
             qPrintable(QString::number(inFlight)));
    QVERIFY(panel.received.isEmpty());

    QTRY_COMPARE_WITH_TIMEOUT(panel.received.size(), sent.size(), 10000);
    QVERIFY(panel.received == sent);
    QCOMPARE(panel.link->BytesInFlight(), 0);
}

void TestLinkPort::deviceLost() {
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("com1"));
    auto first = std::make_unique<CSimPty>();
    first->Start();
    QVERIFY(QFile::link(QString::fromStdString(first->SlavePath()), link));

    Panel panel(MapCom1(link.toStdString()));
    panel.Open();
    QCOMPARE(panel.log, QStringList{"opened COM1"});

    first->CloseLine(); // the adapter is pulled out
    QTRY_COMPARE_WITH_TIMEOUT(panel.status, QStringList{"lost COM1"}, 5000);
    QCOMPARE(panel.log.size(), 1);
    panel.link->WriteTelegram(Request('E')); // goes nowhere, harms nothing

    // A reader spinning on the dead device would burn a whole core here. This
    // is a resource check over about a second, not a timing of behaviour.
    const double cpuBefore = CpuSeconds();
    QTest::qWait(1000);
    const double cpuUsed = CpuSeconds() - cpuBefore;
    QVERIFY2(cpuUsed < 0.3, qPrintable(QString("CPU seconds used: %1").arg(cpuUsed)));

    CSimPty second;
    second.Start();
    QVERIFY(QFile::remove(link));
    QVERIFY(QFile::link(QString::fromStdString(second.SlavePath()), link));
    panel.Open();
    QCOMPARE(panel.log.last(), QStringLiteral("opened COM1"));
    panel.link->WriteTelegram(Request('E'));
    QTRY_COMPARE_WITH_TIMEOUT(panel.received.size(), 26, 5000);
    QCOMPARE(second.Requests().size(), std::size_t(1));
}

KELVARIN_CORE_TEST_MAIN(TestLinkPort)
#include "tst_LinkPort.moc"
