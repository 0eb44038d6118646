// SPDX-License-Identifier: MIT
#pragma once
// Every item of a file read as a number, for comparing two ways of reading the same bytes.
#include <string>
#include <vector>

namespace dovex::testing {

// The value's bits of each item, or the reason it is not a number.
std::vector<std::string> ItemsAsNumbers(const std::string& bytes, const std::string& name);

}  // namespace dovex::testing
