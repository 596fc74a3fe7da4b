#include "common/TestMain.h"

#include "base/BaseFileCodec.h"
#include "cli/CCliRunner.h"
#include "cli/CInterruptWatch.h"
#include "cli/CliOptions.h"
#include "cli/ConsoleCommand.h"
#include "cli/FileCommands.h"
#include "cli/ResultText.h"
#include "cli/SettingNames.h"
#include "front/PortChoice.h"
#include "link/CLogFile.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <csignal>
#include <memory>
#include <unistd.h>

Q_DECLARE_METATYPE(ObjectRecord)

namespace {

// The parsed options in a few words, so that a row can name what it expects.
QString Describe(const CliOptions& o) {
    QStringList parts = QStringList{o.commandName} + o.files + o.portsNamed;
    if (o.command == CliCommand::ReadNumber || o.command == CliCommand::WriteNumber ||
        o.command == CliCommand::Set)
        parts << QString::number(o.objectNumber);
    if (o.command == CliCommand::WriteNumber || o.command == CliCommand::Set)
        parts << QStringLiteral("%1.%2").arg(o.transmitterByte2).arg(o.transmitterByte1);
    for (const int k : o.objectsToClear)
        parts << QString::number(k);
    const SetupChange& c = o.setupChange;
    for (const auto& [name, code] : {std::pair{"mode", c.mode},
                                     {"period", c.periodCode},
                                     {"relay", c.relay},
                                     {"backlight", c.backlight}})
        if (code)
            parts << QStringLiteral("%1=%2").arg(QLatin1String(name)).arg(*code);
    if (!o.port.isEmpty())
        parts << QStringLiteral("port=") + o.port;
    for (const auto& [name, set] : {std::pair{"demo", o.demo},
                                    {"yes", o.yes},
                                    {"force", o.force},
                                    {"probe", o.probe},
                                    {"skip-bad", o.skipBad}})
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

    template <typename Signal, typename Word> void Record(Signal signal, Word word) {
        QObject::connect(runner.get(), signal,
                         [this, word](auto... args) { requests << word(args...); });
    }

    void Make(const QStringList& arguments, bool hasTerminal = false, bool errorIsTerminal = false,
              CLogFile* logFile = nullptr, bool portOpens = true) {
        CliResult stop;
        QVERIFY2(Parse(arguments, options, stop), qPrintable(stop.err));
        port.portName = QStringLiteral("COM1");
        port.devicePath = QStringLiteral("/dev/ttyS0");
        CliTerminal terminal{[this](const QString& text) {
                                 out += text;
                                 return true;
                             },
                             [this](const QString& text) { err += text; }, hasTerminal,
                             errorIsTerminal,
                             [this](const QString& question) {
                                 questions << question;
                                 return terminalAnswer;
                             }};
        runner = std::make_unique<CCliRunner>(options, port, objectBase, terminal, logFile);
        Record(&CCliRunner::openPortRequested, [](const QString& n) { return "open " + n; });
        Record(&CCliRunner::closePortRequested, [] { return QStringLiteral("close"); });
        Record(&CCliRunner::readBaseRequested, [] { return QStringLiteral("read-base"); });
        Record(&CCliRunner::readSetupRequested, [] { return QStringLiteral("read-setup"); });
        Record(&CCliRunner::readNumberRequested, [](const NumberOperands& o) {
            return QStringLiteral("read %1").arg(o.objectNumber);
        });
        Record(&CCliRunner::writeNumberRequested, [](const NumberOperands& o) {
            return QStringLiteral("write %1 %2 %3")
                .arg(o.objectNumber)
                .arg(o.transmitterByte1)
                .arg(o.transmitterByte2);
        });
        Record(&CCliRunner::writeSetupRequested, [](const SetupOperands& v) {
            return QStringLiteral("setup %1 %2 %3 %4")
                .arg(v.setupMode)
                .arg(v.setupPeriodCode)
                .arg(v.setupRelay)
                .arg(v.setupBacklight);
        });
        Record(&CCliRunner::overwriteAnswered,
               [](bool yes) { return QLatin1String(yes ? "answer yes" : "answer no"); });
        Record(&CCliRunner::done, [](int code) { return QStringLiteral("done %1").arg(code); });
        runner->Start();
        if (portOpens)
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
        QTest::newRow("diff") << QStringList{"diff", "a", "b"} << "diff a b";
        QTest::newRow("zeros") << QStringList{"read-number", "007"} << "read-number 7";
        QTest::newRow("600") << QStringList{"read-number", "600"} << "read-number 600";
        QTest::newRow("as shown") << QStringList{"write-number", "1", "034.012"}
                                  << "write-number 1 34.12";
        QTest::newRow("short parts")
            << QStringList{"write-number", "2", "0.255"} << "write-number 2 0.255";
        QTest::newRow("mode text")
            << QStringList{"write-setup", "--mode", "КОМПЬЮТЕР"} << "write-setup mode=2";
        QTest::newRow("4 min") << QStringList{"write-setup", "--period", "4"}
                               << "write-setup period=2";
        QTest::newRow("20 min") << QStringList{"write-setup", "--period", "20"}
                                << "write-setup period=10";
        QTest::newRow("off") << QStringList{"write-setup", "--period", "off"}
                             << "write-setup period=1";
        QTest::newRow("all") << QStringList{"write-setup", "--mode",   "1",
                                            "--relay",     "3 СЕК",    "--backlight",
                                            "ПРИ РАБОТЕ",  "--period", "16"}
                             << "write-setup mode=1 period=8 relay=1 backlight=1";
        QTest::newRow("port after command") << QStringList{"read-setup", "--port", "/dev/ttyUSB0"}
                                            << "read-setup port=/dev/ttyUSB0";
        QTest::newRow("port for the run") << QStringList{"--port", "COM1=/dev/pts/3", "read-setup"}
                                          << "read-setup port=COM1=/dev/pts/3";
        QTest::newRow("flags") << QStringList{"--demo", "--yes", "read-base", "x", "--force"}
                               << "read-base x demo yes force";
        QTest::newRow("ASCII names")
            << QStringList{"write-setup", "--mode", "auto",        "--period", "8min",
                           "--relay",     "reset",  "--backlight", "in-use"}
            << "write-setup mode=1 period=4 relay=2 backlight=1";
        QTest::newRow("set") << QStringList{"set", "f", "007", "34.12"} << "set f 7 34.12";
        QTest::newRow("clear") << QStringList{"clear", "f", "600", "1"} << "clear f 600 1";
        QTest::newRow("import-csv") << QStringList{"import-csv", "--skip-bad", "c", "f", "--force"}
                                    << "import-csv c f force skip-bad";
        QTest::newRow("export-csv, stdout") << QStringList{"export-csv", "f"} << "export-csv f";
        QTest::newRow("backup") << QStringList{"backup", "d"} << "backup d";
        QTest::newRow("ports") << QStringList{"ports"} << "ports";
        QTest::newRow("ports named") << QStringList{"ports", "com2", "/dev/ttyUSB0", "--probe"}
                                     << "ports COM2 /dev/ttyUSB0 probe";
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
        QTest::newRow("no file") << QStringList{"show"} << "takes 1";
        QTest::newRow("one file") << QStringList{"diff", "a"} << "takes 2";
        QTest::newRow("extra") << QStringList{"read-setup", "x"} << "takes 0";
        for (const char* n : {"0", "601", "+5", "5x", "0x1", "1000", " 5"})
            QTest::addRow("object %s", n) << QStringList{"read-number", n} << "object number";
        for (const char* t : {"256.0", "1.2.3", "12", ".5", "12.", "1,2", "1.0256"})
            QTest::addRow("transmitter %s", t)
                << QStringList{"write-number", "1", t} << "transmitter number";
        for (const char* m : {"3", "ручной", "MANUAL", "РУЧНОЙ "})
            QTest::addRow("mode %s", m)
                << QStringList{"write-setup", "--mode", m} << "--mode takes";
        for (const char* p : {"5", "22", "2", "0", "OFF", "10 МИН", "5min"})
            QTest::addRow("period '%s'", p)
                << QStringList{"write-setup", "--period", p} << "--period takes";
        QTest::newRow("nothing to write") << QStringList{"write-setup"} << "at least one";
        QTest::newRow("setting elsewhere")
            << QStringList{"read-setup", "--relay", "1"} << "belong to write-setup";
        QTest::newRow("force elsewhere") << QStringList{"show", "a", "--force"} << "--force";
        QTest::newRow("bare device") << QStringList{"--port", "ttyUSB0", "read-setup"} << "--port";
        QTest::newRow("COM5") << QStringList{"--port", "COM5", "read-setup"} << "--port takes";
        QTest::newRow("demo, port")
            << QStringList{"--demo", "--port", "COM1", "read-setup"} << "--demo";
        QTest::newRow("probe elsewhere") << QStringList{"read-setup", "--probe"} << "--probe";
        QTest::newRow("ports, mapping") << QStringList{"ports", "COM1=/dev/x"} << "ports takes";
        QTest::newRow("ports, bare name") << QStringList{"ports", "ttyUSB0"} << "ports takes";
        QTest::newRow("port twice")
            << QStringList{"--port", "COM1", "--port", "COM2", "read-setup"} << "more than once";
        for (const char* option : {"--port", "--log-file", "--trace-file", "--period"})
            QTest::addRow("empty %s", option)
                << QStringList{option, "", "write-setup"} << "empty value";
        QTest::newRow("set, bad object")
            << QStringList{"set", "f", "601", "1.1"} << "object number";
        QTest::newRow("set, bad number") << QStringList{"set", "f", "1", "1,1"} << "transmitter";
        QTest::newRow("clear, bad object")
            << QStringList{"clear", "f", "1", "x"} << "object number";
        QTest::newRow("clear, no object") << QStringList{"clear", "f"} << "at least 2";
        QTest::newRow("export-csv, 3") << QStringList{"export-csv", "f", "c", "x"} << "1 or 2";
        QTest::newRow("force on set")
            << QStringList{"set", "f", "1", "1.1", "--force"} << "--force";
        QTest::newRow("skip-bad elsewhere")
            << QStringList{"new", "f", "--skip-bad"} << "--skip-bad";

        QTest::newRow("help for nothing") << QStringList{"help", "frobnicate"} << "unknown command";
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

    // help COMMAND and COMMAND --help: that command's usage and its own options.
    void commandHelp_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("usage");
        QTest::addColumn<QString>("option"); // one of its own; "" for none
        QTest::newRow("help write-setup")
            << QStringList{"help", "write-setup"} << "write-setup [--mode M]"
            << "--backlight <B>";
        QTest::newRow("read-base --help")
            << QStringList{"read-base", "--help"} << "read-base FILE [--force]"
            << "--force";
        QTest::newRow("--help diff") << QStringList{"--help", "diff"} << "diff FILE1 FILE2"
                                     << "";
    }
    void commandHelp() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, usage);
        QFETCH(QString, option);
        CliOptions options;
        CliResult stop;
        QVERIFY(!Parse(arguments, options, stop));
        QCOMPARE(stop.exitCode, int(exitDone));
        QVERIFY2(stop.out.startsWith("Usage: kelvarin-cli [options] " + usage),
                 qPrintable(stop.out));
        QCOMPARE(stop.out.contains("\n  --"), !option.isEmpty());
        QVERIFY(stop.out.contains(option));
    }

    void show() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.kvb"));
        WriteFile(path, FileBytes(*Base({{7, 12, 34}, {600, 0, 255}, {9, 255, 0}})));
        CliOptions options;
        options.files = QStringList{path};
        QCOMPARE(RunShow(options).out,
                 QStringLiteral("007  034.012\n009  000.255\n600  255.000\n"));
        options.json = true;
        const QJsonObject json = QJsonDocument::fromJson(RunShow(options).out.toUtf8()).object();
        QCOMPARE(json[QStringLiteral("learned")].toInt(), 3);
        QCOMPARE(json[QStringLiteral("objects")].toArray().at(0).toObject(),
                 (QJsonObject{{"object", 7}, {"transmitter", "034.012"}}));
    }

    void diff_data() {
        QTest::addColumn<ObjectRecord>(
            "other"); // object 7 of the second file; the first has 034.012
        QTest::addColumn<QString>("expected");
        QTest::newRow("same") << ObjectRecord{7, 12, 34} << "";
        QTest::newRow("other number") << ObjectRecord{7, 12, 35} << "007  034.012  035.012\n";
        QTest::newRow("not learned") << ObjectRecord{7, 255, 255} << "007  034.012  255.255\n";
        // Only the low 8 bits reach the console; the number field never does.
        QTest::newRow("high bits") << ObjectRecord{7, 12 + 0x100, 34} << "";
        QTest::newRow("number field") << ObjectRecord{0, 12, 34} << "";
    }
    void diff() {
        QFETCH(ObjectRecord, other);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        CliOptions options;
        options.files =
            QStringList{dir.filePath(QStringLiteral("1")), dir.filePath(QStringLiteral("2"))};
        WriteFile(options.files[0], FileBytes(*Base({{7, 12, 34}})));
        auto second = Base();
        (*second)[7] = other;
        WriteFile(options.files[1], FileBytes(*second));
        const CliResult result = RunDiff(options);
        QCOMPARE(result.out, expected);
        QCOMPARE(result.exitCode, int(expected.isEmpty() ? exitDone : exitDifferences));
        options.json = true;
        const QJsonObject json = QJsonDocument::fromJson(RunDiff(options).out.toUtf8()).object();
        QCOMPARE(json[QStringLiteral("differences")].toArray().size(), expected.isEmpty() ? 0 : 1);
    }

    // Preparing a base file in steps, as a script would: each step's status, and what
    // the file f shows at the end ("-" when there is none).
    void prepareFile_data() {
        QTest::addColumn<QList<QStringList>>("steps"); // {"write", NAME, TEXT} makes a file
        QTest::addColumn<QList<int>>("statuses");
        QTest::addColumn<QString>("shown");
        using Steps = QList<QStringList>;
        const QStringList newF{"new", "{f}"};
        QTest::newRow("new, set, clear") << Steps{newF,
                                                  {"set", "{f}", "7", "34.12"},
                                                  {"set", "{f}", "9", "1.2"},
                                                  {"clear", "{f}", "9", "8"}}
                                         << QList<int>{0, 0, 0, 0} << "007  034.012\n";
        QTest::newRow("set needs the file")
            << Steps{{"set", "{f}", "7", "1.2"}, {"clear", "{f}", "7"}} << QList<int>{5, 5} << "-";
        QTest::newRow("new keeps a file, --force replaces it") << Steps{newF,
                                                                        {"set", "{f}", "7", "1.2"},
                                                                        newF,
                                                                        {"show", "{f}"},
                                                                        {"new", "--force", "{f}"}}
                                                               << QList<int>{0, 0, 5, 0, 0} << "";
        QTest::newRow("import") << Steps{{"write", "c",
                                          "Объект;file\r\n7;34.12\r\n9;\r\n\r\n600;0.255"},
                                         {"import-csv", "{c}", "{f}"}}
                                << QList<int>{0, 0} << "007  034.012\n600  000.255\n";
        QTest::newRow("a bad line stops the import")
            << Steps{{"write", "c", "7;34.12\n8;34,12\n"}, {"import-csv", "{c}", "{f}"}}
            << QList<int>{0, 5} << "-";
        QTest::newRow("--skip-bad leaves it out")
            << Steps{{"write", "c", "7;34.12\n8;34,12\n"},
                     {"import-csv", "--skip-bad", "{c}", "{f}"}}
            << QList<int>{0, 0} << "007  034.012\n";
        QTest::newRow("nothing to import")
            << Steps{{"write", "c", "object;file\n"}, {"import-csv", "{c}", "{f}"}}
            << QList<int>{0, 5} << "-";
        QTest::newRow("import keeps a file")
            << Steps{newF, {"write", "c", "7;1.2"}, {"import-csv", "{c}", "{f}"}}
            << QList<int>{0, 0, 5} << "";
        QTest::newRow("export, import back")
            << Steps{{"new", "{g}"},
                     {"set", "{g}", "7", "34.12"},
                     {"set", "{g}", "600", "0.255"},
                     {"export-csv", "{g}", "{c}"},
                     {"import-csv", "{c}", "{f}"}}
            << QList<int>{0, 0, 0, 0, 0} << "007  034.012\n600  000.255\n";
        QTest::newRow("export never over its base")
            << Steps{newF, {"set", "{f}", "7", "1.2"}, {"export-csv", "{f}", "{f}"}}
            << QList<int>{0, 0, 5} << "007  001.002\n";
        QTest::newRow("import never over its list")
            << Steps{{"write", "f", "7;1.2"}, {"import-csv", "--force", "{f}", "{f}"}}
            << QList<int>{0, 5} << "-";
    }
    void prepareFile() {
        QFETCH(QList<QStringList>, steps);
        QFETCH(QList<int>, statuses);
        QFETCH(QString, shown);
        QTemporaryDir dir;
        for (qsizetype i = 0; i < steps.size(); ++i) {
            QStringList step = steps[i];
            if (step[0] == QLatin1String("write")) {
                WriteFile(dir.filePath(step[1]), step[2].toUtf8());
                continue;
            }
            step.replaceInStrings(QRegularExpression(QStringLiteral("\\{(\\w+)\\}")),
                                  dir.path() + "/\\1");
            CliOptions options;
            CliResult result;
            QVERIFY2(Parse(step, options, result), qPrintable(result.err));
            result = RunFileCommand(options);
            QVERIFY2(result.exitCode == statuses[i],
                     qPrintable(step.join(' ') + ": " + result.err));
        }
        CliOptions options;
        options.files = QStringList{dir.filePath(QStringLiteral("f"))};
        const CliResult result = RunShow(options);
        QCOMPARE(result.exitCode == exitDone ? result.out : QStringLiteral("-"), shown);
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
        QCOMPARE(ObjectJson(7, uint8_t(byte1), uint8_t(byte2))["learned"].toBool(),
                 !expected.endsWith(QStringLiteral("not learned")));
    }

    void setup_data() {
        QTest::addColumn<QList<int>>("shown"); // mode, period, relay, backlight codes, version
        QTest::addColumn<QString>("lines");
        QTest::addColumn<QByteArray>("period"); // its JSON
        QTest::newRow("as the window starts")
            << QList<int>{0, 5, 0, 1, 1, 5}
            << "mode       РУЧНОЙ (manual)\nperiod     10 МИН (10min)\nrelay      2 МИН (2min)\n"
               "backlight  ПРИ РАБОТЕ (in-use)\nversion    1.05\n"
            << QByteArray(R"({"code":5,"minutes":10,"name":"10min","text":"10 МИН"})");
        QTest::newRow("off, past the lists")
            << QList<int>{3, 1, 2, 7, 2, 10}
            << "mode       3 (not in the window's list)\nperiod     ВЫКЛ (off)\n"
               "relay      СБРОС (reset)\nbacklight  7 (not in the window's list)\nversion    "
               "2.10\n"
            << QByteArray(R"({"code":1,"minutes":null,"name":"off","text":"ВЫКЛ"})");
        // The window shows "10 МИН" for such a period; it is not what the console holds.
        QTest::newRow("period past the list")
            << QList<int>{0, 15, 0, 1, 1, 5}
            << "mode       РУЧНОЙ (manual)\nperiod     15 (not in the window's list)\n"
               "relay      2 МИН (2min)\nbacklight  ПРИ РАБОТЕ (in-use)\nversion    1.05\n"
            << QByteArray(R"({"code":15,"minutes":null,"name":null,"text":null})");
    }
    void setup() {
        QFETCH(QList<int>, shown);
        QFETCH(QString, lines);
        QFETCH(QByteArray, period);
        const SetupShown settings{uint8_t(shown[0]), uint8_t(shown[1]), uint8_t(shown[2]),
                                  uint8_t(shown[3]), shown[4],          shown[5]};
        QCOMPARE(SetupLines(settings), lines);
        const QJsonObject json = SetupJson(settings);
        QCOMPARE(QJsonDocument(json["period"].toObject()).toJson(QJsonDocument::Compact), period);
        QCOMPARE(json["mode"].toObject()["code"].toInt(), shown[0]);
    }

    void progress_data() {
        QTest::addColumn<int>("blocks");
        QTest::addColumn<QString>("expected");
        // A block is 52 bytes on the line, 216.7 ms at 2400 baud.
        QTest::newRow("start") << 0 << "blocks  0/60 [------------------------------] 13 s left";
        QTest::newRow("half") << 30 << "blocks 30/60 [###############---------------]  7 s left";
        QTest::newRow("last") << 59 << "blocks 59/60 [#############################-]  1 s left";
        QTest::newRow("done") << 60 << "blocks 60/60 [##############################]  0 s left";
    }
    void progress() {
        QFETCH(int, blocks);
        QFETCH(QString, expected);
        QCOMPARE(ProgressLine(blocks), expected);
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
        QTest::newRow("new over a file") << QStringList{"new", "{good}"} << 5 << "--force"
                                         << "";
        QTest::newRow("no port chosen") << QStringList{"read-setup"} << 3 << "OFF"
                                        << "";
        // --json: one object for every outcome, failures too.
        QTest::newRow("json usage")
            << QStringList{"--json", "read-number", "0"} << 1 << "Usage:"
            << "{\"command\":\"read-number\",\"error\":\"the object number is 1..600, not 0\","
               "\"exit\":1,\"schema\":1}\n";
        QTest::newRow("json CSV on stdout")
            << QStringList{"--json", "export-csv", "{good}"} << 1 << "needs CSV"
            << "{\"command\":\"export-csv\",\"error\":\"export-csv --json needs CSV: standard "
               "output takes the CSV itself\",\"exit\":1,\"schema\":1}\n";
        QTest::newRow("json file")
            << QStringList{"--json", "show", "{dir}/none"} << 5 << "none"
            << "{\"command\":\"show\",\"error\":\"{dir}/none: No such file or directory\","
               "\"exit\":5,\"schema\":1}\n";
        QTest::newRow("json log file")
            << QStringList{"--json", "--log-file", "{dir}/no/l", "show", "{good}"} << 1
            << "log file"
            << "{\"command\":\"show\",\"error\":\"cannot open the log file {dir}/no/l: No such "
               "file or directory\",\"exit\":1,\"schema\":1}\n";
        QTest::newRow("json no port")
            << QStringList{"--json", "read-setup"} << 3 << "OFF"
            << "{\"command\":\"read-setup\",\"error\":\"no port chosen: the window's port list "
               "stands at OFF; give --port\",\"exit\":3,\"schema\":1}\n";
        // A result that does not reach standard output is no success.
        QTest::newRow("full disk")
            << QStringList{"show", "{good}"} << 5 << "standard output: No space left on device"
            << "-";
        QTest::newRow("reader gone")
            << QStringList{"show", "{good}"} << 5 << "standard output: Broken pipe"
            << "-";
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
        QSettings(dir.filePath(QStringLiteral("profile/Merovane_Kelvar_VX-418K/Kelvarin.conf")),
                  QSettings::IniFormat)
            .setValue(QStringLiteral("Merovane_Kelvar_VX-418K/NumComPort"), 4);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           dir.filePath(QStringLiteral("profile")));
        QProcess cli;
        cli.setProcessEnvironment(environment);
        if (QTest::currentDataTag() == QLatin1String("full disk"))
            cli.setStandardOutputFile(QStringLiteral("/dev/full"));
        if (QTest::currentDataTag() == QLatin1String("reader gone"))
            cli.setChildProcessModifier([] {
                int ends[2];
                if (::pipe(ends) == 0 && ::dup2(ends[1], STDOUT_FILENO) >= 0)
                    ::close(ends[0]);
            });
        cli.start(QStringLiteral(KELVARIN_CLI_EXE), arguments);
        QVERIFY(cli.waitForFinished(30000));
        const QString errText = QString::fromUtf8(cli.readAllStandardError());
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), exitCode);
        QVERIFY2(errText.contains(err), qPrintable(errText));
        if (out != QLatin1String("-"))
            QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput()),
                     out.replace(QStringLiteral("{dir}"), dir.path()));
        QCOMPARE(QFileInfo(dir.filePath(QStringLiteral("good"))).size(), qint64(good.size()));
    }

    void runnerReadsNumber() {
        RunnerRig rig;
        rig.Make({"--json", "read-number", "7"});
        QCOMPARE(rig.requests, (QStringList{"open COM1", "read 7"}));
        rig.runner->OnObjectShown({7, 12, 34, 1});
        rig.runner->OnFinished(Outcome::Completed);
        QCOMPARE(rig.requests, (QStringList{"open COM1", "read 7", "close", "done 0"}));
        QCOMPARE(rig.out, QStringLiteral(R"({"command":"read-number","exit":0,"learned":true,)"
                                         R"("object":7,"schema":1,"transmitter":"034.012"})"
                                         "\n"));
    }

    // How a console command ends when it does not end well: the port closed, the
    // status, why on standard error, and with --json the one object saying so.
    void runnerEnds_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("blocks");       // the progress shown of a base operation
        QTest::addColumn<int>("outcome");      // -1: the port fails to open, -2: SIGTERM
        QTest::addColumn<QList<int>>("shown"); // the object reply shown: number, bytes 1, 2
        QTest::addColumn<QString>("ending");
        QTest::addColumn<QString>("err");
        const QStringList write7{"write-number", "7", "1.2"};
        QTest::newRow("no answer")
            << write7 << 0 << int(Outcome::NoAnswer) << QList<int>() << "close done 2"
            << "did not answer on COM1 (/dev/ttyS0, only its default";
        QTest::newRow("declined") << write7 << 0 << int(Outcome::Declined) << QList<int>()
                                  << "close done 6"
                                  << "not overwritten";
        // Completed without an object reply shown: no result is made up.
        QTest::newRow("nothing shown")
            << write7 << 0 << int(Outcome::Completed) << QList<int>() << "close done 2"
            << "no object";
        QTest::newRow("not stored")
            << write7 << 0 << int(Outcome::Completed) << QList<int>{7, 255, 255} << "close done 7"
            << "reports object 007 as 255.255, not 001.002 as written";
        QTest::newRow("another object")
            << write7 << 0 << int(Outcome::Completed) << QList<int>{8, 1, 2} << "close done 7"
            << "reports object 008 as 002.001";
        QTest::newRow("port fails") << write7 << 0 << -1 << QList<int>() << "open COM1 done 3"
                                    << "COM1 (/dev/ttyS0) cannot be opened: Permission denied";
        QTest::newRow("write-base, no answer")
            << QStringList{"write-base", "f"} << 28 << int(Outcome::NoAnswer) << QList<int>()
            << "close done 2"
            << "; the console took 280 of the 600 objects";
        QTest::newRow("write-base, SIGTERM")
            << QStringList{"write-base", "f"} << 28 << -2 << QList<int>() << "close done 143"
            << "interrupted; the console took 280 of the 600 objects";
    }
    void runnerEnds() {
        QFETCH(QStringList, arguments);
        QFETCH(int, blocks);
        QFETCH(int, outcome);
        QFETCH(QList<int>, shown);
        QFETCH(QString, ending);
        QFETCH(QString, err);
        for (const bool json : {false, true}) {
            RunnerRig rig;
            rig.Make(arguments + (json ? QStringList{"--json"} : QStringList{}), false, false,
                     nullptr, outcome != -1);
            for (int position = 1; position <= blocks; ++position)
                rig.runner->OnProgressShown(position, 60);
            if (shown.size() == 3)
                rig.runner->OnObjectShown({shown[0], shown[1], shown[2], 1});
            if (outcome == -1) {
                rig.runner->OnPortFailed("COM1", "/dev/ttyS0", "Permission denied");
            } else if (outcome == -2) {
                rig.runner->OnInterrupted(SIGTERM);
            } else {
                rig.runner->OnProgressShown(0, 60); // the give-up sets the bar back
                rig.runner->OnFinished(Outcome(outcome));
            }
            QCOMPARE(rig.requests.mid(rig.requests.size() - 2).join(' '), ending);
            QVERIFY2(rig.err.contains(err), qPrintable(rig.err));
            if (json) {
                const QJsonObject object = QJsonDocument::fromJson(rig.out.toUtf8()).object();
                QCOMPARE(object["exit"].toInt(), ending.section(' ', -1).toInt());
                QCOMPARE(object["schema"].toInt(), 1);
                QVERIFY(object["error"].toString().contains(err));
                QCOMPARE(object["objects"].toInt(), blocks * 10);
            } else {
                // What the console reported goes out all the same.
                QCOMPARE(rig.out.isEmpty(), shown.isEmpty());
            }
        }
    }

    void runnerOverwrite_data() {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("terminal");
        QTest::addColumn<bool>("operatorSaysYes");
        QTest::addColumn<int>("questions");
        QTest::addColumn<QString>("answer");
        QTest::newRow("--yes") << true << true << false << 0 << "answer yes";
        QTest::newRow("terminal y") << false << true << true << 1 << "answer yes";
        QTest::newRow("terminal n") << false << true << false << 1 << "answer no";
        QTest::newRow("no terminal") << false << false << true << 0 << "answer no";
    }
    void runnerOverwrite() {
        QFETCH(bool, yes);
        QFETCH(bool, terminal);
        QFETCH(bool, operatorSaysYes);
        QFETCH(int, questions);
        QFETCH(QString, answer);
        RunnerRig rig;
        rig.terminalAnswer = operatorSaysYes;
        rig.Make(QStringList{"write-number", "7", "34.12"} +
                     (yes ? QStringList{"--yes"} : QStringList{}),
                 terminal);
        QCOMPARE(rig.requests.last(), QStringLiteral("write 7 12 34"));
        rig.runner->OnOverwriteAsked();
        QCOMPARE(rig.requests.last(), answer);
        QCOMPARE(rig.questions.size(), questions);
        QVERIFY(!questions || rig.questions[0].contains(QStringLiteral("007 with 034.012? [y/N]")));
        QCOMPARE(rig.err.contains(QStringLiteral("no terminal")), !terminal && !yes);
    }

    // Only the given setting changes; the others go back exactly as read, even
    // codes the window's lists have no item for.
    void runnerWritesSetup() {
        RunnerRig rig;
        rig.Make({"write-setup", "--relay", "СБРОС"});
        QCOMPARE(rig.requests.last(), QStringLiteral("read-setup"));
        rig.runner->OnSettingsShown({3, 0, 0, 7, 1, 5});
        rig.runner->OnFinished(Outcome::Completed);
        QCOMPARE(rig.out, QString());
        // The write goes out once the session is back from reporting the read.
        QTRY_COMPARE(rig.requests.last(), QStringLiteral("setup 3 0 2 7"));
        rig.runner->OnSettingsShown({3, 0, 2, 7, 1, 5});
        rig.runner->OnFinished(Outcome::Completed);
        QVERIFY(rig.out.contains(QStringLiteral("relay      СБРОС (reset)\n")));
        QCOMPARE(rig.requests.last(), QStringLiteral("done 0"));
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
            rig.runner->OnInterrupted(SIGINT);
        rig.runner->OnFinished(Outcome::Completed); // too late after Ctrl+C
        QCOMPARE(rig.requests.mid(1).join(' '),
                 QStringLiteral("read-base close done %1").arg(exitCode));
        QCOMPARE(QFileInfo(path).size(), exitCode == 0 ? qint64(baseFileSize) : 0);
        QCOMPARE(rig.out, exitCode == 0
                              ? QStringLiteral("saved 600 objects (1 learned) to %1\n").arg(path)
                              : QString());
    }

    void runnerVerifiesBase() {
        RunnerRig rig;
        rig.Make({"verify-base", "f.kvb"});
        rig.objectBase.fileTable = *Base({{7, 12, 34}, {8, 1, 2}});
        rig.objectBase.deviceTable = *Base({{8, 1, 2}});
        rig.objectBase.deviceBaseComplete = 1;
        rig.runner->OnFinished(Outcome::Completed);
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
        CLogFile logFile;
        QVERIFY(logFile.Open(dir.filePath(QStringLiteral("log"))));
        RunnerRig rig;
        rig.Make(QStringList{"write-base", "f"} + (quiet ? QStringList{"--quiet"} : QStringList{}),
                 false, terminal, &logFile);
        rig.runner->OnProgressShown(30, 60);
        const QString line = QStringLiteral("12:00:00 - Установлена связь с ПЦН");
        rig.runner->OnLogLine(line);
        const QString bar =
            QStringLiteral("\rblocks 30/60 [###############---------------]  7 s left");
        QCOMPARE(rig.err, quiet      ? QString()
                          : terminal ? bar + "\r\x1b[K" + line + '\n' + bar
                                     : line + '\n');
        QFile log(dir.filePath(QStringLiteral("log")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(log.readAll()), line + '\n');
    }

    // The bash completion, run in bash as the shell runs it: words so far, the last
    // one being completed, and what it offers.
    void completion_data() {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QStringList>("offered");
        const auto names = [](std::span<const char* const> items) {
            QStringList texts;
            for (const char* item : items)
                texts << QString::fromLatin1(item);
            return texts;
        };
        QTest::newRow("commands") << QStringList{"re"}
                                  << QStringList{"read-base", "read-number", "read-setup"};
        QTest::newRow("after an option")
            << QStringList{"--demo", "wr"}
            << QStringList{"write-base", "write-number", "write-setup"};
        QTest::newRow("help COMMAND") << QStringList{"help", "sh"} << QStringList{"show"};
        QTest::newRow("options") << QStringList{"read-base", "--fo"} << QStringList{"--force"};
        QTest::newRow("port") << QStringList{"--port", "CO"}
                              << QStringList{"COM1", "COM2", "COM3", "COM4"};
        QTest::newRow("port=") << QStringList{"--port", "=", "COM"}
                               << QStringList{"COM1", "COM2", "COM3", "COM4"};
        QTest::newRow("mode") << QStringList{"write-setup", "--mode", ""} << names(modeNames);
        QTest::newRow("period") << QStringList{"write-setup", "--period", ""} << names(periodNames);
        QTest::newRow("relay") << QStringList{"write-setup", "--relay", ""} << names(relayNames);
        QTest::newRow("backlight")
            << QStringList{"write-setup", "--backlight", ""} << names(backlightNames);
        QTest::newRow("file") << QStringList{"--port", "COM1", "read-base", "{dir}/ba"}
                              << QStringList{"{dir}/base.kvb"};
        QTest::newRow("second file")
            << QStringList{"diff", "{dir}/base.kvb", "{dir}/b"} << QStringList{"{dir}/base.kvb"};
        QTest::newRow("import-csv, FILE") << QStringList{"import-csv", "{dir}/base.kvb", "{dir}/b"}
                                          << QStringList{"{dir}/base.kvb"};
        QTest::newRow("backup, a folder")
            << QStringList{"backup", "{dir}/"} << QStringList{"{dir}/sub"};
        QTest::newRow("no third file")
            << QStringList{"diff", "{dir}/base.kvb", "{dir}/base.kvb", "{dir}/b"} << QStringList{};
    }
    void completion() {
        QFETCH(QStringList, words);
        QFETCH(QStringList, offered);
        QTemporaryDir dir;
        WriteFile(dir.filePath(QStringLiteral("base.kvb")), {});
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
        words.replaceInStrings(QStringLiteral("{dir}"), dir.path());
        offered.replaceInStrings(QStringLiteral("{dir}"), dir.path());
        QProcess bash;
        bash.start(QStringLiteral("bash"),
                   QStringList{"--norc", "--noprofile", "-c",
                               "source \"$0\" && function=$(complete -p kelvarin-cli) && "
                               "function=${function#*-F } && COMP_WORDS=(kelvarin-cli \"$@\") && "
                               "COMP_CWORD=$# && ${function%% *} && printf '%s\\n' "
                               "\"${COMPREPLY[@]}\"",
                               KELVARIN_CLI_COMPLETION} +
                       words);
        QVERIFY(bash.waitForFinished(10000));
        QCOMPARE(bash.readAllStandardError(), QByteArray());
        QStringList got =
            QString::fromUtf8(bash.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        got.sort();
        offered.sort();
        QCOMPARE(got, offered);
    }

    void ctrlCReachesTheEventLoop() {
        CInterruptWatch watch;
        QVERIFY(watch.IsWatching());
        QSignalSpy interrupted(&watch, &CInterruptWatch::interrupted);
        std::raise(SIGINT);
        QVERIFY(interrupted.wait(5000));
        QCOMPARE(interrupted[0][0].toInt(), SIGINT);
    }
};

KELVARIN_TEST_MAIN(TestKelvarinCli)
#include "tst_KelvarinCli.moc"
