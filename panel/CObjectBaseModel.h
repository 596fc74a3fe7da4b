#pragma once

#include "base/ObjectBase.h"

#include <QAbstractTableModel>
#include <QStringList>

// The two object tables side by side, one row per object (row r is object r + 1):
// the object's number, the console's transmitter number, the file's, and a mark
// where the two differ. It only reads the tables; whoever changes them says so
// through the three slots, and the views follow.
class CObjectBaseModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ObjectColumn, ConsoleColumn, FileColumn, DiffersColumn, columnTotal };

    struct Counts {
        int learnedInConsole = 0;
        int learnedInFile = 0;
        int differing = 0;
    };

    explicit CObjectBaseModel(const CObjectBase& objectBase, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
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
    // Object, console, file and "yes" or "no" for differs: a row as exported.
    QStringList RowFields(int objectNumber) const;

    Counts CountObjects() const;

public slots:
    // Device table rows 10 * blockIndex + 1 .. + 10 were stored by a read.
    void OnBlockStored(int blockIndex);
    // The file table or the document changed (a file loaded or saved, File New).
    void OnFileTableChanged();

signals:
    // Any of the counts may have changed.
    void countsChanged();

private:
    void RowsChanged(int firstRow, int lastRow);

    const CObjectBase& objectBase;
};
