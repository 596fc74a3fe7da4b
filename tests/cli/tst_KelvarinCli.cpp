#include "common/TestMain.h"

#include "base/BaseFileCodec.h"
#include "cli/CCliRunner.h"
#include "cli/CInterruptWatch.h"
#include "cli/CliOptions.h"
#include "cli/ConsoleCommand.h"
#include "cli/FileCommands.h"
#include "cli/PortChoice.h"
#include "cli/ResultText.h"
#include "link/CLineFile.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <csignal>
#include <memory>

namespace {

// The parsed options in a few words, so that a row can name what it expects.
QString Describe(const CliOptions& o) {
    QStringList parts{o.commandName};
    parts += o.files;
    if (o.command == CliCommand::ReadNumber || o.command == CliCommand::WriteNumber)
        parts << QString::number(o.objectNumber);
    if (o.command == CliCommand::WriteNumber)
        parts
            << QStringLiteral("second=%1 first=%2").arg(o.transmitterByte2).arg(o.transmitterByte1);
    const std::pair<const char*, std::optional<uint8_t>> setup[] = {
        {"mode", o.setupChange.mode},
        {"period", o.setupChange.periodCode},
        {"relay", o.setupChange.relay},
        {"backlight", o.setupChange.backlight}};
    for (const auto& [name, code] : setup)
        if (code)
            parts << QStringLiteral("%1=%2").arg(QLatin1String(name)).arg(*code);
    if (!o.port.isEmpty())
        parts << QStringLiteral("port=") + o.port;
    const std::pair<const char*, bool> flags[] = {
        {"demo", o.demo}, {"json", o.json}, {"quiet", o.quiet}, {"yes", o.yes}, {"force", o.force}};
    for (const auto& [name, set] : flags)
        if (set)
            parts << QLatin1String(name);
    return parts.join(QLatin1Char(' '));
}

bool Parse(QStringList arguments, CliOptions& options, CliResult& stop) {
    arguments.prepend(QStringLiteral("kelvarin-cli"));
    return ParseCliArguments(arguments, options, stop);
}

// A table with objects 1..600 not learned, except the ones given.
std::unique_ptr<ObjectTable> Base(std::initializer_list<std::array<int, 3>> learned = {}) {
    auto table = std::make_unique<ObjectTable>();
    for (int k = 1; k <= objectCount; ++k)
        (*table)[k] = {k, 255, 255};
    for (const auto& [k, byte1, byte2] : learned)
        (*table)[k] = {k, byte1, byte2};
    return table;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray FileBytes(const ObjectTable& table) {
    const BaseFileBytes bytes = EncodeBaseFile(table);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

QSettings Profile() {
    return QSettings(QStringLiteral("Merovane_Kelvar_VX-418K"), QStringLiteral("Kelvarin"));
}

// A runner with the session's side played by the test: what the runner asks of
// the session is recorded as words, what it prints is kept.
struct RunnerRig {
    CliOptions options;
    PortChoice port;
    CObjectBase objectBase;
    QString out;
    QString err;
    QStringList requests;
    QStringList questions;
    bool terminalAnswer = false;
    std::unique_ptr<CCliRunner> runner;

    void Make(const QStringList& arguments, bool inputIsTerminal = false,
              bool errorIsTerminal = false, CLineFile* logFile = nullptr) {
        CliResult stop;
        QVERIFY2(Parse(arguments, options, stop), qPrintable(stop.err));
        port.portName = QStringLiteral("COM1");
        port.devicePath = QStringLiteral("/dev/ttyS0");
        CliTerminal terminal{[this](const QString& text) { out += text; },
                             [this](const QString& text) { err += text; }, inputIsTerminal,
                             errorIsTerminal,
                             [this](const QString& question) {
                                 questions << question;
                                 return terminalAnswer;
                             }};
        runner = std::make_unique<CCliRunner>(options, port, objectBase, terminal, logFile);
        CCliRunner* r = runner.get();
        auto note = [this](const QString& word) { requests << word; };
        QObject::connect(r, &CCliRunner::openPortRequested,
                         [note](const QString& name) { note(QStringLiteral("open ") + name); });
        QObject::connect(r, &CCliRunner::closePortRequested,
                         [note] { note(QStringLiteral("close")); });
        QObject::connect(r, &CCliRunner::readBaseRequested,
                         [note] { note(QStringLiteral("read-base")); });
        QObject::connect(r, &CCliRunner::readSetupRequested,
                         [note] { note(QStringLiteral("read-setup")); });
        QObject::connect(r, &CCliRunner::readNumberRequested,
                         [note](int n) { note(QStringLiteral("read-number %1").arg(n)); });
        QObject::connect(r, &CCliRunner::writeNumberRequested, [note](int n, int b1, int b2) {
            note(QStringLiteral("write-number %1 %2 %3").arg(n).arg(b1).arg(b2));
        });
        QObject::connect(r, &CCliRunner::writeSetupRequested, [note](const SetupValues& v) {
            note(QStringLiteral("write-setup %1 %2 %3 %4")
                     .arg(v.setupMode)
                     .arg(v.setupPeriodCode)
                     .arg(v.setupRelay)
                     .arg(v.setupBacklight));
        });
        QObject::connect(r, &CCliRunner::overwriteAnswered, [note](bool yes) {
            note(yes ? QStringLiteral("answer yes") : QStringLiteral("answer no"));
        });
        QObject::connect(r, &CCliRunner::done,
                         [note](int code) { note(QStringLiteral("done %1").arg(code)); });
        runner->Start();
        runner->OnPortOpened(port.portName, port.devicePath);
    }
};

} // namespace

class TestKelvarinCli : public QObject {
    Q_OBJECT
private slots:
    void accepted_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");
        QTest::newRow("show") << QStringList{"show", "a.kvb"} << "show a.kvb";
        QTest::newRow("diff json") << QStringList{"diff", "a", "b", "--json"} << "diff a b json";
        QTest::newRow("leading zeros") << QStringList{"read-number", "007"} << "read-number 7";
        QTest::newRow("last object") << QStringList{"read-number", "600"} << "read-number 600";
        QTest::newRow("number as shown")
            << QStringList{"write-number", "1", "034.012"} << "write-number 1 second=34 first=12";
        QTest::newRow("no leading zeros")
            << QStringList{"write-number", "12", "0.255"} << "write-number 12 second=0 first=255";
        QTest::newRow("mode text")
            << QStringList{"write-setup", "--mode", "КОМПЬЮТЕР"} << "write-setup mode=2";
        QTest::newRow("4 minutes")
            << QStringList{"write-setup", "--period", "4"} << "write-setup period=2";
        QTest::newRow("20 minutes")
            << QStringList{"write-setup", "--period", "20"} << "write-setup period=10";
        QTest::newRow("period off")
            << QStringList{"write-setup", "--period", "off"} << "write-setup period=1";
        QTest::newRow("relay text")
            << QStringList{"write-setup", "--relay", "3 СЕК"} << "write-setup relay=1";
        QTest::newRow("all four") << QStringList{"write-setup", "--mode",      "1",
                                                 "--period",    "16",          "--relay",
                                                 "2",           "--backlight", "ПРИ РАБОТЕ"}
                                  << "write-setup mode=1 period=8 relay=2 backlight=1";
        QTest::newRow("port name")
            << QStringList{"--port", "COM2", "read-setup"} << "read-setup port=COM2";
        QTest::newRow("device after command") << QStringList{"read-setup", "--port", "/dev/ttyUSB0"}
                                              << "read-setup port=/dev/ttyUSB0";
        QTest::newRow("port mapped for the run")
            << QStringList{"--port", "COM1=/dev/pts/3", "read-setup"}
            << "read-setup port=COM1=/dev/pts/3";
        QTest::newRow("flags") << QStringList{"--demo",       "--yes", "--quiet",
                                              "write-number", "5",     "1.2"}
                               << "write-number 5 second=1 first=2 demo quiet yes";
        QTest::newRow("force") << QStringList{"read-base", "x", "--force"} << "read-base x force";
    }
    void accepted() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        CliOptions options;
        CliResult stop;
        QVERIFY2(Parse(arguments, options, stop), qPrintable(stop.err));
        QCOMPARE(Describe(options), expected);
    }

    void usageErrors_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("reason");
        QTest::newRow("nothing") << QStringList{} << "no command";
        QTest::newRow("unknown command") << QStringList{"frobnicate"} << "unknown command";
        QTest::newRow("unknown option") << QStringList{"--baud", "show", "a"} << "baud";
        QTest::newRow("file missing") << QStringList{"show"} << "takes 1";
        QTest::newRow("one file for diff") << QStringList{"diff", "a"} << "takes 2";
        QTest::newRow("extra argument") << QStringList{"read-setup", "x"} << "takes 0";
        for (const char* n : {"0", "601", "+5", "5x", "0x1", "1000", " 5"})
            QTest::addRow("object %s", n) << QStringList{"read-number", n} << "object number";
        for (const char* t : {"256.0", "1.2.3", "12", ".5", "12.", "1,2", "1.0256"})
            QTest::addRow("transmitter %s", t)
                << QStringList{"write-number", "1", t} << "transmitter number";
        for (const char* m : {"3", "ручной", "MANUAL", "РУЧНОЙ "})
            QTest::addRow("mode %s", m)
                << QStringList{"write-setup", "--mode", m} << "--mode takes";
        QTest::newRow("relay 3") << QStringList{"write-setup", "--relay", "3"} << "--relay takes";
        for (const char* p : {"5", "22", "2", "0", "OFF", "10 МИН", ""})
            QTest::addRow("period '%s'", p)
                << QStringList{"write-setup", "--period", p} << "--period takes";
        QTest::newRow("write-setup alone") << QStringList{"write-setup"} << "at least one";
        QTest::newRow("setting for read-setup")
            << QStringList{"read-setup", "--mode", "1"} << "belong to write-setup";
        QTest::newRow("force for show") << QStringList{"show", "a", "--force"} << "--force";
        QTest::newRow("port without path")
            << QStringList{"--port", "ttyUSB0", "read-setup"} << "--port takes";
        QTest::newRow("COM5") << QStringList{"--port", "COM5", "read-setup"} << "--port takes";
        QTest::newRow("demo and port")
            << QStringList{"--demo", "--port", "COM1", "read-setup"} << "--demo";
        QTest::newRow("port twice")
            << QStringList{"--port", "COM1", "--port", "COM2", "read-setup"} << "more than once";
    }
    void usageErrors() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, reason);
        CliOptions options;
        CliResult stop;
        QVERIFY(!Parse(arguments, options, stop));
        QCOMPARE(stop.exitCode, int(exitUsage));
        QCOMPARE(stop.out, QString());
        QVERIFY2(stop.err.contains(reason), qPrintable(stop.err));
        QVERIFY(stop.err.contains(QStringLiteral("Usage: kelvarin-cli")));
    }

    // Every option has its line in --help and its entry in the manual page.
    void helpAndManualNameEveryOption() {
        CliOptions options;
        CliResult stop;
        QVERIFY(!Parse({QStringLiteral("--help")}, options, stop));
        QCOMPARE(stop.exitCode, int(exitDone));
        static const QRegularExpression optionLine(QStringLiteral("^\\s+(?:-\\w, )?(--[a-z-]+)"),
                                                   QRegularExpression::MultilineOption);
        QStringList named;
        for (const QRegularExpressionMatch& match : optionLine.globalMatch(stop.out))
            named << match.captured(1);
        named.sort();
        QCOMPARE(named, (QStringList{"--backlight", "--demo", "--force", "--help", "--help-all",
                                     "--json", "--log-file", "--mode", "--period", "--port",
                                     "--quiet", "--relay", "--trace-file", "--version", "--yes"}));
        QFile manual(QStringLiteral(KELVARIN_CLI_MANUAL));
        QVERIFY(manual.open(QIODevice::ReadOnly));
        const QString page = QString::fromUtf8(manual.readAll()).remove(QLatin1Char('\\'));
        for (const QString& option : named)
            if (option != QStringLiteral("--help-all"))
                QVERIFY2(page.contains(option), qPrintable(option));

        QVERIFY(!Parse({QStringLiteral("--version")}, options, stop));
        QCOMPARE(stop.out, QStringLiteral("kelvarin-cli " KELVARIN_VERSION "\n"));
    }

    void show() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.kvb"));
        WriteFile(path, FileBytes(*Base({{7, 12, 34}, {600, 0, 255}, {9, 255, 0}})));
        CliOptions options;
        options.files = QStringList{path};
        CliResult result = RunShow(options);
        QCOMPARE(result.exitCode, int(exitDone));
        QCOMPARE(result.out, QStringLiteral("007  034.012\n009  000.255\n600  255.000\n"));

        options.json = true;
        result = RunShow(options);
        const QJsonObject json = QJsonDocument::fromJson(result.out.toUtf8()).object();
        QCOMPARE(json[QStringLiteral("command")].toString(), QStringLiteral("show"));
        QCOMPARE(json[QStringLiteral("learned")].toInt(), 3);
        QCOMPARE(json[QStringLiteral("objects")].toArray().at(0).toObject(),
                 (QJsonObject{{"object", 7}, {"transmitter", "034.012"}}));
    }

    void diff_data() {
        QTest::addColumn<int>("byte1");
        QTest::addColumn<int>("byte2");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("expected");
        QTest::newRow("same") << 12 << 34 << 7 << "";
        QTest::newRow("other transmitter") << 12 << 35 << 7 << "007  034.012  035.012\n";
        QTest::newRow("not learned") << 255 << 255 << 7 << "007  034.012  255.255\n";
        // Only the low 8 bits reach the console; the number field never does.
        QTest::newRow("high bits only") << 12 + 0x100 << 34 << 7 << "";
        QTest::newRow("number only") << 12 << 34 << 0 << "";
    }
    void diff() {
        QFETCH(int, byte1);
        QFETCH(int, byte2);
        QFETCH(int, number);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString first = dir.filePath(QStringLiteral("first"));
        const QString second = dir.filePath(QStringLiteral("second"));
        WriteFile(first, FileBytes(*Base({{7, 12, 34}})));
        auto other = Base();
        (*other)[7] = {number, byte1, byte2};
        WriteFile(second, FileBytes(*other));
        CliOptions options;
        options.files = QStringList{first, second};
        CliResult result = RunDiff(options);
        QCOMPARE(result.out, expected);
        QCOMPARE(result.exitCode, int(expected.isEmpty() ? exitDone : exitDifferences));

        options.json = true;
        result = RunDiff(options);
        const QJsonArray differences = QJsonDocument::fromJson(result.out.toUtf8())
                                           .object()[QStringLiteral("differences")]
                                           .toArray();
        QCOMPARE(differences.size(), expected.isEmpty() ? 0 : 1);
        if (!expected.isEmpty())
            QCOMPARE(differences.at(0).toObject()[QStringLiteral("second")].toString(),
                     expected.mid(14, 7));
    }

    void objectLine_data() {
        QTest::addColumn<int>("byte1");
        QTest::addColumn<int>("byte2");
        QTest::addColumn<QString>("expected");
        QTest::newRow("learned") << 12 << 34 << "007  034.012  learned";
        QTest::newRow("not learned") << 255 << 255 << "007  255.255  not learned";
        QTest::newRow("one byte 255") << 255 << 0 << "007  000.255  learned";
    }
    void objectLine() {
        QFETCH(int, byte1);
        QFETCH(int, byte2);
        QFETCH(QString, expected);
        QCOMPARE(ObjectLine(7, uint8_t(byte1), uint8_t(byte2)), expected);
        const QJsonObject json =
            ObjectJson(QStringLiteral("read-number"), 7, uint8_t(byte1), uint8_t(byte2));
        QCOMPARE(json[QStringLiteral("learned")].toBool(),
                 !expected.endsWith(QStringLiteral("not learned")));
        QCOMPARE(json[QStringLiteral("transmitter")].toString(), expected.mid(5, 7));
    }

    void setup_data() {
        QTest::addColumn<QList<int>>("shown"); // mode, period index, relay, backlight, version
        QTest::addColumn<QString>("lines");
        QTest::addColumn<QString>("period"); // the JSON of the period
        QTest::newRow("as the window starts")
            << QList<int>{0, 3, 0, 1, 1, 5}
            << "mode       РУЧНОЙ\nperiod     10 МИН\nrelay      2 МИН\nbacklight  ПРИ РАБОТЕ\n"
               "version    1.05\n"
            << R"({"code":5,"minutes":10,"text":"10 МИН"})";
        QTest::newRow("off, past the lists")
            << QList<int>{3, 9, 2, 7, 2, 10}
            << "mode       3 (not in the window's list)\nperiod     ВЫКЛ\nrelay      СБРОС\n"
               "backlight  7 (not in the window's list)\nversion    2.10\n"
            << R"({"code":1,"minutes":null,"text":"ВЫКЛ"})";
        QTest::newRow("20 minutes") << QList<int>{2, 8, 1, 0, 1, 5}
                                    << "mode       КОМПЬЮТЕР\nperiod     20 МИН\nrelay      3 СЕК\n"
                                       "backlight  ВЫКЛЮЧЕНА\nversion    1.05\n"
                                    << R"({"code":10,"minutes":20,"text":"20 МИН"})";
    }
    void setup() {
        QFETCH(QList<int>, shown);
        QFETCH(QString, lines);
        QFETCH(QString, period);
        const SettingsShown settings{shown[0], shown[1], shown[2], shown[3], shown[4], shown[5]};
        QCOMPARE(SetupLines(settings), lines);
        const QJsonObject json = SetupJson(QStringLiteral("read-setup"), settings);
        QCOMPARE(
            QJsonDocument(json[QStringLiteral("period")].toObject()).toJson(QJsonDocument::Compact),
            period.toUtf8());
        QCOMPARE(json[QStringLiteral("mode")].toObject()[QStringLiteral("code")].toInt(), shown[0]);
    }

    void progress_data() {
        QTest::addColumn<int>("blocks");
        QTest::addColumn<QString>("expected");
        // A block is 52 bytes on the line, 216.7 ms at 2400 baud.
        QTest::newRow("start") << 0 << "blocks  0/60 [------------------------------] 13 s left";
        QTest::newRow("half") << 30 << "blocks 30/60 [###############---------------]  7 s left";
        QTest::newRow("last block")
            << 59 << "blocks 59/60 [#############################-]  1 s left";
        QTest::newRow("done") << 60 << "blocks 60/60 [##############################]  0 s left";
    }
    void progress() {
        QFETCH(int, blocks);
        QFETCH(QString, expected);
        QCOMPARE(ProgressLine(blocks), expected);
    }

    void mergeSetup_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QList<int>>("read"); // mode, period index, relay, backlight
        QTest::addColumn<QList<int>>("sent"); // mode, period code, relay, backlight
        QTest::newRow("mode only")
            << QStringList{"--mode", "2"} << QList<int>{0, 9, 1, 2} << QList<int>{2, 1, 1, 2};
        QTest::newRow("period only")
            << QStringList{"--period", "6"} << QList<int>{1, 0, 2, 0} << QList<int>{1, 3, 2, 0};
        QTest::newRow("past the list kept")
            << QStringList{"--relay", "0"} << QList<int>{3, 3, 1, 200} << QList<int>{3, 5, 0, 200};
    }
    void mergeSetup() {
        QFETCH(QStringList, arguments);
        QFETCH(QList<int>, read);
        QFETCH(QList<int>, sent);
        CliOptions options;
        CliResult stop;
        QVERIFY(Parse(QStringList{"write-setup"} + arguments, options, stop));
        const SetupValues values = MergeSetup(
            options.setupChange, SettingsShown{read[0], read[1], read[2], read[3], 1, 5});
        QCOMPARE((QList<int>{values.setupMode, values.setupPeriodCode, values.setupRelay,
                             values.setupBacklight}),
                 sent);
    }

    void portChoice_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<int>("stored");       // NumComPort; -1 for none
        QTest::addColumn<QString>("expected"); // "name device", or "" when refused
        QTest::newRow("COM2") << "COM2" << 4 << "COM2 /dev/ttyS1";
        QTest::newRow("mapped in the profile") << "com3" << 0 << "COM3 /dev/ttyUSB3";
        QTest::newRow("mapped for the run") << "COM1=/dev/pts/7" << 0 << "COM1 /dev/pts/7";
        QTest::newRow("device") << "/dev/ttyACM0" << 0 << " /dev/ttyACM0";
        QTest::newRow("stored port") << "" << 2 << "COM3 /dev/ttyUSB3";
        QTest::newRow("nothing stored") << "" << -1 << "COM1 /dev/ttyS0";
        QTest::newRow("stored past the list") << "" << 7 << "COM1 /dev/ttyS0";
        QTest::newRow("stored OFF") << "" << 4 << "";
    }
    void portChoice() {
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

    // The built program: what it checks before any port, and where its output goes.
    void exitStatus_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("err");
        QTest::addColumn<QString>("out");
        const QString noPort = QStringLiteral("--port=/nonexistent/tty");
        QTest::newRow("usage") << QStringList{"read-number", "0"} << 1 << "Usage:"
                               << "";
        QTest::newRow("trace file")
            << QStringList{"--trace-file", "{dir}/no/t", "show", "{good}"} << 1 << "trace file"
            << "";
        QTest::newRow("log file") << QStringList{"--log-file", "{dir}/no/l", "show", "{good}"} << 1
                                  << "log file"
                                  << "";
        QTest::newRow("show") << QStringList{"show", "{good}"} << 0 << ""
                              << "007  034.012\n";
        QTest::newRow("diff") << QStringList{"diff", "{good}", "{empty}"} << 4 << ""
                              << "007  034.012  255.255\n";
        QTest::newRow("missing file") << QStringList{"show", "{dir}/none"} << 5 << "none"
                                      << "";
        QTest::newRow("short base")
            << QStringList{noPort, "write-base", "{short}"} << 5 << "7211 bytes"
            << "";
        QTest::newRow("long base")
            << QStringList{noPort, "verify-base", "{long}"} << 5 << "longer than 7212"
            << "";
        QTest::newRow("read-base over a file")
            << QStringList{noPort, "read-base", "{good}"} << 5 << "--force"
            << "";
        QTest::newRow("no port chosen") << QStringList{"read-setup"} << 3 << "OFF"
                                        << "";
        // Until the console commands run on the exchange session they say so,
        // and print no result.
        QTest::newRow("not connected") << QStringList{noPort, "--force", "read-base", "{good}"}
                                       << int(exitNotConnected) << "not available yet"
                                       << "";
    }
    void exitStatus() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, err);
        QFETCH(QString, out);
        QTemporaryDir dir;
        const QByteArray good = FileBytes(*Base({{7, 12, 34}}));
        WriteFile(dir.filePath(QStringLiteral("good")), good);
        WriteFile(dir.filePath(QStringLiteral("empty")), FileBytes(*Base()));
        WriteFile(dir.filePath(QStringLiteral("short")), good.left(good.size() - 1));
        WriteFile(dir.filePath(QStringLiteral("long")), good + '\0');
        for (QString& argument : arguments)
            argument.replace(QStringLiteral("{dir}"), dir.path())
                .replace(QRegularExpression(QStringLiteral("\\{(\\w+)\\}")), dir.path() + "/\\1");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           dir.filePath(QStringLiteral("profile")));
        {
            QSettings profile(
                dir.filePath(QStringLiteral("profile/Merovane_Kelvar_VX-418K/Kelvarin.conf")),
                QSettings::IniFormat);
            profile.setValue(QStringLiteral("Merovane_Kelvar_VX-418K/NumComPort"), 4);
        }
        QProcess cli;
        cli.setProcessEnvironment(environment);
        cli.start(QStringLiteral(KELVARIN_CLI_EXE), arguments);
        QVERIFY(cli.waitForFinished(30000));
        const QString errText = QString::fromUtf8(cli.readAllStandardError());
        QCOMPARE(cli.exitCode(), exitCode);
        QVERIFY2(errText.contains(err), qPrintable(errText));
        QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput()), out);
        QCOMPARE(QFileInfo(dir.filePath(QStringLiteral("good"))).size(), qint64(good.size()));
    }

    void runnerReadsNumber_data() {
        QTest::addColumn<bool>("json");
        QTest::newRow("text") << false;
        QTest::newRow("json") << true;
    }
    void runnerReadsNumber() {
        QFETCH(bool, json);
        RunnerRig rig;
        rig.Make(json ? QStringList{"--json", "read-number", "7"}
                      : QStringList{"read-number", "7"});
        QCOMPARE(rig.requests, (QStringList{"open COM1", "read-number 7"}));
        rig.runner->OnObjectShown(7, 12, 34, 1);
        rig.runner->OnFinished(OperationOutcome::Completed);
        QCOMPARE(rig.requests, (QStringList{"open COM1", "read-number 7", "close", "done 0"}));
        QCOMPARE(
            rig.out,
            json
                ? QStringLiteral(
                      R"({"command":"read-number","learned":true,"object":7,"transmitter":"034.012"})"
                      "\n")
                : QStringLiteral("007  034.012  learned\n"));
    }

    void runnerEnds_data() {
        QTest::addColumn<int>("outcome"); // -1: the port fails to open
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("err");
        QTest::newRow("no answer") << int(OperationOutcome::NoAnswer) << 2 << "did not answer";
        QTest::newRow("declined") << int(OperationOutcome::Declined) << 6 << "not overwritten";
        // Completed without an object reply shown: no result is made up.
        QTest::newRow("nothing shown") << int(OperationOutcome::Completed) << 2 << "no object";
        QTest::newRow("port fails")
            << -1 << 3 << "COM1 (/dev/ttyS0) cannot be opened: Permission denied";
    }
    void runnerEnds() {
        QFETCH(int, outcome);
        QFETCH(int, exitCode);
        QFETCH(QString, err);
        RunnerRig rig;
        CliResult stop;
        QVERIFY(Parse({"write-number", "7", "1.2"}, rig.options, stop));
        rig.port = {QStringLiteral("COM1"), QStringLiteral("/dev/ttyS0"), {}};
        CCliRunner runner(rig.options, rig.port, rig.objectBase,
                          {[&](const QString& t) { rig.out += t; },
                           [&](const QString& t) { rig.err += t; },
                           false,
                           false,
                           {}},
                          nullptr);
        QSignalSpy closes(&runner, &CCliRunner::closePortRequested);
        runner.Start();
        if (outcome < 0) {
            runner.OnPortFailed(QStringLiteral("COM1"), QStringLiteral("/dev/ttyS0"),
                                QStringLiteral("Permission denied"));
        } else {
            runner.OnPortOpened(QStringLiteral("COM1"), QStringLiteral("/dev/ttyS0"));
            runner.OnFinished(OperationOutcome(outcome));
        }
        QCOMPARE(runner.ExitCode(), exitCode);
        QVERIFY2(rig.err.contains(err), qPrintable(rig.err));
        QCOMPARE(rig.out, QString());
        QCOMPARE(closes.size(), outcome < 0 ? 0 : 1);
    }

    void runnerOverwrite_data() {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("terminal");
        QTest::addColumn<bool>("operatorSaysYes");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("questions");
        QTest::newRow("--yes") << true << true << false << "answer yes" << 0;
        QTest::newRow("terminal y") << false << true << true << "answer yes" << 1;
        QTest::newRow("terminal n") << false << true << false << "answer no" << 1;
        QTest::newRow("no terminal") << false << false << true << "answer no" << 0;
    }
    void runnerOverwrite() {
        QFETCH(bool, yes);
        QFETCH(bool, terminal);
        QFETCH(bool, operatorSaysYes);
        QFETCH(QString, answer);
        QFETCH(int, questions);
        RunnerRig rig;
        rig.terminalAnswer = operatorSaysYes;
        QStringList arguments{"write-number", "7", "34.12"};
        if (yes)
            arguments << QStringLiteral("--yes");
        rig.Make(arguments, terminal);
        QCOMPARE(rig.requests.last(), QStringLiteral("write-number 7 12 34"));
        rig.runner->OnOverwriteAsked();
        QCOMPARE(rig.requests.last(), answer);
        QCOMPARE(rig.questions.size(), questions);
        if (questions)
            QVERIFY(rig.questions[0].contains(QStringLiteral("007 with 034.012? [y/N]")));
        QCOMPARE(rig.err.contains(QStringLiteral("no terminal")), !terminal && !yes);
    }

    void runnerWritesSetup() {
        RunnerRig rig;
        rig.Make({"write-setup", "--relay", "СБРОС"});
        QCOMPARE(rig.requests.last(), QStringLiteral("read-setup"));
        rig.runner->OnSettingsShown(1, 9, 0, 2, 1, 5);
        rig.runner->OnFinished(OperationOutcome::Completed);
        QCOMPARE(rig.out, QString());
        // The write goes out once the session is back from reporting the read.
        QTRY_COMPARE(rig.requests.last(), QStringLiteral("write-setup 1 1 2 2"));
        rig.runner->OnSettingsShown(1, 9, 2, 2, 1, 5);
        rig.runner->OnFinished(OperationOutcome::Completed);
        QVERIFY(rig.out.contains(QStringLiteral("relay      СБРОС\n")));
        QCOMPARE(rig.requests.mid(rig.requests.size() - 2), (QStringList{"close", "done 0"}));
    }

    void runnerReadsBase_data() {
        QTest::addColumn<bool>("complete");
        QTest::addColumn<bool>("interrupted");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("saved") << true << false << 0;
        QTest::newRow("incomplete base") << false << false << 5;
        QTest::newRow("Ctrl+C") << true << true << 130;
    }
    void runnerReadsBase() {
        QFETCH(bool, complete);
        QFETCH(bool, interrupted);
        QFETCH(int, exitCode);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("x.kvb"));
        RunnerRig rig;
        rig.Make({"read-base", path});
        rig.objectBase.deviceTable = *Base({{7, 12, 34}});
        rig.objectBase.deviceBaseComplete = complete ? 1 : 0;
        if (interrupted)
            rig.runner->OnInterrupted();
        rig.runner->OnFinished(OperationOutcome::Completed); // too late after Ctrl+C
        QCOMPARE(rig.runner->ExitCode(), exitCode);
        QCOMPARE(rig.requests.mid(1),
                 (QStringList{"read-base", "close", QStringLiteral("done %1").arg(exitCode)}));
        QCOMPARE(QFileInfo::exists(path), exitCode == 0);
        if (exitCode == 0) {
            QCOMPARE(QFileInfo(path).size(), qint64(baseFileSize));
            QCOMPARE(rig.out, QStringLiteral("saved 600 objects (1 learned) to %1\n").arg(path));
        }
    }

    void runnerVerifiesBase() {
        RunnerRig rig;
        rig.Make({"verify-base", "f.kvb"});
        rig.objectBase.fileTable = *Base({{7, 12, 34}, {8, 1, 2}});
        rig.objectBase.deviceTable = *Base({{8, 1, 2}});
        rig.objectBase.deviceBaseComplete = 1;
        rig.runner->OnFinished(OperationOutcome::Completed);
        QCOMPARE(rig.out, QStringLiteral("007  255.255  034.012\n"));
        QCOMPARE(rig.runner->ExitCode(), int(exitDifferences));
    }

    void runnerLogAndProgress_data() {
        QTest::addColumn<bool>("quiet");
        QTest::addColumn<bool>("terminal");
        QTest::newRow("terminal") << false << true;
        QTest::newRow("pipe") << false << false;
        QTest::newRow("quiet") << true << true;
    }
    void runnerLogAndProgress() {
        QFETCH(bool, quiet);
        QFETCH(bool, terminal);
        QTemporaryDir dir;
        CLineFile logFile;
        QVERIFY(logFile.Open(dir.filePath(QStringLiteral("log"))));
        RunnerRig rig;
        QStringList arguments{"write-base", "f"};
        if (quiet)
            arguments << QStringLiteral("--quiet");
        rig.Make(arguments, false, terminal, &logFile);
        rig.runner->OnProgressRange(0, 60);
        rig.runner->OnProgressPos(30);
        rig.runner->OnLogLine(QStringLiteral("12:00:00 - Установлена связь с ПЦН"));
        const QString bar =
            QStringLiteral("\rblocks 30/60 [###############---------------]  7 s left");
        QCOMPARE(rig.err, quiet ? QString()
                          : terminal ? bar + "\r\x1b[K12:00:00 - Установлена связь с ПЦН\n" + bar
                                     : QStringLiteral("12:00:00 - Установлена связь с ПЦН\n"));
        QFile log(dir.filePath(QStringLiteral("log")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(log.readAll()),
                 QStringLiteral("12:00:00 - Установлена связь с ПЦН\n"));
    }

    void ctrlCReachesTheEventLoop() {
        CInterruptWatch watch;
        QVERIFY(watch.IsWatching());
        QSignalSpy interrupted(&watch, &CInterruptWatch::interrupted);
        std::raise(SIGINT);
        QVERIFY(interrupted.wait(5000));
    }
};

KELVARIN_TEST_MAIN(TestKelvarinCli)
#include "tst_KelvarinCli.moc"
