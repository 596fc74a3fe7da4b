// Opening the object base window with all 600 rows: from View > Object base to
// the end of the first paint of its table, through the main window's own
// command; offscreen unless QT_QPA_PLATFORM says otherwise. The console holds a complete base with
// every object learned and a file is loaded that differs in every tenth object, so every cell has
// text.
//
// Then an import into that window: a 600-line CSV file as a Russian spreadsheet saves it
// (Windows-1251 header, semicolons, CR LF) read, its summary made and applied as one undo step,
// to the end of the table's repaint; and the undo of it, to the same point.
#include "BenchCommon.h"
#include "BenchProfile.h"
#include "app/CMainFrame.h"
#include "app/CRecentFileList.h"
#include "base/CKelvarinDoc.h"
#include "base/FileTableFiles.h"
#include "base/ObjectBase.h"
#include "common/NowhereMapping.h"
#include "panel/CBaseWindow.h"
#include "panel/CObjectBaseModel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>

#include <memory>

namespace {

constexpr int runs = 20;

// Notes when the table's viewport is first asked to paint.
class CTablePaint : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->objectName() == "qt_scrollarea_viewport" &&
            qobject_cast<QTableView*>(watched->parent()))
            painted = true;
        return false;
    }
};

void FillBase(CObjectBase& base) {
    for (int n = 1; n <= objectCount; ++n) {
        base.deviceTable[n] = {n, n % 256, 100 + n / 256};
        base.fileTable[n] = {n, n % 10 == 0 ? 7 : n % 256, 100 + n / 256};
    }
    base.deviceBaseComplete = 1;
    base.fileBaseLoaded = 1;
}

// Every object, each with a number other than the loaded file's.
QByteArray SpreadsheetCsv() {
    QByteArray csv("\xce\xe1\xfa\xe5\xea\xf2;\xcd\xee\xec\xe5\xf0\r\n"); // Объект;Номер
    for (int n = 1; n <= objectCount; ++n)
        csv += QByteArray::number(n) + ';' + QByteArray::number(200 + n / 256) + '.' +
               QByteArray::number(n % 256) + "\r\n";
    return csv;
}

void WaitForTablePaint(CTablePaint& tablePaint) {
    while (!tablePaint.painted)
        QApplication::processEvents();
}

void PrintFigures(const char* what, const std::vector<double>& ms, double target) {
    std::printf("  %s:", what);
    for (double figure : ms)
        std::printf(" %.2f", figure);
    std::printf(" ms\n  median %.2f ms, max %.2f ms; target under %.0f ms: %s\n",
                Percentile(ms, 0.5), Percentile(ms, 1.0), target,
                Percentile(ms, 1.0) < target ? "met by every run" : "MISSED");
}

} // namespace

int main(int argc, char** argv) {
    CBenchProfile profile;
    QApplication app(argc, argv);
    {
        QSettings profile(QStringLiteral("Merovane_Kelvar_VX-418K"), QStringLiteral("Kelvarin"));
        profile.setValue(QStringLiteral("Merovane_Kelvar_VX-418K/NumComPort"), 4); // no port
    }
    CTablePaint tablePaint;
    app.installEventFilter(&tablePaint);

    CObjectBase objectBase;
    FillBase(objectBase);
    CKelvarinDoc doc(objectBase);
    CRecentFileList recentFiles;

    std::vector<double> opened;
    for (int run = 0; run < runs; ++run) {
        // A new main window each time, so that every run builds the window afresh.
        CMainFrame frame(doc, objectBase, recentFiles, NowhereMapping());
        frame.show();
        QApplication::processEvents();
        tablePaint.painted = false;

        const BenchClock::time_point start = BenchClock::now();
        frame.OnViewObjectBase();
        // The paint runs inside the event that asked for it, so once the flag is
        // up the table has been painted.
        while (!tablePaint.painted)
            QApplication::processEvents();
        opened.push_back(Microseconds(BenchClock::now() - start) / 1000);

        const int rows = frame.BaseWindow()->findChild<QTableView*>()->model()->rowCount();
        if (rows != objectCount) {
            std::printf("the table shows %d rows, not %d\n", rows, objectCount);
            return 1;
        }
    }

    std::printf(
        "object base window, %s platform, 600 rows (%d runs, each with a new main window)\n",
        qUtf8Printable(QGuiApplication::platformName()), runs);
    std::printf("  View > Object base to the table's first paint:");
    for (double ms : opened)
        std::printf(" %.1f", ms);
    std::printf(" ms\n  first run %.1f ms; median %.1f ms, max %.1f ms\n", opened.front(),
                Percentile(opened, 0.5), Percentile(opened, 1.0));
    std::printf("  target: opens in under 100 ms: %s\n",
                Percentile(opened, 1.0) < 100 ? "met by every run" : "MISSED");

    QTemporaryDir folder;
    const QString csvPath = folder.filePath(QStringLiteral("site.csv"));
    QFile csvFile(csvPath);
    if (!csvFile.open(QIODevice::WriteOnly) || csvFile.write(SpreadsheetCsv()) < 0)
        return 1;
    csvFile.close();
    CMainFrame frame(doc, objectBase, recentFiles, NowhereMapping());
    frame.show();
    frame.OnViewObjectBase();
    CObjectBaseModel& model = frame.BaseModel();
    std::vector<double> imported;
    std::vector<double> undone;
    for (int run = 0; run < runs; ++run) {
        QApplication::processEvents();
        tablePaint.painted = false;
        BenchClock::time_point start = BenchClock::now();
        ObjectList list;
        QString error;
        if (!ReadObjectCsvFile(csvPath, list, error) || list.assignments.size() != objectCount)
            return 1;
        const AssignmentSummary summary = model.Summarise(list.assignments);
        if (summary.set != objectCount || !model.SetObjects(list.assignments, "Import site.csv"))
            return 1;
        WaitForTablePaint(tablePaint);
        imported.push_back(Microseconds(BenchClock::now() - start) / 1000);

        QApplication::processEvents();
        tablePaint.painted = false;
        start = BenchClock::now();
        model.UndoStack().undo();
        WaitForTablePaint(tablePaint);
        undone.push_back(Microseconds(BenchClock::now() - start) / 1000);
    }
    std::printf("import of a 600-line CSV into the open window (%d runs)\n", runs);
    PrintFigures("read, summed up, applied as one undo step, table repainted", imported, 50);
    PrintFigures("undo of it, table repainted", undone, 50);
    return 0;
}
