// SPDX-License-Identifier: MIT
#include "dialogs/conversions.h"

#include <cmath>

#include "engine/numtext.h"

namespace dovex::ui {

std::optional<double> MeasuredExposureCPerKg(std::string_view text, ExposureUnit unit,
                                             double airWOverE) {
    const double v = ParseLenient(text);
    if (text.empty() || !(v > 0) || !std::isfinite(v)) return std::nullopt;
    if (unit == ExposureUnit::Gray && !(airWOverE > 0)) return std::nullopt;
    const double x = MeasuredExposureToCkg(v, unit, airWOverE);
    if (!(x > 0) || !std::isfinite(x)) return std::nullopt;
    return x;
}

std::optional<double> PulsedAverageCurrent(std::string_view currentMa, std::string_view ratePps,
                                           std::string_view widthMs) {
    const double product = ParseLenient(currentMa) * ParseLenient(ratePps) * ParseLenient(widthMs);
    if (product == 0 || !std::isfinite(product)) return std::nullopt;
    return product * 0.001;
}

}  // namespace dovex::ui
