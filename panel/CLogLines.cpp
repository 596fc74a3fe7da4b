#include "panel/CLogLines.h"

#include <algorithm>

namespace {

constexpr qsizetype stampLength = 11; // "HH:MM:SS - "

int Digits(const QString& line, int at) {
    const QChar high = line.at(at);
    const QChar low = line.at(at + 1);
    if (high < u'0' || high > u'9' || low < u'0' || low > u'9')
        return -1;
    return (high.unicode() - u'0') * 10 + (low.unicode() - u'0');
}

// The second of the day of a line that starts with a time stamp written the way
// Stamp writes it back, or -1.
int StampedSecond(const QString& line) {
    if (line.size() < stampLength || line.at(2) != u':' || line.at(5) != u':' ||
        line.mid(8, 3) != QLatin1String(" - "))
        return -1;
    const int hours = Digits(line, 0);
    const int minutes = Digits(line, 3);
    const int seconds = Digits(line, 6);
    if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59)
        return -1;
    return (hours * 60 + minutes) * 60 + seconds;
}

QString Stamp(int second) {
    return QString::asprintf("%02d:%02d:%02d - ", second / 3600, second / 60 % 60, second % 60);
}

} // namespace

void CLogLines::Append(const QString& line) {
    const int second = StampedSecond(line);
    const QString text = second < 0 ? line : line.mid(stampLength);
    auto known = textNumbers.constFind(text);
    if (known == textNumbers.constEnd()) {
        known = textNumbers.insert(text, uint32_t(texts.size()));
        texts.append(text);
    }
    const uint32_t stamp = second < 0 ? bare : uint32_t(second);
    if (!runs.empty() && runs.back().text == *known && runs.back().second == stamp &&
        runs.back().count < longestRun) {
        ++runs.back().count;
    } else {
        if (Runs() % runsPerBlock == 0)
            blockFirst.push_back(count);
        runs.push_back(Run{*known, stamp, 1});
    }
    ++count;
}

QString CLogLines::Line(qsizetype index) const {
    // The last block that starts at or before index, then its run that holds it.
    const auto block = std::upper_bound(blockFirst.begin(), blockFirst.end(), index) - 1;
    qsizetype first = *block;
    auto run = runs.begin() + (block - blockFirst.begin()) * runsPerBlock;
    while (first + run->count <= index)
        first += (run++)->count;
    const QString& text = texts.at(run->text);
    return run->second == bare ? text : Stamp(int(run->second)) + text;
}
