// SPDX-License-Identifier: MIT
#include "cli/report.h"

#include "calculation/json.h"
#include "calculation/resultfields.h"
#include "effdose/estimate.h"
#include "engine/numtext.h"

namespace dovex {

std::string FormatPlain(const calc::CalculationResult& r) {
    std::string s;
    auto line = [&](const std::string& caption, const std::string& value, const std::string& unit) {
        s += caption + "  " + value + (unit.empty() ? "" : " " + unit) + "\n";
    };
    const bool made = r.estimate == calc::EstimateStatus::Made;
    for (const calc::ResultQuantity& q : calc::ResultQuantities()) {
        const std::string caption =
            *q.heading ? std::string(q.heading) + " " + q.caption : std::string(q.caption);
        if (q.dose != &DoseResult::effectiveDose) {
            line(caption, FormatPattern(q.value(r), q.pattern), q.unit);
            continue;
        }
        // The reference level stands before the effective dose, which only an estimate gives.
        if (r.drl.hasLevel)
            line("診断参考レベル " + r.drl.item, FormatPattern(r.drl.valueMGy, "0.0#") + " mGy",
                 "(空気カーマ入射表面線量はその " + FormatPattern(r.drl.percent, "0") + " %)");
        line(caption, made ? FormatPattern(q.value(r), q.pattern) : "---", q.unit);
    }
    if (!r.estimateNoteJa.empty()) s += r.estimateNoteJa + "\n";
    if (made || r.estimate == calc::EstimateStatus::StoppedByRow)
        for (const std::string& l : FormatOrganTable(r.organRows)) s += l + "\n";
    return s;
}

std::string FormatJson(const calc::CalculationResult& r) {
    return nlohmann::ordered_json(r).dump(2) + "\n";
}

}  // namespace dovex
