#include "common/TestMain.h"

#include "base/BaseFileCodec.h"
#include "base/CKelvarinDoc.h"
#include "base/ObjectBase.h"
#include "panel/CBaseWindow.h"
#include "panel/CObjectBaseFilter.h"
#include "panel/CObjectBaseModel.h"
#include "panel/ObjectBasePrint.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTableView>

#include <cmath>
#include <memory>

namespace {

constexpr ObjectRecord notLearned{1, 255, 255};

// A small base: 1 the same on both sides, 2 differing, 3 learned nowhere, 4 learned
// only in the file, 5 holding 034.012 in the console and 300 in the file; every
// other object not read and not in the file.
CObjectBase SmallBase() {
    CObjectBase base;
    base.fileBaseLoaded = 1;
    for (int n = 1; n <= objectCount; ++n)
        base.fileTable[n] = {n, 255, 255};
    base.deviceTable[1] = base.fileTable[1] = {1, 7, 100};
    base.deviceTable[2] = {2, 12, 34};
    base.fileTable[2] = {2, 13, 34};
    base.deviceTable[3] = {3, 255, 255};
    base.fileTable[4] = {4, 9, 100};
    base.deviceTable[5] = {5, 12, 34};
    base.fileTable[300] = {300, 12, 34};
    return base;
}

QList<int> ShownObjects(const CObjectBaseFilter& shown) {
    QList<int> objects;
    for (int row = 0; row < shown.rowCount(); ++row)
        objects << shown.ObjectNumberAt(row);
    return objects;
}

// The file column of the objects the edits below touch.
QStringList FileTexts(const CObjectBaseModel& model) {
    QStringList texts;
    for (int n : {1, 2, 4, 7, 300})
        texts << model.FileText(n);
    return texts;
}

// Presses button on the message box that the next event loop shows, keeping its text.
void AnswerBox(QMessageBox::StandardButton button, QString* text = nullptr) {
    QTimer::singleShot(0, [=] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            if (text)
                *text = box->text();
            box->button(button)->click();
        }
    });
}

// WCAG's contrast ratio of two colours, 1 to 21.
double Contrast(const QColor& a, const QColor& b) {
    auto luminance = [](const QColor& c) {
        auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
               0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QString PdfText(const QString& path, int page) {
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"),
                    {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                     QString::number(page), path, QStringLiteral("-")});
    if (!pdftotext.waitForFinished(10000) || pdftotext.exitCode() != 0)
        return QStringLiteral("pdftotext failed (scripts/install-deps.sh installs it): ") +
               pdftotext.errorString() + QString::fromUtf8(pdftotext.readAllStandardError());
    return QString::fromUtf8(pdftotext.readAllStandardOutput());
}

} // namespace

class TestBaseWindow : public QObject {
    Q_OBJECT

private:
    CObjectBase base;
    std::unique_ptr<CObjectBaseModel> model;
    std::unique_ptr<CKelvarinDoc> doc;
    std::unique_ptr<CBaseWindow> window;

    QTableView* Table() { return window->findChild<QTableView*>("objectBaseTable"); }
    const CObjectBaseFilter& shownRows() {
        return *qobject_cast<const CObjectBaseFilter*>(Table()->model());
    }
    int SelectedObject() {
        const QModelIndex current = Table()->currentIndex();
        return current.isValid() ? current.siblingAtColumn(0).data().toInt() : 0;
    }

private slots:
    void init() {
        base = SmallBase();
        model = std::make_unique<CObjectBaseModel>(base);
        doc = std::make_unique<CKelvarinDoc>(base);
        window = std::make_unique<CBaseWindow>(*model, *doc);
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    void cleanup() {
        window.reset();
        doc.reset();
        model.reset();
    }

    void rowTexts_data() {
        QTest::addColumn<int>("fileLoaded");
        QTest::addColumn<ObjectRecord>("device");
        QTest::addColumn<ObjectRecord>("file");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<bool>("learned");
        const ObjectRecord unread{0, 0, 0};
        QTest::newRow("not read, no file") << 0 << unread << ObjectRecord{9, 1, 2}
                                           << QStringList{"not read", "no file", "no"} << false;
        QTest::newRow("not read, file learned") << 1 << unread << ObjectRecord{9, 12, 34}
                                                << QStringList{"not read", "034.012", "no"} << true;
        QTest::newRow("read, no file") << 0 << ObjectRecord{9, 12, 34} << ObjectRecord{9, 12, 34}
                                       << QStringList{"034.012", "no file", "no"} << true;
        QTest::newRow("the same") << 1 << ObjectRecord{9, 12, 34} << ObjectRecord{9, 12, 34}
                                  << QStringList{"034.012", "034.012", "no"} << true;
        QTest::newRow("differing") << 1 << ObjectRecord{9, 12, 34} << ObjectRecord{9, 34, 12}
                                   << QStringList{"034.012", "012.034", "yes"} << true;
        QTest::newRow("learned against unlearned") << 1 << ObjectRecord{9, 12, 34} << notLearned
                                                   << QStringList{"034.012", "", "yes"} << true;
        QTest::newRow("unlearned on both sides")
            << 1 << notLearned << notLearned << QStringList{"", "", "no"} << false;
        QTest::newRow("one byte of 255 is learned") << 1 << ObjectRecord{9, 255, 3} << notLearned
                                                    << QStringList{"003.255", "", "yes"} << true;
        // Only the low 8 bits of a loaded field reach the console.
        QTest::newRow("file field beyond a byte")
            << 1 << ObjectRecord{9, 65, 34} << ObjectRecord{9, 321, 34 + 512}
            << QStringList{"034.065", "034.065", "no"} << true;
    }
    void rowTexts() {
        QFETCH(int, fileLoaded);
        QFETCH(ObjectRecord, device);
        QFETCH(ObjectRecord, file);
        QFETCH(QStringList, fields);
        QFETCH(bool, learned);
        base.fileBaseLoaded = fileLoaded;
        base.deviceTable[9] = device;
        base.fileTable[9] = file;
        QCOMPARE(model->RowFields(9), QStringList{"009"} + fields);
        QCOMPARE(model->IsLearnedInConsole(9) || model->IsLearnedInFile(9), learned);
        QCOMPARE(model->index(8, CObjectBaseModel::DiffersColumn).data().toString().isEmpty(),
                 fields[2] == "no");
    }

    void countsOfTheSmallBase() {
        const CObjectBaseModel::Counts counts = model->CountObjects();
        QCOMPARE(counts.learnedInConsole, 3); // 1, 2, 5
        QCOMPARE(counts.learnedInFile, 4);    // 1, 2, 4, 300
        QCOMPARE(counts.differing, 2);        // 2, 5
    }

    void storedBlockChangesItsTenRows_data() {
        QTest::addColumn<int>("blockIndex");
        QTest::addColumn<int>("firstRow");
        QTest::newRow("first") << 0 << 0;
        QTest::newRow("last") << 59 << 590;
        QTest::newRow("past the end") << 60 << -1;
    }
    void storedBlockChangesItsTenRows() {
        QFETCH(int, blockIndex);
        QFETCH(int, firstRow);
        QSignalSpy changed(model.get(), &QAbstractItemModel::dataChanged);
        model->OnBlockStored(blockIndex);
        QCOMPARE(changed.size(), firstRow < 0 ? 0 : 1);
        if (firstRow < 0)
            return;
        QCOMPARE(changed[0][0].toModelIndex().row(), firstRow);
        QCOMPARE(changed[0][1].toModelIndex().row(), firstRow + 9);
        QCOMPARE(changed[0][1].toModelIndex().column(), int(CObjectBaseModel::DiffersColumn));
    }

    // A block stored under a filter shows up in it, and the counts follow.
    void filterFollowsAStoredBlock() {
        window->SetFilter(CObjectBaseFilter::Filter::Differing);
        base.deviceTable[11] = {11, 1, 1};
        model->OnBlockStored(1);
        QCOMPARE(Table()->model()->rowCount(), 3);
        QVERIFY(window->findChild<QLabel*>("counts")->text().contains("Differing: 3"));
    }

    void filters_data() {
        QTest::addColumn<int>("filter");
        QTest::addColumn<QList<int>>("objects");
        QTest::newRow("learned") << int(CObjectBaseFilter::Filter::Learned)
                                 << QList<int>{1, 2, 4, 5, 300};
        QTest::newRow("differing") << int(CObjectBaseFilter::Filter::Differing) << QList<int>{2, 5};
    }
    void filters() {
        QFETCH(int, filter);
        QFETCH(QList<int>, objects);
        CObjectBaseFilter shown(*model);
        QCOMPARE(shown.rowCount(), objectCount);
        shown.SetFilter(CObjectBaseFilter::Filter(filter));
        QCOMPARE(ShownObjects(shown), objects);
    }

    void parseFindText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QList<int>>("values"); // object, or byte2 and byte1
        const int object = int(FindQuery::Kind::Object);
        const int transmitter = int(FindQuery::Kind::Transmitter);
        const int invalid = int(FindQuery::Kind::Invalid);
        QTest::newRow("object") << "34" << object << QList<int>{34};
        QTest::newRow("object in three digits") << " 034 " << object << QList<int>{34};
        QTest::newRow("last object") << "600" << object << QList<int>{600};
        QTest::newRow("object 0") << "0" << invalid << QList<int>{};
        QTest::newRow("object 601") << "601" << invalid << QList<int>{};
        QTest::newRow("transmitter as shown") << "034.012" << transmitter << QList<int>{34, 12};
        QTest::newRow("transmitter short") << "34.12" << transmitter << QList<int>{34, 12};
        QTest::newRow("byte over 255") << "256.1" << invalid << QList<int>{};
        QTest::newRow("half a number") << "34." << invalid << QList<int>{};
        QTest::newRow("words") << "abc" << invalid << QList<int>{};
    }
    void parseFindText() {
        QFETCH(QString, text);
        QFETCH(int, kind);
        QFETCH(QList<int>, values);
        const FindQuery query = ParseFindText(text);
        QCOMPARE(int(query.kind), kind);
        if (query.kind == FindQuery::Kind::Object)
            QCOMPARE(QList<int>{query.objectNumber}, values);
        if (query.kind == FindQuery::Kind::Transmitter)
            QCOMPARE((QList<int>{query.byte2, query.byte1}), values);
    }

    // Typing selects the first match; Enter steps on and wraps to the first again.
    void findSelectsAndSteps_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("selected"); // after typing, then after each Enter
        QTest::newRow("short spelling") << "34.12" << QList<int>{2, 5, 300, 2};
        QTest::newRow("as shown") << "034.012" << QList<int>{2, 5, 300, 2};
        QTest::newRow("object number") << "300" << QList<int>{300, 300};
        QTest::newRow("no match") << "099.099" << QList<int>{0, 0};
    }
    void findSelectsAndSteps() {
        QFETCH(QString, text);
        QFETCH(QList<int>, selected);
        auto* findBox = window->findChild<QLineEdit*>("find");
        findBox->setFocus();
        QTest::keyClicks(findBox, text);
        QCOMPARE(SelectedObject(), selected[0]);
        for (int step = 1; step < selected.size(); ++step) {
            QTest::keyClick(findBox, Qt::Key_Return);
            QCOMPARE(SelectedObject(), selected[step]);
        }
        QCOMPARE(window->findChild<QLabel*>("findResult")->text().isEmpty(), selected[0] != 0);
    }

    void csvOfTheShownRows() {
        window->SetFilter(CObjectBaseFilter::Filter::Learned);
        QTemporaryDir dir;
        const QString path = dir.filePath("base.csv");
        QVERIFY(window->ExportCsv(path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("object,console,file,differs\r\n"
                                            "001,100.007,100.007,no\r\n"
                                            "002,034.012,034.013,yes\r\n"
                                            "004,not read,100.009,no\r\n"
                                            "005,034.012,,yes\r\n"
                                            "300,not read,034.012,no\r\n"));
    }

    void copyTakesTheSelectedRows() {
        Table()->selectRow(0);
        Table()->selectionModel()->select(Table()->model()->index(4, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        Table()->setFocus();
        QTest::keyClick(Table(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QStringLiteral("001\t100.007\t100.007\tno\n005\t034.012\t\tyes\n"));
    }

    // The heading on the first page; the column titles and the page number on each.
    void pdfHasHeadingAndTitlesOnEveryPage() {
        for (int n = 1; n <= objectCount; ++n)
            base.deviceTable[n] = {n, n % 256, 1};
        for (int block = 0; block < blockCount; ++block)
            model->OnBlockStored(block);
        QTemporaryDir dir;
        const QString path = dir.filePath("base.pdf");
        QVERIFY(window->ExportPdf(path));
        const QString first = PdfText(path, 1);
        QVERIFY2(first.contains("Console"), qPrintable(first));
        QVERIFY(first.contains(QDate::currentDate().toString(Qt::ISODate)));
        QVERIFY(first.contains("Learned in the console: 600"));
        QVERIFY(first.contains("Differing: 600"));
        const QRegularExpressionMatch pages = QRegularExpression("Page 1 of (\\d+)").match(first);
        QVERIFY(pages.hasMatch() && pages.captured(1).toInt() > 1);
        const QString second = PdfText(path, 2);
        QVERIFY2(second.contains("Object") && second.contains("Differs"), qPrintable(second));
        QVERIFY(second.contains("Page 2 of"));
        QVERIFY(!second.contains("Learned in the console"));
    }

    // Every kind of change to the file column is one step: done, undone to the saved
    // state, and redone.
    void everyChangeIsOneUndoStep_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("fileLoaded");
        QTest::addColumn<QStringList>("after"); // objects 1, 2, 4, 7 and 300
        QTest::newRow("cell") << "cell" << true
                              << QStringList{"100.007", "034.013", "100.009", "034.012", "034.012"};
        QTest::newRow("cell emptied")
            << "cell emptied" << true << QStringList{"", "034.013", "100.009", "", "034.012"};
        QTest::newRow("cell without a file")
            << "cell" << false << QStringList{"", "", "", "034.012", ""};
        QTest::newRow("rows cleared")
            << "rows cleared" << true << QStringList{"", "", "100.009", "", "034.012"};
        QTest::newRow("paste") << "paste" << true
                               << QStringList{"100.007", "034.013", "100.009", "001.002", ""};
        QTest::newRow("import") << "import" << true
                                << QStringList{"100.007", "034.013", "", "", "034.012"};
        QTest::newRow("new empty base") << "new" << true << QStringList{"", "", "", "", ""};
        QTest::newRow("the console's base")
            << "console" << true << QStringList{"100.007", "034.012", "", "", ""};
    }
    void everyChangeIsOneUndoStep() {
        QFETCH(QString, change);
        QFETCH(bool, fileLoaded);
        QFETCH(QStringList, after);
        base.fileBaseLoaded = fileLoaded;
        model->OnFileTableReplaced();
        const QStringList before = FileTexts(*model);
        QTemporaryDir dir;
        if (change == "cell")
            QVERIFY(model->setData(model->index(6, CObjectBaseModel::FileColumn), " 34.12 "));
        else if (change == "cell emptied")
            QVERIFY(model->setData(model->index(0, CObjectBaseModel::FileColumn), ""));
        else if (change == "paste")
            QVERIFY(window->PasteRows("object\tnumber\n7\t1.2\n300\t\n"));
        else if (change == "new")
            QVERIFY(model->NewEmptyBase());
        if (change == "rows cleared") {
            Table()->selectRow(0);
            Table()->selectionModel()->select(Table()->model()->index(1, 0),
                                              QItemSelectionModel::Select |
                                                  QItemSelectionModel::Rows);
            Table()->setFocus();
            QTest::keyClick(Table(), Qt::Key_Delete);
        }
        if (change == "import") {
            QFile csv(dir.filePath("site.csv"));
            QVERIFY(csv.open(QIODevice::WriteOnly) && csv.write("4;\n7;\n") > 0);
            csv.close();
            QString asked;
            AnswerBox(QMessageBox::Apply, &asked);
            QVERIFY(window->ImportCsv(csv.fileName()));
            QVERIFY2(asked.contains("set: 0\nObjects cleared: 1\nObjects unchanged: 1"),
                     qPrintable(asked));
        }
        if (change == "console") {
            QVERIFY(!model->TakeConsoleBase()); // not before a complete read
            for (int n = 6; n <= objectCount; ++n)
                base.deviceTable[n] = {n, 255, 255};
            base.deviceTable[4] = {4, 255, 255};
            base.deviceBaseComplete = 1;
            QVERIFY(model->TakeConsoleBase());
        }
        QCOMPARE(model->UndoStack().count(), 1);
        QCOMPARE(FileTexts(*model), after);
        QCOMPARE(base.fileBaseLoaded, 1); // "Write Base" sends what was edited
        QVERIFY(model->IsFileTableModified());
        window->activateWindow(); // the keys below go to the window that is active
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(Table(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(FileTexts(*model), before);
        QCOMPARE(base.fileBaseLoaded, int(fileLoaded));
        QVERIFY(!model->IsFileTableModified());
        QTest::keyClick(Table(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(FileTexts(*model), after);
    }

    void badEntryIsRefusedAtTheCell_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("editable");
        QTest::newRow("letters") << "34.x" << true;
        QTest::newRow("byte over 255") << "256.1" << true;
        QTest::newRow("decimal comma") << "34,12" << true;
        QTest::newRow("three parts") << "1.2.3" << true;
        QTest::newRow("while an exchange runs") << "34.12" << false;
    }
    void badEntryIsRefusedAtTheCell() {
        QFETCH(QString, typed);
        QFETCH(bool, editable);
        model->SetEditable(editable);
        const QModelIndex cell = model->index(6, CObjectBaseModel::FileColumn);
        QCOMPARE(model->flags(cell).testFlag(Qt::ItemIsEditable), editable);
        QCOMPARE(window->findChild<QAction*>("paste")->isEnabled(), editable);
        QCOMPARE(window->findChild<QAction*>("newEmptyBase")->isEnabled(), editable);

        QVERIFY(!model->setData(cell, typed));
        QCOMPARE(model->FileText(7), QString());
        QCOMPARE(model->UndoStack().count(), 0);
        const QString message = window->findChild<QLabel*>("message")->text();
        QVERIFY2(message.contains(editable ? typed : "exchange"), qPrintable(message));
    }

    void pasteWithABadLineChangesNothing() {
        QString told;
        AnswerBox(QMessageBox::Ok, &told);
        QVERIFY(!window->PasteRows("7\t1.2\n8\t1,2\n"));
        QVERIFY2(told.contains("line 2: 8\t1,2"), qPrintable(told));
        QCOMPARE(model->FileText(7), QString());
        QCOMPARE(model->UndoStack().count(), 0);
    }

    void duplicatesAreMarkedAndCounted() {
        QVERIFY(model->SetObjects({{7, {12, 34}}}, "same as 300"));
        QCOMPARE(model->CountObjects().duplicatesInFile, 2);
        QVERIFY(window->findChild<QLabel*>("fileState")->text().contains("in the file: 2"));
        QVERIFY(model->index(6, CObjectBaseModel::FileColumn)
                    .data(Qt::ToolTipRole)
                    .toString()
                    .contains("300"));
        window->SetFilter(CObjectBaseFilter::Filter::Duplicates);
        QCOMPARE(ShownObjects(shownRows()), (QList<int>{7, 300}));
    }

    // What the view draws on a differing row: the row's colours, or the palette's text.
    void differingRowsReadInAnyPalette_data() {
        QTest::addColumn<QColor>("baseColour");
        QTest::addColumn<QColor>("textColour");
        QTest::newRow("light") << QColor(Qt::white) << QColor(Qt::black);
        QTest::newRow("dark") << QColor(0x23, 0x26, 0x29) << QColor(0xef, 0xf0, 0xf1);
    }
    void differingRowsReadInAnyPalette() {
        QFETCH(QColor, baseColour);
        QFETCH(QColor, textColour);
        const QPalette original = QGuiApplication::palette();
        QPalette palette = original;
        palette.setColor(QPalette::Base, baseColour);
        palette.setColor(QPalette::Text, textColour);
        QGuiApplication::setPalette(palette);
        const QModelIndex cell = model->index(1, CObjectBaseModel::ConsoleColumn);
        const QVariant background = cell.data(Qt::BackgroundRole);
        const QVariant foreground = cell.data(Qt::ForegroundRole);
        QGuiApplication::setPalette(original);
        QVERIFY(background.isValid());
        const QColor text = foreground.isValid() ? foreground.value<QBrush>().color() : textColour;
        QVERIFY2(Contrast(text, background.value<QBrush>().color()) >= 4.5,
                 qPrintable(background.value<QBrush>().color().name()));
    }

    // Through the window's keys: F2, the number, Enter; Ctrl+Z; then saved.
    void editTwoCellsUndoOneSave() {
        const std::tuple<int, QString, QString> edits[]{{10, "34.12", "034.012"},
                                                        {11, "1.2", "001.002"}};
        for (const auto& [object, typed, shown] : edits) {
            Table()->setCurrentIndex(
                Table()->model()->index(object - 1, CObjectBaseModel::FileColumn));
            Table()->setFocus();
            QTest::keyClick(Table(), Qt::Key_F2);
            QWidget* editor = QApplication::focusWidget();
            QVERIFY(qobject_cast<QLineEdit*>(editor));
            QTest::keyClicks(editor, typed);
            QTest::keyClick(editor, Qt::Key_Return);
            QTRY_COMPARE(model->FileText(object), shown); // the editor closes queued
        }
        QTest::keyClick(Table(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(model->FileText(11), QString());

        QTemporaryDir dir;
        QVERIFY(window->SaveFileBase(dir.filePath("site")));
        QVERIFY(!model->IsFileTableModified());
        ObjectTable expected = SmallBase().fileTable;
        expected[10] = {10, 12, 34};
        const BaseFileBytes bytes = EncodeBaseFile(expected);
        QFile saved(dir.filePath("site"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray(reinterpret_cast<const char*>(bytes.data()), 7212));
    }

    void geometryKeptInItsOwnSection() {
        QTemporaryDir dir;
        QSettings profile(dir.filePath("profile.ini"), QSettings::IniFormat);
        window->resize(510, 430);
        window->move(30, 40);
        window->SaveGeometry(profile);
        QStringList keys = profile.allKeys();
        keys.sort();
        QCOMPARE(keys, (QStringList{"BaseWindow/Height", "BaseWindow/Width", "BaseWindow/X",
                                    "BaseWindow/Y"}));

        CBaseWindow reopened(*model, *doc);
        reopened.RestoreGeometry(profile);
        QCOMPARE(reopened.size(), QSize(510, 430));
        QCOMPARE(reopened.pos(), QPoint(30, 40));
    }
};

KELVARIN_TEST_MAIN(TestBaseWindow)
#include "tst_BaseWindow.moc"
