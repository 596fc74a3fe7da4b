#pragma once

#include "common/PanelDriver.h"

#include "app/CMainFrame.h"
#include "app/CRecentFileList.h"
#include "base/CKelvarinDoc.h"
#include "base/ObjectBase.h"
#include "link/CPortMapping.h"
#include "panel/CKelvarinView.h"
#include "sim/CSimPty.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

#include <memory>

// The real window, offscreen, with COM1 led to a simulated console on a
// pseudo-terminal.
struct E2eRig : CPanelDriver {
    CSimPty sim;
    CObjectBase objectBase;
    CKelvarinDoc doc{objectBase};
    CRecentFileList recentFiles;
    std::unique_ptr<CMainFrame> frame;

    E2eRig() {
        sim.Start();
        QSettings profile("Merovane_Kelvar_VX-418K", "Kelvarin");
        profile.setValue("Merovane_Kelvar_VX-418K/NumComPort", 0);
        profile.sync();
        CPortMapping mapping;
        mapping.SetOverride("COM1", QString::fromStdString(sim.SlavePath()));
        frame = std::make_unique<CMainFrame>(doc, objectBase, recentFiles, mapping);
        frame->show();
    }
    ~E2eRig() {
        frame.reset();
        sim.Stop();
    }

    CMainFrame& Frame() override { return *frame; }
};

// Presses OK on the next message box as soon as it shows (they are modal and block
// the caller), and keeps its text for the test to check.
inline void AnswerNextMessageBox(QString* text = nullptr) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        if (text)
            *text = box->text();
        box->accept();
        timer->deleteLater();
    });
    timer->start(10);
}
