#include "front/CPortList.h"

#include "exchange/CExchangeSession.h"
#include "front/PortChoice.h"

CPortList::CPortList(CExchangeSession& session, QObject* parent)
    : QObject(parent), session(session) {
    connect(&session, &CExchangeSession::portFailed, this,
            [this] { emit selectionShown(offPortIndex); });
}

void CPortList::OpenStored() {
    const int index = PortIndexFor(StoredPortIndex());
    if (index == offPortIndex) {
        session.TurnPortOff();
        emit selectionShown(offPortIndex);
        return;
    }
    session.OpenPort(PortNameAt(index));
    emit selectionShown(index);
}

void CPortList::OpenForRun(const QString& portName) {
    // Shown first: a failed open turns the list to "OFF" again.
    const int index = PortListTexts().indexOf(portName);
    if (index >= 0 && index < offPortIndex)
        emit selectionShown(index);
    session.OpenPort(portName);
}

void CPortList::OnPicked(int index) {
    if (index < 0 || index > offPortIndex)
        return;
    if (index == offPortIndex)
        session.TurnPortOff();
    else
        session.OpenPort(PortNameAt(index));
    // Stored whatever the outcome, so that the next start tries the same port.
    StorePortIndex(index);
}
