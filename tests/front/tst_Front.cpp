#include "common/CoreTestMain.h"
#include "common/FileIdentity.h"

#include "base/BaseFileCodec.h"
#include "base/FileTableEdit.h"
#include "base/NativePath.h"
#include "exchange/CExchangeSession.h"
#include "front/BaseFiles.h"
#include "front/CPortList.h"
#include "front/CPortProbe.h"
#include "front/PortChoice.h"
#include "front/PortTexts.h"
#include "front/SerialPortList.h"
#include "link/CComPort.h"
#include "link/ProfileNames.h"
#include "sim/CSimPty.h"

#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <map>

#include <grp.h>
#include <sys/fsuid.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Root passes every permission check: the file cases run as nobody then.
constexpr uid_t nobody = 65534;
bool AsRoot() {
    return ::geteuid() == 0;
}

QByteArray BaseBytes(uint8_t seed) {
    ObjectTable table{};
    for (int k = 1; k <= objectCount; ++k)
        table[k] = {k, uint8_t(seed + k), 255};
    const BaseFileBytes bytes = EncodeBaseFile(table);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

// By the name's bytes: Qt's files would take a name that is not UTF-8 for another.
bool WriteBytes(const QByteArray& path, const QByteArray& bytes, mode_t mode = 0666) {
    std::FILE* file = std::fopen(path.constData(), "wb");
    const bool written = file && std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()),
                                             file) == std::size_t(bytes.size());
    return file && std::fclose(file) == 0 && written && ::chmod(path.constData(), mode) == 0;
}

QByteArray ReadBytes(const QByteArray& path) {
    QByteArray bytes(8192, '\0');
    std::FILE* file = std::fopen(path.constData(), "rb");
    bytes.resize(file ? qsizetype(std::fread(bytes.data(), 1, std::size_t(bytes.size()), file))
                      : 0);
    if (file)
        std::fclose(file);
    return bytes;
}

// One file case set up in its own folder: the path a front end is given, and the
// files of the run (--log-file, --trace-file).
struct FileCase {
    QTemporaryDir dir;
    QByteArray path;
    QList<RunFile> runFiles;
    QString mountPoint; // a small file system filled up, unmounted at the end

    // False where this system does not allow the case.
    bool Prepare(const QString& kind, bool save) {
        const QByteArray folder = QFile::encodeName(dir.path());
        ::chmod(folder.constData(), 0777);
        path = folder + "/base";
        if (kind == "FIFO")
            return ::mkfifo(path.constData(), 0666) == 0;
        if (kind == "device") {
            path = "/dev/null";
            return true;
        }
        if (kind == "folder")
            return ::mkdir(path.constData(), 0777) == 0;
        if (kind == "empty name") {
            path.clear();
            return true;
        }
        if (kind.startsWith("read-only folder")) {
            const QByteArray locked = folder + "/locked";
            path = locked + "/base";
            return ::mkdir(locked.constData(), 0777) == 0 &&
                   (kind.endsWith("new file") || WriteBytes(path, BaseBytes(9))) &&
                   ::chmod(locked.constData(), 0555) == 0;
        }
        if (kind == "full disk") {
            mountPoint = dir.filePath(QStringLiteral("full"));
            path = QFile::encodeName(mountPoint) + "/base";
            // Three pages: the old file takes two, a filler the third.
            if (!QDir().mkdir(mountPoint) ||
                ::mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", 0,
                        "size=12k,mode=0777") != 0) {
                mountPoint.clear();
                return false;
            }
            return WriteBytes(path, BaseBytes(9)) &&
                   WriteBytes(QFile::encodeName(mountPoint) + "/filler", QByteArray(4096, 'x'));
        }
        if (kind == "not UTF-8")
            path = folder + "/base\xff.kvb";
        if (kind == "log file" || kind == "trace file")
            runFiles.append({PathFromNative(path), kind.section(' ', 0, 0)});
        if (kind == "not UTF-8" && save)
            return true;
        return WriteBytes(path, BaseBytes(9), kind == "read-only file" ? 0444 : 0666);
    }
    ~FileCase() {
        if (!mountPoint.isEmpty())
            ::umount(QFile::encodeName(mountPoint).constData());
        ::chmod(QFile::encodeName(dir.filePath(QStringLiteral("locked"))).constData(), 0755);
    }
};

// Serial devices on pseudo-terminals, each a console of its own kind, listed and
// probed once: COM1 through the profile (with a by-id link), COM2 and COM3
// through --port, COM3's device held by another open; two more named directly.
struct PortsRig {
    std::map<QString, std::unique_ptr<CSimPty>> consoles; // by role
    QTemporaryDir byIdFolder;
    CComPort holder{CPortMapping()};
    QList<SerialPortEntry> listed;  // the listing alone: no device touched
    QList<SerialPortEntry> checked; // the test's own devices, opened and released
    QList<SerialPortEntry> probed;  // the same, probed
    std::map<QString, std::size_t> requestsAfterCheck;

    QString Path(const QString& role) const {
        return QString::fromStdString(consoles.at(role)->SlavePath());
    }

    PortsRig() {
        for (const char* role : {"console", "silent", "garbled", "held"}) {
            auto& console = consoles[QLatin1String(role)] = std::make_unique<CSimPty>();
            SimFaults faults;
            faults.silent = QLatin1String(role) == QLatin1String("silent");
            faults.badChecksum = QLatin1String(role) == QLatin1String("garbled");
            console->SetFaults(faults);
            console->Start();
        }
        QSettings(profileOrganization, profileApplication)
            .setValue(QStringLiteral("Ports/COM1"), Path("console"));
        QFile::link(Path("console"), byIdFolder.filePath("usb-Kelvarin_Test_Console_0001-if00"));
        CPortMapping mapping;
        mapping.SetOverride(QStringLiteral("COM2"), Path("silent"));
        mapping.SetOverride(QStringLiteral("COM3"), Path("held"));
        holder.Open(Path("held"));

        // COM4 is left to its default device, which the test lists but never opens.
        const QStringList extra{Path("garbled"), QStringLiteral("/nonexistent/kelvarin-tty")};
        listed = ListSerialPorts(mapping, extra, {}, {{}, byIdFolder.path()});
        checked = ListSerialPorts(mapping, extra, QStringList{"COM1", "COM2", "COM3"} + extra,
                                  {{}, byIdFolder.path()});
        CheckAccess(checked);
        for (auto& [role, console] : consoles)
            requestsAfterCheck[role] = console->Requests().size();
        CPortProbe probe;
        QSignalSpy finished(&probe, &CPortProbe::finished);
        probe.Start(checked);
        finished.wait(CPortProbe::answerTimeMs * 5);
        probed = probe.Entries();
    }
};

const SerialPortEntry* Find(const QList<SerialPortEntry>& entries, const QString& device) {
    for (const SerialPortEntry& entry : entries) {
        if (entry.devicePath == device)
            return &entry;
    }
    return nullptr;
}

QString ComNames(const SerialPortEntry& entry) {
    QStringList names;
    for (const ComNameOnDevice& com : entry.comNames)
        names << com.portName + (com.isDefault ? QStringLiteral(" (default)") : QString());
    return names.join(QLatin1Char(' '));
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
    void baseFiles_data();
    void baseFiles();
    void noAnswerText_data();
    void noAnswerText();
    void serialPorts_data();
    void serialPorts();

private:
    std::unique_ptr<PortsRig> portsRig;
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

// Every file case meets both front ends through the shared layer: the window's
// document as File > Open and Save give it a name, and kelvarin-cli's write-base
// (an open) and read-base (a save), run as a user would run it; a prepared file
// table as "Save file base as..." and kelvarin-cli new save it.
void TestFront::baseFiles_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("reason"); // in both front ends' words; empty when it goes through
    QTest::addColumn<bool>("window");    // false: the window's dialog asks about it instead
    const auto row = [](const char* kind, bool save, const char* reason, bool window = true) {
        QTest::addRow("%s, %s", save ? "save" : "open", kind)
            << QString(kind) << save << QString(reason) << window;
    };
    for (const bool save : {false, true}) {
        row("FIFO", save, "named pipe");
        row("device", save, "character device");
        row("folder", save, "folder");
        row("not UTF-8", save, "");
        row("empty name", save, "No file name");
    }
    row("log file", true, "the log file of this run");
    row("trace file", false, "the trace file of this run");
    row("read-only file", true, "Permission denied");
    row("read-only folder, writable file", true, ""); // rewritten in place
    row("read-only folder, new file", true, "Permission denied");
    row("exists", true, "--force replaces it", false);
    row("full disk", true, "No space left on device");
}

void TestFront::baseFiles() {
    QFETCH(QString, kind);
    QFETCH(bool, save);
    QFETCH(QString, reason);
    QFETCH(bool, window);
    // What the console holds, and what a window that read it holds.
    ObjectTable console{};
    for (int k = 1; k <= objectCount; ++k)
        console[k] = {k, 255, 255};
    const BaseFileBytes consoleBytes = EncodeBaseFile(console);
    const QByteArray saved(reinterpret_cast<const char*>(consoleBytes.data()), 7212);

    // A save writes the console's base (File > Save, read-base) or a prepared file
    // table ("Save file base as...", new), each through both front ends.
    for (const auto& [cli, fileTable] :
         {std::pair{false, false}, {true, false}, {false, true}, {true, true}}) {
        if ((!cli && !window) || (fileTable && !save))
            continue;
        FileCase file;
        if (!file.Prepare(kind, save))
            QSKIP("this system does not allow the case here");
        const QString before = Identity(file.path);
        const QString path = PathFromNative(file.path);
        QString said;
        bool done = false;
        if (cli) {
            CSimPty sim;
            sim.Start();
            ::chmod(sim.SlavePath().c_str(), 0666);
            QStringList arguments{QStringLiteral("--port=%1").arg(sim.SlavePath().c_str())};
            for (const RunFile& runFile : file.runFiles)
                arguments << "--" + runFile.role + "-file" << runFile.path;
            arguments << (fileTable ? "new" : save ? "read-base" : "write-base");
            if (save && kind != "exists")
                arguments << "--force";
            // The name goes as its bytes: bash turns each \xHH back into the byte.
            QString escaped;
            for (const char byte : file.path)
                escaped += uint8_t(byte) < 0x80 ? QString(QChar(byte))
                                                : QString::asprintf("\\x%02x", uint8_t(byte));
            QProcess program;
            program.setChildProcessModifier([] {
                ::setsid();
                if (AsRoot() && (::setgroups(0, nullptr) || ::setgid(nobody) || ::setuid(nobody)))
                    ::_exit(99);
            });
            program.start("bash", QStringList{"-c",
                                              "exec \"$0\" \"${@:1:$#-1}\" "
                                              "\"$(printf '%b' \"${!#}\")\"",
                                              KELVARIN_CLI_EXE} +
                                      arguments + QStringList{escaped});
            QVERIFY(program.waitForFinished(60000));
            said = QString::fromUtf8(program.readAllStandardError());
            QCOMPARE(program.exitCode(), reason.isEmpty() ? 0 : 5);
            done = program.exitCode() == 0;
            // A refusal comes before the port is opened, but for a disk found full.
            if (!done && kind != "full disk") {
                QVERIFY2(!said.contains(QStringLiteral("Подключен порт")), qPrintable(said));
                QVERIFY(sim.Requests().empty());
            }
        } else {
            CObjectBase objectBase;
            objectBase.deviceTable = console;
            objectBase.deviceBaseComplete = 1;
            objectBase.fileTable = EmptyFileTable();
            objectBase.fileBaseLoaded = fileTable ? 1 : 0;
            CKelvarinDoc doc(objectBase);
            QObject::connect(&doc, &CKelvarinDoc::reported,
                             [&said](CKelvarinDoc::Report, const QString& text) { said += text; });
            if (AsRoot())
                ::setfsuid(nobody);
            done =
                fileTable
                    ? SaveFileBaseFile(doc, path, file.runFiles) == CKelvarinDoc::SaveResult::Saved
                : save
                    ? SaveDocumentFile(doc, path, file.runFiles) == CKelvarinDoc::SaveResult::Saved
                    : OpenDocumentFile(doc, path, file.runFiles) ==
                          CKelvarinDoc::OpenResult::Opened;
            if (AsRoot())
                ::setfsuid(0);
            QCOMPARE(objectBase.fileBaseLoaded, done || fileTable ? 1 : 0);
        }
        QVERIFY2(said.contains(reason), qPrintable(said));
        QCOMPARE(done, reason.isEmpty());
        if (!done || !save) {
            QCOMPARE(Identity(file.path), before);
            continue;
        }
        QCOMPARE(ReadBytes(file.path), saved);
        // Where no file can be made beside it, the file is rewritten where it stands.
        if (!before.isEmpty())
            QCOMPARE(Identity(file.path).section(' ', 1, 1), before.section(' ', 1, 1));
    }
}

void TestFront::noAnswerText_data() {
    QTest::addColumn<QString>("portName");
    QTest::addColumn<QString>("mapped"); // "profile", "option" or "" for the default
    QTest::addColumn<QString>("expected");
    QTest::newRow("profile") << "COM1"
                             << "profile"
                             << "the console did not answer on COM1 (/dev/ttyUSB0)";
    QTest::newRow("--port") << "COM2"
                            << "option"
                            << "the console did not answer on COM2 (/dev/ttyUSB0)";
    QTest::newRow("default") << "COM3"
                             << ""
                             << "the console did not answer on COM3 (/dev/ttyS2, only its default "
                                "device: no Ports/COM3 in the profile, no --port COM3=DEVICE)";
    QTest::newRow("device path") << ""
                                 << ""
                                 << "the console did not answer on /dev/ttyUSB0";
    QTest::newRow("no port open") << "COM1"
                                  << "none"
                                  << "the console did not answer: no port is open";
}
void TestFront::noAnswerText() {
    QFETCH(QString, portName);
    QFETCH(QString, mapped);
    QFETCH(QString, expected);
    CPortMapping mapping;
    if (mapped == "profile")
        Profile().setValue("Ports/" + portName, "/dev/ttyUSB0");
    if (mapped == "option")
        mapping.AddOverride(portName + "=/dev/ttyUSB0");
    const QString device = mapped == "none"     ? QString()
                           : portName.isEmpty() ? QStringLiteral("/dev/ttyUSB0")
                                                : mapping.DevicePath(portName);
    QCOMPARE(NoAnswerText(portName, device, mapping), expected);
}

// Listed, checked and probed on pseudo-terminals: which names lead where, who can
// open them, who answers as a console; and what reached each console.
void TestFront::serialPorts_data() {
    QTest::addColumn<QString>("role"); // a console's, or a device path
    QTest::addColumn<QString>("comNames");
    QTest::addColumn<bool>("byId");
    QTest::addColumn<QString>("access"); // how it starts; "" when the test does not open it
    QTest::addColumn<int>("verdict");
    QTest::addColumn<int>("requests"); // what reached the console: only the probe's one "E"
    QTest::newRow("console") << "console"
                             << "COM1" << true << "free" << int(ProbeResult::Console) << 1;
    QTest::newRow("silent") << "silent"
                            << "COM2" << false << "free" << int(ProbeResult::NoAnswer) << 1;
    QTest::newRow("garbled replies") << "garbled"
                                     << "" << false << "free" << int(ProbeResult::NotAConsole) << 1;
    QTest::newRow("held by another open")
        << "held"
        << "COM3" << false << "held by another program" << int(ProbeResult::NotProbed) << 0;
    QTest::newRow("missing") << "/nonexistent/kelvarin-tty"
                             << "" << false << "No such file" << int(ProbeResult::NotProbed) << 0;
    QTest::newRow("default device") << "/dev/ttyS3"
                                    << "COM4 (default)" << false << "" << 0 << 0;
}
void TestFront::serialPorts() {
    QFETCH(QString, role);
    QFETCH(QString, comNames);
    QFETCH(bool, byId);
    QFETCH(QString, access);
    QFETCH(int, verdict);
    QFETCH(int, requests);
    if (!portsRig)
        portsRig = std::make_unique<PortsRig>();
    PortsRig& rig = *portsRig;
    const bool simulated = rig.consoles.count(role) > 0;
    const QString device = simulated ? rig.Path(role) : role;

    const SerialPortEntry* listed = Find(rig.listed, device);
    QVERIFY(listed);
    QCOMPARE(ComNames(*listed), comNames);
    QCOMPARE(listed->byIdPaths.size(), byId ? 1 : 0);
    // The COM names' devices first, in their order.
    QCOMPARE(rig.listed.first().devicePath, rig.Path("console"));
    if (access.isEmpty()) {
        QVERIFY(!Find(rig.checked, device));
        return;
    }
    const SerialPortEntry* checked = Find(rig.checked, device);
    const SerialPortEntry* probed = Find(rig.probed, device);
    QVERIFY(checked && probed);
    QVERIFY2(checked->access.startsWith(access), qPrintable(checked->access));
    QVERIFY2(probed->access.startsWith(access), qPrintable(probed->access));
    QCOMPARE(int(probed->probe.verdict), verdict);
    if (verdict == ProbeResult::Console)
        QCOMPARE(probed->probe.versionMajor * 100 + probed->probe.versionMinor, 105);
    if (simulated) {
        // Listing and checking write nothing; the probe one "Read Setup" at most.
        QCOMPARE(rig.requestsAfterCheck.at(role), std::size_t(0));
        const std::vector<Telegram> received = rig.consoles.at(role)->Requests();
        QCOMPARE(int(received.size()), requests);
        for (const Telegram& request : received)
            QCOMPARE(char(request[1]), 'E');
    }
}

KELVARIN_CORE_TEST_MAIN(TestFront)
#include "tst_Front.moc"
