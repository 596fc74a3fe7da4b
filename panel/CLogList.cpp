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
    announceTimer.setSingleShot(true);
    announceTimer.setInterval(announceInterval);
    connect(&announceTimer, &QTimer::timeout, this, [this] {
        if (!announcePending)
            return;
        announcePending = false;
        Announce();
        announceTimer.start();
    });
}

void CLogList::Append(const QString& line) {
    lines.Append(line);
    UpdateScrollRange();
    const int index = Count() - 1;
    if (index - TopIndex() <= FullRowsInView())
        viewport()->update();
    AnnounceSoon();
    emit lineAppended(index);
}

// The first change after a quiet spell is announced at once, later ones together
// when announceInterval has passed since the last announcement.
void CLogList::AnnounceSoon() {
    if (announceTimer.isActive()) {
        announcePending = true;
        return;
    }
    Announce();
    announceTimer.start();
}

void CLogList::Announce() {
    verticalScrollBar()->setValue(top);
    const int count = Count();
    if (announcedCount == count)
        return;
    // As an item view tells of rows it inserted; a reader asks for a line if it wants it.
    if (QAccessible::isActive()) {
        QAccessibleTableModelChangeEvent event(this,
                                               QAccessibleTableModelChangeEvent::RowsInserted);
        event.setFirstRow(announcedCount);
        event.setLastRow(count - 1);
        event.setFirstColumn(0);
        event.setLastColumn(0);
        QAccessible::updateAccessibility(&event);
    }
    emit linesAnnounced(announcedCount, count - 1);
    announcedCount = count;
}

int CLogList::Count() const {
    return int(std::min<qsizetype>(lines.Count(), INT_MAX));
}

int CLogList::TopIndex() const {
    return top;
}

void CLogList::SetTopIndex(int index) {
    const int clamped = std::clamp(index, 0, LastTopIndex());
    if (clamped == top)
        return;
    top = clamped;
    viewport()->update();
    AnnounceSoon();
}

int CLogList::RowHeight() const {
    return fontMetrics().height();
}

int CLogList::FullRowsInView() const {
    return std::max(1, viewport()->height() / RowHeight());
}

// A list box scrolls no further than to show its last line at the bottom.
int CLogList::LastTopIndex() const {
    return std::max(0, Count() - FullRowsInView());
}

// A new range sends nothing to the accessibility bus (a new value does), so the
// range follows the lines at once.
void CLogList::UpdateScrollRange() {
    verticalScrollBar()->setPageStep(FullRowsInView());
    verticalScrollBar()->setRange(0, LastTopIndex());
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
    SetTopIndex(top);
}

void CLogList::mousePressEvent(QMouseEvent* event) {
    const int index = TopIndex() + int(event->position().y()) / RowHeight();
    if (index < Count() && index != current) {
        current = index;
        viewport()->update();
    }
    QAbstractScrollArea::mousePressEvent(event);
}

// The operator moved the scroll bar, or it followed the top line.
void CLogList::scrollContentsBy(int, int) {
    top = verticalScrollBar()->value();
    viewport()->update();
}
