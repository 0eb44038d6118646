// SPDX-License-Identifier: MIT
#include "tests/support/numberitems.h"

#include "engine/error.h"
#include "engine/textio.h"

namespace dovex::testing {

std::vector<std::string> ItemsAsNumbers(const std::string& bytes, const std::string& name) {
    std::vector<std::string> out;
    FieldReader r(bytes, name);
    while (!r.AtEnd()) {
        try {
            const double v = r.NextNumber(0);
            out.emplace_back(reinterpret_cast<const char*>(&v), sizeof v);
        } catch (const DataFileError& e) {
            out.emplace_back(e.what());
        }
    }
    return out;
}

}  // namespace dovex::testing
