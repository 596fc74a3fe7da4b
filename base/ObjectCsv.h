#pragma once

#include "base/FileTableEdit.h"
#include "base/ObjectBase.h"

#include <string>
#include <string_view>
#include <vector>

// The object base as text, both ways: the cells as the window shows them, the CSV that
// Export CSV writes, and lists of objects read back from such a file, from a spreadsheet
// or from the clipboard. Text here is UTF-8.

// "007".
std::string ObjectText(int objectNumber);
// The console's number; "not read" until a read has filled the entry, empty for no
// transmitter.
std::string ConsoleCellText(const CObjectBase& base, int objectNumber);
// The file's number; "no file" while no base is loaded, empty for no transmitter.
std::string FileCellText(const CObjectBase& base, int objectNumber);
// Only two known numbers can differ: an entry not read yet, or no file at all, differs
// from nothing.
bool ObjectDiffers(const CObjectBase& base, int objectNumber);
// Object, console, file, and "yes" or "no" for differs.
std::vector<std::string> ObjectRowFields(const CObjectBase& base, int objectNumber);

// The header line "object,console,file,differs", then the rows of these objects, CR LF
// after each. The texts never hold a comma or a quote, so nothing is quoted.
std::string ObjectRowsCsv(const CObjectBase& base, const std::vector<int>& objectNumbers);

// A line that says no object and number, with why.
struct ObjectListFault {
    int line = 0; // 1 for the first line of the text
    std::string text;
    std::string reason;
};

struct ObjectList {
    std::vector<ObjectAssignment> assignments; // in the order of their lines
    std::vector<ObjectListFault> faults;
};

// Reads lines of an object number and a transmitter number (as a file cell takes it:
// empty for not learned). Fields are separated by commas, semicolons or tabs, whichever
// the first line uses, and may be quoted. Blank lines are skipped. A first line whose
// first field holds no digit is a header: when it names a "file" column the numbers are
// taken from there, else from the second column. Without a header a row of this
// program's four columns (object, console, file, "yes" or "no") gives its file column,
// any other row its second. An object given twice is a fault the second time.
ObjectList ParseObjectList(std::string_view text);
