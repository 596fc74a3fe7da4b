#pragma once

#include "front/BaseFiles.h"
#include "panel/CObjectBaseFilter.h"

#include <QWidget>

class CKelvarinDoc;
class CObjectBaseModel;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QSettings;
class QTableView;

// "Object base - Kelvarin": the 600 objects with the console's and the file's
// transmitter numbers side by side, filtered, searched, exported and printed. The
// file column is edited here, pasted into, imported from CSV and saved as a base
// file; the console column is only shown, so that part stays usable while an
// exchange runs.
class CBaseWindow : public QWidget {
    Q_OBJECT
public:
    // The document names the heading of a print and the file a file base is saved to;
    // runFiles are the run's log and trace files, never saved over.
    CBaseWindow(CObjectBaseModel& model, CKelvarinDoc& doc, const QList<RunFile>& runFiles = {},
                QWidget* parent = nullptr);

    // Size and position in the profile's section "BaseWindow".
    void RestoreGeometry(QSettings& profile);
    void SaveGeometry(QSettings& profile) const;

    void SetFilter(CObjectBaseFilter::Filter filter);
    // Selects the first shown row that matches text (typing in the find box).
    void FindFirst(const QString& text);
    // Steps to the next match after the selected row, wrapping (Enter in the find box).
    void FindNext();
    // Ctrl+C: the selected rows, tab-separated.
    void CopySelectedRows();
    // The buttons once a name is chosen. False, with a message box, when the file
    // could not be written.
    bool ExportCsv(const QString& path);
    bool ExportPdf(const QString& path);

    // Ctrl+V: rows of an object and a number. When any line cannot be read, a box lists
    // them and nothing changes.
    bool PasteRows(const QString& text);
    // Delete: the selected rows' file numbers.
    void ClearSelectedRows();
    // "Import CSV..." once a file is chosen: says what it will change and applies it
    // when the operator agrees.
    bool ImportCsv(const QString& path);
    // "Save file base as..." once a name is chosen.
    bool SaveFileBase(const QString& path);
    // The dialog of "Save file base as...", then the save. False when nothing was saved.
    bool OnSaveFileBaseAs();

signals:
    void closed();
    // The file column was saved as a base file at path.
    void fileBaseSaved(const QString& path);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QMenuBar* CreateMenuBar();
    static QAction* AddMenuCommand(QMenu& menu, const QString& text, const char* objectName);
    QAction* AddTableAction(const QString& text, const char* objectName, const QKeySequence& key,
                            Qt::ShortcutContext context);
    void OnExportCsv();
    void OnExportPdf();
    void OnPrint();
    void OnImportCsv();
    void OnEntryRefused(const QModelIndex& sourceIndex, const QString& reason);
    void Find(const QString& text, int afterRow);
    QList<int> SelectedObjects() const;
    void UpdateCounts();
    void UpdateEditCommands();
    QString SourceName() const;
    QString SuggestedPath(const QString& suffix) const;
    bool SaveExport(const QString& path, const QByteArray& bytes);

    CObjectBaseModel& model;
    CKelvarinDoc& doc;
    const QList<RunFile> runFiles;
    CObjectBaseFilter shown;
    QLabel* countsLabel = nullptr;
    QLabel* fileStateLabel = nullptr;
    QComboBox* filterList = nullptr;
    QLineEdit* findBox = nullptr;
    QLabel* findResult = nullptr;
    QTableView* table = nullptr;
    QLabel* messageLabel = nullptr;
    QAction* newBaseAction = nullptr;
    QAction* takeConsoleAction = nullptr;
    QAction* importAction = nullptr;
    QAction* saveFileBaseAction = nullptr;
    QAction* copyAction = nullptr;
    QAction* pasteAction = nullptr;
    QAction* clearAction = nullptr;
    QAction* undoAction = nullptr;
    QAction* redoAction = nullptr;
};
