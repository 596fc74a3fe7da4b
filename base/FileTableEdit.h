#pragma once

#include "base/BaseFileCodec.h"
#include "base/ObjectBase.h"
#include "base/TransmitterNumber.h"

#include <optional>
#include <string_view>
#include <vector>

// Preparing a file table by hand or from a list, the same for the window and the
// command line: what an edit starts from, what it sets, what it would change, and
// what a table looks like as a base file.

// One object's transmitter number as a cell, a pasted row or an imported line gives it.
// 255.255 (TransmitterNumber's default) makes the object not learned.
struct ObjectAssignment {
    int objectNumber = 0; // 1..objectCount
    TransmitterNumber number;

    bool operator==(const ObjectAssignment&) const = default;
};

// A base with no transmitter in it: entry 0 zero, every object numbered and not learned.
ObjectTable EmptyFileTable();

// What an edit of the file table starts from: the file table, or an empty base while
// none is loaded (the table then holds nothing that means anything).
ObjectTable TableToEdit(const CObjectBase& base);

// A file cell as typed or imported: a transmitter number as the window shows it, or
// nothing but blanks for not learned. nullopt for anything else.
std::optional<TransmitterNumber> ParseFileCell(std::string_view text);

// Sets each object's number in table. An object whose number stays the same, as far
// as the console can tell, keeps its record exactly as it was.
void ApplyAssignments(ObjectTable& table, const std::vector<ObjectAssignment>& assignments);

// What ApplyAssignments would do to table: objects that get another learned number,
// objects that lose theirs, and objects given that stay as they are.
struct AssignmentSummary {
    int set = 0;
    int cleared = 0;
    int unchanged = 0;

    bool operator==(const AssignmentSummary&) const = default;
};
AssignmentSummary SummariseAssignments(const ObjectTable& table,
                                       const std::vector<ObjectAssignment>& assignments);

// Objects 1..objectCount of table, in order, whose learned number another object holds
// too. Two objects with one number are allowed, as nothing says the console refuses
// them, but they are most likely a typing error.
std::vector<int> DuplicateObjects(const ObjectTable& table);

// The base file the program writes for a file table: record 0 zero, record k numbered
// k, each transmitter byte cut to the low 8 bits that are all the console ever gets.
BaseFileBytes FileTableBaseFile(const ObjectTable& table);

// One change of the file table, from what it held to a whole new state, kept as the
// entries that differ so that it can be done and undone any number of times.
struct FileTableEdit {
    struct Entry {
        int index = 0;
        ObjectRecord before;
        ObjectRecord after;
    };
    std::vector<Entry> entries;
    int32_t loadedBefore = 0;
    int32_t loadedAfter = 1;

    bool ChangesNothing() const { return entries.empty() && loadedBefore == loadedAfter; }
};

// The change from base's file table to target. An edited table counts as a loaded base,
// so that "Write Base" sends it.
FileTableEdit EditTo(const CObjectBase& base, const ObjectTable& target);
void DoEdit(CObjectBase& base, const FileTableEdit& edit);
void UndoEdit(CObjectBase& base, const FileTableEdit& edit);
