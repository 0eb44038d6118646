#include "cli/report.h"

#include <iostream>
#include <nlohmann/json.hpp>

#include "effdose/estimate.h"
#include "engine/numtext.h"
#include "results/batch.h"

namespace dovex {

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

CalcOutcome RunCalculation(const cli::PreparedCalc& prep, const PhysicsTables& tables,
                           const std::filesystem::path& dataDir, bool examPartGiven) {
    CalcOutcome o;
    o.cond = prep.cond;
    // Without an exam part no estimate is asked for.
    if (!examPartGiven) o.cond.examPart = kNoEstimateExamPart;
    o.engine = RunEngine(o.cond, tables, prep.filter);

    KernelFiles kernels(dataDir);
    OrganRows rows;
    EstimateResult est = RunEffectiveDoseEstimate(o.cond, o.engine.spectrum, o.engine.dose, tables,
                                                  dataDir, kernels, rows);
    o.estimated = est.estimated;
    o.failedMessage = est.message;
    if (!est.curveComputed) return o;

    for (const std::string& line : FormatOrganTable(rows)) o.estimatePlain += line + "\n";
    nlohmann::ordered_json extra;
    nlohmann::ordered_json organs = nlohmann::ordered_json::array();
    for (long i = 1; i <= kTissueRows; ++i) {
        const TissueRow& r = rows.rows[i];
        nlohmann::ordered_json row;
        row["tissue"] = TissueInfoOf(i).name;
        row["ticked"] = r.tick == TickState::Checked;
        row["tick"] = TickText(r.tick);
        row["startDepth"] = r.startDepth;
        row["endDepth"] = r.endDepth;
        row["percentage"] = r.percentage;
        row["weight"] = tables.tissueWeights[TissueInfoOf(i).weightIndex];
        if (est.organs.doseMicroSv[i])
            row["doseMicroSv"] = *est.organs.doseMicroSv[i];
        else
            row["doseMicroSv"] = nullptr;
        row["doseLabel"] = r.doseLabel;
        organs.push_back(row);
    }
    extra["organs"] = organs;
    nlohmann::ordered_json layers = nlohmann::ordered_json::array();
    for (long k = 1; k <= est.curve.layers; ++k) {
        layers.push_back({{"layer", k},
                          {"depthFrom", 0.5 * static_cast<double>(k - 1)},
                          {"depthTo", 0.5 * static_cast<double>(k)},
                          {"primary", est.curve.primary[k]},
                          {"scatter", est.curve.scatter[k]},
                          {"total", est.curve.total[k]}});
    }
    extra["depthDose"] = layers;
    o.estimateJsonText = extra.dump();
    return o;
}

std::string FormatPlain(const CalcOutcome& o) {
    const DoseResult& d = o.engine.dose;
    std::string s;
    auto line = [&](const std::string& caption, const std::string& value, const std::string& unit) {
        s += caption + "  " + value + (unit.empty() ? "" : " " + unit) + "\n";
    };
    line("照射線量 at １ｍ", FormatPattern(o.cond.exposureAt1m, "0.00E+0"), "C/kg");
    line("後方散乱係数 軟部組織吸収線量に基づく", FormatPattern(d.bsfSoft, "#0.000"), "");
    line("後方散乱係数 皮膚組織吸収線量に基づく", FormatPattern(d.bsfSkin, "#0.000"), "");
    line("後方散乱係数 空気カーマに基づく", FormatPattern(d.bsfAir, "#0.000"), "");
    line("照射線量 - 吸収線量 変換係数 軟部組織", FormatPattern(d.convSoft, "#00.00"), "Gy/C/kg");
    line("照射線量 - 吸収線量 変換係数 皮膚組織", FormatPattern(d.convSkin, "#00.00"), "Gy/C/kg");
    line("入射表面線量 軟部組織吸収線量", FormatPattern(d.esdSoft, "#0.00"), "mGy");
    line("入射表面線量 皮膚組織吸収線量", FormatPattern(d.esdSkin, "#0.00"), "mGy");
    line("入射表面線量 空気カーマ", FormatPattern(d.esdAir, "#0.00"), "mGy");
    line("実効線量", o.estimated ? FormatPattern(d.effectiveDose, "##0.000") : "---", "mSv");
    if (!o.failedMessage.empty()) s += o.failedMessage + "\n";
    s += o.estimatePlain;
    return s;
}

std::string FormatJson(const CalcOutcome& o) {
    const ExposureConditions& c = o.cond;
    const DoseResult& d = o.engine.dose;
    nlohmann::ordered_json j;
    j["exposureAt1m"] = c.exposureAt1m;
    j["filtrationRatio"] = o.engine.spectrum.filtrationRatio;
    j["convSoft"] = d.convSoft;
    j["convSkin"] = d.convSkin;
    j["convAir"] = d.convAir;
    j["bsfSoft"] = d.bsfSoft;
    j["bsfSkin"] = d.bsfSkin;
    j["bsfAir"] = d.bsfAir;
    j["esdSoft"] = d.esdSoft;
    j["esdSkin"] = d.esdSkin;
    j["esdAir"] = d.esdAir;
    if (o.estimated)
        j["effectiveDose"] = d.effectiveDose;
    else
        j["effectiveDose"] = nullptr;
    if (!o.failedMessage.empty()) j["estimateMessage"] = o.failedMessage;
    nlohmann::ordered_json cj;
    cj["tubeVoltage"] = c.tubeVoltage;
    cj["tubeCurrent"] = c.tubeCurrent;
    cj["exposureTime"] = c.exposureTime;
    cj["targetAngle"] = c.targetAngle;
    cj["inherentFilter"] = c.inherentFilter;
    cj["addedAl"] = c.addedAl;
    cj["addedCu"] = c.addedCu;
    cj["arbitraryFilterName"] = c.arbitraryFilterName;
    cj["arbitraryFilterThickness"] = c.arbitraryFilterThickness;
    cj["rectification"] = c.rectification;
    cj["ffd"] = c.ffd;
    cj["fsd"] = c.fsd;
    cj["subjectThickness"] = c.subjectThickness;
    cj["fieldPreset"] = c.fieldPreset;
    cj["fieldLong"] = c.fieldLong;
    cj["fieldShort"] = c.fieldShort;
    cj["fieldShape"] = c.fieldShape;
    cj["phantom"] = c.phantom;
    cj["exposureSource"] = c.exposureSource;
    cj["examPart"] = c.examPart;
    cj["units"] = {{"lengths", "cm"},
                   {"filters", "cm"},
                   {"exposureAt1m", "C/kg"},
                   {"doses", "mGy"},
                   {"effectiveDose", "mSv"}};
    j["conditions"] = cj;
    if (!o.estimateJsonText.empty()) {
        auto extra = nlohmann::ordered_json::parse(o.estimateJsonText);
        for (auto it = extra.begin(); it != extra.end(); ++it) j[it.key()] = it.value();
    }
    return j.dump(2) + "\n";
}

namespace {

struct ExtraModes {
    std::string batch, out, comment, read;
} g_modes;

}  // namespace

void AddExtraModes(CLI::App& app) {
    auto* batch =
        app.add_option("--batch", g_modes.batch,
                       "calculate every row of a conditions CSV file (header row of the condition "
                       "option names, e.g. kv,ma,time,ffd,fsd,exam-part) into results CSV files");
    auto* out = app.add_option(
        "--out", g_modes.out,
        "with --batch: the results file; each further 15 rows go to -2, -3, ... files");
    app.add_option("--comment", g_modes.comment,
                   "with --batch: the comment line of the results files")
        ->needs(batch);
    batch->needs(out);
    out->needs(batch);
    app.add_option("--read", g_modes.read,
                   "read a results CSV file and print its rows (as JSON with --json)")
        ->excludes(batch);
}

int RunExtraModes(const std::filesystem::path& dataDir, bool json) {
    if (!g_modes.read.empty())
        return batch::ReadResultsCommand(g_modes.read, json, std::cout, std::cerr);
    if (g_modes.batch.empty()) return -1;
    PhysicsTables tables;
    try {
        LoadPhysicsTables(tables, dataDir);
    } catch (const std::exception& e) {
        std::cerr << "dovex-calc: data file " << e.what() << "\n";
        return 1;
    }
    batch::BatchOptions opt{g_modes.batch, g_modes.out, g_modes.comment, tables.airWOverE};
    return batch::RunBatchCommand(opt, batch::MakeProgramCalculator(tables, dataDir), std::cout,
                                  std::cerr);
}

}  // namespace dovex
