#include "base/ObjectCsv.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

const std::string notReadText = "not read";
const std::string noFileText = "no file";
const std::string fileColumnTitle = "file";
constexpr std::string_view separators = ",;\t";

// Only the low 8 bits of a loaded field ever reach the console, so they are what is shown.
std::string RecordText(const ObjectRecord& record) {
    const uint8_t byte1 = LineByte(record.byte1);
    const uint8_t byte2 = LineByte(record.byte2);
    return IsLearned(byte1, byte2) ? TransmitterText(byte1, byte2) : std::string();
}

std::string Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

std::string Lowered(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

// The fields of one line, each trimmed; a quoted field may hold the separator, and ""
// inside quotes stands for one quote.
std::vector<std::string> SplitFields(std::string_view line, char separator) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == separator && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    for (std::string& field : fields)
        field = Trimmed(field);
    return fields;
}

// The first separator outside quotes, or a comma when the line has none.
char SeparatorOf(std::string_view line) {
    bool quoted = false;
    for (const char c : line) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && separators.find(c) != std::string_view::npos)
            return c;
    }
    return ',';
}

// Lines end in LF, CR LF or CR alone, as spreadsheets on any system write them.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

bool IsBlank(const std::vector<std::string>& fields) {
    return std::all_of(fields.begin(), fields.end(),
                       [](const std::string& field) { return field.empty(); });
}

bool HasDigit(std::string_view text) {
    return text.find_first_of("0123456789") != std::string_view::npos;
}

// This program's own rows, as Ctrl+C copies them: object, console, file, yes or no.
bool IsOwnRow(const std::vector<std::string>& fields) {
    return fields.size() == 4 && (fields[3] == "yes" || fields[3] == "no");
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

} // namespace

std::string ObjectText(int objectNumber) {
    char text[8];
    std::snprintf(text, sizeof text, "%03d", objectNumber);
    return text;
}

std::string ConsoleCellText(const CObjectBase& base, int objectNumber) {
    const ObjectRecord& record = base.deviceTable[objectNumber];
    return record.number == 0 ? notReadText : RecordText(record);
}

std::string FileCellText(const CObjectBase& base, int objectNumber) {
    return base.fileBaseLoaded ? RecordText(base.fileTable[objectNumber]) : noFileText;
}

bool ObjectDiffers(const CObjectBase& base, int objectNumber) {
    return base.deviceTable[objectNumber].number != 0 && base.fileBaseLoaded &&
           ConsoleCellText(base, objectNumber) != FileCellText(base, objectNumber);
}

std::vector<std::string> ObjectRowFields(const CObjectBase& base, int objectNumber) {
    return {ObjectText(objectNumber), ConsoleCellText(base, objectNumber),
            FileCellText(base, objectNumber), ObjectDiffers(base, objectNumber) ? "yes" : "no"};
}

std::string ObjectRowsCsv(const CObjectBase& base, const std::vector<int>& objectNumbers) {
    std::string text = "object,console,file,differs\r\n";
    for (const int objectNumber : objectNumbers) {
        const std::vector<std::string> fields = ObjectRowFields(base, objectNumber);
        text += fields[0] + ',' + fields[1] + ',' + fields[2] + ',' + fields[3] + "\r\n";
    }
    return text;
}

ObjectList ParseObjectList(std::string_view text) {
    ObjectList list;
    const std::vector<std::string_view> lines = SplitLines(text);
    std::array<int, objectCount + 1> givenOnLine{}; // 0: not given yet
    char separator = 0;
    int numberColumn = -1; // from the header; -1 without one
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int lineNumber = int(i) + 1;
        const std::string_view line = lines[i];
        const bool first = separator == 0;
        if (first)
            separator = SeparatorOf(line);
        const std::vector<std::string> fields = SplitFields(line, separator);
        if (IsBlank(fields)) {
            if (first)
                separator = 0;
            continue;
        }
        auto fault = [&](const std::string& reason) {
            list.faults.push_back({lineNumber, std::string(line), reason});
        };

        if (first && !HasDigit(fields[0])) {
            const auto named = std::find_if(fields.begin(), fields.end(), [](const std::string& f) {
                return Lowered(f) == fileColumnTitle;
            });
            numberColumn = named == fields.end() ? 1 : int(named - fields.begin());
            continue;
        }
        const std::optional<int> objectNumber = ParseObjectNumber(fields[0]);
        if (!objectNumber) {
            fault(Quoted(fields[0]) + " is not an object number (1 to 600)");
            continue;
        }
        const int column = numberColumn >= 0 ? numberColumn : IsOwnRow(fields) ? 2 : 1;
        if (std::size_t(column) >= fields.size()) {
            fault("no transmitter number after the object");
            continue;
        }
        const std::string& cell = fields[std::size_t(column)];
        const std::optional<TransmitterNumber> number = ParseFileCell(cell);
        if (!number) {
            fault(cell == noFileText ? "no file number in this row (\"no file\")"
                                     : Quoted(cell) + " is not a transmitter number (034.012 or "
                                                      "34.12, or empty for none)");
            continue;
        }
        int& earlier = givenOnLine[std::size_t(*objectNumber)];
        if (earlier != 0) {
            fault("object " + ObjectText(*objectNumber) + " is given on line " +
                  std::to_string(earlier) + " already");
            continue;
        }
        earlier = lineNumber;
        list.assignments.push_back({*objectNumber, *number});
    }
    return list;
}
