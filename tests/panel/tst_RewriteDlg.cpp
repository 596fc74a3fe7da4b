#include "panel/CRewriteDlg.h"

#include "common/TestMain.h"

#include <QLabel>
#include <QPushButton>

class TestRewriteDlg : public QObject {
    Q_OBJECT
private slots:
    void texts();
    void answers_data();
    void answers();
};

void TestRewriteDlg::texts() {
    CRewriteDlg dialog;
    QCOMPARE(dialog.windowTitle(), QString("Write Number"));

    QStringList labels;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        labels << label->text();
    labels.sort();
    QCOMPARE(labels, QStringList({"ЗАПИСЫВАЕМЫЙ НОМЕР УЖЕ ОБУЧЕН В ПЦН",
                                  "ПЕРЕЗАПИСАТЬ: OK,  НЕ ЗАПИСЫВАТЬ: Cansel"}));

    // Each text fits the line it was laid out for.
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                 qPrintable(label->text()));

    QStringList buttons;
    for (const QPushButton* button : dialog.findChildren<QPushButton*>()) {
        buttons << button->text();
        QCOMPARE(button->isDefault(), button->text() == "OK");
    }
    buttons.sort();
    QCOMPARE(buttons, QStringList({"Cancel", "OK"}));
}

void TestRewriteDlg::answers_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("result");
    QTest::newRow("OK") << "OK" << int(QDialog::Accepted);
    QTest::newRow("Return") << "Return" << int(QDialog::Accepted);
    QTest::newRow("Cancel") << "Cancel" << int(QDialog::Rejected);
    QTest::newRow("Escape") << "Escape" << int(QDialog::Rejected);
    QTest::newRow("close box") << "close" << int(QDialog::Rejected);
}

void TestRewriteDlg::answers() {
    QFETCH(QString, action);
    QFETCH(int, result);

    CRewriteDlg dialog;
    dialog.open();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(dialog.isModal());
    QSignalSpy finished(&dialog, &QDialog::finished);

    if (action == "Return")
        QTest::keyClick(&dialog, Qt::Key_Return);
    else if (action == "Escape")
        QTest::keyClick(&dialog, Qt::Key_Escape);
    else if (action == "close")
        dialog.close();
    else
        for (QPushButton* button : dialog.findChildren<QPushButton*>())
            if (button->text() == action)
                QTest::mouseClick(button, Qt::LeftButton);

    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toInt(), result);
    QVERIFY(!dialog.isVisible());
}

KELVARIN_TEST_MAIN(TestRewriteDlg)
#include "tst_RewriteDlg.moc"
