#include "panel/CObjectBaseFilter.h"

#include "base/ObjectBase.h"
#include "panel/CObjectBaseModel.h"

#include <QRegularExpression>

FindQuery ParseFindText(const QString& text) {
    static const QRegularExpression objectPattern(QStringLiteral("^(\\d{1,3})$"));
    static const QRegularExpression transmitterPattern(QStringLiteral("^(\\d{1,3})\\.(\\d{1,3})$"));
    const QString trimmed = text.trimmed();
    FindQuery query;
    if (const QRegularExpressionMatch match = objectPattern.match(trimmed); match.hasMatch()) {
        const int number = match.captured(1).toInt();
        if (number >= 1 && number <= objectCount)
            query = {FindQuery::Kind::Object, number, 0, 0};
    } else if (const QRegularExpressionMatch pair = transmitterPattern.match(trimmed);
               pair.hasMatch()) {
        const int byte2 = pair.captured(1).toInt();
        const int byte1 = pair.captured(2).toInt();
        if (byte2 <= 255 && byte1 <= 255)
            query = {FindQuery::Kind::Transmitter, 0, byte2, byte1};
    }
    return query;
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
    }
    return true;
}

bool CObjectBaseFilter::Matches(int objectNumber, const FindQuery& query) const {
    switch (query.kind) {
    case FindQuery::Kind::Object:
        return objectNumber == query.objectNumber;
    case FindQuery::Kind::Transmitter: {
        // Compared as shown, so "not read", "no file" and an empty cell match nothing.
        const QString wanted = TransmitterText(query.byte2, query.byte1);
        return baseModel.ConsoleText(objectNumber) == wanted ||
               baseModel.FileText(objectNumber) == wanted;
    }
    case FindQuery::Kind::Invalid:
        break;
    }
    return false;
}
