// SPDX-License-Identifier: MIT
#include "tools/manual/manualtables.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

#include "calculation/calculation.h"
#include "effdose/depthdose.h"
#include "effdose/estimate.h"
#include "effdose/organdose.h"
#include "effdose/organrows.h"
#include "engine/beamquality.h"
#include "engine/dose.h"
#include "engine/drl.h"
#include "engine/spectrum.h"
#include "engine/tables.h"
#include "tools/mc/mc_materials.h"
#include "tools/mc/mc_output.h"
#include "tools/mc/mc_runs.h"
#include "tools/organdata/check.h"
#include "tools/organdata/model.h"

namespace dovex::manual {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + p.string());
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

double Number(const std::string& cell, const std::string& what) {
    try {
        std::size_t used = 0;
        const double v = std::stod(cell, &used);
        if (used == 0 || !std::isfinite(v)) throw std::invalid_argument(cell);
        return v;
    } catch (const std::exception&) {
        throw std::runtime_error(what + ": not a number: '" + cell + "'");
    }
}

std::string Fixed(double v, int decimals) {
    char b[64];
    std::snprintf(b, sizeof b, "%.*f", decimals, v);
    return b;
}

// Relative difference in per cent with its sign, "+1.2 %".
std::string Percent(double program, double reference) {
    const double d = 100 * (program / reference - 1);
    // No sign on a difference that rounds to zero.
    if (std::abs(d) < 0.05) return "0.0 %";
    char b[64];
    std::snprintf(b, sizeof b, "%+.1f %%", d);
    return b;
}

// ---- Backscatter factors: the project's Monte Carlo in water against PENELOPE.

// Histories of the water runs: the published comparison needs 0.5 %; these give a standard error
// of about 0.2 % on the 20 cm factor in a few seconds on one core.
constexpr long kWaterHistories = 400000;
constexpr int kWaterBatches = 10;
constexpr std::uint64_t kWaterSeed = 20240601;

GeneratedTable BackscatterTable(const Sources& s) {
    const auto refs = KeyedRows(ReadText(s.referenceDir / "validation-references.md"), "bsf");
    if (refs.empty()) throw std::runtime_error("validation-references.md: no bsf rows");
    const fs::path nist = s.referenceDir / "nist-muen";
    const mc::PhotonMaterial water(mc::LiquidWater());
    const auto muen = mc::LoadWaterMuen(nist);
    const mc::Slab slab = mc::HomogeneousSlab(water, 20);
    std::map<double, mc::BackscatterResult> runs;
    std::ostringstream o;
    o << "| 光子エネルギー (keV) | 照射野直径 (cm, 表面) | 本プログラムのモンテカルロ | "
         "Benmakhlouf ら 2011 (PENELOPE) | 差 |\n|---:|---:|---:|---:|---:|\n";
    for (const auto& r : refs) {
        if (r.size() < 3) throw std::runtime_error("validation-references.md: short bsf row");
        const double e = Number(r[0], "bsf energy");
        const double diameter = Number(r[1], "bsf field");
        const double published = Number(r[2], "bsf value");
        if (!runs.count(e)) {
            mc::BackscatterSpec beam;
            beam.slab = &slab;
            beam.e0 = e;
            beam.quantities = {&muen};
            beam.histories = kWaterHistories;
            beam.batches = kWaterBatches;
            beam.minCos = 0.05;
            runs[e] = mc::RunBackscatter({beam}, {kWaterSeed, 1}).front();
        }
        const double bsf = mc::CircularFieldBsf(runs[e].d[0], diameter, 100);
        o << "| " << r[0] << " | " << r[1] << " | " << Fixed(bsf, 3) << " | " << r[2] << " | "
          << Percent(bsf, published) << " |\n";
    }
    o << "\n水ファントム 20 cm 厚、線源–表面間距離 100 cm、水カーマの後方散乱係数。本プログラム側は"
         "データファイルを作ったのと同じモンテカルロ（tools/mc）を水で "
      << kWaterHistories << " 個の光子（" << kWaterBatches << " バッチ、乱数の種 " << kWaterSeed
      << "）で実行した値で、統計的標準誤差はおよそ 0.2 % です。\n";
    return {"backscatter", o.str()};
}

// ---- Half-value layers of the spectrum model against published figures.

GeneratedTable HalfValueLayerTable(const Sources& s, const PhysicsTables& t) {
    const auto refs = KeyedRows(ReadText(s.referenceDir / "validation-references.md"), "hvl");
    if (refs.empty()) throw std::runtime_error("validation-references.md: no hvl rows");
    std::ostringstream o;
    o << "| 出典 | 管電圧 (kV) | 総ろ過 (mm Al) | 本プログラム HVL1 (mm Al) | 公表値 (mm Al) | 差 "
         "| "
         "本プログラム HVL2 (mm Al) |\n|---|---:|---:|---:|---:|---:|---:|\n";
    for (const auto& r : refs) {
        if (r.size() < 4) throw std::runtime_error("validation-references.md: short hvl row");
        // The energy grid ends at 150 keV: the top voltage is evaluated just below it.
        const double kv = std::min(Number(r[1], "hvl kV"), 149.9);
        const double al = Number(r[2], "hvl filtration");
        const double published = Number(r[3], "hvl value");
        ExposureConditions c;
        c.tubeVoltage = kv;
        c.inherentFilter = al / 10;
        c.addedAl = 0;
        c.addedCu = 0;
        c.rectification = Rectification::ConstantPotential;
        const BeamQuality q =
            ComputeBeamQuality(SynthesizeSpectrum(c, t, ArbitraryFilter{}), t, kv);
        o << "| " << r[0] << " | " << r[1] << " | " << r[2] << " | " << Fixed(q.hvl1MmAl, 2)
          << " | " << r[3] << " | " << Percent(q.hvl1MmAl, published) << " | "
          << Fixed(q.hvl2MmAl, 2) << " |\n";
    }
    o << "\n本プログラム側：定電圧、ターゲット角 12°、空気カーマで重み付けした細いビームの半価層"
         "（3.7 節）。\n";
    return {"hvl", o.str()};
}

// ---- Tube output: the shipped default output data against the SpekPy computation.

GeneratedTable OutputTable(const Sources& s, const PhysicsTables& t) {
    const auto refs = KeyedRows(ReadText(s.referenceDir / "tube-output.md"), "");
    std::map<long, double> spekpy;
    for (const auto& r : refs) {
        if (r.size() < 2) continue;
        try {
            spekpy[std::lround(Number(r[0], "kV"))] = Number(r[1], "output");
        } catch (const std::runtime_error&) {
        }
    }
    if (spekpy.empty()) throw std::runtime_error("tube-output.md: no output rows");
    std::ostringstream o;
    o << "| 管電圧 (kV) | SpekPy 2.0.6 (μGy/mAs) | 本プログラム 定電圧 | 差 | 本プログラム "
         "三相12ピーク | "
         "本プログラム 単相全波 |\n|---:|---:|---:|---:|---:|---:|\n";
    for (long j = 1; j <= 12; ++j) {
        const double kv = t.output.outputKv[j];
        const auto ref = spekpy.find(std::lround(kv));
        if (ref == spekpy.end())
            throw std::runtime_error("tube-output.md lacks a row of the output table");
        const double toMicroGy = kAirWOverE * 1e6;
        const double cp = t.output.outputPerMas[j][1] * toMicroGy;
        o << "| " << Fixed(kv, 0) << " | " << Fixed(ref->second, 2) << " | " << Fixed(cp, 2)
          << " | " << Percent(cp, ref->second) << " | "
          << Fixed(t.output.outputPerMas[j][2] * toMicroGy, 2) << " | "
          << Fixed(t.output.outputPerMas[j][3] * toMicroGy, 2) << " |\n";
    }
    o << "\n焦点から 1 m、総ろ過 2.5 mm Al、ターゲット角 12°、1 m "
         "の空気を含む空気カーマ（μGy/mAs）。"
         "本プログラムの値は default-output.op の照射線量 (C/kg/mAs) × 33.97 Gy/(C/kg)。\n";
    return {"output", o.str()};
}

// ---- Effective dose per entrance air kerma against the voxel-phantom Monte Carlo.

GeneratedTable EffectiveDoseTable(const Sources& s, const PhysicsTables& t) {
    using namespace organdata;
    const TissueWeights w = DefaultTissueWeights();
    std::ostringstream o, organs;
    o << "| 撮影 | 条件 | ボクセルファントム MC (mSv/mGy) | 本プログラム (mSv/mGy) | 差 |\n"
         "|---|---|---:|---:|---:|\n";
    organs << "| 撮影 | 組織 | 寄与 (E に占める割合) | ボクセルファントム MC (mGy/mGy) | "
              "本プログラム | 差 |\n"
              "|---|---|---:|---:|---:|---:|\n";
    for (const VoxelReference& ref : VoxelReferences()) {
        const bool skull = ref.name == SkullPaGeometry().name;
        const std::vector<TissueRecord> records =
            skull ? BuildRecords(SkullPaGeometry(), Method{}) : std::vector<TissueRecord>{};
        const PerEsak p = EstimatePerEsak(ref.c, records, t, s.dataDir);
        char cond[160];
        std::snprintf(cond, sizeof cond, "%g kV, %g mm Al, SID %g cm, %g × %g cm, 厚さ %g cm",
                      ref.c.tubeVoltage, ref.c.inherentFilter * 10, ref.c.ffd, ref.c.fieldLong,
                      ref.c.fieldShort, ref.c.subjectThickness);
        const std::string name = skull ? "頭部 PA（検証用、モデルの記録）" : ref.name;
        o << "| " << name << " | " << cond << " | " << Fixed(ref.e, 4) << " | " << Fixed(p.e, 4)
          << " | " << Percent(p.e, ref.e) << " |\n";
        for (int i = 0; i < 15; ++i) {
            const double share = w[i + 1] * ref.organ[static_cast<std::size_t>(i)] / ref.e;
            if (share <= 0.1) continue;
            organs << "| " << name << " | " << WeightedTissueName(i) << " | "
                   << Fixed(100 * share, 0) << " % | "
                   << Fixed(ref.organ[static_cast<std::size_t>(i)], 4) << " | "
                   << Fixed(p.organ[static_cast<std::size_t>(i)], 4) << " | "
                   << Percent(p.organ[static_cast<std::size_t>(i)],
                              ref.organ[static_cast<std::size_t>(i)])
                   << " |\n";
        }
    }
    o << "\n入射表面空気カーマ（後方散乱を含まない、ESAK）あたりの実効線量。ボクセルファントム MC "
         "は "
         "ICRP Publication 110 の成人男女ファントムでの光子モンテカルロ（男女平均、ICRP 103 "
         "の組織加重係数）"
         "で、tools/reference/voxel-organ-doses.md にその方法と ICRP Publication 116 "
         "との照合があります。"
         "本プログラム側は出荷データ（臓器データファイル、散乱カーネル、後方散乱係数）でプログラム"
         "自身の"
         "推定を実行した値です。\n\n実効線量の 1 割を超える組織：\n\n"
      << organs.str() << "\n";  // a blank line ends the table before the block's end marker
    return {"effective-dose", o.str()};
}

// ---- Entrance surface air kerma for the standard patient against the national reference levels
// and the published NDD-method doses of the same conditions.

GeneratedTable ReferenceLevelTable(const Sources& s, const PhysicsTables& t) {
    using namespace organdata;
    const DrlTable drl = ReadDrlTable(s.dataDir / kDrlFileName);
    KernelFiles kernels(s.dataDir);
    const std::string geometry = ReadText(s.referenceDir / "organ-geometry.md");
    // The exam parts of the program and the rows of the published example conditions.
    const std::map<std::string, std::string> published = {
        {"胸部正面", "Chest PA"},    {"腹部正面", "Abdomen AP"},   {"頭部正面", "Head AP"},
        {"頭部側面", "Head LAT"},    {"頸椎正面", "Cervical AP"},  {"頸椎側面", "Cervical LAT"},
        {"胸椎正面", "Thoracic AP"}, {"胸椎側面", "Thoracic LAT"}, {"腰椎正面", "Lumbar AP"},
        {"腰椎側面", "Lumbar LAT"},  {"骨盤正面", "Pelvis AP"}};
    std::ostringstream o;
    o << "| 撮影部位 | kV | mAs | SID (cm) | 厚さ (cm) | 照射野 (cm) | 本プログラム ESD 空気カーマ "
         "(mGy) | "
         "NDD 法による例 (mGy) | 差 | 診断参考レベル 2020 (mGy) | DRL 比 |\n"
         "|---|---:|---:|---:|---:|---|---:|---:|---:|---:|---:|\n";
    for (const ExamGeometry& g : StandardExams()) {
        ExposureConditions c = Conditions(g.name, g.kv, g.mas, g.sid, g.sid - g.thickness - 3.0,
                                          g.thickness, g.fieldLong, g.fieldShort, 2.6);
        // The entrance doses of the program's calculation, without its estimate.
        calc::CalculationRequest req;
        req.conditions = c;
        req.conditions.examPart = kNoEstimateExamPart;
        OrganRows none;
        const calc::CalculationOutcome e = calc::Calculate(req, {t, s.dataDir, {}, kernels, none});
        if (e.refusal) throw std::runtime_error(g.name + ": " + e.refusal->messageEn);
        const double esd = e.result.dose.esdAir;
        std::string ndd = "—", diff = "—";
        if (const auto p = published.find(g.name); p != published.end()) {
            const auto rows = KeyedRows(geometry, p->second);
            if (rows.empty() || rows.front().size() < 2)
                throw std::runtime_error("organ-geometry.md: no row " + p->second);
            const double v = Number(rows.front()[1], "NDD dose");
            ndd = rows.front()[1];
            diff = Percent(esd, v);
        }
        const DrlComparison d = CompareWithDrl(drl, g.name, g.kv, esd);
        char field[32];
        std::snprintf(field, sizeof field, "%g × %g", g.fieldLong, g.fieldShort);
        o << "| " << g.name << " | " << Fixed(g.kv, 0) << " | " << Trim(Fixed(g.mas, 1)) << " | "
          << Fixed(g.sid, 0) << " | " << Fixed(g.thickness, 0) << " | " << field << " | "
          << Fixed(esd, 2) << " | " << ndd << " | " << diff << " | "
          << (d.hasLevel ? Trim(Fixed(d.valueMGy, 1)) : std::string("—")) << " | "
          << (d.hasLevel ? Fixed(d.percent, 0) + " %" : std::string("—")) << " |\n";
    }
    o << "\n条件：定電圧、ターゲット角 12°、総ろ過 2.6 mm "
         "Al（例の条件の固有ろ過）、デフォルト出力データ、"
         "FSD = SID − 厚さ − 3 "
         "cm、体幹は軟部組織ファントム・頭部は頭部ファントム。kV・mAs・SID・厚さ・"
         "照射野はキヤノンメディカルシステムズが公開する「標準体型」の撮影条件例（J-RIME "
         "が診断参考レベル "
         "2015 "
         "の推定に用いた体厚と照射野、tools/reference/"
         "organ-geometry.md）で、胸部側面と股関節正面の "
         "kV・mAs は本プログラムの想定です。NDD "
         "法による例は同じページの入射表面線量の計算値です。\n";
    return {"reference-levels", o.str()};
}

}  // namespace

std::vector<std::vector<std::string>> KeyedRows(const std::string& text, const std::string& key) {
    std::vector<std::vector<std::string>> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.size() < 2 || line.front() != '|') continue;
        std::vector<std::string> cells;
        std::size_t at = 1;
        while (at < line.size()) {
            const auto bar = line.find('|', at);
            if (bar == std::string::npos) break;
            cells.push_back(Trim(line.substr(at, bar - at)));
            at = bar + 1;
        }
        if (cells.empty()) continue;
        if (!key.empty()) {
            if (cells.front() != key) continue;
            cells.erase(cells.begin());
        }
        out.push_back(cells);
    }
    return out;
}

std::vector<GeneratedTable> ValidationTables(const Sources& s) {
    const PhysicsTables t = LoadAllTables(s.dataDir);
    return {BackscatterTable(s), HalfValueLayerTable(s, t), OutputTable(s, t),
            EffectiveDoseTable(s, t), ReferenceLevelTable(s, t)};
}

namespace {
std::string Begin(const std::string& name) { return "<!-- generated: " + name + " -->\n"; }
std::string End(const std::string& name) { return "<!-- end: " + name + " -->"; }

// Position and length of the text between the markers of `name`; npos when missing.
std::pair<std::size_t, std::size_t> Block(const std::string& doc, const std::string& name) {
    const auto b = doc.find(Begin(name));
    if (b == std::string::npos) return {std::string::npos, 0};
    const auto from = b + Begin(name).size();
    const auto e = doc.find(End(name), from);
    if (e == std::string::npos) return {std::string::npos, 0};
    return {from, e - from};
}
}  // namespace

std::vector<BlockMismatch> CompareBlocks(const std::string& document,
                                         const std::vector<GeneratedTable>& tables) {
    std::vector<BlockMismatch> out;
    for (const GeneratedTable& g : tables) {
        const auto [from, len] = Block(document, g.name);
        const std::string have = from == std::string::npos ? "" : document.substr(from, len);
        if (from == std::string::npos || have != g.markdown)
            out.push_back({g.name, have, g.markdown});
    }
    return out;
}

std::string ReplaceBlocks(const std::string& document, const std::vector<GeneratedTable>& tables) {
    std::string doc = document;
    for (const GeneratedTable& g : tables) {
        const auto [from, len] = Block(doc, g.name);
        if (from == std::string::npos)
            throw std::runtime_error("the manual has no block '" + g.name + "' (" + Begin(g.name) +
                                     "… " + End(g.name) + ")");
        doc.replace(from, len, g.markdown);
    }
    return doc;
}

}  // namespace dovex::manual
