// SPDX-License-Identifier: MIT
// The reference-level file: any bytes are read or refused with DataFileError; a level that was
// read is positive and finite, and the comparison of a plausible dose with it gives a finite
// percentage.
#include <cmath>

#include "engine/drl.h"
#include "fuzz/fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dovex;
    DrlTable table;
    try {
        table = ParseDrlTable(fuzz::Bytes(data, size));
    } catch (const DataFileError&) {
        return 0;
    }
    for (const DrlEntry& e : table.entries) {
        if (!std::isfinite(e.valueMGy) || e.valueMGy < 0) fuzz::Finding("a level is not a dose");
        const DrlComparison c = CompareWithDrl(table, e.examPart, 80, 1.0);
        if (c.hasLevel && !(std::isfinite(c.percent) && c.percent > 0))
            fuzz::Finding("the comparison gives no finite percentage");
    }
    return 0;
}
