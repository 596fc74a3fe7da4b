#include "base/FileTableEdit.h"

#include <algorithm>
#include <utility>

namespace {

constexpr TransmitterNumber notLearned{};

// The number as the console would get it.
TransmitterNumber LineNumber(const ObjectRecord& record) {
    return {LineByte(record.byte1), LineByte(record.byte2)};
}

bool Learned(const TransmitterNumber& number) {
    return IsLearned(number.byte1, number.byte2);
}

std::string_view TrimBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace

ObjectTable EmptyFileTable() {
    ObjectTable table{};
    for (int n = 1; n <= objectCount; ++n)
        table[n] = {n, notLearned.byte1, notLearned.byte2};
    return table;
}

ObjectTable TableToEdit(const CObjectBase& base) {
    return base.fileBaseLoaded ? base.fileTable : EmptyFileTable();
}

std::optional<TransmitterNumber> ParseFileCell(std::string_view text) {
    const std::string_view cell = TrimBlanks(text);
    if (cell.empty())
        return notLearned;
    return ParseTransmitterNumber(cell);
}

void ApplyAssignments(ObjectTable& table, const std::vector<ObjectAssignment>& assignments) {
    for (const ObjectAssignment& assignment : assignments) {
        const int n = assignment.objectNumber;
        if (n < 1 || n > objectCount || LineNumber(table[n]) == assignment.number)
            continue;
        table[n] = {n, assignment.number.byte1, assignment.number.byte2};
    }
}

AssignmentSummary SummariseAssignments(const ObjectTable& table,
                                       const std::vector<ObjectAssignment>& assignments) {
    AssignmentSummary summary;
    for (const ObjectAssignment& assignment : assignments) {
        const int n = assignment.objectNumber;
        if (n < 1 || n > objectCount)
            continue;
        const TransmitterNumber before = LineNumber(table[n]);
        if (before == assignment.number)
            ++summary.unchanged;
        else if (Learned(assignment.number))
            ++summary.set;
        else
            ++summary.cleared;
    }
    return summary;
}

std::vector<int> DuplicateObjects(const ObjectTable& table) {
    // The learned objects ordered by number, so that equal numbers stand together.
    std::vector<std::pair<int, int>> learned; // number as byte2 * 256 + byte1, object
    for (int n = 1; n <= objectCount; ++n) {
        const TransmitterNumber number = LineNumber(table[n]);
        if (Learned(number))
            learned.emplace_back(number.byte2 * 256 + number.byte1, n);
    }
    std::sort(learned.begin(), learned.end());
    std::vector<int> objects;
    for (std::size_t i = 0; i < learned.size(); ++i) {
        const bool sameAsPrevious = i > 0 && learned[i - 1].first == learned[i].first;
        const bool sameAsNext = i + 1 < learned.size() && learned[i + 1].first == learned[i].first;
        if (sameAsPrevious || sameAsNext)
            objects.push_back(learned[i].second);
    }
    std::sort(objects.begin(), objects.end());
    return objects;
}

BaseFileBytes FileTableBaseFile(const ObjectTable& table) {
    ObjectTable written{};
    for (int n = 1; n <= objectCount; ++n) {
        const TransmitterNumber number = LineNumber(table[n]);
        written[n] = {n, number.byte1, number.byte2};
    }
    return EncodeBaseFile(written);
}

FileTableEdit EditTo(const CObjectBase& base, const ObjectTable& target) {
    FileTableEdit edit;
    edit.loadedBefore = base.fileBaseLoaded;
    edit.loadedAfter = 1;
    for (int k = 0; k <= objectCount; ++k)
        if (base.fileTable[k] != target[k])
            edit.entries.push_back({k, base.fileTable[k], target[k]});
    return edit;
}

void DoEdit(CObjectBase& base, const FileTableEdit& edit) {
    for (const FileTableEdit::Entry& entry : edit.entries)
        base.fileTable[entry.index] = entry.after;
    base.fileBaseLoaded = edit.loadedAfter;
}

void UndoEdit(CObjectBase& base, const FileTableEdit& edit) {
    for (const FileTableEdit::Entry& entry : edit.entries)
        base.fileTable[entry.index] = entry.before;
    base.fileBaseLoaded = edit.loadedBefore;
}
