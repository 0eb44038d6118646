// SPDX-License-Identifier: MIT
#pragma once
// Generator of the reference-level file: reads the general-radiography table of the Japanese
// national diagnostic reference levels 2020 (tools/reference/japan-drl-2020.md) and maps its items
// to the program's exam parts.
#include <string>

namespace dovex::drlgen {

// The bytes of "診断参考レベル.txt" (cp932, CR LF) generated from the reference table text.
// Throws std::runtime_error when an item the mapping needs is missing from the table or its
// value is not a number.
std::string GenerateDrlFile(const std::string& referenceMarkdown);

}  // namespace dovex::drlgen
