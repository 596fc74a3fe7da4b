#pragma once

#include <QDialog>

// "Write Number": asks whether an object that already has a transmitter learned
// is to be overwritten. OK accepts; Cancel, Escape and the close box reject.
class CRewriteDlg : public QDialog {
    Q_OBJECT
public:
    explicit CRewriteDlg(QWidget* parent = nullptr);
};
