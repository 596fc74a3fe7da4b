#include "panel/CLogListAccessible.h"

#include "panel/CLogList.h"

#include <QPointer>

namespace {

// One line of the log: a list item whose name is the line's exact text.
class CLogLineAccessible : public QAccessibleInterface {
public:
    CLogLineAccessible(CLogList* list, int index) : list(list), index(index) {}

    int Index() const { return index; }

    bool isValid() const override { return list && index < list->Count(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return list ? list->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override {
        return list ? QAccessible::queryAccessibleInterface(list) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }

    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Name && isValid() ? list->Line(index) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QAccessible::Role role() const override { return QAccessible::ListItem; }

    QAccessible::State state() const override {
        QAccessible::State state;
        state.readOnly = true;
        state.selectable = true;
        if (!isValid())
            return state;
        state.selected = index == list->CurrentIndex();
        state.invisible = !InView();
        state.offscreen = state.invisible;
        return state;
    }

    // The row on the screen, or an empty rectangle when it is scrolled away.
    QRect rect() const override {
        if (!isValid() || !InView())
            return {};
        const int height = list->fontMetrics().height();
        const QRect row(0, (index - list->TopIndex()) * height, list->viewport()->width(), height);
        return row.translated(list->viewport()->mapToGlobal(QPoint(0, 0)));
    }

private:
    bool InView() const {
        const int top = list->TopIndex();
        return index >= top && index <= top + list->FullRowsInView();
    }

    QPointer<CLogList> list;
    const int index;
};

} // namespace

CLogListAccessible::CLogListAccessible(CLogList* list)
    : QAccessibleWidget(list, QAccessible::List) {}

CLogListAccessible::~CLogListAccessible() {
    for (const QAccessible::Id id : std::as_const(lineIds))
        QAccessible::deleteAccessibleInterface(id);
}

CLogList* CLogListAccessible::List() const {
    return static_cast<CLogList*>(widget());
}

int CLogListAccessible::childCount() const {
    return List()->Count();
}

QAccessibleInterface* CLogListAccessible::child(int index) const {
    if (index < 0 || index >= childCount())
        return nullptr;
    const auto known = lineIds.constFind(index);
    if (known != lineIds.constEnd())
        return QAccessible::accessibleInterface(*known);
    auto* line = new CLogLineAccessible(List(), index);
    lineIds.insert(index, QAccessible::registerAccessibleInterface(line));
    return line;
}

int CLogListAccessible::indexOfChild(const QAccessibleInterface* child) const {
    const auto* line = dynamic_cast<const CLogLineAccessible*>(child);
    return line && line->parent() == this ? line->Index() : -1;
}

QAccessibleInterface* CLogListAccessible::childAt(int x, int y) const {
    const QPoint point = List()->viewport()->mapFromGlobal(QPoint(x, y));
    if (!List()->viewport()->rect().contains(point))
        return nullptr;
    return child(List()->TopIndex() + point.y() / List()->fontMetrics().height());
}

QAccessibleInterface* CLogListAccessible::focusChild() const {
    return List()->hasFocus() ? child(List()->CurrentIndex()) : nullptr;
}

QAccessibleInterface* CLogListAccessible::Factory(const QString& className, QObject* object) {
    auto* list = qobject_cast<CLogList*>(object);
    return className == QLatin1String("CLogList") && list ? new CLogListAccessible(list) : nullptr;
}
