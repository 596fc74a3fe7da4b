#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <deque>
#include <vector>

// The lines of the log, in order, every one kept with its exact text. The log
// never drops a line, and a bad line can make one line per damaged telegram for
// as long as it lasts, so they are kept compact: each distinct message text is
// stored once, and a run of equal lines (the same text with the same time stamp)
// is one entry of 8 bytes with a count.
class CLogLines {
public:
    void Append(const QString& line);
    qsizetype Count() const { return count; }
    QString Line(qsizetype index) const; // 0 <= index < Count()

    // What the lines cost: entries (one per run of equal lines) and distinct texts.
    qsizetype Runs() const { return qsizetype(runs.size()); }
    qsizetype Texts() const { return texts.size(); }

private:
    static constexpr uint32_t bare = (1u << 17) - 1; // no time stamp: past a day's last second
    static constexpr uint32_t longestRun = (1u << 15) - 1;
    // Every so many runs the index of their first line is noted, so that finding
    // a line walks at most this many runs.
    static constexpr qsizetype runsPerBlock = 64;

    struct Run {
        uint32_t text;
        uint32_t second : 17; // of the day, or bare
        uint32_t count : 15;
    };

    std::deque<Run> runs;
    std::vector<qsizetype> blockFirst; // first line of runs 0, runsPerBlock, 2 * runsPerBlock...
    qsizetype count = 0;
    QStringList texts;
    QHash<QString, uint32_t> textNumbers;
};
