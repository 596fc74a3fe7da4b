#pragma once

#include "common/PanelDriver.h"
#include "common/WindowOnCom1.h"

#include "panel/CKelvarinView.h"
#include "sim/CSimPty.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

#include <memory>

// A simulated console on a pseudo-terminal, running before the window opens it.
struct RunningSim {
    CSimPty sim;
    RunningSim() { sim.Start(); }
};

// The real window, offscreen, with COM1 led to a simulated console.
struct E2eRig : RunningSim, CWindowOnCom1, CPanelDriver {
    E2eRig() : CWindowOnCom1(QString::fromStdString(sim.SlavePath())) {}
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
