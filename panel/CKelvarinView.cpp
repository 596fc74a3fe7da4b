#include "panel/CKelvarinView.h"

#include "exchange/EditorMapping.h"
#include "exchange/SettingTexts.h"
#include "front/CPortList.h"
#include "front/PortChoice.h"
#include "link/CLogFile.h"
#include "panel/CRewriteDlg.h"
#include "panel/PanelLabels.h"

#include <QEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QTime>

namespace {

// appendLogLine makes line count - logTailLines the top line.
constexpr int logTailLines = 5;

// Rectangles are given as left, top, right, bottom, the way the panel was laid out.
void Place(QWidget& control, int left, int top, int right, int bottom) {
    control.setGeometry(left, top, right - left, bottom - top);
}

// A closed drop-down list is one text line high at the top of its rectangle; the
// rest of the rectangle is room for the open list.
void PlaceList(QComboBox& list, int left, int top, int right) {
    list.setGeometry(left, top, right - left, list.sizeHint().height());
}

void Name(QWidget& control, const char* objectName, const char* accessibleName) {
    control.setObjectName(QString::fromLatin1(objectName));
    control.setAccessibleName(QString::fromUtf8(accessibleName));
}

// Screen readers announce a combo box's current item as its name, so the
// description carries what the list is for.
void NameList(QComboBox& list, const char* objectName, const char* accessibleName) {
    Name(list, objectName, accessibleName);
    list.setAccessibleDescription(QString::fromUtf8(accessibleName));
}

template <std::size_t count>
void AddItems(QComboBox& list, const std::array<const char*, count>& items) {
    for (const char* item : items)
        list.addItem(QString::fromUtf8(item));
}

void SetUpSpin(QSpinBox& spin, int minimum, int maximum, int position) {
    spin.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    spin.setWrapping(false);
    spin.setRange(minimum, maximum);
    spin.setValue(position);
}

QString TimeStamp() {
    return QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
}

// A wheel turned over a list or spin that the operator never clicked would change a
// setting in passing (over the port list it closes one port and opens another), so
// such a control takes the wheel only while it has the focus. Left ignored, the
// wheel goes on to the panel, which does nothing with it.
class CWheelNeedsFocus : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Wheel || static_cast<QWidget*>(watched)->hasFocus())
            return false;
        event->ignore();
        return true;
    }
};

} // namespace

CKelvarinView::CKelvarinView(CExchangeSession& exchangeSession, CPortList& ports, CLogFile* logFile,
                             QWidget* parent)
    : QWidget(parent), logList(this), portList(this), objectStateList(this), progress(this),
      readNumberButton(QStringLiteral("Read Number"), this),
      writeNumberButton(QStringLiteral("Write Number"), this),
      readBaseButton(QStringLiteral("Read Base"), this),
      writeBaseButton(QStringLiteral("Write Base"), this), objectNumberSpin(this),
      leftTransmitterSpin(this), rightTransmitterSpin(this), modeList(this), periodList(this),
      relayList(this), backlightList(this), readSetupButton(QStringLiteral("Read Setup"), this),
      writeSetupButton(QStringLiteral("Write Setup"), this), session(exchangeSession),
      logFile(logFile) {
    Place(logList, 20, 20, 490, 150);
    Name(logList, "log", "Log");
    logList.setFrameShape(QFrame::Box);
    appendLogLine(TimeStamp() + QString::fromUtf8(" - Приложение запущено"));

    portList.addItems(PortListTexts());
    PlaceList(portList, 510, 20, 610);
    NameList(portList, "port", "Port");
    connect(&session, &CExchangeSession::logLine, this, &CKelvarinView::appendLogLine);
    connect(&ports, &CPortList::selectionShown, &portList, &QComboBox::setCurrentIndex);
    // activated, not currentIndexChanged: the program's own selections must not
    // count as the operator's pick.
    connect(&portList, &QComboBox::activated, &ports, &CPortList::OnPicked);

    AddItems(objectStateList, objectStateTexts);
    PlaceList(objectStateList, 20, 240, 140);
    NameList(objectStateList, "objectState", "Object state");
    objectStateList.setCurrentIndex(0);

    Place(readBaseButton, 510, 130, 610, 160);
    Place(writeBaseButton, 510, 170, 610, 200);
    Place(readNumberButton, 490, 220, 610, 250);
    Place(writeNumberButton, 490, 260, 610, 290);

    Place(objectNumberSpin, 180, 240, 230, 270);
    Name(objectNumberSpin, "objectNumber", "Object number");
    SetUpSpin(objectNumberSpin, 1, 600, 1);
    Place(leftTransmitterSpin, 300, 240, 350, 270);
    Name(leftTransmitterSpin, "transmitterByte2", "Transmitter byte 2");
    SetUpSpin(leftTransmitterSpin, 0, 255, 0);
    Place(rightTransmitterSpin, 360, 240, 410, 270);
    Name(rightTransmitterSpin, "transmitterByte1", "Transmitter byte 1");
    SetUpSpin(rightTransmitterSpin, 0, 255, 0);

    AddItems(modeList, modeTexts);
    PlaceList(modeList, 20, 330, 140);
    NameList(modeList, "mode", "Mode");
    AddItems(periodList, periodTexts);
    PlaceList(periodList, 160, 330, 250);
    NameList(periodList, "channelPeriod", "Channel period");
    AddItems(relayList, relayTexts);
    PlaceList(relayList, 410, 330, 480);
    NameList(relayList, "relay", "Relay");
    AddItems(backlightList, backlightTexts);
    PlaceList(backlightList, 270, 330, 390);
    NameList(backlightList, "backlight", "Backlight");
    // The first items are what the settings lists would show for these codes.
    ShowSettings(reportedSetup);
    // A list the operator picks from (even the item it shows) or that changes by
    // any hand but a reply's is a setting to send as chosen.
    for (QComboBox* list : {&modeList, &periodList, &relayList, &backlightList}) {
        auto changed = [this, list](int index) {
            if (list == &modeList)
                setupChange.mode = ListIndexByte(index);
            else if (list == &periodList)
                setupChange.periodCode = PeriodCodeForIndex(index);
            else if (list == &relayList)
                setupChange.relay = ListIndexByte(index);
            else
                setupChange.backlight = ListIndexByte(index);
        };
        connect(list, &QComboBox::activated, this, changed);
        connect(list, &QComboBox::currentIndexChanged, this, changed);
    }

    Place(readSetupButton, 490, 305, 610, 335);
    Place(writeSetupButton, 490, 345, 610, 375);
    Place(progress, 20, 170, 490, 200);
    Name(progress, "progress", "Progress");
    progress.setTextVisible(false);
    progress.setRange(0, 100);
    progress.setValue(0);

    // No control has a tab stop: a control has the focus only once it is clicked.
    auto* wheelNeedsFocus = new CWheelNeedsFocus(this);
    for (QWidget* control : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (control->focusPolicy() & Qt::TabFocus)
            control->setFocusPolicy(Qt::ClickFocus);
        if (qobject_cast<QComboBox*>(control) || qobject_cast<QAbstractSpinBox*>(control))
            control->installEventFilter(wheelNeedsFocus);
    }

    connect(&readNumberButton, &QPushButton::clicked, this,
            [this] { session.OnReadNumber(TakeNumberOperands()); });
    connect(&writeNumberButton, &QPushButton::clicked, this,
            [this] { session.OnWriteNumber(TakeNumberOperands()); });
    connect(&readBaseButton, &QPushButton::clicked, &session, &CExchangeSession::OnReadBase);
    connect(&writeBaseButton, &QPushButton::clicked, &session, &CExchangeSession::OnWriteBase);
    connect(&readSetupButton, &QPushButton::clicked, &session, &CExchangeSession::OnReadSetup);
    connect(&writeSetupButton, &QPushButton::clicked, this,
            [this] { session.OnWriteSetup(TakeSetupOperands()); });

    connect(&session, &CExchangeSession::progressShown, this, &CKelvarinView::ShowProgress);
    connect(&session, &CExchangeSession::objectShown, this, &CKelvarinView::ShowObject);
    connect(&session, &CExchangeSession::settingsShown, this, &CKelvarinView::ShowSettings);
    connect(&session, &CExchangeSession::overwriteAsked, this, &CKelvarinView::AskOverwrite);
}

CKelvarinView::~CKelvarinView() {
    // An open confirmation would answer into a session that is going away.
    delete rewriteDlg.data();
}

void CKelvarinView::appendLogLine(const QString& line) {
    logList.Append(line);
    const int count = logList.Count();
    if (count - logTailLines >= 0)
        logList.SetTopIndex(count - logTailLines);
    if (logFile)
        logFile->Append(line);
}

void CKelvarinView::OnFilePrint() {
    QPrinter printer;
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted)
        PrintPanelLabels(printer);
}

// Taken in the order the handlers read them: the number, then the right-hand
// (first) and the left-hand (second) transmitter byte.
NumberOperands CKelvarinView::TakeNumberOperands() const {
    NumberOperands operands;
    operands.objectNumber = static_cast<uint16_t>(objectNumberSpin.value());
    operands.transmitterByte1 = static_cast<uint8_t>(rightTransmitterSpin.value());
    operands.transmitterByte2 = static_cast<uint8_t>(leftTransmitterSpin.value());
    return operands;
}

// What a list shows is what its code was, unless the list could not show the
// reported code: that goes back as it came, unless the operator chose anew.
SetupOperands CKelvarinView::TakeSetupOperands() const {
    return MergeSetup(reportedSetup, setupChange);
}

// The object-number spin keeps the operator's choice: the number a reply names
// is only logged.
void CKelvarinView::ShowObject(const ObjectShown& object) {
    rightTransmitterSpin.setValue(object.transmitterByte1);
    leftTransmitterSpin.setValue(object.transmitterByte2);
    SelectListItem(objectStateList, object.stateIndex);
}

void CKelvarinView::ShowSettings(const SetupShown& settings) {
    SelectListItem(modeList, settings.modeCode);
    SelectListItem(periodList, PeriodIndexForCode(settings.periodCode));
    SelectListItem(relayList, settings.relayCode);
    SelectListItem(backlightList, settings.backlightCode);
    // Selected by the reply, not by the operator.
    reportedSetup = settings;
    setupChange = {};
}

void CKelvarinView::ShowProgress(int position, int maximum) {
    progress.setRange(0, maximum);
    progress.setValue(position);
}

void CKelvarinView::AskOverwrite() {
    rewriteDlg = new CRewriteDlg(this);
    rewriteDlg->setAttribute(Qt::WA_DeleteOnClose);
    // Modal for the operator, but the timer and the port go on while it is open.
    rewriteDlg->setWindowModality(Qt::ApplicationModal);
    connect(rewriteDlg, &QDialog::finished, this,
            [this](int result) { session.AnswerOverwrite(result == QDialog::Accepted); });
    rewriteDlg->show();
}

void CKelvarinView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setBackground(palette().window());
    painter.setBackgroundMode(Qt::OpaqueMode);
    PaintPanelLabels(painter);
}

void CKelvarinView::SelectListItem(QComboBox& list, int index) {
    list.setCurrentIndex(index >= 0 && index < list.count() ? index : -1);
}
