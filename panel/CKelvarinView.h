#pragma once

#include "base/ObjectBase.h"
#include "exchange/CExchangeSession.h"
#include "link/CPortMapping.h"
#include "panel/CLogList.h"

#include <QComboBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QWidget>

class CLogFile;
class CRewriteDlg;

// The operator panel: the log, the port list, the six buttons, the object and
// settings editors and the progress bar at fixed pixel positions, with the eight
// labels painted between them. It drives the exchange session with what its
// controls hold at a click, and shows what the session reports.
class CKelvarinView : public QWidget {
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
    void AskOverwrite();

    // Controls, in the order of their ids' table; the session after them, so that
    // it goes (port closed, reader joined) before any control does.
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
    CExchangeSession session;
    QPointer<CRewriteDlg> rewriteDlg;
};
