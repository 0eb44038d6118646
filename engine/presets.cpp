// SPDX-License-Identifier: MIT
#include "engine/presets.h"

#include "engine/constants.h"

namespace dovex {

const std::array<FieldPreset, 11>& FieldPresets() {
    static const std::array<FieldPreset, 11> presets = {{
        {"六切サイズ 縦", "25.4", "20.3", FieldShape::Rectangle},
        {"六切サイズ 横", "20.3", "25.4", FieldShape::Rectangle},
        {"四切サイズ 縦", "30.5", "25.4", FieldShape::Rectangle},
        {"四切サイズ 横", "25.4", "30.5", FieldShape::Rectangle},
        {"大四サイズ 縦", "35.6", "28.0", FieldShape::Rectangle},
        {"大四サイズ 横", "28.0", "35.6", FieldShape::Rectangle},
        {"大角サイズ", "35.6", "35.6", FieldShape::Rectangle},
        {"半切サイズ 縦", "43.2", "35.6", FieldShape::Rectangle},
        {"半切サイズ 横", "35.6", "43.2", FieldShape::Rectangle},
        {"その他", "", "", FieldShape::Rectangle},
        {"円形照射野", "10.0", "0", FieldShape::Circle},
    }};
    return presets;
}

std::optional<FieldPreset> FindFieldPreset(std::string_view name) {
    for (const auto& p : FieldPresets())
        if (name == p.name) return p;
    return std::nullopt;
}

double MeasuredExposureToCkg(double value, ExposureUnit unit, double airWOverE) {
    switch (unit) {
        case ExposureUnit::Roentgen:
            return value * kCoulombPerKgPerRoentgen;
        case ExposureUnit::Gray:
            return value / airWOverE;
        case ExposureUnit::CoulombPerKg:
            break;
    }
    return value;
}

}  // namespace dovex
