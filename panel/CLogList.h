#pragma once

#include "panel/CLogLines.h"

#include <QAbstractScrollArea>
#include <QTimer>

#include <chrono>

// The log list: lines in the order they were written, one text line each, cut
// off at the right edge. Appending a line and painting cost the same at line 10
// and at line 1,000,000: rows have one height, so nothing is laid out per line,
// and only the rows in view are drawn. Nor does a line cost a message on the
// accessibility bus: new lines and the scroll position reach it at most once
// every announceInterval, so that a flood of lines does not bury a screen
// reader's own requests.
class CLogList : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit CLogList(QWidget* parent = nullptr);

    void Append(const QString& line);
    // Lines past the largest int are kept but not shown.
    int Count() const;
    QString Line(int index) const { return lines.Line(index); }
    const CLogLines& Lines() const { return lines; }

    // The first line in view. Set, it scrolls as far toward that line as the
    // list's length allows.
    int TopIndex() const;
    void SetTopIndex(int index);
    int FullRowsInView() const;

    // The line the operator clicked, or -1.
    int CurrentIndex() const { return current; }

    // How many rows have been drawn since the list was made: its cost, in counts.
    qint64 RowsDrawn() const { return rowsDrawn; }

    static constexpr std::chrono::milliseconds announceInterval{100};

signals:
    void lineAppended(int index);
    // Lines first..last were announced as inserted rows (to the accessibility bus
    // when a reader is active), and the scroll bar followed the top line.
    void linesAnnounced(int first, int last);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    int RowHeight() const;
    int LastTopIndex() const;
    void UpdateScrollRange();
    void AnnounceSoon();
    void Announce();

    CLogLines lines;
    // The first line in view. The scroll bar follows it when the list announces,
    // since every move of a scroll bar is a message on the accessibility bus.
    int top = 0;
    int announcedCount = 0;
    // Running while an announcement was made less than announceInterval ago.
    QTimer announceTimer;
    bool announcePending = false;
    int current = -1;
    qint64 rowsDrawn = 0;
};
