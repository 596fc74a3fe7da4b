#pragma once

#include <QObject>
#include <QString>

class CExchangeSession;

// What the window's port list does over the exchange session: at start it opens
// the port the profile keeps (NumComPort), a pick opens that port or closes it
// ("OFF") and is kept for the next start, and the list shows "OFF" after a pick
// that could not be opened.
class CPortList : public QObject {
    Q_OBJECT
public:
    explicit CPortList(CExchangeSession& session, QObject* parent = nullptr);

    // Start-up: the stored port. After a failed open the list still shows it.
    void OpenStored();
    // A port for this run only (--demo): shown and opened, the profile untouched.
    void OpenForRun(const QString& portName);
    // The operator picked item index; stored whatever the outcome.
    void OnPicked(int index);

signals:
    // The item the list is to show; the program's own selection is not a pick.
    void selectionShown(int index);

private:
    CExchangeSession& session;
};
