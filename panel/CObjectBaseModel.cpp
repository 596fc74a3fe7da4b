#include "panel/CObjectBaseModel.h"

#include "base/TransmitterNumber.h"

#include <QBrush>
#include <QColor>

namespace {

const QString notReadText = QStringLiteral("not read");
const QString noFileText = QStringLiteral("no file");
const QString differsMark = QStringLiteral("≠");

// Only the low 8 bits of a loaded field ever reach the console, so they are
// what the file column shows.
bool RecordLearned(const ObjectRecord& record) {
    return IsLearned(LineByte(record.byte1), LineByte(record.byte2));
}

QString RecordText(const ObjectRecord& record) {
    return RecordLearned(record) ? QString::fromStdString(TransmitterText(LineByte(record.byte1),
                                                                          LineByte(record.byte2)))
                                 : QString();
}

} // namespace

CObjectBaseModel::CObjectBaseModel(const CObjectBase& objectBase, QObject* parent)
    : QAbstractTableModel(parent), objectBase(objectBase) {}

int CObjectBaseModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : objectCount;
}

int CObjectBaseModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columnTotal;
}

QVariant CObjectBaseModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const int objectNumber = index.row() + 1;
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case ObjectColumn:
            return QString::asprintf("%03d", objectNumber);
        case ConsoleColumn:
            return ConsoleText(objectNumber);
        case FileColumn:
            return FileText(objectNumber);
        case DiffersColumn:
            return Differs(objectNumber) ? differsMark : QString();
        }
    }
    if (role == Qt::AccessibleTextRole && index.column() == DiffersColumn)
        return Differs(objectNumber) ? QStringLiteral("differs") : QString();
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (role == Qt::BackgroundRole && Differs(objectNumber))
        return QBrush(QColor(255, 224, 192));
    return {};
}

QVariant CObjectBaseModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case ObjectColumn:
        return QStringLiteral("Object");
    case ConsoleColumn:
        return QStringLiteral("Console");
    case FileColumn:
        return QStringLiteral("File");
    case DiffersColumn:
        return QStringLiteral("Differs");
    }
    return {};
}

Qt::ItemFlags CObjectBaseModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

QString CObjectBaseModel::ConsoleText(int objectNumber) const {
    const ObjectRecord& record = objectBase.deviceTable[objectNumber];
    return record.number == 0 ? notReadText : RecordText(record);
}

QString CObjectBaseModel::FileText(int objectNumber) const {
    return objectBase.fileBaseLoaded ? RecordText(objectBase.fileTable[objectNumber]) : noFileText;
}

bool CObjectBaseModel::IsLearnedInConsole(int objectNumber) const {
    const ObjectRecord& record = objectBase.deviceTable[objectNumber];
    return record.number != 0 && RecordLearned(record);
}

bool CObjectBaseModel::IsLearnedInFile(int objectNumber) const {
    return objectBase.fileBaseLoaded && RecordLearned(objectBase.fileTable[objectNumber]);
}

bool CObjectBaseModel::Differs(int objectNumber) const {
    return objectBase.deviceTable[objectNumber].number != 0 && objectBase.fileBaseLoaded &&
           ConsoleText(objectNumber) != FileText(objectNumber);
}

QStringList CObjectBaseModel::RowFields(int objectNumber) const {
    return {QString::asprintf("%03d", objectNumber), ConsoleText(objectNumber),
            FileText(objectNumber),
            Differs(objectNumber) ? QStringLiteral("yes") : QStringLiteral("no")};
}

CObjectBaseModel::Counts CObjectBaseModel::CountObjects() const {
    Counts counts;
    for (int objectNumber = 1; objectNumber <= objectCount; ++objectNumber) {
        counts.learnedInConsole += IsLearnedInConsole(objectNumber);
        counts.learnedInFile += IsLearnedInFile(objectNumber);
        counts.differing += Differs(objectNumber);
    }
    return counts;
}

void CObjectBaseModel::OnBlockStored(int blockIndex) {
    if (blockIndex < 0 || blockIndex >= blockCount)
        return;
    const int firstRow = objectsPerBlock * blockIndex;
    RowsChanged(firstRow, firstRow + objectsPerBlock - 1);
}

void CObjectBaseModel::OnFileTableChanged() {
    RowsChanged(0, objectCount - 1);
}

void CObjectBaseModel::RowsChanged(int firstRow, int lastRow) {
    // Whole rows: the differs mark and the row's colour follow either side.
    emit dataChanged(index(firstRow, ObjectColumn), index(lastRow, DiffersColumn));
    emit countsChanged();
}
