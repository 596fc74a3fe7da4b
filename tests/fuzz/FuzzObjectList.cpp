// Lists of objects fed arbitrary text, as a CSV file or the clipboard may bring it.
#include "FuzzCheck.h"
#include "base/ObjectCsv.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ObjectList list = ParseObjectList({reinterpret_cast<const char*>(data), size});
    // Every line gives at most one object or one fault, and never names an object twice.
    FUZZ_CHECK(list.assignments.size() + list.faults.size() <= size);
    std::vector<bool> given(objectCount + 1);
    for (const ObjectAssignment& assignment : list.assignments) {
        FUZZ_CHECK(assignment.objectNumber >= 1 && assignment.objectNumber <= objectCount);
        FUZZ_CHECK(!given[std::size_t(assignment.objectNumber)]);
        given[std::size_t(assignment.objectNumber)] = true;
    }
    for (std::size_t i = 0; i < list.faults.size(); ++i)
        FUZZ_CHECK(list.faults[i].line >= 1 &&
                   (i == 0 || list.faults[i - 1].line < list.faults[i].line));
    return 0;
}
