// SPDX-License-Identifier: MIT
#pragma once
// The result quantities of a calculation, each described once: its name in the JSON output, the
// main window's heading and caption, its unit, the patterns it is shown with and the main window's
// result field. dovex-calc's plain output, the main window's result fields, the results window,
// the printed results page, the report and the beam-quality panel take their patterns from this
// table; the JSON output writes the same names with every digit.
#include <vector>

#include "calculation/calculation.h"

namespace dovex::calc {

// Where a result quantity is shown. The main window, dovex-calc's plain output and the results
// window show it with its pattern; the printed results page, the report and the beam-quality
// panel too, unless the table gives the place a pattern of its own (fewer digits, a leading zero
// more or less).
enum class ResultPlace { Window, PrintedPage, Report, QualityPanel };

struct ResultQuantity {
    const char* json;     // "bsfSoft"
    const char* heading;  // the window's heading over a group ("後方散乱係数"), "" for none
    const char* caption;  // "軟部組織吸収線量に基づく"
    const char* unit;     // "", "Gy/C/kg", "mGy"
    const char* pattern;  // display pattern (engine/numtext.h), "#0.000"
    const char* windowField = nullptr;  // object name of the main window's result field
    // Where the value is held: a dose, a beam-quality figure or the exposure at 1 m.
    double DoseResult::*dose = nullptr;
    double BeamQuality::*quality = nullptr;
    // The patterns of the places that show the quantity otherwise, nullptr where they do not.
    const char* printPattern = nullptr;
    const char* reportPattern = nullptr;
    const char* panelPattern = nullptr;
    double value(const CalculationResult& r) const;
    const char* patternAt(ResultPlace place) const;
};

// In the order dovex-calc's plain output lists them.
const std::vector<ResultQuantity>& ResultQuantities();
// The quantity of a JSON name; throws CalcError for none.
const ResultQuantity& ResultQuantityOf(const char* json);

}  // namespace dovex::calc
