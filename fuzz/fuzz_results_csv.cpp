// SPDX-License-Identifier: MIT
// The results file reader: anything is read or refused with ResultsFileError, and a file that was
// read is written and read again to the same table. The writer rounds to its patterns, so the
// table is compared from the first written file on: writing what was read from it gives it again.
// (A value that rounds to 0.000 where 0 stands for "no value", as a tiny effective dose, comes
// back as 0 and is then written as "―"; from there on the file stays the same.)
#include "fuzz/fuzz_common.h"
#include "results/csvfile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dovex;
    ResultsFileContents in;
    try {
        in = ParseResultsFile(fuzz::Bytes(data, size), "fuzz.csv");
    } catch (const ResultsFileError&) {
        return 0;
    }
    const double air = in.airWOverE.value_or(33.97);
    std::string first;
    try {
        first = ResultsFileBytes(in.table, in.comment, air);
        // Once more, so that values that round to a "no value" are settled.
        const ResultsFileContents settled = ParseResultsFile(first, "settled.csv");
        first = ResultsFileBytes(settled.table, settled.comment, settled.airWOverE.value_or(33.97));
    } catch (const ResultsFileError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        fuzz::Finding("a file that was read cannot be written, or is refused when read back");
    }
    ResultsFileContents again;
    try {
        again = ParseResultsFile(first, "again.csv");
    } catch (const ResultsFileError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        fuzz::Finding("the reader refuses what the writer wrote");
    }
    if (ResultsFileBytes(again.table, again.comment, again.airWOverE.value_or(33.97)) != first)
        fuzz::Finding("read, write, read does not give the same table");
    return 0;
}
