// The results file reader: anything is read or refused with ResultsFileError, and a file that was
// read is written and read again to the same table (the second writing equals the first).
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
    } catch (const ResultsFileError&) {
        fuzz::Finding("a file that was read cannot be written");
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
