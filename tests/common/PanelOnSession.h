#pragma once

#include "base/ObjectBase.h"
#include "exchange/CExchangeSession.h"
#include "front/CPortList.h"
#include "link/CPortMapping.h"
#include "panel/CKelvarinView.h"

// The panel alone, on a session of its own, started as the window starts it:
// every listener first, then the port (the stored one, or startPort for the run).
struct CPanelOnSession {
    CExchangeSession session;
    CPortList ports{session};
    CKelvarinView view;

    CPanelOnSession(CObjectBase& objectBase, CPortMapping mapping, CLogFile* logFile = nullptr,
                    const QString& startPort = QString())
        : session(objectBase, std::move(mapping)), view(session, ports, logFile) {
        if (startPort.isEmpty())
            ports.OpenStored();
        else
            ports.OpenForRun(startPort);
        session.StartTimer();
    }
};
