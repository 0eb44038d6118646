// SPDX-License-Identifier: MIT
#pragma once
// The arithmetic behind the auxiliary dialogs, free of any window: the measured exposure in its
// three units and the average tube current of pulsed fluoroscopy.
#include <optional>
#include <string_view>

#include "engine/presets.h"

namespace dovex::ui {

// The measured exposure at 1 m in C/kg for a typed text and unit; std::nullopt when the text is
// empty or its number is not above 0 (or not finite), which sends the calculation back to the
// default output data. Air kerma is turned into exposure with the W value of air (J/C).
std::optional<double> MeasuredExposureCPerKg(std::string_view text, ExposureUnit unit,
                                             double airWOverE);

// Duty-cycle average tube current (mA) of pulsed fluoroscopy: I mA flowing for w ms, f times a
// second, gives I*f*w/1000 mA. std::nullopt when I*f*w is 0 or not a finite number.
std::optional<double> PulsedAverageCurrent(std::string_view currentMa, std::string_view ratePps,
                                           std::string_view widthMs);

}  // namespace dovex::ui
