// SPDX-License-Identifier: MIT
// Material files of the arbitrary filter: read or refused with DataFileError (quick and general
// number reading agree); a table that was read gives an attenuation curve or a CalcError.
#include "engine/material.h"
#include "fuzz/fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dovex;
    const std::string bytes = fuzz::Bytes(data, size);
    fuzz::QuickAgreesWithGeneral([&] {
        MaterialTable m = ParseMaterialData(bytes, "fuzz.mix");
        std::string out = m.name + fuzz::RawBytes(m.density);
        for (std::size_t i = 0; i < m.energyMeV.size(); ++i)
            out += fuzz::RawBytes(m.energyMeV[i]) + fuzz::RawBytes(m.total[i]);
        try {
            out += fuzz::RawBytes(BuildArbitraryFilterMu(m));
        } catch (const CalcError&) {
        }
        return out;
    });
    return 0;
}
