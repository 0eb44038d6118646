// SPDX-License-Identifier: MIT
// The device-profile file: any bytes are read or refused with DataFileError; what was read is
// written by the profile writer and read back to the same profiles.
#include "fuzz/fuzz_common.h"
#include "records/mapping.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dovex;
    std::vector<records::DeviceProfile> read;
    try {
        read = records::ParseProfiles(fuzz::Bytes(data, size), "profiles.csv");
    } catch (const DataFileError&) {
        return 0;
    }
    std::vector<records::DeviceProfile> back;
    try {
        back = records::ParseProfiles(records::ProfileFileBytes(read), "profiles.csv");
    } catch (const DataFileError&) {
        fuzz::Finding("profiles that were read cannot be written and read back");
    }
    if (back.size() != read.size()) fuzz::Finding("the written file holds another number of units");
    for (std::size_t i = 0; i < back.size() && i < read.size(); ++i)
        if (records::ProfileCells(back[i]) != records::ProfileCells(read[i]))
            fuzz::Finding("a unit reads back otherwise than it was written");
    return 0;
}
