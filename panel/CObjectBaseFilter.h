#pragma once

#include <QSortFilterProxyModel>

class CObjectBaseModel;

// What the find box asked for: an object by its number, or the objects that hold
// a transmitter number ("034.012" or "34.12", byte2 before the point).
struct FindQuery {
    enum class Kind { Invalid, Object, Transmitter };
    Kind kind = Kind::Invalid;
    int objectNumber = 0;
    int byte2 = 0;
    int byte1 = 0;
};

FindQuery ParseFindText(const QString& text);

// The rows of the object base the table shows: all, the learned ones (in the
// console or in the file), only those where console and file differ, or only the
// file's objects whose number another object holds too.
class CObjectBaseFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    enum class Filter { All, Learned, Differing, Duplicates };

    explicit CObjectBaseFilter(CObjectBaseModel& baseModel, QObject* parent = nullptr);

    void SetFilter(Filter filter);
    Filter CurrentFilter() const { return filter; }

    // The object shown in a row of this model.
    int ObjectNumberAt(int row) const;
    // The first shown row after afterRow that matches, wrapping to the top; -1
    // if none does. afterRow -1 starts at the top.
    int FindNext(const FindQuery& query, int afterRow) const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    bool Matches(int objectNumber, const FindQuery& query) const;

    const CObjectBaseModel& baseModel;
    Filter filter = Filter::All;
};
