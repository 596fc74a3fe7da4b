#include "common/TestMain.h"

#include "base/BaseFileCodec.h"
#include "cli/CCliRunner.h"
#include "link/CComPort.h"
#include "link/CLineTrace.h"
#include "link/ProfileNames.h"
#include "sim/CSimPty.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int sampleObjects = 25;

// The letters of the requests, a run of one letter as "R*60".
QString RequestLetters(CSimPty& sim) {
    QStringList runs;
    QChar last;
    int count = 0;
    auto close = [&] {
        if (count)
            runs << (count > 1 ? QStringLiteral("%1*%2").arg(last).arg(count) : QString(last));
    };
    for (const Telegram& request : sim.Requests()) {
        const QChar letter = QLatin1Char(char(request[1]));
        if (letter != last) {
            close();
            last = letter;
            count = 0;
        }
        ++count;
    }
    close();
    return runs.join(QLatin1Char(' '));
}

// A base file of what the simulated console holds, object 7 changed when told.
QByteArray SimBaseFile(CSimPty& sim, bool changeObject7) {
    auto table = std::make_unique<ObjectTable>();
    sim.WithConsole([&](CSimConsole& console) {
        for (int k = 1; k <= objectCount; ++k)
            (*table)[k] = {k, console.base[k].byte1, console.base[k].byte2};
        return 0;
    });
    if (changeObject7)
        (*table)[7] = {7, 1, 2};
    const BaseFileBytes bytes = EncodeBaseFile(*table);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

// A pseudo-terminal that becomes the program's controlling terminal, apart from its
// standard input and error: the test reads what is asked there and types on the master.
struct ProgramTerminal {
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    QByteArray slavePath;
    QByteArray shown;
    ProgramTerminal() {
        if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0)
            slavePath = ptsname(master);
    }
    ~ProgramTerminal() { close(master); }
    void Type(const char* text) const {
        [[maybe_unused]] const ssize_t written = write(master, text, strlen(text));
    }
    const QByteArray& Shown() {
        char bytes[256];
        ssize_t got = 0;
        while ((got = read(master, bytes, sizeof bytes)) > 0)
            shown.append(bytes, got);
        return shown;
    }
};

// A runner for read-number 7 on a session that the test ticks itself.
struct InProcess {
    CliOptions options;
    PortChoice port;
    CObjectBase objectBase;
    std::unique_ptr<CExchangeSession> session;
    std::unique_ptr<CCliRunner> runner;
    QString err;
    explicit InProcess(CSimPty& sim) {
        options.command = CliCommand::ReadNumber;
        options.commandName = QStringLiteral("read-number");
        options.objectNumber = 7;
        port.portName = QStringLiteral("COM1");
        port.mapping.SetOverride(port.portName, QString::fromStdString(sim.SlavePath()));
        session = std::make_unique<CExchangeSession>(objectBase, port.mapping);
        runner =
            std::make_unique<CCliRunner>(options, port, objectBase,
                                         CliTerminal{[](const QString&) { return true; },
                                                     [this](const QString& text) { err += text; },
                                                     false,
                                                     false,
                                                     {}},
                                         nullptr);
        ConnectSession(*runner, *session);
    }
    void Ticks(int count) {
        for (int tick = 0; tick < count; ++tick)
            session->ExchangeTick();
    }
};

// A run of kelvarin-cli to its end.
struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
    explicit CliRun(const QStringList& arguments) {
        QProcess cli;
        cli.start(QStringLiteral(KELVARIN_CLI_EXE), arguments);
        if (!cli.waitForFinished(30000))
            return;
        exitCode = cli.exitCode();
        out = QString::fromUtf8(cli.readAllStandardOutput());
        err = QString::fromUtf8(cli.readAllStandardError());
    }
};

// "# 2024-05-14T14:49:33+02:00 ": how a header line starts.
const QString headerStart =
    QStringLiteral("^# \\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d(Z|[+-]\\d\\d:\\d\\d) ");

} // namespace

class TestCliOnConsole : public QObject {
    Q_OBJECT
    std::unique_ptr<CSimPty> sim;
    QTemporaryDir dir;

    // The program in a session of its own: with no controlling terminal, or with
    // terminal's as its own.
    void StartProgram(QProcess& cli, QStringList arguments,
                      const ProgramTerminal* terminal = nullptr) {
        arguments.prepend(QStringLiteral("--port=") + QString::fromStdString(sim->SlavePath()));
        for (QString& argument : arguments)
            argument.replace(QRegularExpression(QStringLiteral("\\{(\\w+)\\}")),
                             dir.path() + "/\\1");
        const QByteArray tty = terminal ? terminal->slavePath : QByteArray();
        cli.setChildProcessModifier([tty] {
            ::setsid();
            if (!tty.isEmpty())
                ::close(::open(tty.constData(), O_RDWR));
        });
        cli.start(QStringLiteral(KELVARIN_CLI_EXE), arguments);
        QVERIFY(cli.waitForStarted());
    }

private slots:
    void init() {
        sim = std::make_unique<CSimPty>();
        QVERIFY(sim->IsOpen());
        sim->WithConsole([](CSimConsole& console) {
            console.LearnSample(sampleObjects);
            return 0;
        });
        sim->Start();
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("backups")));
        QFile file(dir.filePath(QStringLiteral("same")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(SimBaseFile(*sim, false));
        file.close();
        QFile other(dir.filePath(QStringLiteral("other")));
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write(SimBaseFile(*sim, true));
    }
    void cleanup() {
        sim.reset();
        QFile::remove(dir.filePath(QStringLiteral("read")));
        QFile::remove(dir.filePath(QStringLiteral("trace")));
        QDir(dir.filePath(QStringLiteral("backups"))).removeRecursively();
    }

    void command_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("input"); // "tty:y", "tty:n", "tty:^C" or empty for a pipe
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("requests");
        QTest::addColumn<QString>("out");
        QTest::newRow("read-number") << QStringList{"read-number", "7"} << "" << 0 << "C"
                                     << "007  100.007  learned\n";
        QTest::newRow("write-number, not learned")
            << QStringList{"write-number", "30", "12.34"} << "" << 0 << "C D"
            << "030  012.034  learned\n";
        QTest::newRow("overwrite --yes")
            << QStringList{"--yes", "write-number", "7", "12.34"} << "" << 0 << "C D"
            << "007  012.034  learned\n";
        QTest::newRow("overwrite, terminal y")
            << QStringList{"write-number", "7", "12.34"} << "tty:y" << 0 << "C D"
            << "007  012.034  learned\n";
        QTest::newRow("overwrite, terminal n")
            << QStringList{"write-number", "7", "12.34"} << "tty:n" << 6 << "C"
            << "";
        QTest::newRow("overwrite, Ctrl+C at the question")
            << QStringList{"write-number", "7", "12.34"} << "tty:^C" << 130 << "C"
            << "";
        QTest::newRow("overwrite, no terminal")
            << QStringList{"write-number", "7", "12.34"} << "" << 6 << "C"
            << "";
        QTest::newRow("read-setup") << QStringList{"read-setup"} << "" << 0 << "E"
                                    << "mode       РУЧНОЙ (manual)\nperiod     4 МИН (4min)\n"
                                       "relay      2 МИН (2min)\nbacklight  ПРИ РАБОТЕ (in-use)\n"
                                       "version    1.05\n";
        QTest::newRow("write-setup")
            << QStringList{"write-setup", "--period", "off"} << "" << 0 << "E F"
            << "mode       РУЧНОЙ (manual)\nperiod     ВЫКЛ (off)\nrelay      2 МИН (2min)\n"
               "backlight  ПРИ РАБОТЕ (in-use)\nversion    1.05\n";
        QTest::newRow("read-base") << QStringList{"read-base", "{read}"} << "" << 0 << "R*60"
                                   << "saved 600 objects (25 learned) to {read}\n";
        QTest::newRow("write-base") << QStringList{"write-base", "{other}"} << "" << 0 << "W*60"
                                    << "wrote 600 objects (25 learned) from {other}\n";
        QTest::newRow("verify-base, equal")
            << QStringList{"verify-base", "{same}"} << "" << 0 << "R*60"
            << "";
        QTest::newRow("verify-base, different")
            << QStringList{"verify-base", "{other}"} << "" << 4 << "R*60"
            << "007  100.007  002.001\n";
    }
    void command() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, input);
        QFETCH(int, exitCode);
        QFETCH(QString, requests);
        QFETCH(QString, out);
        ProgramTerminal terminal;
        QProcess cli;
        StartProgram(cli, arguments, input.isEmpty() ? nullptr : &terminal);
        if (!input.isEmpty()) {
            // Asked on the terminal, whatever standard input and error are.
            QTRY_VERIFY(terminal.Shown().contains("[y/N]"));
            if (input == QStringLiteral("tty:^C"))
                kill(pid_t(cli.processId()), SIGINT);
            else
                terminal.Type(input.endsWith('y') ? "y\n" : "n\n");
        }
        QString err;
        QVERIFY(cli.waitForFinished(30000));
        err += QString::fromUtf8(cli.readAllStandardError());
        QVERIFY2(cli.exitCode() == exitCode, qPrintable(err));
        QVERIFY2(!err.contains(QStringLiteral("DTR/RTS")), qPrintable(err));
        QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput()),
                 out.replace(QStringLiteral("{"), dir.path() + '/').remove('}'));
        QCOMPARE(RequestLetters(*sim), requests);
        QVERIFY(!err.contains(QStringLiteral("[y/N]")));
        QVERIFY2(err.contains(QStringLiteral("Подключен порт ") +
                              QString::fromStdString(sim->SlavePath())),
                 qPrintable(err));
        // What went on the line reached the console.
        const auto object7 = sim->WithConsole([](CSimConsole& c) { return c.base[7]; });
        const bool overwritten = arguments.contains(QStringLiteral("7")) && exitCode == 0 &&
                                 arguments.contains(QStringLiteral("write-number"));
        QCOMPARE(int(object7.byte1), overwritten ? 34 : arguments.contains("write-base") ? 1 : 7);
        if (arguments.contains(QStringLiteral("write-setup")))
            QCOMPARE(sim->WithConsole([](CSimConsole& c) { return int(c.settings.periodCode); }),
                     1);
        if (arguments.contains(QStringLiteral("read-base")))
            QCOMPARE(QFileInfo(dir.filePath(QStringLiteral("read"))).size(), qint64(baseFileSize));
    }

    void portCannotBeOpened_data() {
        QTest::addColumn<int>("mode");  // of a pseudo-terminal of root and dialout; 0: no device
        QTest::addColumn<bool>("held"); // by another program, with a lock
        QTest::addColumn<QString>("reason");
        QTest::newRow("no such device") << 0 << false << QString::fromLocal8Bit(strerror(ENOENT));
        QTest::newRow("user not in the dialout group")
            << 0660 << false << "permission denied (the user is not in the dialout group?)";
        QTest::newRow("held by another program") << 0666 << true << "held by another program";
    }
    // A device is opened as the user nobody (the tests run as root, who may open
    // any), from a working folder other than /dev that nobody may enter.
    void portCannotBeOpened() {
        QFETCH(int, mode);
        QFETCH(bool, held);
        QFETCH(QString, reason);
        ProgramTerminal terminal;
        QString device = QStringLiteral("/nonexistent/tty");
        QStringList asNobody;
        if (mode) {
            if (geteuid() != 0)
                QSKIP("opening as another user needs root");
            device = QString::fromLocal8Bit(terminal.slavePath);
            const group* dialout = getgrnam("dialout");
            QVERIFY(dialout);
            QCOMPARE(chown(QFile::encodeName(device).constData(), 0, dialout->gr_gid), 0);
            QCOMPARE(chmod(QFile::encodeName(device).constData(), mode_t(mode)), 0);
            asNobody = QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                   KELVARIN_CLI_EXE};
        }
        const int holder =
            held ? open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY) : -1;
        if (held)
            QCOMPARE(flock(holder, LOCK_EX | LOCK_NB), 0);
        QProcess cli;
        cli.setWorkingDirectory(QStringLiteral("/"));
        cli.start(asNobody.isEmpty() ? QStringLiteral(KELVARIN_CLI_EXE) : QStringLiteral("setpriv"),
                  asNobody + QStringList{"--port=" + device, "read-setup"});
        QVERIFY(cli.waitForFinished(30000));
        if (holder >= 0)
            close(holder);
        QCOMPARE(QString::fromUtf8(cli.readAllStandardError()),
                 QStringLiteral("Порт %1 занят другим приложением или отсутствует\n"
                                "kelvarin-cli: %1 cannot be opened: %2\n")
                     .arg(device, reason));
        QCOMPARE(cli.exitCode(), 3);
    }

    // A pseudo-terminal has no modem lines to set: one debug line when debug
    // lines are asked for, nothing otherwise.
    void noModemLinesIsNoWarning_data() {
        QTest::addColumn<QString>("loggingRules"); // QT_LOGGING_RULES
        QTest::newRow("--quiet") << "";
        QTest::newRow("--quiet, debug lines asked for") << "kelvarin.link.debug=true";
    }
    void noModemLinesIsNoWarning() {
        QFETCH(QString, loggingRules);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_LOGGING_RULES"), loggingRules);
        QProcess cli;
        cli.setProcessEnvironment(environment);
        StartProgram(cli, {"--quiet", "read-setup"});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 0);
        const QString err = QString::fromUtf8(cli.readAllStandardError());
        const int debugLines = loggingRules.isEmpty() ? 0 : 1;
        QCOMPARE(err.count(QLatin1Char('\n')), debugLines);
        QCOMPARE(err.count(QStringLiteral("DTR/RTS")), debugLines);
    }

    // A signal in the middle of a base operation stops it as Ctrl+C does: the port
    // closes, nothing is saved, and a write says what the console took of it.
    void signalStops_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<QString>("said");
        QTest::newRow("Ctrl+C, read-base")
            << QStringList{"read-base", "{read}"} << int(SIGINT) << "nothing was saved";
        QTest::newRow("Ctrl+C, backup")
            << QStringList{"backup", "{backups}"} << int(SIGINT) << "nothing was saved";
        QTest::newRow("SIGTERM, write-base")
            << QStringList{"write-base", "{other}"} << int(SIGTERM) << "the console took";
        QTest::newRow("SIGHUP, write-base")
            << QStringList{"write-base", "{other}"} << int(SIGHUP) << "the console took";
    }
    void signalStops() {
        QFETCH(QStringList, arguments);
        QFETCH(int, signalNumber);
        QFETCH(QString, said);
        SimFaults slow;
        slow.replyDelayMs = 100;
        sim->SetFaults(slow);
        QProcess cli;
        StartProgram(cli, QStringList{"--trace-file", "{trace}"} + arguments);
        QTRY_VERIFY_WITH_TIMEOUT(sim->Requests().size() >= 3, 10000);
        kill(pid_t(cli.processId()), signalNumber);
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), 128 + signalNumber);
        const QString err = QString::fromUtf8(cli.readAllStandardError());
        QVERIFY2(err.contains(QStringLiteral("interrupted; ") + said), qPrintable(err));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("read"))));
        QCOMPARE(QDir(dir.filePath(QStringLiteral("backups")))
                     .entryList(QDir::Files | QDir::Hidden | QDir::System),
                 QStringList());
        QFile trace(dir.filePath(QStringLiteral("trace")));
        QVERIFY(trace.open(QIODevice::ReadOnly));
        QVERIFY(trace.readAll().trimmed().endsWith(" close"));
        const int requests = int(sim->Requests().size());
        QVERIFY(requests < 60);
        if (arguments.contains(QStringLiteral("write-base"))) {
            // Every answered block had its successor asked for, unless the port
            // closed before that request went out.
            static const QRegularExpression took(QStringLiteral("took (\\d+) of the 600"));
            const int objects = took.match(err).captured(1).toInt();
            QVERIFY2(objects == 10 * (requests - 1) || objects == 10 * requests, qPrintable(err));
        }
    }

    // Two backups with one change on the console between them: the second names the
    // backup before it and the object that changed, as diff does.
    void backupNamesTheChange() {
        const QString folder = dir.filePath(QStringLiteral("backups"));
        QVERIFY(QDir(folder).removeRecursively()); // the first backup makes its folder
        QProcess first;
        StartProgram(first, {"--quiet", "backup", "{backups}"});
        QVERIFY(first.waitForFinished(30000));
        QCOMPARE(first.exitCode(), 0);
        const QStringList firstFiles = QDir(folder).entryList(QDir::Files);
        QCOMPARE(firstFiles.size(), 1);
        QCOMPARE(QFileInfo(folder + '/' + firstFiles[0]).size(), qint64(baseFileSize));
        QVERIFY(QString::fromUtf8(first.readAllStandardOutput()).contains("no earlier backup"));

        sim->WithConsole([](CSimConsole& console) {
            console.base[7].byte1 = 1;
            console.base[7].byte2 = 2;
            return 0;
        });
        // Backups are named by the second they start in.
        QTRY_VERIFY_WITH_TIMEOUT(
            QDateTime::currentDateTime().toString("yyyy-MM-dd_HHmmss'.kvb'") > firstFiles[0], 3000);
        QProcess second;
        StartProgram(second, {"--quiet", "--json", "backup", "{backups}"});
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(second.exitCode(), 0);
        const QJsonObject json = QJsonDocument::fromJson(second.readAllStandardOutput()).object();
        QCOMPARE(json[QStringLiteral("previous")].toString(), folder + '/' + firstFiles[0]);
        QCOMPARE(json[QStringLiteral("differences")].toArray(),
                 (QJsonArray{
                     QJsonObject{{"object", 7}, {"previous", "100.007"}, {"backup", "002.001"}}}));
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 2);
    }

    // kelvarin-cli ports: the suite's console as COM1 of the profile, a silent one
    // as COM2 for the run, and one that another open holds; only they are named, so
    // nothing else is opened.
    void ports_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("out"); // each in the output; {sim}, {silent}, {held}
        const QStringList all{"--port=COM2={silent}", "ports", "COM1", "COM2", "{held}"};
        QTest::newRow("list") << all << 0
                              << QStringList{
                                     "{sim}\n    COM names    COM1\n    access       free\n\n"
                                     "{silent}\n    COM names    COM2\n    access       "
                                     "free\n\n{held}\n    access       held by another "
                                     "program\n\n"};
        QTest::newRow("probe") << all + QStringList{"--probe"} << 0
                               << QStringList{
                                      "{sim}\n    COM names    COM1\n    access       free\n"
                                      "    probe        console, version 1.05\n\n"
                                      "{silent}\n    COM names    COM2\n    access       "
                                      "free\n    probe        no answer within 2 s\n\n"
                                      "{held}\n    access       held by another program\n"
                                      "    probe        not probed: it cannot be opened\n\n"
                                      "the console (version 1.05) answers on {sim} (COM1)\n"};
        QTest::newRow("probe, JSON")
            << all + QStringList{"--probe", "--json"} << 0
            << QStringList{R"("comNames":[{"default":false,"name":"COM1"}],)",
                           R"("device":"{sim}","free":true,)",
                           R"("probe":{"bytes":26,"result":"console","version":"1.05"})",
                           R"("probe":{"bytes":0,"result":"no answer"})",
                           R"("access":"held by another program",)",
                           R"("probe":{"bytes":0,"result":"not probed"})",
                           R"("probed":true)"};
        QTest::newRow("no console")
            << QStringList{"--port=COM2={silent}", "ports", "--probe", "COM2"} << 2
            << QStringList{"no console answered"};
    }
    void ports() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QStringList, out);
        CSimPty silent;
        SimFaults faults;
        faults.silent = true;
        silent.SetFaults(faults);
        silent.Start();
        CSimPty held;
        CComPort holder{CPortMapping()};
        QVERIFY(holder.Open(QString::fromStdString(held.SlavePath())));
        QSettings(profileOrganization, profileApplication)
            .setValue(QStringLiteral("Ports/COM1"), QString::fromStdString(sim->SlavePath()));
        auto devices = [&](QString text) {
            return text.replace(QStringLiteral("{sim}"), QString::fromStdString(sim->SlavePath()))
                .replace(QStringLiteral("{silent}"), QString::fromStdString(silent.SlavePath()))
                .replace(QStringLiteral("{held}"), QString::fromStdString(held.SlavePath()));
        };
        for (QString& argument : arguments)
            argument = devices(argument);
        const CliRun run(arguments);
        QSettings(profileOrganization, profileApplication).remove(QStringLiteral("Ports"));
        QVERIFY2(run.exitCode == exitCode, qPrintable(run.err));
        for (const QString& piece : out)
            QVERIFY2(run.out.contains(devices(piece)), qPrintable(run.out));
        // At most the one "Read Setup" of the probe reached a console.
        const bool probed = arguments.contains(QStringLiteral("--probe"));
        QCOMPARE(RequestLetters(*sim), QString(probed && arguments.contains("COM1") ? "E" : ""));
        QCOMPARE(RequestLetters(silent), QString(probed ? "E" : ""));
        QCOMPARE(RequestLetters(held), QString());
    }

    // Each run's first line in the log file and the trace file: when, which program,
    // what it was asked, on which port; the trace's open line says when it opened.
    void headerLines_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("openLine"); // "" when no port is opened
        QTest::newRow("COM1 for the run")
            << QStringList{"--port=COM1={sim}", "--quiet", "read-number", "7"} << "COM1={sim}"
            << "open COM1 {sim}";
        QTest::newRow("device") << QStringList{"--port", "{sim}", "read-setup"} << "{sim}"
                                << "open {sim}";
        QTest::newRow("demo") << QStringList{"--demo", "read-setup"} << "COM1=/dev/pts/"
                              << "open COM1 /dev/pts/";
        QTest::newRow("no console") << QStringList{"show", "{same}"} << "none"
                                    << "";
        // A refusal comes before either file is opened: neither is made.
        QTest::newRow("stopped before the port")
            << QStringList{"--port", "{sim}", "write-base", "{none}"} << ""
            << "";
    }
    void headerLines() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, port);
        QFETCH(QString, openLine);
        const QString sim_ = QString::fromStdString(sim->SlavePath());
        const QString log = dir.filePath(QStringLiteral("header.log"));
        const QString trace = dir.filePath(QStringLiteral("header.trace"));
        QFile::remove(log);
        QFile::remove(trace);
        arguments = QStringList{"--log-file", log, "--trace-file", trace} + arguments;
        for (QString& argument : arguments)
            argument.replace(QStringLiteral("{sim}"), sim_)
                .replace(QRegularExpression(QStringLiteral("\\{(\\w+)\\}")), dir.path() + "/\\1");
        const CliRun run(arguments);
        QVERIFY2(run.exitCode >= 0, qPrintable(run.err));
        const QString header = headerStart +
                               QRegularExpression::escape(
                                   QStringLiteral("kelvarin-cli " KELVARIN_VERSION ", ") +
                                   arguments.join(' ') + ", port " + port.replace("{sim}", sim_)) +
                               (port.endsWith('/') ? "\\d+$" : "$");
        for (const QString& path : {log, trace}) {
            QFile file(path);
            QCOMPARE(file.open(QIODevice::ReadOnly), !port.isEmpty());
            if (port.isEmpty())
                continue;
            const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
            QVERIFY2(lines[0].contains(QRegularExpression(header)), qPrintable(lines[0]));
            if (path == trace && !openLine.isEmpty())
                QVERIFY2(lines.value(1).contains(QRegularExpression(
                             "^ +0\\.000 " +
                             QRegularExpression::escape(openLine.replace("{sim}", sim_)) +
                             "(\\d+)? at \\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}")),
                         qPrintable(lines.value(1)));
            if (path == log && !openLine.isEmpty())
                QVERIFY(lines.value(1).startsWith(QStringLiteral("Подключен порт ")));
        }
    }

    // The give-up, in the session's own ticks: the repeats at 40 and 80, the end at 120.
    void silentConsoleEndsWith2() {
        SimFaults silent;
        silent.silent = true;
        sim->SetFaults(silent);
        InProcess cli(*sim);
        QSignalSpy done(cli.runner.get(), &CCliRunner::done);
        cli.runner->Start();
        cli.Ticks(119);
        QTRY_COMPARE(sim->Requests().size(), std::size_t(3));
        QCOMPARE(done.size(), 0);
        cli.Ticks(1);
        QCOMPARE(done.size(), 1);
        QCOMPARE(done[0][0].toInt(), 2);
        QVERIFY(cli.err.contains(QStringLiteral("Нет связи с ПЦН")));
    }

    // Busy on block 5 for 9 s, the console then answers all it was sent. A new process
    // retrying at once fails and writes no file; the next one reads the base.
    void retriedReadInANewProcess() {
        SimFaults busy;
        busy.holdUpRequest = 6;
        busy.holdUpMs = 9000;
        sim->SetFaults(busy);
        for (const char* closing :
             {"Нет связи с ПЦН", "не совпали с запросами, база объектов не прочитана",
              "База объектов прочитана из ПЦН"}) {
            QProcess cli;
            StartProgram(cli, {"read-base", "{read}"});
            QVERIFY(cli.waitForFinished(30000));
            const bool read = QByteArray(closing).startsWith("База");
            QVERIFY2(cli.readAllStandardError().contains(closing), closing);
            QCOMPARE(cli.exitCode(), read ? 0 : 2);
            QFile file(dir.filePath(QStringLiteral("read")));
            QCOMPARE(file.open(QIODevice::ReadOnly), read);
            QVERIFY(!read || file.readAll() == SimBaseFile(*sim, false));
        }
    }

    // A reply with a bad checksum, then one cut short, then a good one: each
    // request and what came back, in order, with the receive verdict.
    void traceOfARead() {
        QStringList lines;
        CLineTrace trace(
            [&lines](const std::string& line) {
                lines << QString::fromStdString(line.substr(11)); // without the time
            },
            [] { return std::chrono::steady_clock::now().time_since_epoch(); });
        SimFaults faults;
        faults.badChecksum = true;
        sim->SetFaults(faults);
        InProcess cli(*sim);
        cli.session->SetTrace(&trace);
        cli.runner->Start();
        cli.Ticks(1);
        QTRY_COMPARE(lines.size(), 3);
        faults.badChecksum = false;
        faults.partialReply = true;
        sim->SetFaults(faults);
        cli.Ticks(39); // the first repeat
        QTRY_COMPARE(cli.session->Exchange().Assembler().rxCount, 10);
        cli.Ticks(10); // the cut reply times out
        sim->SetFaults({});
        cli.Ticks(30); // the second repeat
        QTRY_COMPARE(lines.size(), 8);
        const QString request = QStringLiteral(
            "tx 7E 43 00 07 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 D8 0D 0A");
        const QString reply = QStringLiteral(
            "rx 7E 4F 00 07 07 64 A1 00 00 07 57 64 30 30 30 30 30 30 30 30 30 30 30 ");
        QCOMPARE(lines, (QStringList{"open COM1 " + QString::fromStdString(sim->SlavePath()),
                                     request, reply + "2D 0D 0A  checksum error", request,
                                     reply.left(32) + "  time-out after 10 bytes", request,
                                     reply + "77 0D 0A  accepted O", "close"}));
    }
};

KELVARIN_TEST_MAIN(TestCliOnConsole)
#include "tst_CliOnConsole.moc"
