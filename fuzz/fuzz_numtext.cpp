// SPDX-License-Identifier: MIT
// Lenient number reading, the quick route for plain decimals and the format patterns: the quick
// route reads what the lenient reading reads, and every number the writers print reads back as a
// finite number.
#include <cmath>
#include <cstring>

#include "engine/numtext.h"
#include "fuzz/fuzz_common.h"

namespace {

// The patterns the program writes numbers with (results file, windows, printout, spectrum file).
constexpr const char* kPatterns[] = {"0.00E+00", "#0.000", "#00.00",  "0.000",
                                     "00.00",    "##0.00", "##0.000", "###0.0",
                                     "#0.0",     "0000.0", "0.00000", "0.00E+0"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dovex;
    const std::string text = fuzz::Bytes(data, size);
    const double lenient = ParseLenient(text);
    (void)StartsWithNumber(text);
    (void)lenient;

    double quick = 0;
    const char* end = ReadPlainDecimal(text.data(), text.data() + text.size(), &quick);
    if (end) {
        const std::string_view read(text.data(), static_cast<std::size_t>(end - text.data()));
        const double general = ParseLenient(read);
        if (std::memcmp(&quick, &general, sizeof quick) != 0)
            fuzz::Finding("ReadPlainDecimal differs from ParseLenient");
    }

    if (size >= 8) {
        double v;
        std::memcpy(&v, data, 8);
        if (std::isfinite(v)) {
            if (!std::isfinite(ParseLenient(PlainNumber(v))))
                fuzz::Finding("PlainNumber writes what does not read back");
            for (const char* p : kPatterns)
                if (!std::isfinite(ParseLenient(FormatPattern(v, p))))
                    fuzz::Finding("FormatPattern writes what does not read back");
            // Any pattern text: no crash, no hang.
            (void)FormatPattern(v, std::string_view(text).substr(8, 40));
        }
    }
    return 0;
}
