#include "common/TestMain.h"

#include "common/NowhereMapping.h"

#include "base/ObjectBase.h"
#include "common/PanelOnSession.h"
#include "exchange/EditorMapping.h"
#include "link/CLogFile.h"
#include "link/CPortMapping.h"
#include "link/CSerialLink.h"
#include "link/Telegram.h"
#include "panel/CKelvarinView.h"
#include "panel/CRewriteDlg.h"
#include "panel/PanelLabels.h"

#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QTime>

#include <memory>

using enum ExchangeState;

namespace {

void StoreNumComPort(int value) {
    QSettings profile(QStringLiteral("Merovane_Kelvar_VX-418K"), QStringLiteral("Kelvarin"));
    profile.setValue(QStringLiteral("Merovane_Kelvar_VX-418K/NumComPort"), value);
}

QStringList LogLines(CKelvarinView& view) {
    auto* log = view.findChild<CLogList*>(QStringLiteral("log"));
    QStringList lines;
    for (int i = 0; i < log->Count(); ++i)
        lines << log->Line(i);
    return lines;
}

// Dark pixels in a rectangle of an image painted black on white.
int InkIn(const QImage& image, const QRect& area) {
    int ink = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                ++ink;
    return ink;
}

} // namespace

class TestPanel : public QObject {
    Q_OBJECT

private:
    CObjectBase objectBase;
    std::unique_ptr<CPanelOnSession> panel;
    CKelvarinView* view = nullptr;

    void MakePanel(CLogFile* logFile = nullptr) {
        panel.reset();
        panel = std::make_unique<CPanelOnSession>(objectBase, NowhereMapping(), logFile);
        view = &panel->view;
    }

    void ShowSettings(const SetupShown& settings) { emit view->Session().settingsShown(settings); }
    // What "Write Setup" takes from the settings lists at the click.
    SetupOperands WriteSetupOperands() {
        for (QPushButton* button : view->findChildren<QPushButton*>())
            if (button->text() == QStringLiteral("Write Setup"))
                QTest::mouseClick(button, Qt::LeftButton);
        const ExchangeVars& vars = view->Session().Exchange().Vars();
        return {vars.setupMode, vars.setupBacklight, vars.setupRelay, vars.setupPeriodCode};
    }

    template <typename T> T* Control(const char* name) {
        auto* control = view->findChild<T*>(QString::fromLatin1(name));
        if (!control)
            qFatal("no control %s", name);
        return control;
    }

    void Click(const QString& caption) {
        for (QPushButton* button : view->findChildren<QPushButton*>())
            if (button->text() == caption)
                QTest::mouseClick(button, Qt::LeftButton);
    }

    // An "O" reply as the console sends it, through the port's hand-over.
    void ReceiveObjectReply(uint8_t number, uint8_t first, uint8_t second) {
        Telegram reply = BlankTelegram('O');
        reply[2] = 0;
        reply[3] = number;
        reply[4] = first;
        reply[5] = second;
        FrameTelegram(reply);
        emit panel->session.findChild<CSerialLink*>()->bytesReceived(
            QByteArray(reinterpret_cast<const char*>(reply.data()), reply.size()), 0);
    }

private slots:
    void init() {
        StoreNumComPort(4);
        MakePanel();
        view->resize(640, 440);
        view->show();
    }
    void cleanup() { panel.reset(); }

    void startLineIsStampedAndFirst() {
        const QTime before = QTime::currentTime();
        MakePanel();
        const QTime after = QTime::currentTime();

        const QStringList lines = LogLines(*view);
        QVERIFY(!lines.isEmpty());
        const QRegularExpression startLine(
            QStringLiteral("^(\\d\\d:\\d\\d:\\d\\d) - Приложение запущено$"));
        const QRegularExpressionMatch match = startLine.match(lines[0]);
        QVERIFY2(match.hasMatch(), qPrintable(lines[0]));
        const QTime stamp = QTime::fromString(match.captured(1), QStringLiteral("HH:mm:ss"));
        QVERIFY(stamp.isValid());
        if (before <= after) // not across midnight
            QVERIFY(stamp >= QTime(before.hour(), before.minute(), before.second()) &&
                    stamp <= after);
    }

    void storedOffClosesAllPorts() {
        QCOMPARE(LogLines(*view).value(1), QStringLiteral("Все порты закрыты"));
        QCOMPARE(LogLines(*view).size(), 2);
        QCOMPARE(Control<QComboBox>("port")->currentText(), QStringLiteral("OFF"));
    }

    void failedStoredPortKeepsItsItem() {
        StoreNumComPort(1);
        MakePanel();
        QCOMPARE(LogLines(*view).value(1),
                 QStringLiteral("Порт COM2 занят другим приложением или отсутствует"));
        QCOMPARE(Control<QComboBox>("port")->currentText(), QStringLiteral("COM2"));
    }

    void listsStartSelected_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("selected");
        QTest::newRow("port") << "port" << QStringList{"COM1", "COM2", "COM3", "COM4", "OFF"}
                              << "OFF";
        QTest::newRow("object state")
            << "objectState" << QStringList{"НЕ ОБУЧЕН", "ОБУЧЕН"} << "НЕ ОБУЧЕН";
        QTest::newRow("mode") << "mode" << QStringList{"РУЧНОЙ", "АВТОМАТИЧ", "КОМПЬЮТЕР"}
                              << "РУЧНОЙ";
        QTest::newRow("channel period")
            << "channelPeriod" << QStringList{"4 МИН",  "6 МИН",  "8 МИН",  "10 МИН", "12 МИН",
                                              "14 МИН", "16 МИН", "18 МИН", "20 МИН", "ВЫКЛ"}
            << "10 МИН";
        QTest::newRow("backlight")
            << "backlight" << QStringList{"ВЫКЛЮЧЕНА", "ПРИ РАБОТЕ", "ПОСТОЯННО"} << "ПРИ РАБОТЕ";
        QTest::newRow("relay") << "relay" << QStringList{"2 МИН", "3 СЕК", "СБРОС"} << "2 МИН";
    }
    void listsStartSelected() {
        QFETCH(QString, name);
        QFETCH(QStringList, items);
        QFETCH(QString, selected);
        auto* list = Control<QComboBox>(qPrintable(name));
        QStringList actual;
        for (int i = 0; i < list->count(); ++i)
            actual << list->itemText(i);
        QCOMPARE(actual, items);
        QCOMPARE(list->currentText(), selected);
        QVERIFY(!list->isEditable());
    }

    void spinsStopAtTheirEnds_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("initial");
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::newRow("object number") << "objectNumber" << 1 << 1 << 600;
        QTest::newRow("transmitter byte 2") << "transmitterByte2" << 0 << 0 << 255;
        QTest::newRow("transmitter byte 1") << "transmitterByte1" << 0 << 0 << 255;
    }
    void spinsStopAtTheirEnds() {
        QFETCH(QString, name);
        QFETCH(int, initial);
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        auto* spin = Control<QSpinBox>(qPrintable(name));
        QCOMPARE(spin->value(), initial);
        QCOMPARE(spin->text(), QString::number(initial));
        spin->stepDown();
        QCOMPARE(spin->value(), minimum);
        spin->setValue(maximum);
        spin->stepUp();
        QCOMPARE(spin->value(), maximum);
        QTest::keyClick(spin, Qt::Key_Up);
        QCOMPARE(spin->value(), maximum);
    }

    void typedTextOutOfRangeLeavesSpin_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("expected");
        QTest::newRow("in range") << "42" << 42;
        QTest::newRow("not a number") << "abc" << 7;
        QTest::newRow("above range") << "700" << 70; // the third digit is refused as typed
        QTest::newRow("empty") << "" << 7;
    }
    void typedTextOutOfRangeLeavesSpin() {
        QFETCH(QString, typed);
        QFETCH(int, expected);
        auto* spin = Control<QSpinBox>("objectNumber");
        spin->setValue(7);
        view->activateWindow();
        spin->setFocus();
        auto* edit = spin->findChild<QLineEdit*>();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, typed);
        QTest::keyClick(edit, Qt::Key_Enter);
        spin->clearFocus();
        QCOMPARE(spin->value(), expected);
    }

    void controlsSitAtTheirRectangles_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("rectangle"); // left, top, width, height
        QTest::addColumn<bool>("dropDown");
        QTest::newRow("log") << "log" << QRect(20, 20, 470, 130) << false;
        QTest::newRow("port") << "port" << QRect(510, 20, 100, 130) << true;
        QTest::newRow("Read Base") << "Read Base" << QRect(510, 130, 100, 30) << false;
        QTest::newRow("Write Base") << "Write Base" << QRect(510, 170, 100, 30) << false;
        QTest::newRow("progress") << "progress" << QRect(20, 170, 470, 30) << false;
        QTest::newRow("Read Number") << "Read Number" << QRect(490, 220, 120, 30) << false;
        QTest::newRow("Write Number") << "Write Number" << QRect(490, 260, 120, 30) << false;
        QTest::newRow("object state") << "objectState" << QRect(20, 240, 120, 150) << true;
        QTest::newRow("object number") << "objectNumber" << QRect(180, 240, 50, 30) << false;
        QTest::newRow("transmitter 2") << "transmitterByte2" << QRect(300, 240, 50, 30) << false;
        QTest::newRow("transmitter 1") << "transmitterByte1" << QRect(360, 240, 50, 30) << false;
        QTest::newRow("mode") << "mode" << QRect(20, 330, 120, 100) << true;
        QTest::newRow("channel period") << "channelPeriod" << QRect(160, 330, 90, 240) << true;
        QTest::newRow("backlight") << "backlight" << QRect(270, 330, 120, 100) << true;
        QTest::newRow("relay") << "relay" << QRect(410, 330, 70, 100) << true;
        QTest::newRow("Read Setup") << "Read Setup" << QRect(490, 305, 120, 30) << false;
        QTest::newRow("Write Setup") << "Write Setup" << QRect(490, 345, 120, 30) << false;
    }
    void controlsSitAtTheirRectangles() {
        QFETCH(QString, name);
        QFETCH(QRect, rectangle);
        QFETCH(bool, dropDown);
        QWidget* control = view->findChild<QWidget*>(name);
        for (QPushButton* button : view->findChildren<QPushButton*>())
            if (button->text() == name)
                control = button;
        QVERIFY(control);
        QVERIFY(control->isVisible());
        QVERIFY(control->isEnabled());
        QCOMPARE(control->pos(), rectangle.topLeft());
        QCOMPARE(control->width(), rectangle.width());
        if (dropDown) // closed, a list is one line high at the top of its rectangle
            QVERIFY(control->height() > 0 && control->height() < rectangle.height());
        else
            QCOMPARE(control->height(), rectangle.height());
    }

    void controlsCarryAccessibleNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("accessibleName");
        QTest::newRow("log") << "log"
                             << "Log";
        QTest::newRow("port") << "port"
                              << "Port";
        QTest::newRow("object state") << "objectState"
                                      << "Object state";
        QTest::newRow("object number") << "objectNumber"
                                       << "Object number";
        QTest::newRow("left spin") << "transmitterByte2"
                                   << "Transmitter byte 2";
        QTest::newRow("right spin") << "transmitterByte1"
                                    << "Transmitter byte 1";
        QTest::newRow("mode") << "mode"
                              << "Mode";
        QTest::newRow("channel period") << "channelPeriod"
                                        << "Channel period";
        QTest::newRow("backlight") << "backlight"
                                   << "Backlight";
        QTest::newRow("relay") << "relay"
                               << "Relay";
        QTest::newRow("progress") << "progress"
                                  << "Progress";
    }
    void controlsCarryAccessibleNames() {
        QFETCH(QString, name);
        QFETCH(QString, accessibleName);
        QWidget* control = Control<QWidget>(qPrintable(name));
        QCOMPARE(control->accessibleName(), accessibleName);
        if (qobject_cast<QComboBox*>(control))
            QCOMPARE(control->accessibleDescription(), accessibleName);
    }

    void logShowsNewestLineFromTheFifthOn() {
        auto* log = Control<CLogList>("log");
        while (log->Count() < 4)
            view->appendLogLine(QStringLiteral("line %1").arg(log->Count()));
        QCOMPARE(log->TopIndex(), 0);

        for (int n = 5; n <= 40; ++n) {
            view->appendLogLine(QStringLiteral("line %1").arg(n - 1));
            QCOMPARE(log->Count(), n);
            QVERIFY2(n - 1 - log->TopIndex() < log->FullRowsInView(),
                     qPrintable(QString::number(n)));
            // Line n - 5 is the top line unless the list cannot scroll that far.
            QCOMPARE(log->TopIndex(), std::min(n - 5, log->verticalScrollBar()->maximum()));
        }
        QCOMPARE(log->Line(0).mid(8), QStringLiteral(" - Приложение запущено"));
    }

    void logFileGetsEveryLine() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("kelvarin.log"));
        {
            QFile existing(path);
            QVERIFY(existing.open(QIODevice::WriteOnly));
            existing.write("earlier run\n");
        }
        CLogFile logFile;
        QVERIFY(logFile.Open(path));
        MakePanel(&logFile);
        view->appendLogLine(QStringLiteral("Записан объект: 001 - 034.012"));

        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QStringList fileLines =
            QString::fromUtf8(written.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(fileLines, QStringList{"earlier run"} + LogLines(*view));
    }

    void periodCodesSelectItems_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("codeSentBack");
        QTest::newRow("1 is off") << 1 << "ВЫКЛ" << 1;
        QTest::newRow("2") << 2 << "4 МИН" << 2;
        QTest::newRow("10") << 10 << "20 МИН" << 10;
        // Shown as "10 МИН", which the console does not hold: sent back as it came.
        QTest::newRow("0 falls back") << 0 << "10 МИН" << 0;
        QTest::newRow("11 falls back") << 11 << "10 МИН" << 11;
        QTest::newRow("255 falls back") << 255 << "10 МИН" << 255;
    }
    void periodCodesSelectItems() {
        QFETCH(int, code);
        QFETCH(QString, shown);
        QFETCH(int, codeSentBack);
        ShowSettings({.periodCode = uint8_t(code)});
        QCOMPARE(Control<QComboBox>("channelPeriod")->currentText(), shown);
        QCOMPARE(int(WriteSetupOperands().setupPeriodCode), codeSentBack);
    }

    void directListsTakeTheBareIndex_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("byteSentBack");
        QTest::newRow("mode 2") << "mode" << 2 << "КОМПЬЮТЕР" << 2;
        // A code the list has no item for goes back as it came, not as "none" (255).
        QTest::newRow("mode 3 selects nothing") << "mode" << 3 << "" << 3;
        QTest::newRow("relay 1") << "relay" << 1 << "3 СЕК" << 1;
        QTest::newRow("relay 200 selects nothing") << "relay" << 200 << "" << 200;
        QTest::newRow("backlight 0") << "backlight" << 0 << "ВЫКЛЮЧЕНА" << 0;
        QTest::newRow("backlight 3 selects nothing") << "backlight" << 3 << "" << 3;
    }
    void directListsTakeTheBareIndex() {
        QFETCH(QString, name);
        QFETCH(int, index);
        QFETCH(QString, shown);
        QFETCH(int, byteSentBack);
        SetupShown settings;
        (name == "mode"    ? settings.modeCode
         : name == "relay" ? settings.relayCode
                           : settings.backlightCode) = uint8_t(index);
        ShowSettings(settings);
        QCOMPARE(Control<QComboBox>(qPrintable(name))->currentText(), shown);
        const SetupOperands sent = WriteSetupOperands();
        QCOMPARE(int(name == "mode"    ? sent.setupMode
                     : name == "relay" ? sent.setupRelay
                                       : sent.setupBacklight),
                 byteSentBack);
    }

    void objectReplyFillsTheEditor_data() {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("second");
        QTest::addColumn<QString>("state");
        QTest::newRow("255 255 not learned") << 255 << 255 << "НЕ ОБУЧЕН";
        QTest::newRow("255 0 learned") << 255 << 0 << "ОБУЧЕН";
        QTest::newRow("12 34 learned") << 12 << 34 << "ОБУЧЕН";
    }
    void objectReplyFillsTheEditor() {
        QFETCH(int, first);
        QFETCH(int, second);
        QFETCH(QString, state);
        Control<QSpinBox>("objectNumber")->setValue(7);
        Control<QSpinBox>("transmitterByte1")->setValue(1);
        Control<QSpinBox>("transmitterByte2")->setValue(2);
        auto* stateList = Control<QComboBox>("objectState");
        stateList->setCurrentIndex(stateList->findText(state) == 0 ? 1 : 0);
        Click(QStringLiteral("Read Number"));
        QTRY_VERIFY(!view->Session().Exchange().Vars().requestPending);

        ReceiveObjectReply(7, uint8_t(first), uint8_t(second));

        QVERIFY(view->Session().IsIdle());
        QCOMPARE(Control<QSpinBox>("transmitterByte1")->value(), first);
        QCOMPARE(Control<QSpinBox>("transmitterByte2")->value(), second);
        QCOMPARE(stateList->currentText(), state);
        QCOMPARE(Control<QSpinBox>("objectNumber")->value(), 7);
    }

    // A wheel passing over a list or spin changes nothing until the control is
    // clicked, and Tab never moves the focus to another control.
    void wheelAndTabWantAClick_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("port list") << "port";
        QTest::newRow("backlight list") << "backlight";
        QTest::newRow("object number") << "objectNumber";
    }
    void wheelAndTabWantAClick() {
        QFETCH(QString, name);
        auto* control = view->findChild<QWidget*>(name);
        auto* list = qobject_cast<QComboBox*>(control);
        const auto value = [&] {
            return list ? list->currentIndex() : qobject_cast<QSpinBox*>(control)->value();
        };
        const QPoint centre = control->rect().center();
        QWidget* underMouse = control->childAt(centre) ? control->childAt(centre) : control;
        // Sent to the control itself: a wheel sent by hand does not pass from the spin's
        // edit to the spin as the mouse's own does.
        const auto turnWheelUp = [&] {
            QWheelEvent wheel(centre, control->mapToGlobal(centre), {}, {0, 120}, Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(control, &wheel);
        };
        view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(view));
        const int before = value();
        const QStringList lines = LogLines(*view);

        turnWheelUp();
        QCOMPARE(value(), before);
        QVERIFY(!control->hasFocus());
        QCOMPARE(LogLines(*view), lines);
        QSettings profile(QStringLiteral("Merovane_Kelvar_VX-418K"), QStringLiteral("Kelvarin"));
        QCOMPARE(profile.value(QStringLiteral("Merovane_Kelvar_VX-418K/NumComPort")).toInt(), 4);

        QTest::mouseClick(underMouse, Qt::LeftButton, {}, underMouse->rect().center());
        if (list)
            list->hidePopup();
        QTRY_VERIFY(control->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(control->hasFocus());
        turnWheelUp();
        // The port list falls back to "OFF" when the port cannot be opened, and says so.
        QVERIFY(value() != before || LogLines(*view).size() > lines.size());
    }

    void progressBarFollowsTheSession() {
        auto* bar = Control<QProgressBar>("progress");
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 100);
        QCOMPARE(bar->value(), 0);
        emit view->Session().progressShown(5, 8);
        QCOMPARE(bar->maximum(), 8);
        QCOMPARE(bar->value(), 5);
    }

    void overwriteQuestionDoesNotBlock_data() {
        QTest::addColumn<bool>("overwrite");
        QTest::addColumn<QString>("lastLine");
        QTest::newRow("declined") << false << " - Запись объекта номер: 001 отменена";
        QTest::newRow("accepted") << true << " - Записан объект: 001 - 000.000";
    }
    void overwriteQuestionDoesNotBlock() {
        QFETCH(bool, overwrite);
        QFETCH(QString, lastLine);
        QSignalSpy idle(&view->Session(), &CExchangeSession::idleChanged);
        Click(QStringLiteral("Write Number"));
        QCOMPARE(idle.size(), 1);
        QCOMPARE(idle[0][0].toBool(), false);
        QTRY_VERIFY(!view->Session().Exchange().Vars().requestPending);

        ReceiveObjectReply(1, 12, 34); // object 1 already holds 034.012
        // The question is up and the reply handling has returned to us.
        auto* question = qobject_cast<CRewriteDlg*>(QApplication::activeModalWidget());
        QVERIFY(question);
        QVERIFY(question->isVisible());
        QVERIFY(LogLines(*view).last().endsWith(
            QStringLiteral(" - Записываемый объект номер: 001 уже обучен")));

        if (overwrite) {
            question->accept();
            QCOMPARE(view->Session().Exchange().Vars().exchangeState, WriteNumber);
            QCOMPARE(idle.size(), 1);
            ReceiveObjectReply(1, 0, 0);
        } else {
            question->reject();
        }
        QVERIFY(view->Session().IsIdle());
        QCOMPARE(idle.size(), 2);
        QCOMPARE(idle[1][0].toBool(), true);
        QVERIFY2(LogLines(*view).last().endsWith(lastLine), qPrintable(LogLines(*view).last()));
        QTRY_VERIFY(!QApplication::activeModalWidget());
    }

    void labelsAreDrawnBelowAndRightOfTheirPoints() {
        QImage image(640, 440, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setPen(Qt::black);
        const int lineHeight = painter.fontMetrics().height();
        PaintPanelLabels(painter);
        painter.end();

        const QPoint points[] = {{40, 220},  {170, 220}, {320, 220}, {40, 310},
                                 {180, 310}, {290, 310}, {420, 310}, {520, 310}};
        for (const QPoint& point : points) {
            QVERIFY2(InkIn(image, QRect(point, QSize(30, lineHeight))) > 0,
                     qPrintable(QStringLiteral("nothing at %1,%2").arg(point.x()).arg(point.y())));
            QCOMPARE(InkIn(image, QRect(point - QPoint(0, 6), QSize(30, 6))), 0);
            QCOMPARE(InkIn(image, QRect(point - QPoint(6, 0), QSize(6, lineHeight))), 0);
        }
    }

    void printsLabelsToPdf() {
        QTemporaryDir dir;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("panel.pdf")));
        QVERIFY(PrintPanelLabels(printer));

        QFile pdf(printer.outputFileName());
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        const QByteArray bytes = pdf.readAll();
        QVERIFY(bytes.startsWith("%PDF"));
        // A page without text is well under this; the eight labels embed a font.
        QVERIFY2(bytes.size() > 4000, qPrintable(QString::number(bytes.size())));
    }
};

KELVARIN_TEST_MAIN(TestPanel)
#include "tst_Panel.moc"
