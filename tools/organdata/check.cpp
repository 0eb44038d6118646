// SPDX-License-Identifier: MIT
#include "tools/organdata/check.h"

#include "calculation/calculation.h"
#include "effdose/depthdose.h"
#include "effdose/estimate.h"
#include "effdose/organdata.h"
#include "effdose/organdose.h"
#include "engine/dose.h"
#include "engine/numtext.h"

namespace dovex::organdata {

PerEsak EstimatePerEsak(ExposureConditions c, const std::vector<TissueRecord>& records,
                        const PhysicsTables& tables, const std::filesystem::path& dataDir) {
    // The spectrum and the entrance doses of the program's calculation, without its estimate.
    KernelFiles kernels(dataDir);
    calc::CalculationRequest req;
    req.conditions = c;
    req.conditions.examPart = kNoEstimateExamPart;
    OrganRows none;
    const calc::CalculationOutcome o = calc::Calculate(req, {tables, dataDir, {}, kernels, none});
    if (o.refusal) throw std::runtime_error(o.refusal->messageEn);
    const calc::CalculationResult& eng = o.result;
    c.exposureAt1m = eng.conditions.exposureAt1m;
    const DepthDoseCurve curve = ComputeDepthDose(c, eng.spectrum, tables, kernels);
    // The rows as the organ data loader fills them from a file with these records.
    OrganRows rows;
    const double t = c.subjectThickness;
    if (records.empty()) LoadOrganData(c.examPart, t, dataDir, rows);
    for (long i = 1; i <= kTissueRows && i <= static_cast<long>(records.size()); ++i) {
        const TissueRecord& r = records[static_cast<std::size_t>(i - 1)];
        TissueRow& row = rows.rows[i];
        row.tick = TickState::Checked;
        row.startDepth = TissueDepth(DepthFromMode(r.startMode, r.startValue, t));
        row.endDepth = TissueDepth(DepthFromMode(r.endMode, r.endValue, t));
        row.percentage = r.percentage;
    }
    const OrganDoseOutcome out =
        ComputeOrganDoses(rows, curve, eng.dose.esdSoft, t, c.examPart, tables.tissueWeights);
    PerEsak p;
    p.esak = eng.dose.esdAir / eng.dose.bsfAir;
    for (long row = 1; row <= kTissueRows; ++row) {
        const long w = TissueInfoOf(row).weightIndex;
        if (out.doseMicroSv[row])
            p.organ[static_cast<std::size_t>(w - 1)] +=
                *out.doseMicroSv[row] / 1000.0 / tables.tissueWeights[w] / p.esak;
    }
    p.e = out.effectiveDose / p.esak;
    return p;
}

ExposureConditions Conditions(const std::string& part, double kv, double mas, double sid,
                              double fsd, double thickness, double longSide, double shortSide,
                              double filterMm) {
    ExposureConditions c;
    c.examPart = part;
    c.tubeVoltage = kv;
    c.tubeCurrent = 100;
    c.exposureTime = mas / 100.0;
    c.inherentFilter = filterMm * 0.1;
    c.addedAl = 0;
    c.addedCu = 0;
    c.ffd = sid;
    c.fsd = fsd;
    c.subjectThickness = thickness;
    c.fieldPreset = "その他";
    c.fieldLong = longSide;
    c.fieldShort = shortSide;
    c.fieldShape = FieldShape::Rectangle;
    c.phantom = part.rfind("頭部", 0) == 0 ? Phantom::Head : Phantom::Body;
    return c;
}

const std::vector<VoxelReference>& VoxelReferences() {
    // tools/reference/voxel-organ-doses.md: tissues in the order of the weights (breast, red
    // marrow, colon, lung, stomach, gonads, thyroid, oesophagus, liver, bladder, bone surface,
    // skin, brain, salivary glands, remainder). Skull PA: colon, stomach, liver, gonads and
    // bladder are given as below 0.0002 and taken as 0.
    static const std::vector<VoxelReference> refs = {
        {"胸部正面",
         Conditions("胸部正面", 120, 10, 180, 158, 18.8, 35, 35, 3.0),
         {0.1195, 0.2975, 0.0279, 0.5344, 0.2276, 0.0004, 0.2357, 0.3399, 0.3119, 0.0006, 0.1555,
          0.1288, 0.0063, 0.0389, 0.2103},
         0.2089},
        {"腹部正面",
         Conditions("腹部正面", 80, 10, 120, 98, 19.0, 43, 35, 3.0),
         {0.0599, 0.1781, 0.5596, 0.0908, 0.5292, 0.0670, 0.0038, 0.0568, 0.4065, 0.3351, 0.0967,
          0.1257, 0.0001, 0.0008, 0.1837},
         0.2318},
        {"腰椎側面",
         Conditions("腰椎側面", 85, 10, 100, 67.5, 29.5, 30, 15, 3.0),
         {0.0015, 0.0500, 0.1077, 0.0040, 0.0160, 0.0032, 0.0003, 0.0034, 0.1439, 0.0051, 0.0251,
          0.0211, 0.0000, 0.0001, 0.0487},
         0.0342},
        {"頭部PA",
         Conditions("頭部PA", 75, 10, 100, 76.3, 20.7, 25, 20, 3.0),
         {0.0003, 0.0479, 0.0, 0.0008, 0.0, 0.0, 0.0067, 0.0029, 0.0, 0.0, 0.0534, 0.0334, 0.1945,
          0.2345, 0.0102},
         0.0127},
    };
    return refs;
}

const char* WeightedTissueName(int index) {
    static const char* const names[15] = {"乳房",   "骨髄",   "結腸", "肺",     "胃",
                                          "生殖腺", "甲状腺", "食道", "肝臓",   "膀胱",
                                          "骨表面", "皮膚",   "脳",   "唾液腺", "残り"};
    return index >= 0 && index < 15 ? names[index] : "?";
}

}  // namespace dovex::organdata
