#include "common/TestMain.h"

#include "base/BaseFileCodec.h"
#include "cli/CCliRunner.h"
#include "link/CLineTrace.h"
#include "sim/CSimPty.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>

#include <csignal>
#include <fcntl.h>
#include <memory>
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

// A pseudo-terminal for the program's standard input; the test types on the master.
struct InputTerminal {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    QString slavePath;
    InputTerminal() {
        if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0)
            slavePath = QString::fromLocal8Bit(ptsname(master));
    }
    ~InputTerminal() { close(master); }
    void Type(const char* text) const {
        [[maybe_unused]] const ssize_t written = write(master, text, strlen(text));
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
                                         CliTerminal{[](const QString&) {},
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

} // namespace

class TestCliOnConsole : public QObject {
    Q_OBJECT
    std::unique_ptr<CSimPty> sim;
    QTemporaryDir dir;

    void StartProgram(QProcess& cli, QStringList arguments, const QString& input = {}) {
        arguments.prepend(QStringLiteral("--port=") + QString::fromStdString(sim->SlavePath()));
        for (QString& argument : arguments)
            argument.replace(QRegularExpression(QStringLiteral("\\{(\\w+)\\}")),
                             dir.path() + "/\\1");
        if (!input.isEmpty())
            cli.setStandardInputFile(input);
        cli.start(QStringLiteral(KELVARIN_CLI_EXE), arguments);
        QVERIFY(cli.waitForStarted());
    }

private slots:
    void initTestCase() {
        // Pseudo-terminals have no modem lines; the warning about it is expected.
        QLoggingCategory::setFilterRules(QStringLiteral("kelvarin.link.warning=false"));
    }
    void init() {
        sim = std::make_unique<CSimPty>();
        QVERIFY(sim->IsOpen());
        sim->WithConsole([](CSimConsole& console) {
            console.LearnSample(sampleObjects);
            return 0;
        });
        sim->Start();
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
                                    << "mode       РУЧНОЙ\nperiod     4 МИН\nrelay      2 МИН\n"
                                       "backlight  ПРИ РАБОТЕ\nversion    1.05\n";
        QTest::newRow("write-setup")
            << QStringList{"write-setup", "--period", "off"} << "" << 0 << "E F"
            << "mode       РУЧНОЙ\nperiod     ВЫКЛ\nrelay      2 МИН\n"
               "backlight  ПРИ РАБОТЕ\nversion    1.05\n";
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
        InputTerminal terminal;
        QProcess cli;
        StartProgram(cli, arguments, input.isEmpty() ? QString() : terminal.slavePath);
        QString err;
        if (input == QStringLiteral("tty:^C")) {
            QTRY_VERIFY((err += QString::fromUtf8(cli.readAllStandardError()),
                         err.contains(QStringLiteral("[y/N]"))));
            kill(pid_t(cli.processId()), SIGINT);
        } else if (!input.isEmpty()) {
            terminal.Type(input.endsWith('y') ? "y\n" : "n\n");
        }
        QVERIFY(cli.waitForFinished(30000));
        err += QString::fromUtf8(cli.readAllStandardError());
        QVERIFY2(cli.exitCode() == exitCode, qPrintable(err));
        QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput()),
                 out.replace(QStringLiteral("{"), dir.path() + '/').remove('}'));
        QCOMPARE(RequestLetters(*sim), requests);
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

    void portCannotBeOpened() {
        QProcess cli;
        cli.start(QStringLiteral(KELVARIN_CLI_EXE),
                  {QStringLiteral("--port=/nonexistent/tty"), QStringLiteral("read-setup")});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 3);
        QVERIFY(cli.readAllStandardError().contains("/nonexistent/tty cannot be opened: "));
    }

    // Ctrl+C in the middle of a read: the port closes, nothing is saved.
    void ctrlCDuringReadBase() {
        SimFaults slow;
        slow.replyDelayMs = 100;
        sim->SetFaults(slow);
        QProcess cli;
        StartProgram(cli, {"read-base", "{read}"});
        QTRY_VERIFY_WITH_TIMEOUT(sim->Requests().size() >= 3, 10000);
        kill(pid_t(cli.processId()), SIGINT);
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), 130);
        QVERIFY(cli.readAllStandardError().contains("interrupted; nothing was saved"));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("read"))));
        QVERIFY(sim->Requests().size() < 60);
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
