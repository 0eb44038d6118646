// SPDX-License-Identifier: MIT
#include "engine/checked.h"

namespace dovex {

void ThrowIndexError(const char* what, long index, long lo, long hi) {
    throw CalcError(std::string(what) + " index " + std::to_string(index) + " outside " +
                    std::to_string(lo) + ".." + std::to_string(hi));
}

}  // namespace dovex
