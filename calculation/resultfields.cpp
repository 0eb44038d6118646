// SPDX-License-Identifier: MIT
#include "calculation/resultfields.h"

#include <string_view>

#include "engine/error.h"

namespace dovex::calc {
namespace {

ResultQuantity Dose(const char* json, const char* heading, const char* caption, const char* unit,
                    const char* pattern, const char* field, double DoseResult::*member) {
    ResultQuantity q{json, heading, caption, unit, pattern, field};
    q.dose = member;
    return q;
}

ResultQuantity Quality(const char* json, const char* caption, const char* unit, const char* pattern,
                       double BeamQuality::*member) {
    ResultQuantity q{json, "", caption, unit, pattern};
    q.quality = member;
    return q;
}

// The quantity shown with its own pattern at a place.
ResultQuantity ShownAt(ResultQuantity q, ResultPlace place, const char* pattern) {
    switch (place) {
        case ResultPlace::Window:
            q.pattern = pattern;
            break;
        case ResultPlace::PrintedPage:
            q.printPattern = pattern;
            break;
        case ResultPlace::Report:
            q.reportPattern = pattern;
            break;
        case ResultPlace::QualityPanel:
            q.panelPattern = pattern;
            break;
    }
    return q;
}

const std::vector<ResultQuantity> kQuantities = {
    ResultQuantity{"exposureAt1m", "", "照射線量 at １ｍ", "C/kg", "0.00E+0", "Label78"},
    Dose("bsfSoft", "後方散乱係数", "軟部組織吸収線量に基づく", "", "#0.000", "Label68",
         &DoseResult::bsfSoft),
    Dose("bsfSkin", "後方散乱係数", "皮膚組織吸収線量に基づく", "", "#0.000", "Label69",
         &DoseResult::bsfSkin),
    Dose("bsfAir", "後方散乱係数", "空気カーマに基づく", "", "#0.000", "Label70",
         &DoseResult::bsfAir),
    // The printed page's narrow columns drop the leading zero of the conversion factors.
    ShownAt(Dose("convSoft", "照射線量 - 吸収線量 変換係数", "軟部組織", "Gy/C/kg", "#00.00",
                 "Label71", &DoseResult::convSoft),
            ResultPlace::PrintedPage, "0.00"),
    ShownAt(Dose("convSkin", "照射線量 - 吸収線量 変換係数", "皮膚組織", "Gy/C/kg", "#00.00",
                 "Label72", &DoseResult::convSkin),
            ResultPlace::PrintedPage, "0.00"),
    Dose("esdSoft", "入射表面線量", "軟部組織吸収線量", "mGy", "#0.00", "Label73",
         &DoseResult::esdSoft),
    Dose("esdSkin", "入射表面線量", "皮膚組織吸収線量", "mGy", "#0.00", "Label74",
         &DoseResult::esdSkin),
    Dose("esdAir", "入射表面線量", "空気カーマ", "mGy", "#0.00", "Label75", &DoseResult::esdAir),
    Quality("hvl1MmAl", "第１半価層", "mmAl", "0.000", &BeamQuality::hvl1MmAl),
    Quality("hvl2MmAl", "第２半価層", "mmAl", "0.000", &BeamQuality::hvl2MmAl),
    Quality("homogeneity", "均等度", "", "0.000", &BeamQuality::homogeneity),
    // The report gives the energies to 0.1 keV, the beam-quality panel with two integer digits.
    ShownAt(Quality("meanEnergyKeV", "平均エネルギー", "keV", "0.00", &BeamQuality::meanEnergyKeV),
            ResultPlace::Report, "#0.0"),
    ShownAt(ShownAt(Quality("effectiveEnergyKeV", "実効エネルギー", "keV", "0.00",
                            &BeamQuality::effectiveEnergyKeV),
                    ResultPlace::Report, "#0.0"),
            ResultPlace::QualityPanel, "#00.00"),
    Quality("qualityIndex", "線質指標 QI", "", "0.000", &BeamQuality::qualityIndex),
    Dose("effectiveDose", "", "実効線量", "mSv", "##0.000", "Label81", &DoseResult::effectiveDose),
};

}  // namespace

double ResultQuantity::value(const CalculationResult& r) const {
    if (dose) return r.dose.*dose;
    if (quality) return r.quality.*quality;
    return r.conditions.exposureAt1m;
}

const char* ResultQuantity::patternAt(ResultPlace place) const {
    const char* own = place == ResultPlace::PrintedPage    ? printPattern
                      : place == ResultPlace::Report       ? reportPattern
                      : place == ResultPlace::QualityPanel ? panelPattern
                                                           : nullptr;
    return own ? own : pattern;
}

const std::vector<ResultQuantity>& ResultQuantities() { return kQuantities; }

const ResultQuantity& ResultQuantityOf(const char* json) {
    for (const ResultQuantity& q : kQuantities)
        if (std::string_view(json) == q.json) return q;
    throw CalcError(std::string("no result quantity ") + json);
}

}  // namespace dovex::calc
