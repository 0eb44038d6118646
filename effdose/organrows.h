// SPDX-License-Identifier: MIT
#pragma once
// The 16 tissue rows of the effective-dose estimate as a plain model. The organ data loader
// fills the rows with numbers, the organ-dose step reads them and writes the dose labels and the
// total; the organ list window binds to the same model (it reads what a user types with the
// lenient number reading), so what a user types between two runs is what the next run reads.
#include <optional>
#include <string>
#include <string_view>

#include "engine/checked.h"

namespace dovex {

inline constexpr long kTissueRows = 16;

// A tick box: unticked, ticked, or the grey (indeterminate) state, which does not count as ticked.
enum class TickState { Unchecked = 0, Checked = 1, Grey = 2 };

struct TissueRow {
    TickState tick = TickState::Unchecked;
    // No value: an empty box, or one whose text is not a number (a ticked row reads it as 0).
    std::optional<double> startDepth;  // cm below the entrance surface
    std::optional<double> endDepth;    // cm below the entrance surface
    std::optional<double> percentage;  // share of the tissue inside the irradiated volume, per cent
    bool leftOut = false;              // unticked in the last run: its empty boxes show "-"
    std::string doseLabel;             // tissue dose in μSv ("###0.0"), "-" for an unticked row
};

// A box of a row as shown: a depth with one decimal (more where the number has them), the
// percentage in the plain number form; "-" in a row left out of the last run, "" when empty.
std::string DepthText(const TissueRow& row, const std::optional<double>& depth);
std::string PercentageText(const TissueRow& row);

// What a box a user types into holds: the lenient reading of its text, nothing for a text
// without a number ("", "-").
std::optional<double> ReadTissueBox(std::string_view text);

struct OrganRows {
    Checked<TissueRow, 1, kTissueRows> rows;
    std::string examPartLabel;   // the exam part of the last run
    std::string thicknessLabel;  // "被写体厚 = 20 cm"
    std::string totalLabel;      // effective dose in mSv ("##0.000")
};

// Fixed facts of each row (1..16, top to bottom).
struct TissueInfo {
    const char* name;        // "乳房"
    long weightIndex;        // index into tissueWeights (1..15); both skin rows use 12
    const char* weightText;  // weight as shown, "0.12"
    const char* message;     // message shown when the row's data are not usable
};

// Row 1..16; any other index throws CalcError.
const TissueInfo& TissueInfoOf(long row);

// The tissue weighting factors of ICRP Publication 103, index 1..15 as tissueWeights holds them.
double DefaultTissueWeight(long index);

// Row numbers that the computation treats specially.
inline constexpr long kRowBreast = 1;
inline constexpr long kRowLung = 4;
inline constexpr long kRowEntranceSkin = 12;
inline constexpr long kRowExitSkin = 13;

}  // namespace dovex
