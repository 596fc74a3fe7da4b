#include "common/FillLine.h"
#include "common/NowhereMapping.h"
#include "common/Telegrams.h"
#include "common/TestMain.h"

#include "common/PanelOnSession.h"
#include "link/CLogFile.h"
#include "panel/CKelvarinView.h"

#include <QAccessible>
#include <QDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>

#include <cerrno>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void StoreNumComPort(int value) {
    QSettings profile(QStringLiteral("Merovane_Kelvar_VX-418K"), QStringLiteral("Kelvarin"));
    profile.setValue(QStringLiteral("Merovane_Kelvar_VX-418K/NumComPort"), value);
}

QString Stamped(int second, const char* message) {
    return QString::asprintf("%02d:%02d:%02d - ", second / 3600, second / 60 % 60, second % 60) +
           QString::fromUtf8(message);
}

// 99 characters and the line end: 100 bytes in the file.
QString NumberedLine(int number) {
    return QStringLiteral("%1 ").arg(number, 6, 10, QLatin1Char('0')) + QString(92, u'x');
}

QByteArray Drain(int fd) {
    QByteArray bytes;
    char buffer[65536];
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, got);
    return bytes;
}

// One telegram from the program, read while its window goes on working.
QByteArray ReadRequest(int master) {
    QByteArray bytes;
    for (int round = 0; round < 500 && bytes.size() < int(telegramSize); ++round) {
        QCoreApplication::processEvents();
        char byte;
        if (::read(master, &byte, 1) == 1)
            bytes.append(byte);
        else
            ::usleep(10000);
    }
    return bytes;
}

} // namespace

class TestPanelBounds : public QObject {
    Q_OBJECT
private slots:
    void init() { StoreNumComPort(4); }

    void logLinesKeepTheirExactText_data() {
        QTest::addColumn<QString>("line");
        QTest::newRow("stamped") << QStringLiteral("07:05:09 - Чтение базы объектов из ПЦН");
        QTest::newRow("bare") << QStringLiteral("Подключен порт COM1");
        QTest::newRow("empty message") << QStringLiteral("23:59:59 - ");
        QTest::newRow("hour 24") << QStringLiteral("24:00:00 - x");
        QTest::newRow("one digit") << QStringLiteral("7:05:09 - x");
        QTest::newRow("no space") << QStringLiteral("07:05:09 -x");
        QTest::newRow("stamp alone") << QStringLiteral("07:05:09");
        QTest::newRow("empty") << QString();
    }
    void logLinesKeepTheirExactText() {
        QFETCH(QString, line);
        CLogLines lines;
        for (const QString& text : {line, QStringLiteral("07:05:09 - x"), line})
            lines.Append(text);
        QCOMPARE(lines.Count(), 3);
        QCOMPARE(lines.Line(0), line);
        QCOMPARE(lines.Line(1), QStringLiteral("07:05:09 - x"));
        QCOMPARE(lines.Line(2), line);
    }

    // Many short runs, and a run too long for one entry: each line is found again.
    void logLinesFindEveryLine() {
        QStringList expected;
        for (int i = 0; i < 300; ++i)
            expected << Stamped(i / 4,
                                i % 2 ? "Ошибка CRC телеграммы" : "Ошибка приема телеграммы");
        for (int i = 0; i < 40000; ++i)
            expected << Stamped(100, "Не верный тип телеграммы");
        expected << QStringLiteral("Все порты закрыты");
        CLogLines lines;
        for (const QString& line : expected)
            lines.Append(line);
        QCOMPARE(lines.Count(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i)
            QCOMPARE(lines.Line(i), expected[i]);
        QCOMPARE(lines.Runs(), qsizetype(300 + 2 + 1));
        QCOMPARE(lines.Texts(), qsizetype(4));
    }

    // What one more line costs must not depend on how many came before it.
    void logAppendCostStaysFlat() {
        CObjectBase objectBase;
        CPanelOnSession panel(objectBase, NowhereMapping());
        CKelvarinView& view = panel.view;
        view.resize(640, 440);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        auto* log = view.findChild<CLogList*>(QStringLiteral("log"));
        auto rowsDrawnAfterAppend = [&](const QString& line) {
            view.appendLogLine(line);
            const qint64 before = log->RowsDrawn();
            log->viewport()->repaint();
            return log->RowsDrawn() - before;
        };
        for (int i = 0; i < 10; ++i)
            view.appendLogLine(Stamped(0, "Ошибка CRC телеграммы"));
        const qint64 early = rowsDrawnAfterAppend(Stamped(0, "Ошибка CRC телеграммы"));
        QVERIFY(early >= log->FullRowsInView() && early <= log->FullRowsInView() + 1);

        // A damaged telegram after another, 3,000 in each of 100 seconds.
        constexpr int lines = 300000;
        for (int i = 0; i < lines; ++i)
            view.appendLogLine(Stamped(1 + i / 3000, "Ошибка CRC телеграммы"));
        QCOMPARE(rowsDrawnAfterAppend(Stamped(101, "Тайм-аут при приеме телеграммы")), early);

        const int count = log->Count();
        QCOMPARE(count, 2 + 11 + lines + 1); // start-up, "Все порты закрыты", the lines above
        QCOMPARE(log->TopIndex(), std::min(count - 5, log->verticalScrollBar()->maximum()));
        QCOMPARE(log->Line(13 + 4500), Stamped(2, "Ошибка CRC телеграммы"));
        QCOMPARE(log->Line(count - 1), Stamped(101, "Тайм-аут при приеме телеграммы"));
        // A run of the same line in one second is kept once.
        QCOMPARE(log->Lines().Runs(), qsizetype(2 + 1 + 100 + 1));
    }

    // A screen reader reads the log line by line, however long it is. However many
    // lines come at once, the bus hears of them, and of the scroll bar that
    // follows them, at most twice: at once, and for the rest when the list has
    // announced nothing for a while.
    void logLinesReachTheAccessibilityBus() {
        CObjectBase objectBase;
        CPanelOnSession panel(objectBase, NowhereMapping());
        CKelvarinView& view = panel.view;
        view.show();
        auto* log = view.findChild<CLogList*>(QStringLiteral("log"));
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(log);
        QVERIFY(list);
        QCOMPARE(list->role(), QAccessible::List);
        QCOMPARE(list->text(QAccessible::Name), QStringLiteral("Log"));
        QCOMPARE(list->childCount(), log->Count());

        QSignalSpy announced(log, &CLogList::linesAnnounced);
        QSignalSpy scrolled(log->verticalScrollBar(), &QScrollBar::valueChanged);
        const int first = log->Count();
        constexpr int lines = 200000;
        auto lineText = [](int i) {
            return Stamped(i / 100, i % 2 ? "Ошибка CRC телеграммы" : "Нет связи с ПЦН");
        };
        for (int i = 0; i < lines; ++i)
            view.appendLogLine(lineText(i));
        QCOMPARE(list->childCount(), log->Count());
        for (int i = 0; i < lines; ++i)
            QCOMPARE(list->child(first + i)->text(QAccessible::Name), lineText(i));
        QTRY_VERIFY(!announced.isEmpty() && announced.last()[1].toInt() == log->Count() - 1);
        QVERIFY(announced.size() <= 2 && scrolled.size() <= 2);
        QVERIFY(announced.first()[0].toInt() <= first);
        if (announced.size() == 2)
            QCOMPARE(announced.last()[0].toInt(), announced.first()[1].toInt() + 1);
        QCOMPARE(log->verticalScrollBar()->value(), log->TopIndex());
        const int deep = first + 123457;
        QCOMPARE(list->child(deep)->text(QAccessible::Name),
                 Stamped(1234, "Ошибка CRC телеграммы"));
        for (const int index : {0, deep, log->Count() - 1}) {
            QAccessibleInterface* line = list->child(index);
            QCOMPARE(line->role(), QAccessible::ListItem);
            QCOMPARE(line->text(QAccessible::Name), log->Line(index));
            QCOMPARE(list->indexOfChild(line), index);
            QCOMPARE(line->parent(), list);
            QCOMPARE(list->child(index), line); // asked again, the same line
        }
        QCOMPARE(list->child(log->Count()), nullptr);
        QVERIFY(list->child(log->Count() - 1)->rect().isValid()); // the log follows its end
        QVERIFY(list->child(0)->state().offscreen);
    }

    // While the operator decides about overwriting, what the console sends waits
    // within the reader's bound and the kernel, and comes in order after the answer.
    void questionHoldsBoundedBytes() {
        CBarePty pty;
        QVERIFY(pty.IsOpen());
        const int master = pty.master;
        const char* slaveName = pty.slaveName;
        CPortMapping mapping;
        mapping.SetOverride(QStringLiteral("COM1"), QString::fromLatin1(slaveName));
        CObjectBase objectBase;
        CPanelOnSession panel(objectBase, mapping, nullptr, QStringLiteral("COM1"));
        CKelvarinView& view = panel.view;
        view.show();
        view.findChild<QSpinBox*>(QStringLiteral("transmitterByte2"))->setValue(34);
        view.findChild<QSpinBox*>(QStringLiteral("transmitterByte1"))->setValue(12);
        for (QPushButton* button : view.findChildren<QPushButton*>())
            if (button->text() == QLatin1String("Write Number"))
                button->click();

        QCOMPARE(ReadRequest(master).at(1), 'C');
        const QByteArray learned = TelegramBytes(FramedTelegram('O', {0, 1, 1, 2}));
        QCOMPARE(::write(master, learned.constData(), learned.size()), ssize_t(learned.size()));
        QTRY_VERIFY(qobject_cast<QDialog*>(QApplication::activeModalWidget()));

        const QByteArray sent =
            FillLine(master, 8 * 1024 * 1024, [] { QCoreApplication::processEvents(); });
        QVERIFY2(sent.size() < 512 * 1024, qPrintable(QString::number(sent.size())));

        qobject_cast<QDialog*>(QApplication::activeModalWidget())->accept();
        QCOMPARE(ReadRequest(master).at(1), 'D');
        const QByteArray written = TelegramBytes(FramedTelegram('O', {0, 1, 12, 34}));
        QCOMPARE(::write(master, written.constData(), written.size()), ssize_t(written.size()));
        auto* log = view.findChild<CLogList*>(QStringLiteral("log"));
        QTRY_VERIFY(log->Line(log->Count() - 1)
                        .endsWith(QStringLiteral(" - Записан объект: 001 - 034.012")));
        QVERIFY(view.Session().IsIdle());
    }

    // A pipe nobody reads for a while: the first failure is told once, the oldest
    // lines wait up to the bound, and when the file takes lines again they go out
    // in order with one line saying how many are missing.
    void logFileKeepsItsBacklogBounded() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("log"));
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        const int reader = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
        CLogFile logFile;
        QVERIFY(logFile.Open(path));
        QSignalSpy failed(&logFile, &CLogFile::writeFailed);
        QSignalSpy resumed(&logFile, &CLogFile::writeResumed);

        int next = 0;
        while (failed.isEmpty())
            logFile.Append(NumberedLine(next++));
        QVERIFY(
            failed.at(0).at(0).toString().contains(QString::fromLocal8Bit(std::strerror(EAGAIN))));
        for (int i = 0; i < 20000; ++i)
            logFile.Append(NumberedLine(next++));
        QCOMPARE(failed.size(), 1);
        QVERIFY(logFile.KeptBytes() <= CLogFile::backlogLimit);
        QVERIFY(logFile.LostLines() > 0);

        QByteArray file;
        while (resumed.isEmpty()) {
            file += Drain(reader);
            logFile.Append(NumberedLine(next++));
        }
        logFile.Append(NumberedLine(next++));
        file += Drain(reader);
        ::close(reader);

        const QStringList lines = QString::fromUtf8(file).split(u'\n', Qt::SkipEmptyParts);
        const QRegularExpression marker(
            QStringLiteral("^kelvarin: (\\d+) lines of the log are missing here: the log file "
                           "could not be written$"));
        const qsizetype kept = lines.indexOf(marker);
        QVERIFY(kept > 0);
        for (qsizetype i = 0; i < kept; ++i)
            QCOMPARE(lines[i], NumberedLine(int(i)));
        const int missing = marker.match(lines[kept]).captured(1).toInt();
        QVERIFY(missing > 0);
        QVERIFY(lines.size() - kept - 1 >= 1);
        for (qsizetype i = kept + 1; i < lines.size(); ++i)
            QCOMPARE(lines[i], NumberedLine(int(i - 1 + missing)));
        QCOMPARE(int(lines.size() - 1 + missing), next);
        QCOMPARE(resumed.size(), 1);
        QVERIFY(resumed.at(0).at(0).toString().contains(QString::number(missing)));
    }
};

KELVARIN_TEST_MAIN(TestPanelBounds)
#include "tst_PanelBounds.moc"
