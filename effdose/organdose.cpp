// SPDX-License-Identifier: MIT
#include "effdose/organdose.h"

#include <algorithm>
#include <cmath>

#include "engine/constants.h"
#include "engine/error.h"
#include "engine/numtext.h"

namespace dovex {

TissueWeights DefaultTissueWeights() {
    TissueWeights w;
    for (long i = 1; i <= 15; ++i) w[i] = DefaultTissueWeight(i);
    return w;
}

LayerRange TissueLayerRange(long row, double d1, double d2) {
    if (!std::isfinite(d1) || !std::isfinite(d2)) throw CalcError("tissue depth is not finite");
    // Work in doubles first: a depth far outside the subject must not overflow an integer.
    double i1 = std::floor(2.0 * d1) + (row == kRowExitSkin ? 0.0 : 1.0);
    double i2 = std::floor(2.0 * d2);
    if (i1 < 0) throw CalcError("tissue start depth gives a negative depth layer");
    if (i1 == 0) i1 = 1;
    if (i2 == 0) i2 = 1;
    if (i2 < i1) i2 = i1;
    // Anything beyond the last layer is cut below; keep the integers small.
    i1 = std::min(i1, 1.0e6);
    i2 = std::min(i2, 1.0e6);
    return {static_cast<long>(i1), static_cast<long>(i2)};
}

OrganDoseOutcome ComputeOrganDoses(OrganRows& rows, const DepthDoseCurve& curve, double esdSoft,
                                   double subjectThickness, const std::string& examPart,
                                   const TissueWeights& weights) {
    OrganDoseOutcome out;
    const double t = subjectThickness;
    const bool chestPa = examPart == "胸部正面";
    const bool chestLat = examPart == "胸部側面";
    const long lastLayer = std::min(curve.layers, kDepthLayers);
    double e = 0;

    for (long i = 1; i <= kTissueRows; ++i) {
        TissueRow& row = rows.rows[i];
        const TissueInfo& info = TissueInfoOf(i);
        if (row.tick != TickState::Checked) {
            row.startDepth.reset();
            row.endDepth.reset();
            row.percentage.reset();
            row.leftOut = true;
            row.doseLabel = "-";
            continue;
        }
        // An empty box reads as 0, as the lenient reading of its text did.
        double d1 = row.startDepth.value_or(0.0);
        double d2 = row.endDepth.value_or(0.0);
        const double f = row.percentage.value_or(0.0) * 0.01;

        // Tissues behind the lungs: the lungs' low density shortens their path (lung boxes as
        // they stand now).
        if ((i == kRowBreast && chestPa) || (i == kRowExitSkin && (chestPa || chestLat))) {
            const TissueRow& lung = rows.rows[kRowLung];
            const double lw =
                (lung.endDepth.value_or(0.0) - lung.startDepth.value_or(0.0)) * kLungDensityFactor;
            d1 -= lw;
            d2 -= lw;
        }

        const bool finite = std::isfinite(d1) && std::isfinite(d2) && std::isfinite(f);
        if (!finite || d2 < d1 || d2 > t || f < 0 || f > 1) {
            out.failedRow = i;
            out.message = info.message;
            return out;
        }
        if (i == kRowLung) d2 = d1 + kLungDensityFactor * (d2 - d1);

        const LayerRange range = TissueLayerRange(i, d1, d2);
        double sum = 0;
        long count = 0;
        for (long k = range.first; k <= range.last && k <= kDepthLayers; ++k) {
            // Layers beyond those computed for this thickness hold no depth dose.
            if (k > lastLayer) break;
            sum += 0.01 * curve.total[k];
            ++count;
        }
        if (count == 0) {
            throw CalcError(std::string("no depth-dose layer for the tissue ") + info.name);
        }
        const double mean = sum / static_cast<double>(count);
        const double h = weights[info.weightIndex] * f * mean * esdSoft;
        if (!std::isfinite(h)) throw CalcError(std::string("non-finite dose for ") + info.name);
        row.doseLabel = FormatPattern(1000.0 * h, "###0.0");
        out.doseMicroSv[i] = 1000.0 * h;
        e += h;
    }
    out.completed = true;
    out.effectiveDose = e;
    rows.totalLabel = FormatPattern(e, "##0.000");
    return out;
}

}  // namespace dovex
