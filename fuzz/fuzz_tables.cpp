// SPDX-License-Identifier: MIT
// The readers of the physical data tables, one target per file kind (FUZZ_TABLE selects it):
// anything is read or refused with DataFileError, and the quick number route gives the same
// tables (or the same error) as the general reading.
#include "engine/tables.h"
#include "fuzz/fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dovex;
    const std::string bytes = fuzz::Bytes(data, size);
    fuzz::QuickAgreesWithGeneral([&] {
#if FUZZ_TABLE == 1
        auto t = std::make_unique<BackscatterTable>();
        ParseBackscatterData(*t, 1, bytes, "dBSF-SoftDose-Soft_Head.dat");
        return fuzz::RawBytes(*t);
#elif FUZZ_TABLE == 2
        auto t = std::make_unique<AttenuationTable>();
        ParseAttenuationData(*t, bytes);
        return fuzz::RawBytes(*t);
#elif FUZZ_TABLE == 3
        DefaultOutputTable t;
        ParseDefaultOutputData(t, bytes);
        return fuzz::RawBytes(t);
#elif FUZZ_TABLE == 4
        auto t = std::make_unique<PhysicsTables>();
        ParseIcruSoftData(*t, bytes);
        return fuzz::RawBytes(t->icruSoft) + fuzz::RawBytes(t->icruSoftRows);
#elif FUZZ_TABLE == 5
        auto t = std::make_unique<PhysicsTables>();
        ParsePrimaryData(*t, bytes);
        ComputePrimaryFine(*t);
        return fuzz::RawBytes(t->primaryFine);
#else
#error "FUZZ_TABLE selects the table reader"
#endif
    });
    return 0;
}
