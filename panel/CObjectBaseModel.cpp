#include "panel/CObjectBaseModel.h"

#include "base/ObjectCsv.h"
#include "base/TransmitterNumber.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QPalette>
#include <QUndoCommand>

#include <utility>

namespace {

const QString differsMark = QStringLiteral("≠");
// Strong enough to stand out on a light and on a dark table alike.
const QColor duplicateMark(214, 40, 40);
const QColor differsTint(255, 160, 64);
constexpr float differsTintShare = 0.35f;

bool RecordLearned(const ObjectRecord& record) {
    return IsLearned(LineByte(record.byte1), LineByte(record.byte2));
}

// The tint over the palette's own base colour, so that the palette's text colour reads
// on it in a light and in a dark palette.
QColor Tinted(const QColor& base) {
    auto mix = [](float from, float to) {
        return from * (1 - differsTintShare) + to * differsTintShare;
    };
    return QColor::fromRgbF(mix(base.redF(), differsTint.redF()),
                            mix(base.greenF(), differsTint.greenF()),
                            mix(base.blueF(), differsTint.blueF()));
}

QString Object(int objectNumber) {
    return QString::fromStdString(ObjectText(objectNumber));
}

} // namespace

// One change of the file table; Qt's stack calls redo() as it takes it.
class CObjectBaseModel::CFileTableCommand : public QUndoCommand {
public:
    CFileTableCommand(CObjectBaseModel& model, FileTableEdit edit, const QString& text)
        : QUndoCommand(text), model(model), edit(std::move(edit)) {}

    void redo() override { model.ApplyEdit(edit, true); }
    void undo() override { model.ApplyEdit(edit, false); }

private:
    CObjectBaseModel& model;
    const FileTableEdit edit;
};

CObjectBaseModel::CObjectBaseModel(CObjectBase& objectBase, QObject* parent)
    : QAbstractTableModel(parent), objectBase(objectBase), duplicateInFile(objectTableSize) {
    KeepAsSaved();
    FindDuplicates();
    connect(&undoStack, &QUndoStack::cleanChanged, this,
            [this](bool clean) { emit fileTableModifiedChanged(!clean); });
}

// A stack that goes while it holds changes says that it is clean again, and those who
// listen to this model may be going already themselves.
CObjectBaseModel::~CObjectBaseModel() {
    undoStack.blockSignals(true);
}

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
    const bool fileCell = index.column() == FileColumn;
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case ObjectColumn:
            return Object(objectNumber);
        case ConsoleColumn:
            return ConsoleText(objectNumber);
        case FileColumn:
            return FileText(objectNumber);
        case DiffersColumn:
            return Differs(objectNumber) ? differsMark : QString();
        }
    }
    // The editor starts from the number as shown, and empty rather than "no file".
    if (role == Qt::EditRole && fileCell)
        return IsLearnedInFile(objectNumber) ? FileText(objectNumber) : QString();
    if (role == Qt::AccessibleTextRole && index.column() == DiffersColumn)
        return Differs(objectNumber) ? QStringLiteral("differs") : QString();
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (fileCell && IsDuplicateInFile(objectNumber)) {
        switch (role) {
        case Qt::FontRole: {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        case Qt::DecorationRole:
            return duplicateMark;
        case Qt::ToolTipRole:
            return DuplicateToolTip(objectNumber);
        case Qt::AccessibleDescriptionRole:
            return QStringLiteral("duplicate");
        }
    }
    if ((role == Qt::BackgroundRole || role == Qt::ForegroundRole) && Differs(objectNumber)) {
        const QPalette palette = QGuiApplication::palette();
        return role == Qt::BackgroundRole ? QBrush(Tinted(palette.color(QPalette::Base)))
                                          : QBrush(palette.color(QPalette::Text));
    }
    return {};
}

bool CObjectBaseModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() != FileColumn || role != Qt::EditRole)
        return false;
    const QString text = value.toString();
    if (const QString refusal = FileEntryRefusal(text); !refusal.isEmpty()) {
        emit fileEntryRefused(index, refusal);
        return false;
    }
    const TransmitterNumber number = *ParseFileCell(text.toStdString());
    const int objectNumber = index.row() + 1;
    const QString undoText = IsLearned(number.byte1, number.byte2)
                                 ? QStringLiteral("Set object %1").arg(Object(objectNumber))
                                 : QStringLiteral("Clear object %1").arg(Object(objectNumber));
    SetObjects({{objectNumber, number}}, undoText);
    return true;
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
    if (!index.isValid())
        return Qt::NoItemFlags;
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return editable && index.column() == FileColumn ? flags | Qt::ItemIsEditable : flags;
}

QString CObjectBaseModel::ConsoleText(int objectNumber) const {
    return QString::fromStdString(ConsoleCellText(objectBase, objectNumber));
}

QString CObjectBaseModel::FileText(int objectNumber) const {
    return QString::fromStdString(FileCellText(objectBase, objectNumber));
}

bool CObjectBaseModel::IsLearnedInConsole(int objectNumber) const {
    const ObjectRecord& record = objectBase.deviceTable[objectNumber];
    return record.number != 0 && RecordLearned(record);
}

bool CObjectBaseModel::IsLearnedInFile(int objectNumber) const {
    return objectBase.fileBaseLoaded && RecordLearned(objectBase.fileTable[objectNumber]);
}

bool CObjectBaseModel::Differs(int objectNumber) const {
    return ObjectDiffers(objectBase, objectNumber);
}

bool CObjectBaseModel::IsDuplicateInFile(int objectNumber) const {
    return duplicateInFile[std::size_t(objectNumber)];
}

QStringList CObjectBaseModel::RowFields(int objectNumber) const {
    QStringList fields;
    for (const std::string& field : ObjectRowFields(objectBase, objectNumber))
        fields << QString::fromStdString(field);
    return fields;
}

CObjectBaseModel::Counts CObjectBaseModel::CountObjects() const {
    Counts counts;
    for (int objectNumber = 1; objectNumber <= objectCount; ++objectNumber) {
        counts.learnedInConsole += IsLearnedInConsole(objectNumber);
        counts.learnedInFile += IsLearnedInFile(objectNumber);
        counts.differing += Differs(objectNumber);
        counts.duplicatesInFile += IsDuplicateInFile(objectNumber);
    }
    return counts;
}

void CObjectBaseModel::SetEditable(bool newEditable) {
    if (newEditable == editable)
        return;
    editable = newEditable;
    emit editableChanged(editable);
}

QString CObjectBaseModel::FileEntryRefusal(const QString& text) const {
    if (!editable)
        return QStringLiteral("The file column cannot change while an exchange with the "
                              "console runs.");
    if (!ParseFileCell(text.toStdString()))
        return QStringLiteral("\"%1\" is not a transmitter number. Type it as the table shows "
                              "them, 034.012 or 34.12, or leave the cell empty for none.")
            .arg(text.trimmed());
    return {};
}

bool CObjectBaseModel::SetObjects(const std::vector<ObjectAssignment>& assignments,
                                  const QString& undoText) {
    ObjectTable target = TableToEdit(objectBase);
    ApplyAssignments(target, assignments);
    return ReplaceFileTable(target, undoText);
}

AssignmentSummary
CObjectBaseModel::Summarise(const std::vector<ObjectAssignment>& assignments) const {
    return SummariseAssignments(TableToEdit(objectBase), assignments);
}

bool CObjectBaseModel::NewEmptyBase() {
    return ReplaceFileTable(EmptyFileTable(), QStringLiteral("New empty base"));
}

bool CObjectBaseModel::CanTakeConsoleBase() const {
    return objectBase.deviceBaseComplete == 1;
}

bool CObjectBaseModel::TakeConsoleBase() {
    return CanTakeConsoleBase() &&
           ReplaceFileTable(objectBase.deviceTable, QStringLiteral("Take the console's base"));
}

void CObjectBaseModel::MarkFileTableSaved() {
    KeepAsSaved();
    undoStack.setClean();
}

void CObjectBaseModel::RevertFileTable() {
    if (!IsFileTableModified())
        return;
    objectBase.fileTable = savedTable;
    objectBase.fileBaseLoaded = savedLoaded;
    undoStack.clear();
    OnFileTableChanged();
}

void CObjectBaseModel::OnBlockStored(int blockIndex) {
    if (blockIndex < 0 || blockIndex >= blockCount)
        return;
    const int firstRow = objectsPerBlock * blockIndex;
    RowsChanged(firstRow, firstRow + objectsPerBlock - 1);
}

void CObjectBaseModel::OnFileTableChanged() {
    FindDuplicates();
    RowsChanged(0, objectCount - 1);
}

void CObjectBaseModel::OnFileTableReplaced() {
    KeepAsSaved();
    undoStack.clear();
    OnFileTableChanged();
}

bool CObjectBaseModel::ReplaceFileTable(const ObjectTable& target, const QString& undoText) {
    if (!editable)
        return false;
    FileTableEdit edit = EditTo(objectBase, target);
    if (edit.ChangesNothing())
        return false;
    undoStack.push(new CFileTableCommand(*this, std::move(edit), undoText));
    return true;
}

void CObjectBaseModel::ApplyEdit(const FileTableEdit& edit, bool forward) {
    if (forward)
        DoEdit(objectBase, edit);
    else
        UndoEdit(objectBase, edit);
    OnFileTableChanged();
}

void CObjectBaseModel::KeepAsSaved() {
    savedTable = objectBase.fileTable;
    savedLoaded = objectBase.fileBaseLoaded;
}

void CObjectBaseModel::FindDuplicates() {
    std::fill(duplicateInFile.begin(), duplicateInFile.end(), false);
    // Without a file the table holds nothing that means anything.
    if (!objectBase.fileBaseLoaded)
        return;
    for (const int objectNumber : DuplicateObjects(objectBase.fileTable))
        duplicateInFile[std::size_t(objectNumber)] = true;
}

QString CObjectBaseModel::DuplicateToolTip(int objectNumber) const {
    const QString number = FileText(objectNumber);
    QStringList others;
    for (int other = 1; other <= objectCount; ++other)
        if (other != objectNumber && IsDuplicateInFile(other) && FileText(other) == number)
            others << Object(other);
    return (others.size() == 1 ? QStringLiteral("Object %1 holds %2 too.")
                               : QStringLiteral("Objects %1 hold %2 too."))
        .arg(others.join(QStringLiteral(", ")), number);
}

void CObjectBaseModel::RowsChanged(int firstRow, int lastRow) {
    // Whole rows: the differs mark and the row's colour follow either side.
    emit dataChanged(index(firstRow, ObjectColumn), index(lastRow, DiffersColumn));
    emit countsChanged();
}
