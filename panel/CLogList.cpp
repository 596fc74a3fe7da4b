#include "panel/CLogList.h"

#include "panel/CLogListAccessible.h"

#include <QAccessible>

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <climits>

namespace {

constexpr int textMargin = 2; // pixels left of the text, as a list box leaves them

} // namespace

CLogList::CLogList(QWidget* parent) : QAbstractScrollArea(parent) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(&CLogListAccessible::Factory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Long lines are cut off at the right edge rather than scrolled to.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::ClickFocus);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    verticalScrollBar()->setSingleStep(1);
}

void CLogList::Append(const QString& line) {
    lines.Append(line);
    UpdateScrollRange();
    const int index = Count() - 1;
    if (index - TopIndex() <= FullRowsInView())
        viewport()->update();
    // As an item view tells of a row it inserted; a reader asks for the line if it wants it.
    if (QAccessible::isActive() && lines.Count() <= INT_MAX) {
        QAccessibleTableModelChangeEvent event(this,
                                               QAccessibleTableModelChangeEvent::RowsInserted);
        event.setFirstRow(index);
        event.setLastRow(index);
        event.setFirstColumn(0);
        event.setLastColumn(0);
        QAccessible::updateAccessibility(&event);
    }
    emit lineAppended(index);
}

int CLogList::Count() const {
    return int(std::min<qsizetype>(lines.Count(), INT_MAX));
}

int CLogList::TopIndex() const {
    return verticalScrollBar()->value();
}

void CLogList::SetTopIndex(int index) {
    verticalScrollBar()->setValue(index);
}

int CLogList::RowHeight() const {
    return fontMetrics().height();
}

int CLogList::FullRowsInView() const {
    return std::max(1, viewport()->height() / RowHeight());
}

// A list box scrolls no further than to show its last line at the bottom.
void CLogList::UpdateScrollRange() {
    const int rows = FullRowsInView();
    verticalScrollBar()->setPageStep(rows);
    verticalScrollBar()->setRange(0, std::max(0, Count() - rows));
}

void CLogList::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const int height = RowHeight();
    const int top = TopIndex();
    const int width = viewport()->width();
    const int bottom = std::min(Count(), top + viewport()->height() / height + 1);
    for (int index = top; index < bottom; ++index) {
        const QRect row(0, (index - top) * height, width, height);
        const bool selected = index == current;
        if (selected)
            painter.fillRect(row, palette().brush(QPalette::Highlight));
        painter.setPen(palette().color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter.drawText(row.adjusted(textMargin, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         lines.Line(index));
        ++rowsDrawn;
    }
}

void CLogList::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollRange();
}

void CLogList::mousePressEvent(QMouseEvent* event) {
    const int index = TopIndex() + int(event->position().y()) / RowHeight();
    if (index < Count() && index != current) {
        current = index;
        viewport()->update();
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void CLogList::scrollContentsBy(int, int) {
    viewport()->update();
}
