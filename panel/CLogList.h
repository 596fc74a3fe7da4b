#pragma once

#include "panel/CLogLines.h"

#include <QAbstractScrollArea>

// The log list: lines in the order they were written, one text line each, cut
// off at the right edge. Appending a line and painting cost the same at line 10
// and at line 1,000,000: rows have one height, so nothing is laid out per line,
// and only the rows in view are drawn.
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

signals:
    void lineAppended(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    int RowHeight() const;
    void UpdateScrollRange();

    CLogLines lines;
    int current = -1;
    qint64 rowsDrawn = 0;
};
