#pragma once

#include "base/FileTableEdit.h"
#include "base/ObjectBase.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QUndoStack>

#include <vector>

// The two object tables side by side, one row per object (row r is object r + 1):
// the object's number, the console's transmitter number, the file's, and a mark
// where the two differ. The console column follows the device table: whoever
// changes that says so through the slots. The file column can be edited here, each
// change one step of UndoStack(), and holds unsaved changes while that stack is not
// at its clean state.
class CObjectBaseModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ObjectColumn, ConsoleColumn, FileColumn, DiffersColumn, columnTotal };

    struct Counts {
        int learnedInConsole = 0;
        int learnedInFile = 0;
        int differing = 0;
        int duplicatesInFile = 0;
    };

    explicit CObjectBaseModel(CObjectBase& objectBase, QObject* parent = nullptr);
    ~CObjectBaseModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // A file cell takes a transmitter number as the table shows them, or nothing for
    // not learned; FileEntryRefusal says why it takes anything else.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The texts of one object (1..600), as the table shows them.
    QString ConsoleText(int objectNumber) const;
    QString FileText(int objectNumber) const;
    bool IsLearnedInConsole(int objectNumber) const;
    bool IsLearnedInFile(int objectNumber) const;
    // Only two known numbers can differ: an entry not read yet, or no file at
    // all, differs from nothing.
    bool Differs(int objectNumber) const;
    // Another object of the file column holds the same learned number.
    bool IsDuplicateInFile(int objectNumber) const;
    // Object, console, file and "yes" or "no" for differs: a row as exported.
    QStringList RowFields(int objectNumber) const;

    Counts CountObjects() const;
    const CObjectBase& ObjectBase() const { return objectBase; }

    // Editing the file column is off while an exchange runs: "Write Base" reads the
    // file table block by block as it sends.
    void SetEditable(bool editable);
    bool IsEditable() const { return editable; }
    // Why text cannot go into a file cell now; empty when it can.
    QString FileEntryRefusal(const QString& text) const;
    // These objects' numbers, as one step named undoText. False when editing is off
    // or nothing would change.
    bool SetObjects(const std::vector<ObjectAssignment>& assignments, const QString& undoText);
    // What SetObjects would do with them now.
    AssignmentSummary Summarise(const std::vector<ObjectAssignment>& assignments) const;
    // All 600 objects not learned.
    bool NewEmptyBase();
    // The console's column into the file column; only after a complete read.
    bool CanTakeConsoleBase() const;
    bool TakeConsoleBase();
    QUndoStack& UndoStack() { return undoStack; }

    bool IsFileTableModified() const { return !undoStack.isClean(); }
    // The file table has just been saved as a base file.
    void MarkFileTableSaved();
    // Back to what the file table held when it was last loaded or saved.
    void RevertFileTable();

public slots:
    // Device table rows 10 * blockIndex + 1 .. + 10 were stored by a read.
    void OnBlockStored(int blockIndex);
    // The document changed (File New) or the file table did.
    void OnFileTableChanged();
    // A file was loaded, or the console's base saved into the file table: the table
    // holds a base as it is saved, and the edits before it cannot be undone.
    void OnFileTableReplaced();

signals:
    // Any of the counts may have changed.
    void countsChanged();
    void editableChanged(bool editable);
    // setData did not take text for this file cell, for this reason.
    void fileEntryRefused(const QModelIndex& index, const QString& reason);
    void fileTableModifiedChanged(bool modified);

private:
    class CFileTableCommand;

    bool ReplaceFileTable(const ObjectTable& target, const QString& undoText);
    void ApplyEdit(const FileTableEdit& edit, bool forward);
    void KeepAsSaved();
    void FindDuplicates();
    QString DuplicateToolTip(int objectNumber) const;
    void RowsChanged(int firstRow, int lastRow);

    CObjectBase& objectBase;
    QUndoStack undoStack;
    bool editable = true;
    std::vector<bool> duplicateInFile; // by object number
    // What the file table held when it was last loaded or saved.
    ObjectTable savedTable{};
    int32_t savedLoaded = 0;
};
