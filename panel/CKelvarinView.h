#pragma once

#include "exchange/CExchangeSession.h"
#include "panel/CLogList.h"

#include <QComboBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QWidget>

class CLogFile;
class CPortList;
class CRewriteDlg;

// The operator panel: the log, the port list, the six buttons, the object and
// settings editors and the progress bar at fixed pixel positions, with the eight
// labels painted between them. It drives the exchange session with what its
// controls hold at a click, and shows what the session reports.
class CKelvarinView : public QWidget {
    Q_OBJECT
public:
    // The view drives session and shows what it reports, and its port list does
    // what portList says; both must outlive the view. logFile, when given,
    // receives a copy of every log line and must outlive the view too. The port is
    // opened by whoever made the view, once everything listens.
    CKelvarinView(CExchangeSession& session, CPortList& portList, CLogFile* logFile = nullptr,
                  QWidget* parent = nullptr);
    ~CKelvarinView() override;

    // The one way a line gets into the log: appended at the end, then line
    // count - 5 is made the top line so the newest line shows at the bottom.
    void appendLogLine(const QString& line);

    // Ctrl+P: the print dialog, then the labels on the chosen printer.
    void OnFilePrint();

    CExchangeSession& Session() { return session; }
    const CExchangeSession& Session() const { return session; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static void SelectListItem(QComboBox& list, int index);
    NumberOperands TakeNumberOperands() const;
    SetupOperands TakeSetupOperands() const;
    void ShowObject(const ObjectShown& object);
    void ShowSettings(const SetupShown& settings);
    void ShowProgress(int position, int maximum);
    void AskOverwrite();

    // Controls, in the order of their ids' table.
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

    CExchangeSession& session;
    CLogFile* logFile;
    QPointer<CRewriteDlg> rewriteDlg;
    // The settings as the console last reported them (the lists' first items
    // before any reply), and what the operator changed in the lists since: "Write
    // Setup" sends back unchanged what a list cannot show.
    SetupShown reportedSetup;
    SetupChange setupChange;
};
