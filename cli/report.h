// SPDX-License-Identifier: MIT
#pragma once
// The output of one dovex-calc calculation: plain text with the main window's captions and
// formats, or the JSON form of the result (full precision).
#include <string>

#include "calculation/calculation.h"

namespace dovex {

std::string FormatPlain(const calc::CalculationResult& r);
std::string FormatJson(const calc::CalculationResult& r);

}  // namespace dovex
