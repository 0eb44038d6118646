// SPDX-License-Identifier: MIT
#include "tools/refdata/refdata.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <map>
#include <memory>
#include <stdexcept>

#include "engine/numtext.h"
#include "engine/textio.h"
#include "tools/refdata/output_model.h"

namespace dovex::refdata {
namespace {

namespace fs = std::filesystem;

// Scientific notation with a fixed number of decimals, independent of the locale.
std::string Sci(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*E", decimals, v);
    return buf;
}

std::string Fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

double RoundSignificant(double v, int digits) { return ParseLenient(Sci(v, digits - 1)); }

// Cp932 bytes of UTF-8 lines, each ended by CR LF.
std::string Cp932Lines(const std::vector<std::string>& lines) {
    return Utf8ToCp932OrThrow(JoinCrLf(lines));
}

// ---------------------------------------------------------------------------------------------
// Filter materials.

// Energies (keV) of the standard NIST grid from 1 keV to 10 MeV; the material tables start from
// it, add the absorption edges and are refined where log-log interpolation needs more points.
const std::vector<double>& BaseGridKeV() {
    static const std::vector<double> g = {1,    1.5,  2,    3,    4,    5,    6,    8,    10,
                                          15,   20,   30,   40,   50,   60,   80,   100,  150,
                                          200,  300,  400,  500,  600,  800,  1000, 1250, 1500,
                                          2000, 3000, 4000, 5000, 6000, 8000, 10000};
    return g;
}

constexpr std::size_t kMaxRecords = 100;
constexpr double kDiagLoKeV = 5, kDiagHiKeV = 150;
constexpr double kTolDiagnostic = 0.001;  // aim for 0.1 % at 5..150 keV (1 % is required)
constexpr double kTolElsewhere = 0.01;

MaterialRecord MakeRecord(double energyMeV, const Partials& p) {
    MaterialRecord r;
    std::string e = Sci(energyMeV, 7);
    std::string c1 = Sci(p.coherent, 5), c2 = Sci(p.incoherent, 5), c3 = Sci(p.photo, 5);
    r.energyMeV = ParseLenient(e);
    r.mass.coherent = ParseLenient(c1);
    r.mass.incoherent = ParseLenient(c2);
    r.mass.photo = ParseLenient(c3);
    const double total = r.mass.coherent + r.mass.incoherent + r.mass.photo;
    const double noCoherent = r.mass.incoherent + r.mass.photo;
    r.line = e + "," + c1 + "," + c2 + "," + c3 + "," + Sci(total, 5) + "," + Sci(noCoherent, 5);
    return r;
}

struct Node {
    MaterialRecord rec;
    bool edgeBelow = false;  // first record of an edge pair
};

// Score of the segment between nodes i and i+1: the worst error relative to its tolerance.
double SegmentScore(const std::vector<MaterialRecord>& recs, std::size_t i, const Composition& c,
                    double* worstKeV, double* worstDiag, double* worstOther) {
    const double a = recs[i].energyMeV * 1000, b = recs[i + 1].energyMeV * 1000;
    if (!(b > a)) return 0;  // the two records of an edge
    std::vector<double> points;
    for (double k = std::ceil(a); k < b; k += 1) points.push_back(k);
    for (int q = 1; q <= 6; ++q) points.push_back(a * std::pow(b / a, q / 7.0));
    double score = 0;
    for (double keV : points) {
        const bool whole = keV == std::floor(keV);
        const double err = std::abs(MaterialLogLog(recs, 0.001 * keV) / MassTotal(c, keV) - 1);
        const bool diag = keV >= kDiagLoKeV && keV <= kDiagHiKeV;
        const double s = err / (diag ? kTolDiagnostic : kTolElsewhere);
        if (diag && whole && worstDiag != nullptr && err > *worstDiag) {
            *worstDiag = err;
            if (worstKeV != nullptr) *worstKeV = keV;
        }
        if (!diag && worstOther != nullptr) *worstOther = std::max(*worstOther, err);
        score = std::max(score, s);
    }
    return score;
}

std::vector<MaterialRecord> Records(const std::vector<Node>& nodes) {
    std::vector<MaterialRecord> r;
    r.reserve(nodes.size());
    for (const Node& n : nodes) r.push_back(n.rec);
    return r;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

Composition SoftTissueIcru44() {
    return {{1, 0.102},  {6, 0.143},  {7, 0.034},  {8, 0.708}, {11, 0.002},
            {15, 0.003}, {16, 0.003}, {17, 0.002}, {19, 0.003}};
}

Composition SkinIcru44() {
    return {{1, 0.100},  {6, 0.204},  {7, 0.042},  {8, 0.645}, {11, 0.002},
            {15, 0.001}, {16, 0.002}, {17, 0.003}, {19, 0.001}};
}

Composition CorticalBoneIcru44() {
    return {{1, 0.034},  {6, 0.155},  {7, 0.042},  {8, 0.435}, {11, 0.001},
            {12, 0.002}, {15, 0.103}, {16, 0.003}, {20, 0.225}};
}

NistData NistData::Load(const fs::path& dir) {
    NistData d;
    d.air = NistTable::Load(dir / "air.csv");
    d.softTissue = NistTable::Load(dir / "tissue-icru44.csv");
    static const std::map<int, const char*> files = {
        {1, "Z01-H.csv"},  {6, "Z06-C.csv"},   {7, "Z07-N.csv"},
        {8, "Z08-O.csv"},  {11, "Z11-Na.csv"}, {15, "Z15-P.csv"},
        {16, "Z16-S.csv"}, {17, "Z17-Cl.csv"}, {19, "Z19-K.csv"}};
    for (const Component& c : SkinIcru44())
        d.skinElements.push_back(NistTable::Load(dir / files.at(c.z)));
    const Composition skin = SkinIcru44();
    std::vector<WeightedTable> parts;
    for (std::size_t i = 0; i < skin.size(); ++i)
        parts.push_back({&d.skinElements[i], skin[i].massFraction});
    d.skin = MixtureTable(parts, "skin (ICRU-44)");
    return d;
}

std::vector<MaterialSpec> MaterialList() {
    struct El {
        const char* symbol;
        const char* japanese;
        int z;
        double density;
    };
    // Densities of the elements as tabulated by NIST (SRD 126, Table 1).
    static const El elements[] = {{"Be", "ベリリウム", 4, 1.848},
                                  {"Al", "アルミニウム", 13, 2.699},
                                  {"Ti", "チタン", 22, 4.54},
                                  {"Fe", "鉄", 26, 7.874},
                                  {"Cu", "銅", 29, 8.96},
                                  {"Y", "イットリウム", 39, 4.469},
                                  {"Zr", "ジルコニウム", 40, 6.506},
                                  {"Nb", "ニオブ", 41, 8.57},
                                  {"Mo", "モリブデン", 42, 10.22},
                                  {"Rh", "ロジウム", 45, 12.41},
                                  {"Ag", "銀", 47, 10.5},
                                  {"Sn", "スズ", 50, 7.31},
                                  {"Gd", "ガドリニウム", 64, 7.9},
                                  {"Er", "エルビウム", 68, 9.066},
                                  {"Ta", "タンタル", 73, 16.654},
                                  {"W", "タングステン", 74, 19.3},
                                  {"Pb", "鉛", 82, 11.35}};
    std::vector<MaterialSpec> out;
    for (const El& e : elements)
        out.push_back({std::string(e.symbol) + ".ele",
                       std::string(e.japanese) + " (" + e.symbol + ")",
                       e.density,
                       {{e.z, 1.0}}});
    out.push_back({"Water.mix", "水 (H2O)", 1.0, FormulaComposition("H2O")});
    out.push_back({"PMMA.mix", "アクリル PMMA (C5H8O2)", 1.19, FormulaComposition("C5H8O2")});
    out.push_back(
        {"SoftTissue-ICRU44.mix", "軟組織 ICRU-44 (Soft tissue)", 1.06, SoftTissueIcru44()});
    out.push_back(
        {"CorticalBone-ICRU44.mix", "皮質骨 ICRU-44 (Cortical bone)", 1.92, CorticalBoneIcru44()});
    out.push_back(
        {"Polycarbonate.mix", "ポリカーボネート (C16H14O3)", 1.20, FormulaComposition("C16H14O3")});
    out.push_back({"Graphite.mix", "グラファイト (C)", 1.70, {{6, 1.0}}});
    return out;
}

double MaterialLogLog(const std::vector<MaterialRecord>& r, double e) {
    const std::size_t n = r.size();
    std::size_t j = 0;
    while (j < n && e >= r[j].energyMeV) ++j;
    if (j == 0 || j >= n) throw std::runtime_error("material records do not bracket the energy");
    const double e0 = r[j - 1].energyMeV, e1 = r[j].energyMeV;
    const double t0 = r[j - 1].mass.coherent + r[j - 1].mass.incoherent + r[j - 1].mass.photo;
    const double t1 = r[j].mass.coherent + r[j].mass.incoherent + r[j].mass.photo;
    return std::exp(std::log(t0) + (std::log(e) - std::log(e0)) / (std::log(e1) - std::log(e0)) *
                                       (std::log(t1) - std::log(t0)));
}

MaterialGrid BuildMaterialGrid(const Composition& c) {
    const double lo = BaseGridKeV().front(), hi = BaseGridKeV().back();
    const std::vector<EdgeJump> edges = FindEdges(c, lo, hi);
    std::vector<Node> nodes;
    for (double keV : BaseGridKeV()) {
        bool nearEdge = false;
        for (const EdgeJump& j : edges)
            if (std::abs(keV / j.aboveKeV - 1) < 0.01) nearEdge = true;
        if (!nearEdge) nodes.push_back({MakeRecord(keV * 1e-3, MassPartials(c, keV)), false});
    }
    for (const EdgeJump& j : edges) {
        // A whole keV next to the edge must fall on the same side of the written edge energy
        // (as the engine compares it) as of xraylib's jump.
        const double written = ParseLenient(Sci(j.aboveKeV * 1e-3, 7));
        for (double k : {std::floor(j.aboveKeV), std::ceil(j.aboveKeV)})
            if ((0.001 * k >= written) != (k >= j.aboveKeV) || std::abs(k - j.aboveKeV) < 1e-6)
                throw std::runtime_error("absorption edge of Z=" + std::to_string(j.z) + " shell " +
                                         std::to_string(j.shell) + " cannot be placed apart from " +
                                         std::to_string(k) + " keV");
        nodes.push_back({MakeRecord(j.aboveKeV * 1e-3, j.below), true});
        nodes.push_back({MakeRecord(j.aboveKeV * 1e-3, j.above), false});
    }
    std::stable_sort(nodes.begin(), nodes.end(), [](const Node& a, const Node& b) {
        return a.rec.energyMeV < b.rec.energyMeV;
    });
    for (std::size_t i = 1; i < nodes.size(); ++i)
        if (nodes[i].rec.energyMeV == nodes[i - 1].rec.energyMeV &&
            !(nodes[i - 1].edgeBelow && !nodes[i].edgeBelow))
            throw std::runtime_error("two absorption edges share one energy");

    // Refinement: split the worst segment at its logarithmic middle until every test energy is
    // within its tolerance or the table is full.
    std::vector<MaterialRecord> recs = Records(nodes);
    std::vector<double> score(recs.size() - 1);
    for (std::size_t i = 0; i + 1 < recs.size(); ++i)
        score[i] = SegmentScore(recs, i, c, nullptr, nullptr, nullptr);
    while (recs.size() < kMaxRecords) {
        auto worst = std::max_element(score.begin(), score.end());
        if (*worst <= 1) break;
        const std::size_t i = static_cast<std::size_t>(worst - score.begin());
        const double a = recs[i].energyMeV * 1000, b = recs[i + 1].energyMeV * 1000;
        const double g = std::sqrt(a * b);
        double e = RoundSignificant(g, 3);
        if (!(e > a * 1.0001 && e < b / 1.0001)) e = RoundSignificant(g, 6);
        recs.insert(recs.begin() + static_cast<long>(i) + 1,
                    MakeRecord(e * 1e-3, MassPartials(c, e)));
        score.insert(score.begin() + static_cast<long>(i) + 1, 0);
        score[i] = SegmentScore(recs, i, c, nullptr, nullptr, nullptr);
        score[i + 1] = SegmentScore(recs, i + 1, c, nullptr, nullptr, nullptr);
    }

    MaterialGrid g;
    g.records = recs;
    g.edges = static_cast<int>(edges.size());
    for (std::size_t i = 0; i + 1 < recs.size(); ++i)
        SegmentScore(recs, i, c, &g.worstKeV, &g.maxErrorDiagnostic, &g.maxErrorElsewhere);
    return g;
}

// ---------------------------------------------------------------------------------------------
// Soft-tissue attenuation table of the depth-dose computation.

namespace {

constexpr std::size_t kMaxIcruRows = 37;
constexpr double kTolIcru = 0.0005;

IcruRow MakeIcruRow(double keV) {
    const Partials p = MassPartials(SoftTissueIcru44(), keV);
    IcruRow r;
    std::string e = Sci(keV * 1e-3, 6);
    std::string c1 = Sci(p.coherent * kSoftTissueDensity, 6);
    std::string c2 = Sci(p.incoherent * kSoftTissueDensity, 6);
    std::string c3 = Sci(p.photo * kSoftTissueDensity, 6);
    r.energyMeV = ParseLenient(e);
    r.coherent = ParseLenient(c1);
    r.incoherent = ParseLenient(c2);
    r.photo = ParseLenient(c3);
    r.line = e + "," + c1 + "," + c2 + "," + c3;
    return r;
}

double IcruReference(double keV) { return MassTotal(SoftTissueIcru44(), keV) * kSoftTissueDensity; }

}  // namespace

double IcruLogLog(const std::vector<IcruRow>& rows, double keV) {
    std::size_t j = 1;
    while (j < rows.size() && keV >= rows[j].energyMeV * 1000) ++j;
    if (j >= rows.size()) throw std::runtime_error("energy at or above the last row");
    const IcruRow& a = rows[j - 1];
    const IcruRow& b = rows[j];
    const double ea = a.energyMeV * 1000, eb = b.energyMeV * 1000;
    const double t = (std::log(keV) - std::log(ea)) / (std::log(eb) - std::log(ea));
    auto ll = [t](double x, double y) {
        return std::exp(std::log(x) + t * (std::log(y) - std::log(x)));
    };
    return ll(a.coherent, b.coherent) + ll(a.incoherent, b.incoherent) + ll(a.photo, b.photo);
}

IcruGrid BuildIcruGrid() {
    std::vector<double> keVs = {10, 15, 20, 30, 40, 50, 60, 80, 100, 150, 200};
    std::vector<IcruRow> rows;
    for (double k : keVs) rows.push_back(MakeIcruRow(k));
    auto worstSegment = [&](double* err, double* at) {
        // The depth-dose computation evaluates every half keV from 10.5 keV to the tube voltage.
        std::vector<double> segErr(rows.size() - 1, 0);
        *err = 0;
        for (long e2 = 20; e2 <= 300; ++e2) {
            const double keV = 0.5 * static_cast<double>(e2);
            const double d = std::abs(IcruLogLog(rows, keV) / IcruReference(keV) - 1);
            std::size_t s = 0;
            while (s + 1 < rows.size() - 1 && keV >= rows[s + 1].energyMeV * 1000) ++s;
            segErr[s] = std::max(segErr[s], d);
            if (d > *err) {
                *err = d;
                *at = keV;
            }
        }
        return static_cast<std::size_t>(std::max_element(segErr.begin(), segErr.end()) -
                                        segErr.begin());
    };
    double err = 0, at = 0;
    std::size_t s = worstSegment(&err, &at);
    while (err > kTolIcru && rows.size() < kMaxIcruRows) {
        const double a = rows[s].energyMeV * 1000, b = rows[s + 1].energyMeV * 1000;
        const double g = std::sqrt(a * b);
        double e = RoundSignificant(g, 2);
        if (!(e > a * 1.0001 && e < b / 1.0001)) e = RoundSignificant(g, 3);
        rows.insert(rows.begin() + static_cast<long>(s) + 1, MakeIcruRow(e));
        s = worstSegment(&err, &at);
    }
    IcruGrid g;
    g.rows = rows;
    g.maxError = err;
    g.worstKeV = at;
    return g;
}

// ---------------------------------------------------------------------------------------------

const std::vector<TubeOutputPoint>& ReferenceTubeOutput() {
    // Air kerma per mAs at 1 m from the focus, with 1 m of air, of a tungsten tube at constant
    // potential, 12 degree target, 2.5 mm Al total filtration: SpekPy 2.0.6, model "casim"
    // (Poludniowski, Omar, Bujila, Andreo, Med. Phys. 48 (2021) 3630-3637).
    static const std::vector<TubeOutputPoint> t = {
        {40, 17.67},   {50, 31.54},   {60, 46.48},   {70, 61.91},   {80, 78.44},   {90, 95.99},
        {100, 114.32}, {110, 133.65}, {120, 153.13}, {130, 173.35}, {140, 194.36}, {150, 215.81}};
    return t;
}

namespace {

constexpr double kAirWOverE = 33.97;  // Gy per C/kg
constexpr double kRefAlMm = 2.5, kRefCuMm = 0;
constexpr double kTargetAngle = 12;

struct AttText {
    std::string bytes;
    std::unique_ptr<PhysicsTables> tables;  // att: the values as the engine reads them back
};

AttText BuildAttenuation(const NistData& nist) {
    const Composition w = {{74, 1.0}}, al = {{13, 1.0}}, cu = {{29, 1.0}};
    AttText out;
    out.tables = std::make_unique<PhysicsTables>();
    AttenuationTable& t = out.tables->att;
    std::vector<std::string> lines;
    for (long i = 1; i <= 300; ++i) {
        const double keV = FineEnergy(i);
        const std::string f[6] = {
            Sci(MassTotal(w, keV) * 19.3, 6),     Sci(MassTotal(al, keV) * 2.699, 6),
            Sci(MassTotal(cu, keV) * 8.96, 6),    Sci(nist.air.MuenRho(keV), 6),
            Sci(nist.softTissue.MuenRho(keV), 6), Sci(nist.SkinMuenRho(keV), 6)};
        t.muW[i] = ParseLenient(f[0]);
        t.muAl[i] = ParseLenient(f[1]);
        t.muCu[i] = ParseLenient(f[2]);
        t.muenAir[i] = ParseLenient(f[3]);
        t.muenSoft[i] = ParseLenient(f[4]);
        t.muenSkin[i] = ParseLenient(f[5]);
        std::string line = Fixed(keV, 1);
        for (const auto& s : f) line += "," + s;
        lines.push_back(line);
    }
    out.bytes = Cp932Lines(lines);
    return out;
}

std::string BuildPrimary(const NistData& nist, std::string* report) {
    std::vector<std::string> lines;
    for (int k = 2; k <= 30; ++k) {
        const double keV = 5.0 * k;
        const double p = keV * nist.softTissue.MuenRho(keV) * kAttoGrayPerKeVCm2PerG;
        lines.push_back(Fixed(keV, 0) + "," + Sci(p, 6));
    }
    lines.push_back(
        "一次線量係数 (1～29行): 光子エネルギー(keV), P = E×μen/ρ (ICRU-44 軟組織, NIST SRD 126) "
        "単位 aGy・cm2 (光子フルエンス 1 個/cm2 あたりの吸収線量)");
    lines.push_back("ユーザー名 (32行目): ユーザー名の登録・変更のときにプログラムが書き込みます");
    if (report != nullptr)
        *report += "Primary.dat: 29 factors, P(10 keV) = " + lines[0].substr(3) +
                   " aGy cm2, P(150 keV) = " + lines[28].substr(4) + " aGy cm2\n";
    return Cp932Lines(lines);
}

std::string BuildIcru(const IcruGrid& g) {
    std::vector<std::string> lines;
    lines.push_back(std::to_string(g.rows.size()));
    lines.push_back(Fixed(kSoftTissueDensity, 2));  // density, g/cm3 (not read)
    for (const IcruRow& r : g.rows) lines.push_back(r.line);
    return Cp932Lines(lines);
}

std::string BuildDefaultOutput(const PhysicsTables& att, std::string* report) {
    const auto& ref = ReferenceTubeOutput();
    const double refAl = kRefAlMm * 0.1, refCu = kRefCuMm * 0.1;  // as the engine reads them
    std::vector<std::string> lines;
    lines.push_back(
        "既定管出力 C/kg/mAs at 1 m: 定電圧列 = SpekPy 2.0.6 casim (Poludniowski et al., "
        "Med. Phys. 48 (2021) 3630) W陽極 12度 総ろ過 2.5 mmAl 空気1 m の空気カーマ÷33.97; "
        "三相12ピーク・単相全波列 = 定電圧列×本プログラムの波形モデルによる空気カーマ/mAs比");
    std::string kvLine, cols[3];
    char buf[160];
    if (report != nullptr)
        *report +=
            "default-output.op: air kerma per mAs relative to constant potential "
            "(2.5 mm Al)\n   kV  three-phase  single-phase\n";
    for (std::size_t j = 0; j < ref.size(); ++j) {
        const double kv = ref[j].kv;
        const double cp = ref[j].microGrayPerMas * 1e-6 / kAirWOverE;
        const double r2 = RectificationOutputRatio(kv, 2, kTargetAngle, refAl, refCu, att);
        const double r3 = RectificationOutputRatio(kv, 3, kTargetAngle, refAl, refCu, att);
        const std::string sep = j == 0 ? "" : ",";
        kvLine += sep + Fixed(kv, 0);
        cols[0] += sep + Sci(cp, 4);
        cols[1] += sep + Sci(cp * r2, 4);
        cols[2] += sep + Sci(cp * r3, 4);
        if (report != nullptr) {
            std::snprintf(buf, sizeof buf, "  %3.0f  %.4f       %.4f\n", kv, r2, r3);
            *report += buf;
        }
    }
    const std::string filt = Fixed(kRefAlMm, 1) + "," + Fixed(kRefCuMm, 0);
    lines.push_back(kvLine);
    for (const auto& c : cols) {
        lines.push_back(c);
        lines.push_back(filt);
    }
    return Cp932Lines(lines);
}

std::string MaterialText(const MaterialSpec& m, const MaterialGrid& g) {
    std::vector<std::string> lines;
    lines.push_back(m.name);
    lines.push_back(PlainNumber(m.density) + "," + std::to_string(g.records.size()));
    for (const auto& r : g.records) lines.push_back(r.line);
    return Cp932Lines(lines);
}

const char* kReadme =
    "任意フィルター用の物質ファイルについて\n"
    "\n"
    "「任意フィルタ」ボタンで開く画面の一覧には、プログラムと同じフォルダにある\n"
    "拡張子 .ele (元素) と .mix (混合物・化合物) のファイルが表示されます。\n"
    "一覧にない物質を付加フィルターに使うには、次の形式のファイルを作り、\n"
    "拡張子を .ele または .mix にしてこのフォルダに置いて下さい。\n"
    "\n"
    "ファイルの形式 (シフトJIS, 各行の区切りはカンマ, 行末は CR LF)\n"
    "  1行目 : 物質名 (画面の「材質」欄に表示される名前。例: アルミニウム (Al))\n"
    "  2行目 : 密度 (g/cm3), 数値1個 (使用しません。記録数を書いています)\n"
    "  3行目以降 : 1行に1記録、6個の数値\n"
    "      光子エネルギー (MeV), 干渉性散乱, 非干渉性散乱, 光電吸収 の質量減弱係数 (cm2/g),\n"
    "      残り2個は使用しません (全減弱係数と、干渉性散乱を除いた全減弱係数を書いています)\n"
    "  ・最初の記録のエネルギーは 0.001 MeV (1 keV) 以下にして下さい。\n"
    "  ・エネルギーは小さい順に並べ、最後の記録を 10 MeV にして下さい\n"
    "    (10 MeV 以上の記録で読み込みを終えます)。記録は 100 個までです。\n"
    "  ・吸収端は同じエネルギーの2記録 (吸収端の直下の値、直上の値の順) で書いて下さい。\n"
    "  ・プログラムは3つの係数の和 (全質量減弱係数) を両対数で補間し、密度を掛けて\n"
    "    1 keV ごとの線減弱係数にします。補間の誤差が小さくなるよう、係数の変化が\n"
    "    大きいエネルギー域では記録を密にして下さい。\n"
    "\n"
    "付属の物質ファイルの作り方\n"
    "  付属の .ele / .mix ファイルは、xraylib (Debian の libxrl-dev) の断面積\n"
    "  (CS_Rayl, CS_Compt, CS_Photo; 混合物は元素の質量分率で重み付け) から\n"
    "  ソースの tools/refdata の生成プログラムで作っています。ソースのフォルダで\n"
    "      scripts/regen-data.sh\n"
    "  を実行すると data フォルダのファイルが作り直されます。物質を加えるには\n"
    "  tools/refdata/refdata.cpp の MaterialList() に名前・密度・組成を書き足して\n"
    "  実行して下さい。5～150 keV の各 keV で xraylib の全減弱係数との差が 1 % 以内に\n"
    "  なるよう記録を選びます。\n";

std::string ReadmeBytes() {
    std::vector<std::string> lines;
    std::string s = kReadme;
    std::size_t p = 0;
    while (p < s.size()) {
        std::size_t e = s.find('\n', p);
        lines.push_back(s.substr(p, e - p));
        p = e + 1;
    }
    return Cp932Lines(lines);
}

}  // namespace

Generated GenerateAll(const fs::path& nistDir) {
    const NistData nist = NistData::Load(nistDir);
    Generated g;
    char buf[256];

    AttText att = BuildAttenuation(nist);
    g.files.push_back({files::kAttenuation, att.bytes});
    g.report += "Att_coeff2020.dat: 300 bins of 0.5 keV (0.5..150 keV)\n";

    g.files.push_back({files::kDefaultOutput, BuildDefaultOutput(*att.tables, &g.report)});

    const IcruGrid icru = BuildIcruGrid();
    g.files.push_back({files::kIcruSoft, BuildIcru(icru)});
    std::snprintf(buf, sizeof buf,
                  "ICRUSoft.dat: %zu rows, %.1f..%.1f keV; largest error of the log-log "
                  "interpolation 10..150 keV %.4f %% at %.1f keV\n",
                  icru.rows.size(), icru.rows.front().energyMeV * 1000,
                  icru.rows.back().energyMeV * 1000, icru.maxError * 100, icru.worstKeV);
    g.report += buf;

    g.files.push_back({files::kPrimary, BuildPrimary(nist, &g.report)});

    g.report +=
        "Material files: records, edges, largest error at whole keV 5..150 (keV), "
        "largest error at other energies 1 keV..10 MeV\n";
    for (const MaterialSpec& m : MaterialList()) {
        const MaterialGrid grid = BuildMaterialGrid(m.composition);
        if (grid.maxErrorDiagnostic > 0.01)
            throw std::runtime_error(m.fileName + ": interpolation error above 1 % at " +
                                     std::to_string(grid.worstKeV) + " keV");
        g.files.push_back({m.fileName, MaterialText(m, grid)});
        std::snprintf(buf, sizeof buf,
                      "  %-24s %3zu records %2d edges  %.4f %% at %3.0f keV  %.3f %%\n",
                      m.fileName.c_str(), grid.records.size(), grid.edges,
                      grid.maxErrorDiagnostic * 100, grid.worstKeV, grid.maxErrorElsewhere * 100);
        g.report += buf;
    }
    g.files.push_back({"はじめにお読み下さい.txt", ReadmeBytes()});
    return g;
}

}  // namespace dovex::refdata
