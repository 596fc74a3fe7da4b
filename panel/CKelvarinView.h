#pragma once

#include "base/ObjectBase.h"
#include "exchange/CExchange.h"
#include "exchange/ExchangeHost.h"
#include "link/CPortMapping.h"
#include "link/CSerialLink.h"
#include "panel/CLogList.h"

#include <QComboBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QWidget>

class CLogFile;
class CRewriteDlg;
class QPrinter;

// The operator panel: the log, the port list, the six buttons, the object and
// settings editors and the progress bar at fixed pixel positions, with the eight
// labels painted between them. It hosts the exchange engine (whose panel reads and
// writes land on these controls) and the serial link, and paces the exchange with
// a 50 ms timer.
class CKelvarinView : public QWidget, public CExchangeHost {
    Q_OBJECT
public:
    // logFile, when given, receives a copy of every log line and must outlive the view.
    // The port opened at start is the one stored in the profile, or startPort when
    // given: that one is for this run only and leaves the profile as it is.
    CKelvarinView(CObjectBase& objectBase, const CPortMapping& portMapping,
                  CLogFile* logFile = nullptr, const QString& startPort = QString(),
                  QWidget* parent = nullptr);
    ~CKelvarinView() override;

    // The one way a line gets into the log: appended at the end, then line
    // count - 5 is made the top line so the newest line shows at the bottom.
    void appendLogLine(const QString& line);

    // Ctrl+P: the print dialog, then the labels on the chosen printer.
    void OnFilePrint();

    bool IsIdle() const { return exchange.IsIdle(); }
    const CExchange& Exchange() const { return exchange; }
    // The link's last word on a port (why an open failed, a device lost); empty if none.
    QString LastStatusMessage() const { return lastStatusMessage; }

    // CExchangeHost
    std::string TimeOfDay() override;
    void AppendLogLine(const std::string& line) override;
    void WriteTelegram(const Telegram& telegram) override;
    void SetProgressRange(int minimum, int maximum) override;
    void SetProgressStep(int step) override;
    void SetProgressPos(int position) override;
    void StepProgress() override;
    int ObjectNumberPos() override { return objectNumberSpin.value(); }
    int RightTransmitterPos() override { return rightTransmitterSpin.value(); }
    int LeftTransmitterPos() override { return leftTransmitterSpin.value(); }
    int ModeIndex() override { return modeList.currentIndex(); }
    int PeriodIndex() override { return periodList.currentIndex(); }
    int RelayIndex() override { return relayList.currentIndex(); }
    int BacklightIndex() override { return backlightList.currentIndex(); }
    void SetRightTransmitterPos(int value) override { rightTransmitterSpin.setValue(value); }
    void SetLeftTransmitterPos(int value) override { leftTransmitterSpin.setValue(value); }
    void SelectObjectState(int index) override { SelectListItem(objectStateList, index); }
    void SelectMode(int index) override { SelectListItem(modeList, index); }
    void SelectPeriod(int index) override { SelectListItem(periodList, index); }
    void SelectRelay(int index) override { SelectListItem(relayList, index); }
    void SelectBacklight(int index) override { SelectListItem(backlightList, index); }
    void AskOverwrite() override;

signals:
    // The exchange went from idle to busy (false) or back (true).
    void idleChanged(bool idle);
    void statusMessage(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static void SelectListItem(QComboBox& list, int index);
    void OnStatusMessage(const QString& text);
    // Runs one call into the exchange and reports when it left or reached idle.
    template <typename Call> void RunExchange(Call call);

    // Controls, in the order of their ids' table; the link and the exchange after
    // them, so that both go (port closed, reader joined) before any control does.
    CLogList logList;
    QComboBox portList;
    QComboBox objectStateList;
    QProgressBar progress;
    QPushButton readNumberButton;
    QPushButton writeNumberButton;
    QPushButton readBaseButton;
    QPushButton writeBaseButton;
    QSpinBox objectNumberSpin;
    QSpinBox leftTransmitterSpin;
    QSpinBox rightTransmitterSpin;
    QComboBox modeList;
    QComboBox periodList;
    QComboBox relayList;
    QComboBox backlightList;
    QPushButton readSetupButton;
    QPushButton writeSetupButton;

    CLogFile* logFile;
    CSerialLink link;
    CExchange exchange;
    QTimer exchangeTimer;
    QPointer<CRewriteDlg> rewriteDlg;
    int progressStep = 10;
    bool wasIdle = true;
    QString lastStatusMessage;
};
