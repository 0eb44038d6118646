// SPDX-License-Identifier: MIT
#include "effdose/estimate.h"

#include "effdose/organdata.h"
#include "engine/error.h"
#include "engine/numtext.h"

namespace dovex {

bool ExamPartHasEstimate(const std::string& examPart) {
    return !examPart.empty() && examPart != kNoEstimateExamPart;
}

EstimateResult RunEffectiveDoseEstimate(ExposureConditions& c, const XraySpectrum& spectrum,
                                        DoseResult& dose, const PhysicsTables& tables,
                                        const std::filesystem::path& dataDir, KernelSource& kernels,
                                        OrganRows& rows,
                                        const std::function<void(EstimateStep)>& stepDone) {
    EstimateResult r;
    dose.effectiveDose = 0;
    if (c.examPart.empty()) c.examPart = kNoEstimateExamPart;
    if (!ExamPartHasEstimate(c.examPart)) {
        r.thickness = c.subjectThickness;
        return r;
    }
    const double esd = dose.esdSoft;
    if (c.subjectThickness > kMaxEstimateThicknessCm) c.subjectThickness = kMaxEstimateThicknessCm;
    r.thickness = c.subjectThickness;

    r.curve = ComputeDepthDose(c, spectrum, tables, kernels);
    r.curveComputed = true;
    if (stepDone) stepDone(EstimateStep::DepthDose);
    LoadOrganData(c.examPart, c.subjectThickness, dataDir, rows);

    rows.examPartLabel = c.examPart;
    rows.thicknessLabel = "被写体厚 = " + PlainNumber(c.subjectThickness) + " cm";
    for (long i = 1; i <= kTissueRows; ++i) rows.rows[i].doseLabel.clear();
    rows.totalLabel.clear();
    if (stepDone) stepDone(EstimateStep::OrganData);

    r.organs =
        ComputeOrganDoses(rows, r.curve, esd, c.subjectThickness, c.examPart, tables.tissueWeights);
    if (r.organs.completed) {
        r.estimated = true;
        r.effectiveDose = r.organs.effectiveDose;
    } else {
        // An estimate stopped by a tissue row's data is not an estimate: no earlier value may
        // stand beside this calculation's doses.
        r.message = r.organs.message;
        r.failedRow = r.organs.failedRow;
    }
    dose.effectiveDose = r.effectiveDose;
    return r;
}

namespace {

// Pads a UTF-8 text to a display width, counting characters outside ASCII as two columns.
std::string Pad(const std::string& s, std::size_t width, bool right = false) {
    std::size_t w = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto u = static_cast<unsigned char>(s[i]);
        if (u < 0x80) {
            ++w;
        } else if (u >= 0xC0) {
            w += 2;
        }
    }
    const std::string fill(w < width ? width - w : 0, ' ');
    return right ? fill + s : s + fill;
}

}  // namespace

std::vector<std::string> FormatOrganTable(const OrganRows& rows) {
    std::vector<std::string> lines;
    lines.push_back("実効線量の概算 (参考データ)  " + rows.examPartLabel + "  " +
                    rows.thicknessLabel);
    lines.push_back(Pad("組織・臓器", 14) + Pad("W", 6, true) + Pad("深さ cm", 16, true) +
                    Pad("割合 %", 10, true) + Pad("μSv", 10, true));
    for (long i = 1; i <= kTissueRows; ++i) {
        const TissueInfo& info = TissueInfoOf(i);
        const TissueRow& row = rows.rows[i];
        const char* mark = row.tick == TickState::Checked ? "[x] "
                           : row.tick == TickState::Grey  ? "[-] "
                                                          : "[ ] ";
        const std::string depths =
            DepthText(row, row.startDepth) + " ～ " + DepthText(row, row.endDepth);
        lines.push_back(mark + Pad(info.name, 10) + Pad(info.weightText, 6, true) +
                        Pad(depths, 16, true) + Pad(PercentageText(row), 10, true) +
                        Pad(row.doseLabel, 10, true));
    }
    lines.push_back("合計（実効線量）= " +
                    (rows.totalLabel.empty() ? std::string("---") : rows.totalLabel) + " mSv");
    return lines;
}

}  // namespace dovex
