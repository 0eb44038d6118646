// SPDX-License-Identifier: MIT
// Dose records: any bytes go through DCMTK's parser to the events and their mapping. A file is
// read or refused with RecordError; every event maps without an exception, and an event the
// mapping does not refuse has a geometry and an exposure a calculation can take.
#include <cmath>
#include <vector>

#include "fuzz/fuzz_common.h"
#include "records/mapping.h"
#include "records/reading.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dovex::records;
    std::vector<DoseEvent> events;
    std::vector<OtherEvent> others;
    try {
        ReadRecordBytes(dovex::fuzz::Bytes(data, size), "fuzz.dcm", events, others);
    } catch (const RecordError&) {
        return 0;
    }
    const MappingContext cx{};
    for (const DoseEvent& e : events) {
        MappedEvent m;
        try {
            m = MapEvent(e, cx);
        } catch (...) {
            dovex::fuzz::Finding("the mapping threw");
        }
        if (m.conditions.examPart.empty()) dovex::fuzz::Finding("no exam part");
        if (m.refusal) continue;
        const auto& c = m.conditions;
        if (!(c.ffd > 0 && c.fsd > 0 && c.tubeCurrent > 0 && c.exposureTime > 0 &&
              std::isfinite(c.ffd) && std::isfinite(c.fsd) && std::isfinite(c.tubeCurrent) &&
              std::isfinite(c.exposureTime) && std::isfinite(c.tubeVoltage)))
            dovex::fuzz::Finding("an event passed the mapping with an impossible geometry");
        if (m.recordKerma && !(std::isfinite(m.recordKerma->mGy) && m.recordKerma->mGy > 0))
            dovex::fuzz::Finding("the record's kerma is not a dose");
    }
    return 0;
}
