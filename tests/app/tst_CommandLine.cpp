#include "common/TestMain.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>

namespace {

constexpr int exitTimeout = 30000; // ms; both answer at once, this is for a loaded machine

// The environment of a terminal without a display: --help and --version must not
// need one.
QProcessEnvironment WithoutDisplay() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    return environment;
}

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run RunToEnd(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessEnvironment(WithoutDisplay());
    process.start(program, arguments);
    Run run;
    if (!process.waitForFinished(exitTimeout) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// The options that help lines start with ("  -V, -v, --version   Displays...").
QSet<QString> OptionsIn(const QString& help) {
    static const QRegularExpression optionLine(QStringLiteral("^\\s+(-[^ ]*(?: [^ ]+)*)"));
    static const QRegularExpression option(QStringLiteral("(?<![^\\s,])--?[A-Za-z][a-z-]*"));
    QSet<QString> options;
    for (const QString& line : help.split('\n')) {
        const QRegularExpressionMatch head = optionLine.match(line);
        if (!head.hasMatch())
            continue;
        for (const QRegularExpressionMatch& match : option.globalMatch(head.captured(1)))
            options.insert(match.captured());
    }
    return options;
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    // Every option has its line in --help and its entry in the manual page, so
    // that neither text can drift from the program.
    void helpAndManualNameEveryOption_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("manual");
        QTest::addColumn<QStringList>("options");
        QTest::newRow("kelvarin") << QStringLiteral(KELVARIN_EXE)
                                  << QStringLiteral(KELVARIN_SOURCE_DIR "/app/kelvarin.1.in")
                                  << QStringList{"-h",     "--help",    "-V",
                                                 "-v",     "--version", "--log-file",
                                                 "--port", "--demo",    "--trace-file"};
        QTest::newRow("kelvarin-cli")
            << QStringLiteral(KELVARIN_CLI_EXE)
            << QStringLiteral(KELVARIN_SOURCE_DIR "/cli/kelvarin-cli.1.in")
            << QStringList{"-h",      "--help",      "-V",         "-v",          "--version",
                           "--port",  "--demo",      "--json",     "--quiet",     "--yes",
                           "--probe", "--force",     "--skip-bad", "--mode",      "--period",
                           "--relay", "--backlight", "--log-file", "--trace-file"};
        QTest::newRow("kelvarin-sim")
            << QStringLiteral(KELVARIN_SIM_EXE)
            << QStringLiteral(KELVARIN_SOURCE_DIR "/sim/kelvarin-sim.1.in")
            << QStringList{"--device",
                           "--paced",
                           "--break-after",
                           "--learned",
                           "--console-version",
                           "--silent",
                           "--answer-copy",
                           "--reply-letter",
                           "--bad-checksum",
                           "--bad-line-end",
                           "--partial",
                           "--noise",
                           "--chatter",
                           "--answer-twice",
                           "--delay",
                           "--hold-up",
                           "--fixed-index",
                           "--damage-reply",
                           "--flood",
                           "-h",
                           "--help",
                           "-V",
                           "--version"};
    }
    void helpAndManualNameEveryOption() {
        QFETCH(QString, program);
        QFETCH(QString, manual);
        QFETCH(QStringList, options);
        const Run run = RunToEnd(program, {QStringLiteral("--help")});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.err, QString());
        // Exactly these: an option added to the program without a word in its help,
        // or a help line left for an option that is gone, shows up here.
        const QSet<QString> named = OptionsIn(run.out);
        const QSet<QString> expected(options.cbegin(), options.cend());
        QCOMPARE(named, expected);
        // Each option has a description on its line, not just its name.
        for (const QString& line : run.out.split('\n')) {
            const QString trimmed = line.trimmed();
            if (trimmed.startsWith(QStringLiteral("-")))
                QVERIFY2(trimmed.contains(QRegularExpression(QStringLiteral("\\s{2,}\\S"))),
                         qPrintable(line));
        }
        // And each has its entry in the manual page, as a word of its own there
        // ("--help" is not found in "--help-all", nor "-h" in "--help").
        QFile file(manual);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString page = QString::fromUtf8(file.readAll()).remove(QLatin1Char('\\'));
        for (const QString& option : options) {
            const QRegularExpression word(
                QStringLiteral("(?<![\\w-])%1(?![\\w-])").arg(QRegularExpression::escape(option)));
            QVERIFY2(page.contains(word), qPrintable(option));
        }
    }

    void versionIsTheProjectVersion_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("expected");
        const struct {
            const char* name;
            const char* program;
            const char* version;
        } programs[] = {{"kelvarin", KELVARIN_EXE, "Kelvarin " KELVARIN_VERSION "\n"},
                        {"kelvarin-cli", KELVARIN_CLI_EXE, "kelvarin-cli " KELVARIN_VERSION "\n"},
                        {"kelvarin-sim", KELVARIN_SIM_EXE, "kelvarin-sim " KELVARIN_VERSION "\n"}};
        for (const auto& [name, program, version] : programs) {
            for (const char* option : {"--version", "-V"})
                QTest::addRow("%s %s", name, option) << program << option << version;
        }
    }
    void versionIsTheProjectVersion() {
        QFETCH(QString, program);
        QFETCH(QString, option);
        QFETCH(QString, expected);
        const Run run = RunToEnd(program, {option});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, expected);
    }

    void unknownOptionFails_data() {
        QTest::addColumn<QString>("program");
        QTest::newRow("kelvarin") << QStringLiteral(KELVARIN_EXE);
        QTest::newRow("kelvarin-sim") << QStringLiteral(KELVARIN_SIM_EXE);
    }
    void unknownOptionFails() {
        QFETCH(QString, program);
        const Run run = RunToEnd(program, {QStringLiteral("--baud"), QStringLiteral("9600")});
        QVERIFY(run.exitCode > 0);
        QVERIFY2(run.err.contains(QStringLiteral("baud")), qPrintable(run.err));
        QCOMPARE(run.out, QString());
    }

    void simRefusesAMalformedConsoleVersion_data() {
        QTest::addColumn<QString>("version");
        QTest::newRow("trailing letter") << "1.5x";
        QTest::newRow("two points") << "1.5.0";
        QTest::newRow("no minor") << "1.";
        QTest::newRow("no point") << "105";
        QTest::newRow("signed") << "+1.05";
        QTest::newRow("minor too large") << "1.256";
    }
    void simRefusesAMalformedConsoleVersion() {
        QFETCH(QString, version);
        const Run run = RunToEnd(QStringLiteral(KELVARIN_SIM_EXE),
                                 {QStringLiteral("--console-version"), version});
        QVERIFY(run.exitCode > 0);
        QVERIFY2(run.err.contains(QStringLiteral("--console-version")), qPrintable(run.err));
        QCOMPARE(run.out, QString());
    }

    // An option's value as the next argument or after "="; every run here stops
    // before the console starts, at the first thing it refuses.
    void simTakesBothSpellings_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");
        const QString needsDevice = QStringLiteral("--break-after needs --device");
        QTest::newRow("-h") << QStringList{"-h"} << 0 << "Usage: kelvarin-sim";
        QTest::newRow("values after =")
            << QStringList{"--learned=25", "--hold-up=6,9", "--flood=mixed", "--break-after=1"} << 2
            << needsDevice;
        QTest::newRow("values as arguments")
            << QStringList{"--learned", "25", "--hold-up", "6,9", "--break-after", "1"} << 2
            << needsDevice;
        QTest::newRow("empty value after =")
            << QStringList{"--device="} << 2 << "--device needs a path";
        QTest::newRow("value to a switch")
            << QStringList{"--silent=yes"} << 2 << "--silent takes no value";
    }
    void simTakesBothSpellings() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        const Run run = RunToEnd(QStringLiteral(KELVARIN_SIM_EXE), arguments);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(
            (exitCode ? run.err : run.out).startsWith(exitCode ? "kelvarin-sim: " + said : said),
            qPrintable(run.out + run.err));
    }

    // The log line stays as it always was; the reason goes to standard error.
    void portThatCannotBeOpenedSaysWhyOnStandardError() {
        QTemporaryDir dir;
        const QString logPath = dir.filePath(QStringLiteral("run.log"));
        QProcessEnvironment environment = WithoutDisplay();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           dir.filePath(QStringLiteral("profile")));
        QProcess kelvarin;
        kelvarin.setProcessEnvironment(environment);
        kelvarin.start(QStringLiteral(KELVARIN_EXE),
                       {QStringLiteral("--port"), QStringLiteral("COM1=/nonexistent/kelvarin-tty"),
                        QStringLiteral("--log-file"), logPath});
        QVERIFY(kelvarin.waitForStarted(exitTimeout));

        QString err;
        QTRY_VERIFY_WITH_TIMEOUT((err += QString::fromUtf8(kelvarin.readAllStandardError()),
                                  err.contains(QString::fromLocal8Bit(std::strerror(ENOENT)))),
                                 exitTimeout);
        QVERIFY2(err.contains(QStringLiteral("COM1 (/nonexistent/kelvarin-tty) cannot be opened")),
                 qPrintable(err));
        QFile log(logPath);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.value(2), // after the run's header and the start
                 QStringLiteral("Порт COM1 занят другим приложением или отсутствует"));

        kelvarin.kill();
        kelvarin.waitForFinished(exitTimeout);
    }
};

KELVARIN_TEST_MAIN(TestCommandLine)
#include "tst_CommandLine.moc"
