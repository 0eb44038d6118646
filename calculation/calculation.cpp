// SPDX-License-Identifier: MIT
#include "calculation/calculation.h"

#include <cmath>
#include <cstdio>
#include <exception>

#include "effdose/estimate.h"
#include "effdose/organdata.h"
#include "engine/error.h"
#include "engine/kinds.h"
#include "engine/textio.h"

namespace dovex::calc {
namespace {

// Bounds of the entered conditions. The lower bounds are what physics requires (a current, a
// time, a distance or a field side of 0 gives no dose at all); the upper bounds lie far beyond
// any real exposure (tubes deliver at most about 1000 mA, radiographs last seconds, fluoroscopy
// minutes) and only keep every result readable. The target angle covers every anode made
// (about 6 to 20 degrees) with room to spare; the tube voltage is what the spectrum grid and the
// backscatter data cover (below 150 kV) down to a voltage whose spectrum still reaches the
// 2.5 keV the conversion coefficients start at, with a wide margin.
const std::vector<Bound> kBounds = {
    {Check::TargetAngle, "target-angle", 1, true, 45, true, "度", "degrees", "ターゲット角度",
     "target angle"},
    {Check::InherentFilter, "inherent-al", 0, true, 100, true, "mm", "mm", "固有フィルタ",
     "inherent filtration"},
    {Check::AddedAl, "added-al", 0, true, 100, true, "mm", "mm", "付加フィルタ（アルミ）",
     "added aluminium"},
    {Check::AddedCu, "added-cu", 0, true, 10, true, "mm", "mm", "付加フィルタ（銅）",
     "added copper"},
    {Check::ArbitraryFilterThickness, "filter-mm", 0, false, 100, true, "mm", "mm",
     "任意フィルタの厚さ", "arbitrary filter thickness"},
    {Check::TubeVoltage, "kv", 10, true, 150, false, "kV", "kV", "管電圧", "tube voltage"},
    {Check::TubeCurrent, "ma", 0, false, 2000, true, "mA", "mA", "管電流", "tube current"},
    {Check::ExposureTime, "time", 0, false, 3600, true, "sec", "s", "照射時間", "exposure time"},
    {Check::Ffd, "ffd", 0, false, 1000, true, "cm", "cm", "FFD", "FFD"},
    {Check::Fsd, "fsd", 0, false, 1000, true, "cm", "cm", "FSD", "FSD"},
    {Check::SubjectThickness, "thickness", 0, false, 100, true, "cm", "cm", "被写体厚",
     "subject thickness"},
    {Check::FieldLong, "field", 0, false, 100, true, "cm", "cm", "照射野サイズ（長軸・直径）",
     "field size (long side or diameter)"},
    {Check::FieldShort, "field", 0, false, 100, true, "cm", "cm", "照射野サイズ（短軸）",
     "field size (short side)"},
    {Check::MeasuredExposure, "exposure", 0, false, 1, true, "C/kg", "C/kg", "照射線量の実測値",
     "measured exposure at 1 m"},
};

std::string Num(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}

Refusal Make(Check check, std::string ja, std::string en, bool calculationFailed = false) {
    Refusal r;
    r.check = check;
    r.messageJa = std::move(ja);
    r.messageEn = std::move(en);
    r.calculationFailed = calculationFailed;
    return r;
}

// The value a user typed, in the bound's unit, against the bound.
std::optional<Refusal> Against(Check check, double valueInUnit, const char* option = nullptr) {
    const Bound& b = BoundOf(check);
    if (Within(b, valueInUnit)) return std::nullopt;
    const std::string opt = option ? option : b.option;
    std::string en = "--" + opt + ": the " + b.nameEn + " " + Num(valueInUnit) + " " + b.unitEn +
                     " is outside the allowed range (" + RangeTextEn(b) + ")";
    if (check == Check::TubeVoltage) {
        // A voltage outside the data keeps the message of a failed calculation, with the reason.
        return Make(check,
                    std::string(kCalcFailedJa) + "\n管電圧 " + Num(valueInUnit) +
                        " kV は計算データの範囲（" + RangeTextJa(b) + "）の外です",
                    en, true);
    }
    return Make(check,
                "　" + std::string(b.nameJa) + "は " + RangeTextJa(b) + "の値を入力して下さい　",
                en);
}

bool Listed(const std::vector<std::string>& parts, const std::string& part) {
    for (const auto& p : parts)
        if (p == part) return true;
    return false;
}

bool OrganDataExists(const std::filesystem::path& dataDir, const std::string& part) {
    try {
        std::error_code ec;
        return std::filesystem::is_regular_file(OrganDataPath(dataDir, part), ec);
    } catch (const std::exception&) {
        return false;  // a name that cannot name a file has no data
    }
}

const char* StepReasonJa(std::optional<Step> reached) {
    if (!reached || *reached == Step::Checked) return "Ｘ線スペクトルを計算できません";
    switch (*reached) {
        case Step::Spectrum:
            return "既定出力データから照射線量を求められません";
        case Step::ExposureAt1m:
            return "後方散乱係数と入射表面線量を計算できません";
        default:
            return "実効線量の概算（深部線量・臓器線量）を計算できません";
    }
}

}  // namespace

const std::vector<Bound>& Bounds() { return kBounds; }

const Bound& BoundOf(Check check) {
    for (const Bound& b : kBounds)
        if (b.check == check) return b;
    throw CalcError("no bound for this check");
}

bool Within(const Bound& b, double v) {
    if (!std::isfinite(v)) return false;
    const bool lowOk = b.lowIncluded ? v >= b.low : v > b.low;
    const bool highOk = b.highIncluded ? v <= b.high : v < b.high;
    return lowOk && highOk;
}

std::string RangeTextEn(const Bound& b) {
    return std::string(b.lowIncluded ? "at least " : "above ") + Num(b.low) + " " + b.unitEn +
           (b.highIncluded ? " and at most " : " and below ") + Num(b.high) + " " + b.unitEn;
}

std::string RangeTextJa(const Bound& b) {
    return Num(b.low) + " " + b.unitJa + (b.lowIncluded ? "以上 " : "を超え ") + Num(b.high) + " " +
           b.unitJa + (b.highIncluded ? "以下" : "未満");
}

std::optional<Refusal> CheckConditions(const CalculationRequest& req, const PhysicsTables& t) {
    const ExposureConditions& c = req.conditions;
    // The entered values, in the order the calculation reads the entry fields.
    const std::pair<Check, double> values[] = {
        {Check::TargetAngle, c.targetAngle},
        {Check::InherentFilter, c.inherentFilter * 10},
        {Check::AddedAl, c.addedAl * 10},
        {Check::AddedCu, c.addedCu * 10},
    };
    for (const auto& [check, v] : values)
        if (auto r = Against(check, v)) return r;
    if (req.filter.on)
        if (auto r = Against(Check::ArbitraryFilterThickness, c.arbitraryFilterThickness * 10))
            return r;
    const std::pair<Check, double> more[] = {
        {Check::TubeVoltage, c.tubeVoltage},
        {Check::TubeCurrent, c.tubeCurrent},
        {Check::ExposureTime, c.exposureTime},
        {Check::Ffd, c.ffd},
        {Check::Fsd, c.fsd},
        {Check::SubjectThickness, c.subjectThickness},
    };
    for (const auto& [check, v] : more)
        if (auto r = Against(check, v)) return r;

    // A kind outside its enumerators (a cast from a code no kind names) is refused.
    if (!FieldShapeOf(CodeOf(c.fieldShape)))
        return Make(
            Check::FieldShape, "　照射野の形が正しくありません　",
            "the field shape code " + std::to_string(CodeOf(c.fieldShape)) + " is not 1 or 2");
    if (IsCircularField(c)) {
        if (auto r = Against(Check::FieldLong, c.fieldLong, "circle")) return r;
    } else {
        if (auto r = Against(Check::FieldLong, c.fieldLong)) return r;
        if (auto r = Against(Check::FieldShort, c.fieldShort)) return r;
    }
    if (!RectificationOf(CodeOf(c.rectification)))
        return Make(Check::Rectification, "　高電圧整流方式が正しくありません　",
                    "--rectification takes 1, 2 or 3 (given " +
                        std::to_string(CodeOf(c.rectification)) + ")");
    if (!PhantomOf(CodeOf(c.phantom)))
        return Make(
            Check::Phantom, "　後方散乱係数のファントムが正しくありません　",
            "--phantom takes body or head (code " + std::to_string(CodeOf(c.phantom)) + ")");
    const auto source = ExposureSourceOf(CodeOf(c.exposureSource));
    if (!source)
        return Make(Check::ExposureSource, "　照射線量の求め方が正しくありません　",
                    "the exposure source code " + std::to_string(CodeOf(c.exposureSource)) +
                        " is not 1 or 2");
    if (*source == ExposureSource::Measured) {
        if (auto r = Against(Check::MeasuredExposure, c.exposureAt1m)) return r;
    } else {
        // The default output data must give an output at this voltage (they are extrapolated
        // below their first voltage only as long as the output stays above 0).
        ExposureConditions probe = c;
        probe.tubeCurrent = 1;
        probe.exposureTime = 1;
        XraySpectrum unit;
        unit.filtrationRatio = 1;
        try {
            (void)ComputeExposureAt1m(probe, unit, t);
        } catch (const std::exception&) {
            const double lo = t.output.outputKv[1], hi = t.output.outputKv[12];
            return Make(Check::DefaultOutputRange,
                        std::string(kCalcFailedJa) + "\n管電圧 " + Num(c.tubeVoltage) +
                            " kV では既定出力データ（" + Num(lo) + "～" + Num(hi) +
                            " kV）から管出力を求められません。照射線量の実測値を入力して下さい",
                        "--kv: the default output data give no tube output at " +
                            Num(c.tubeVoltage) + " kV (they cover " + Num(lo) + " to " + Num(hi) +
                            " kV); give a measured --exposure",
                        true);
        }
    }
    // The one consistency check of the distances; equality passes.
    if (c.ffd - c.fsd < c.subjectThickness)
        return Make(Check::Geometry, kGeometryJa,
                    "the subject thickness " + Num(c.subjectThickness) +
                        " cm is greater than FFD - FSD = " + Num(c.ffd - c.fsd) + " cm");
    return std::nullopt;
}

CalculationOutcome Calculate(const CalculationRequest& req, const CalculationContext& ctx,
                             const Progress& progress) {
    CalculationOutcome out;
    CalculationResult& r = out.result;
    r.conditions = req.conditions;
    if (auto refusal = CheckConditions(req, ctx.tables)) {
        out.refusal = std::move(refusal);
        return out;
    }
    ExposureConditions& c = r.conditions;
    auto done = [&](Step s) {
        r.reached = s;
        if (progress) progress(s, r);
    };
    done(Step::Checked);
    try {
        r.spectrum = SynthesizeSpectrum(c, ctx.tables, req.filter);
        if (!req.spectrumFile.empty()) {
            try {
                WriteFileAtomic(req.spectrumFile, SpectrumFileText(r.spectrum));
            } catch (const std::exception& e) {
                throw DataFileError(req.spectrumFile.filename().string(),
                                    std::string("cannot be written: ") + e.what());
            }
        }
        done(Step::Spectrum);
        if (c.exposureSource == ExposureSource::DefaultOutput)
            c.exposureAt1m = ComputeExposureAt1m(c, r.spectrum, ctx.tables);
        done(Step::ExposureAt1m);
        r.dose = ComputeDoses(c, r.spectrum, ctx.tables);
        r.dose.effectiveDose = 0;
        r.quality = ComputeBeamQuality(r.spectrum, ctx.tables, c.tubeVoltage);
        StoreBeamQuality(r.quality, r.dose);
        done(Step::Doses);

        if (c.examPart.empty()) c.examPart = kNoEstimateExamPart;
        if (!ExamPartHasEstimate(c.examPart)) {
            r.estimate = EstimateStatus::NotAsked;
        } else if (!Listed(ctx.listedExamParts, c.examPart) &&
                   !OrganDataExists(ctx.dataDir, c.examPart)) {
            // A typed exam part without organ data: the entrance doses stand, no estimate.
            r.estimate = EstimateStatus::NoOrganData;
            r.estimateNoteJa =
                "「" + c.examPart + "」には臓器データがないため、実効線量は概算しません";
            r.estimateNoteEn = "no organ data for the exam part \"" + c.examPart +
                               "\": no effective dose estimate";
        }
        const bool estimate =
            ExamPartHasEstimate(c.examPart) && r.estimate != EstimateStatus::NoOrganData;
        if (ctx.drlTable)
            r.drl = CompareWithDrl(*ctx.drlTable, c.examPart, c.tubeVoltage, r.dose.esdAir);
        done(Step::ExamPart);
        if (!estimate) return out;

        EstimateResult est = RunEffectiveDoseEstimate(
            c, r.spectrum, r.dose, ctx.tables, ctx.dataDir, ctx.kernels, ctx.rows,
            [&](EstimateStep s) {
                done(s == EstimateStep::DepthDose ? Step::DepthDose : Step::OrganData);
            });
        r.curve = est.curve;
        r.organs = est.organs;
        r.organRows = ctx.rows;
        if (est.estimated) {
            r.estimate = EstimateStatus::Made;
        } else {
            r.estimate = EstimateStatus::StoppedByRow;
            r.estimateNoteJa = est.message;
            r.estimateNoteEn = "no effective dose estimate: " + est.message;
        }
        done(Step::OrganDoses);
    } catch (const DataFileError& e) {
        Refusal f = Make(Check::RunFailed,
                         std::string(kCalcFailedJa) + "\nデータファイル「" + e.file() +
                             "」がないか、内容が正しくありません",
                         std::string("data file ") + e.what(), true);
        f.failedAfter = r.reached;
        out.refusal = std::move(f);
    } catch (const std::exception& e) {
        Refusal f =
            Make(Check::RunFailed, std::string(kCalcFailedJa) + "\n" + StepReasonJa(r.reached),
                 std::string("the calculation failed: ") + e.what(), true);
        f.failedAfter = r.reached;
        out.refusal = std::move(f);
    }
    if (out.refusal) r.dose.effectiveDose = 0;
    return out;
}

}  // namespace dovex::calc
