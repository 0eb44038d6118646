// SPDX-License-Identifier: MIT
#include "calculation/json.h"

#include "engine/constants.h"
#include "engine/kinds.h"

namespace dovex {

void to_json(nlohmann::ordered_json& j, const ExposureConditions& c) {
    j = nlohmann::ordered_json::object();
    j["tubeVoltage"] = c.tubeVoltage;
    j["tubeCurrent"] = c.tubeCurrent;
    j["exposureTime"] = c.exposureTime;
    j["targetAngle"] = c.targetAngle;
    j["inherentFilter"] = c.inherentFilter;
    j["addedAl"] = c.addedAl;
    j["addedCu"] = c.addedCu;
    j["arbitraryFilterName"] = c.arbitraryFilterName;
    j["arbitraryFilterThickness"] = c.arbitraryFilterThickness;
    j["rectification"] = CodeOf(c.rectification);
    j["ffd"] = c.ffd;
    j["fsd"] = c.fsd;
    j["subjectThickness"] = c.subjectThickness;
    j["fieldPreset"] = c.fieldPreset;
    j["fieldLong"] = c.fieldLong;
    j["fieldShort"] = c.fieldShort;
    j["fieldShape"] = CodeOf(c.fieldShape);
    j["phantom"] = CodeOf(c.phantom);
    j["exposureSource"] = CodeOf(c.exposureSource);
    j["examPart"] = c.examPart;
    j["units"] = {{"lengths", "cm"},
                  {"filters", "cm"},
                  {"exposureAt1m", "C/kg"},
                  {"doses", "mGy"},
                  {"effectiveDose", "mSv"}};
}

void to_json(nlohmann::ordered_json& j, const DoseResult& d) {
    j = nlohmann::ordered_json::object();
    j["convSoft"] = d.convSoft;
    j["convSkin"] = d.convSkin;
    j["convAir"] = d.convAir;
    j["bsfSoft"] = d.bsfSoft;
    j["bsfSkin"] = d.bsfSkin;
    j["bsfAir"] = d.bsfAir;
    j["esdSoft"] = d.esdSoft;
    j["esdSkin"] = d.esdSkin;
    j["esdAir"] = d.esdAir;
}

void to_json(nlohmann::ordered_json& j, const DepthDoseCurve& curve) {
    j = nlohmann::ordered_json::array();
    for (long k = 1; k <= curve.layers; ++k) {
        j.push_back({{"layer", k},
                     {"depthFrom", 0.5 * static_cast<double>(k - 1)},
                     {"depthTo", 0.5 * static_cast<double>(k)},
                     {"primary", curve.primary[k]},
                     {"scatter", curve.scatter[k]},
                     {"total", curve.total[k]}});
    }
}

}  // namespace dovex

namespace dovex::calc {
namespace {

const char* TickText(TickState t) {
    switch (t) {
        case TickState::Checked:
            return "checked";
        case TickState::Grey:
            return "grey";
        case TickState::Unchecked:
            break;
    }
    return "unchecked";
}

}  // namespace

void to_json(nlohmann::ordered_json& j, const CalculationResult& r) {
    j = nlohmann::ordered_json::object();
    j["exposureAt1m"] = r.conditions.exposureAt1m;
    j["filtrationRatio"] = r.spectrum.filtrationRatio;
    const nlohmann::ordered_json dose = r.dose;
    for (auto it = dose.begin(); it != dose.end(); ++it) j[it.key()] = it.value();
    if (r.estimate == EstimateStatus::Made)
        j["effectiveDose"] = r.dose.effectiveDose;
    else
        j["effectiveDose"] = nullptr;
    if (!r.estimateNoteJa.empty()) j["estimateMessage"] = r.estimateNoteJa;
    j["beamQuality"] = r.quality;
    j["drl"] = r.drl;
    j["conditions"] = r.conditions;
    const bool estimateRan =
        r.estimate == EstimateStatus::Made || r.estimate == EstimateStatus::StoppedByRow;
    if (!estimateRan) return;
    nlohmann::ordered_json organs = nlohmann::ordered_json::array();
    for (long i = 1; i <= kTissueRows; ++i) {
        const TissueRow& row = r.organRows.rows[i];
        const TissueInfo& info = TissueInfoOf(i);
        nlohmann::ordered_json o;
        o["tissue"] = info.name;
        o["ticked"] = row.tick == TickState::Checked;
        o["tick"] = TickText(row.tick);
        o["startDepth"] = DepthText(row, row.startDepth);
        o["endDepth"] = DepthText(row, row.endDepth);
        o["percentage"] = PercentageText(row);
        o["weight"] = kIcrp103TissueWeights[static_cast<std::size_t>(info.weightIndex - 1)];
        if (r.organs.doseMicroSv[i])
            o["doseMicroSv"] = *r.organs.doseMicroSv[i];
        else
            o["doseMicroSv"] = nullptr;
        o["doseLabel"] = row.doseLabel;
        organs.push_back(std::move(o));
    }
    j["organs"] = std::move(organs);
    j["depthDose"] = r.curve;
}

}  // namespace dovex::calc
