// SPDX-License-Identifier: MIT
#pragma once
// The one JSON form of a calculation's conditions and results (dovex-calc --json and any other
// JSON output): numbers at full precision, lengths and filters in cm, exposure in C/kg, doses
// in mGy, the effective dose in mSv (null when no estimate was made).
#include <nlohmann/json.hpp>

#include "calculation/calculation.h"

namespace dovex {
void to_json(nlohmann::ordered_json& j, const ExposureConditions& c);
void to_json(nlohmann::ordered_json& j, const DoseResult& d);
void to_json(nlohmann::ordered_json& j, const DepthDoseCurve& curve);
}  // namespace dovex

namespace dovex::calc {
void to_json(nlohmann::ordered_json& j, const CalculationResult& r);
}  // namespace dovex::calc
