#include "panel/CObjectBaseFilter.h"

#include "base/TransmitterNumber.h"
#include "panel/CObjectBaseModel.h"

FindQuery ParseFindText(const QString& text) {
    const std::string trimmed = text.trimmed().toStdString();
    if (const std::optional<int> number = ParseObjectNumber(trimmed))
        return {FindQuery::Kind::Object, *number, 0, 0};
    if (const std::optional<TransmitterNumber> transmitter = ParseTransmitterNumber(trimmed))
        return {FindQuery::Kind::Transmitter, 0, transmitter->byte2, transmitter->byte1};
    return {};
}

CObjectBaseFilter::CObjectBaseFilter(CObjectBaseModel& baseModel, QObject* parent)
    : QSortFilterProxyModel(parent), baseModel(baseModel) {
    setSourceModel(&baseModel);
}

void CObjectBaseFilter::SetFilter(Filter newFilter) {
    if (newFilter == filter)
        return;
    filter = newFilter;
    invalidateRowsFilter();
}

int CObjectBaseFilter::ObjectNumberAt(int row) const {
    return mapToSource(index(row, 0)).row() + 1;
}

int CObjectBaseFilter::FindNext(const FindQuery& query, int afterRow) const {
    const int rows = rowCount();
    for (int step = 1; step <= rows; ++step) {
        const int row = ((afterRow + step) % rows + rows) % rows;
        if (Matches(ObjectNumberAt(row), query))
            return row;
    }
    return -1;
}

bool CObjectBaseFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    const int objectNumber = sourceRow + 1;
    switch (filter) {
    case Filter::All:
        return true;
    case Filter::Learned:
        return baseModel.IsLearnedInConsole(objectNumber) ||
               baseModel.IsLearnedInFile(objectNumber);
    case Filter::Differing:
        return baseModel.Differs(objectNumber);
    case Filter::Duplicates:
        return baseModel.IsDuplicateInFile(objectNumber);
    }
    return true;
}

bool CObjectBaseFilter::Matches(int objectNumber, const FindQuery& query) const {
    switch (query.kind) {
    case FindQuery::Kind::Object:
        return objectNumber == query.objectNumber;
    case FindQuery::Kind::Transmitter: {
        // Compared as shown, so "not read", "no file" and an empty cell match nothing.
        const QString wanted =
            QString::fromStdString(TransmitterText(uint8_t(query.byte1), uint8_t(query.byte2)));
        return baseModel.ConsoleText(objectNumber) == wanted ||
               baseModel.FileText(objectNumber) == wanted;
    }
    case FindQuery::Kind::Invalid:
        break;
    }
    return false;
}
