#pragma once

#include <QAccessibleWidget>
#include <QHash>

class CLogList;

// The log list as the accessibility bus sees it: a list named as the widget is,
// whose children are its lines. A line's interface is made only when a reader
// asks for that line, then kept until the list goes, so reading line 5 of a
// million costs what it costs in a log of ten.
class CLogListAccessible : public QAccessibleWidget {
public:
    explicit CLogListAccessible(CLogList* list);
    ~CLogListAccessible() override;

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;

    static QAccessibleInterface* Factory(const QString& className, QObject* object);

private:
    CLogList* List() const;

    mutable QHash<int, QAccessible::Id> lineIds;
};
