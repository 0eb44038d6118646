#include "cli/report.h"

#include "calculation/json.h"
#include "effdose/estimate.h"
#include "engine/numtext.h"

namespace dovex {

std::string FormatPlain(const calc::CalculationResult& r) {
    const DoseResult& d = r.dose;
    std::string s;
    auto line = [&](const std::string& caption, const std::string& value, const std::string& unit) {
        s += caption + "  " + value + (unit.empty() ? "" : " " + unit) + "\n";
    };
    line("照射線量 at １ｍ", FormatPattern(r.conditions.exposureAt1m, "0.00E+0"), "C/kg");
    line("後方散乱係数 軟部組織吸収線量に基づく", FormatPattern(d.bsfSoft, "#0.000"), "");
    line("後方散乱係数 皮膚組織吸収線量に基づく", FormatPattern(d.bsfSkin, "#0.000"), "");
    line("後方散乱係数 空気カーマに基づく", FormatPattern(d.bsfAir, "#0.000"), "");
    line("照射線量 - 吸収線量 変換係数 軟部組織", FormatPattern(d.convSoft, "#00.00"), "Gy/C/kg");
    line("照射線量 - 吸収線量 変換係数 皮膚組織", FormatPattern(d.convSkin, "#00.00"), "Gy/C/kg");
    line("入射表面線量 軟部組織吸収線量", FormatPattern(d.esdSoft, "#0.00"), "mGy");
    line("入射表面線量 皮膚組織吸収線量", FormatPattern(d.esdSkin, "#0.00"), "mGy");
    line("入射表面線量 空気カーマ", FormatPattern(d.esdAir, "#0.00"), "mGy");
    const BeamQuality& q = r.quality;
    line("第１半価層", FormatPattern(q.hvl1MmAl, "0.000"), "mmAl");
    line("第２半価層", FormatPattern(q.hvl2MmAl, "0.000"), "mmAl");
    line("均等度", FormatPattern(q.homogeneity, "0.000"), "");
    line("平均エネルギー", FormatPattern(q.meanEnergyKeV, "0.00"), "keV");
    line("実効エネルギー", FormatPattern(q.effectiveEnergyKeV, "0.00"), "keV");
    line("線質指標 QI", FormatPattern(q.qualityIndex, "0.000"), "");
    if (r.drl.hasLevel)
        line("診断参考レベル " + r.drl.item, FormatPattern(r.drl.valueMGy, "0.0#") + " mGy",
             "(空気カーマ入射表面線量はその " + FormatPattern(r.drl.percent, "0") + " %)");
    const bool made = r.estimate == calc::EstimateStatus::Made;
    line("実効線量", made ? FormatPattern(d.effectiveDose, "##0.000") : "---", "mSv");
    if (!r.estimateNoteJa.empty()) s += r.estimateNoteJa + "\n";
    if (made || r.estimate == calc::EstimateStatus::StoppedByRow)
        for (const std::string& l : FormatOrganTable(r.organRows)) s += l + "\n";
    return s;
}

std::string FormatJson(const calc::CalculationResult& r) {
    return nlohmann::ordered_json(r).dump(2) + "\n";
}

}  // namespace dovex
