// SPDX-License-Identifier: MIT
// Organ data files: read or refused with DataFileError; quick and general number reading agree.
#include "effdose/organdata.h"
#include "fuzz/fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dovex;
    const std::string bytes = fuzz::Bytes(data, size);
    fuzz::QuickAgreesWithGeneral([&] {
        OrganDataRecords recs = ParseOrganData(bytes, "Organ-data/fuzz.csv");
        std::string out;
        for (long i = 1; i <= kTissueRows; ++i) {
            const OrganDataRecord& r = recs[i];
            out += r.label + fuzz::RawBytes(r.applies) + fuzz::RawBytes(r.startMode) +
                   fuzz::RawBytes(r.startValue) + fuzz::RawBytes(r.endMode) +
                   fuzz::RawBytes(r.endValue) + fuzz::RawBytes(r.percentage);
        }
        return out;
    });
    return 0;
}
