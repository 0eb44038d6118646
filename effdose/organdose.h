// SPDX-License-Identifier: MIT
#pragma once
// Organ doses and the effective dose from the central-axis depth dose: for every ticked tissue
// row, the mean total depth dose over the layers the tissue occupies, times the entrance surface
// dose in soft tissue, the tissue's share inside the field and its weighting factor.
#include <optional>
#include <string>

#include "effdose/depthdose.h"
#include "effdose/organrows.h"
#include "engine/checked.h"

namespace dovex {

using TissueWeights = Checked<double, 1, 15>;

// The ICRP Publication 103 tissue weighting factors in the order tissueWeights holds them.
TissueWeights DefaultTissueWeights();

struct LayerRange {
    long first = 0;  // i1
    long last = 0;   // i2
};
// Layers of a tissue between depths d1 and d2 (cm): i1 = Int(2 d1) + 1 (the exit skin surface
// Int(2 d1), so that an exit surface at the full thickness falls in the last layer inside the
// subject), i2 = Int(2 d2), raised to 1 and to i1 where below. A negative i1 or non-finite
// depths throw CalcError.
LayerRange TissueLayerRange(long row, double d1, double d2);

struct OrganDoseOutcome {
    bool completed = false;    // every row was processed; effectiveDose is valid
    double effectiveDose = 0;  // mSv (sum of the tissue doses)
    long failedRow = 0;        // row whose data stopped the computation, 0 if none
    std::string message;       // that row's message
    Checked<std::optional<double>, 1, kTissueRows> doseMicroSv;  // set for ticked, processed rows
};

// Reads the rows, writes each row's dose label ("-" and "-" boxes for unticked rows) and, when
// all rows pass, the total label. A row with an end depth before its start depth, an end depth
// beyond the thickness, a percentage outside 0..100 or a non-numeric-as-infinite value stops
// the computation with the row's message (outcome not completed; later rows keep their labels).
// A layer range outside the computed depth-dose layers throws CalcError.
OrganDoseOutcome ComputeOrganDoses(OrganRows& rows, const DepthDoseCurve& curve, double esdSoft,
                                   double subjectThickness, const std::string& examPart,
                                   const TissueWeights& weights);

}  // namespace dovex
