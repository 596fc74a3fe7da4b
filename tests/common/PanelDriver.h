#pragma once

#include "app/CMainFrame.h"
#include "panel/CKelvarinView.h"

#include <QComboBox>
#include <QPushButton>
#include <QtTest>

// Works the panel of a main window as the operator does: controls found by their
// object names, buttons by their captions, the log read without its time stamps.
class CPanelDriver {
public:
    virtual ~CPanelDriver() = default;
    virtual CMainFrame& Frame() = 0;

    CKelvarinView& View() { return Frame().View(); }
    template <typename T> T& Find(const char* objectName) {
        T* child = Frame().template findChild<T*>(QString::fromLatin1(objectName));
        if (!child)
            qFatal("no control %s", objectName);
        return *child;
    }
    QPushButton& Button(const char* caption) {
        for (QPushButton* button : View().findChildren<QPushButton*>())
            if (button->text() == QLatin1String(caption))
                return *button;
        qFatal("no button %s", caption);
    }
    void Click(const char* caption) { QTest::mouseClick(&Button(caption), Qt::LeftButton); }

    QStringList Messages() {
        QStringList messages;
        auto& log = Find<CLogList>("log");
        for (int i = 0; i < log.Count(); ++i)
            messages << WithoutTimeStamp(log.Line(i));
        return messages;
    }
    QString LastMessage() { return Messages().value(Messages().size() - 1); }
    QString Selected(const char* listName) { return Find<QComboBox>(listName).currentText(); }

    // "HH:MM:SS - text" -> "text"; a bare port line stays as it is.
    static QString WithoutTimeStamp(const QString& line) {
        return line.size() > 11 && line.at(2) == ':' ? line.mid(11) : line;
    }
};
