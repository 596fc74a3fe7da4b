#pragma once

#include "app/CMainFrame.h"
#include "app/CRecentFileList.h"
#include "base/CKelvarinDoc.h"
#include "base/ObjectBase.h"
#include "link/CPortMapping.h"

#include <QSettings>
#include <QString>

#include <memory>

// The real main window, shown, with COM1 led to `device`. The profile names COM1
// as the stored port, so the window opens it at start as on a console's line.
struct CWindowOnCom1 {
    CObjectBase objectBase;
    CKelvarinDoc doc{objectBase};
    CRecentFileList recentFiles;
    std::unique_ptr<CMainFrame> frame;

    explicit CWindowOnCom1(const QString& device) {
        QSettings profile("Merovane_Kelvar_VX-418K", "Kelvarin");
        profile.setValue("Merovane_Kelvar_VX-418K/NumComPort", 0);
        profile.sync();
        CPortMapping mapping;
        mapping.SetOverride("COM1", device);
        frame = std::make_unique<CMainFrame>(doc, objectBase, recentFiles, mapping);
        frame->show();
    }
};
