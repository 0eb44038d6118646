// SPDX-License-Identifier: MIT
#pragma once
// Helpers of the fuzz targets: every reader must either read its input or refuse it with its own
// error type; anything else (a crash, a sanitizer report, another exception) is a finding.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/error.h"
#include "engine/textio.h"

namespace dovex::fuzz {

inline std::string Bytes(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

template <class T>
std::string RawBytes(const T& value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

[[noreturn]] inline void Finding(const char* what) {
    std::fprintf(stderr, "finding: %s\n", what);
    std::abort();
}

// Runs `parse` (returning the parsed result as bytes, or throwing DataFileError) with the quick
// number route and with the general reading only: both must give the same result or the same
// error message.
template <class Parse>
void QuickAgreesWithGeneral(Parse parse) {
    std::string a, b, ea, eb;
    FieldReader::SetQuickNumbers(true);
    try {
        a = parse();
    } catch (const DataFileError& e) {
        ea = e.what();
    }
    FieldReader::SetQuickNumbers(false);
    try {
        b = parse();
    } catch (const DataFileError& e) {
        eb = e.what();
    }
    FieldReader::SetQuickNumbers(true);
    if (a != b || ea != eb) {
        std::fprintf(stderr, "quick: %s\ngeneral: %s\n", ea.c_str(), eb.c_str());
        Finding("the quick and the general number reading differ");
    }
}

}  // namespace dovex::fuzz
