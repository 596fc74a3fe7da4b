#pragma once

#include "panel/CObjectBaseFilter.h"

#include <QWidget>

class CKelvarinDoc;
class CObjectBaseModel;
class QComboBox;
class QLabel;
class QLineEdit;
class QSettings;
class QTableView;

// "Object base - Kelvarin": the 600 objects with the console's and the file's
// transmitter numbers side by side, filtered, searched, exported and printed. It
// only reads the tables, so it stays usable while an exchange runs.
class CBaseWindow : public QWidget {
    Q_OBJECT
public:
    // The document names the heading of a print: its file, or "Console".
    CBaseWindow(CObjectBaseModel& model, const CKelvarinDoc& doc, QWidget* parent = nullptr);

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

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void OnExportCsv();
    void OnExportPdf();
    void OnPrint();
    void Find(const QString& text, int afterRow);
    void UpdateCounts();
    QString SourceName() const;
    QString SuggestedPath(const QString& suffix) const;
    bool SaveExport(const QString& path, const QByteArray& bytes);

    CObjectBaseModel& model;
    const CKelvarinDoc& doc;
    CObjectBaseFilter shown;
    QLabel* countsLabel = nullptr;
    QComboBox* filterList = nullptr;
    QLineEdit* findBox = nullptr;
    QLabel* findResult = nullptr;
    QTableView* table = nullptr;
};
