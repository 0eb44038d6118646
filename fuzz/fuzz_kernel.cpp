// SPDX-License-Identifier: MIT
// Scatter kernel files: read or refused with DataFileError; quick and general number reading
// agree value for value.
#include "effdose/depthdose.h"
#include "fuzz/fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dovex;
    const std::string bytes = fuzz::Bytes(data, size);
    fuzz::QuickAgreesWithGeneral([&] { return fuzz::RawBytes(*ParseKernel(bytes, "fuzz.dat")); });
    return 0;
}
