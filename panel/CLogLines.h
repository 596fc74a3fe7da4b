#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <deque>

// The lines of the log, in order, every one kept with its exact text. The log
// never drops a line, and a bad line can make one line per damaged telegram for
// as long as it lasts, so they are kept compact: a time-stamped line is its
// second of the day and the number of its message text, each distinct text is
// stored once, and a run of the same line within one second is one entry with a
// count.
class CLogLines {
public:
    void Append(const QString& line);
    qsizetype Count() const { return count; }
    QString Line(qsizetype index) const; // 0 <= index < Count()

    // What the lines cost: entries (one per run of equal lines) and distinct texts.
    qsizetype Runs() const { return qsizetype(runs.size()); }
    qsizetype Texts() const { return texts.size(); }

private:
    static constexpr int32_t bare = -1; // a line without a time stamp

    struct Run {
        qsizetype first; // index of the run's first line
        uint32_t text;
        int32_t second; // of the day, or bare
    };

    std::deque<Run> runs;
    qsizetype count = 0;
    QStringList texts;
    QHash<QString, uint32_t> textNumbers;
};
