// SPDX-License-Identifier: MIT
#pragma once
// Field sizes at the image receptor: the conventional Japanese film sizes in portrait (縦) and
// landscape (横), a free entry and a circular field; and the units of a measured exposure.
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "engine/conditions.h"

namespace dovex {

struct FieldPreset {
    const char* name;       // list entry
    const char* longText;   // text put into the long-axis field ("" = emptied)
    const char* shortText;  // text put into the short-axis field
    FieldShape shape;       // a circle's long text is its diameter
};

// The eleven entries of the preset list, in list order.
const std::array<FieldPreset, 11>& FieldPresets();
// The preset of that name, if any.
std::optional<FieldPreset> FindFieldPreset(std::string_view name);

inline constexpr const char* kPresetOther = "その他";
inline constexpr const char* kPresetCircle = "円形照射野";

// Units in which a measured exposure at 1 m can be given (in the order the measured exposure
// dialog offers them).
enum class ExposureUnit { CoulombPerKg = 0, Roentgen = 1, Gray = 2 };
// Converts a measured value to C/kg: R x 2.58e-4 C/kg, air kerma in Gy / (W/e of air).
double MeasuredExposureToCkg(double value, ExposureUnit unit, double airWOverE);

}  // namespace dovex
