// SPDX-License-Identifier: MIT
// The generator of the reference data: deterministic output equal to the committed files, and
// the accuracy of the tables against their sources (xraylib, NIST).
#include "tools/refdata/refdata.h"

#include <gtest/gtest.h>
#include <xraylib/xraylib.h>

#include <cmath>
#include <filesystem>
#include <map>

#include "engine/material.h"
#include "engine/spectrum.h"
#include "engine/tables.h"
#include "engine/textio.h"
#include "tests/data/data_support.h"
#include "tools/refdata/nist.h"
#include "tools/refdata/output_model.h"
#include "tools/refdata/xsection.h"

namespace dovex {
namespace {

namespace fs = std::filesystem;
using datatest::DataBytes;
using datatest::DataDir;
using datatest::Tables;

const fs::path kNist = DOVEX_NIST_MUEN_DIR;

double RelErr(double a, double b) { return std::abs(a / b - 1); }

// The tables are part of the repository (tools/reference/nist-muen): missing ones are a fault.
#define REQUIRE_NIST() \
    ASSERT_TRUE(fs::exists(kNist / "air.csv")) << "NIST tables not found in " << kNist.string()

TEST(Generator, ReproducesTheCommittedFilesByteForByte) {
    REQUIRE_NIST();
    const refdata::Generated a = refdata::GenerateAll(kNist);
    ASSERT_GE(a.files.size(), 28u);
    for (const auto& f : a.files) {
        SCOPED_TRACE(f.name);
        ASSERT_TRUE(fs::exists(DataDir() / f.name)) << "not committed";
        EXPECT_TRUE(DataBytes(f.name) == f.bytes) << "differs from the generator's output; "
                                                     "run scripts/regen-data.sh";
    }
    // A second run gives the same bytes.
    const refdata::Generated b = refdata::GenerateAll(kNist);
    ASSERT_EQ(a.files.size(), b.files.size());
    for (std::size_t i = 0; i < a.files.size(); ++i)
        EXPECT_TRUE(a.files[i].bytes == b.files[i].bytes);
}

TEST(Generator, MaterialFilesReproduceXraylibWithinOnePercent) {
    double worstAll = 0;
    for (const auto& mat : refdata::MaterialList()) {
        SCOPED_TRACE(mat.fileName);
        const MaterialTable m = ReadMaterialFile(DataDir() / mat.fileName);
        EXPECT_DOUBLE_EQ(m.density, mat.density);
        const FineArray mu = BuildArbitraryFilterMu(m);
        double worst = 0;
        for (long k = 5; k <= 150; ++k) {
            const double ref = refdata::MassTotal(mat.composition, static_cast<double>(k));
            worst = std::max(worst, RelErr(mu[2 * k], ref * mat.density));
        }
        EXPECT_LT(worst, 0.01);
        worstAll = std::max(worstAll, worst);
    }
    RecordProperty("worst_material_error_percent", std::to_string(worstAll * 100));
}

// The depth-dose interpolation of the soft-tissue table: rows bracket E, each partial log-log.
double IcruTotal(const PhysicsTables& t, double e) {
    long j = 2;
    while (e >= t.icruSoft[j].energyKeV) ++j;  // Checked: throws past row 37
    if (j > t.icruSoftRows) throw std::runtime_error("past the table");
    const IcruSoftRow& a = t.icruSoft[j - 1];
    const IcruSoftRow& b = t.icruSoft[j];
    const double s =
        (std::log(e) - std::log(a.energyKeV)) / (std::log(b.energyKeV) - std::log(a.energyKeV));
    auto ll = [s](double x, double y) { return std::exp(std::log(x) + s * std::log(y / x)); };
    return ll(a.c1, b.c1) + ll(a.c2, b.c2) + ll(a.c3, b.c3);
}

TEST(Generator, SoftTissueTableReproducesXraylibWithinHalfAPercent) {
    const auto soft = refdata::SoftTissueIcru44();
    double worst = 0;
    for (long k = 10; k <= 150; ++k) {
        const double e = static_cast<double>(k);
        worst = std::max(worst, RelErr(IcruTotal(Tables(), e), refdata::MassTotal(soft, e) * 1.06));
    }
    EXPECT_LT(worst, 0.005);
    RecordProperty("worst_icru_error_percent", std::to_string(worst * 100));
}

TEST(Generator, AttenuationColumnsAreXraylibTotalsTimesDensity) {
    for (long i : {10L, 21L, 60L, 139L, 140L, 300L}) {
        const double e = FineEnergy(i);
        EXPECT_LT(RelErr(Tables().att.muW[i], CS_Total(74, e, nullptr) * 19.3), 1e-6);
        EXPECT_LT(RelErr(Tables().att.muAl[i], CS_Total(13, e, nullptr) * 2.699), 1e-6);
        EXPECT_LT(RelErr(Tables().att.muCu[i], CS_Total(29, e, nullptr) * 8.96), 1e-6);
    }
}

TEST(Generator, CompositionsAddUpToOne) {
    for (const auto& c :
         {refdata::SoftTissueIcru44(), refdata::SkinIcru44(), refdata::CorticalBoneIcru44()}) {
        double s = 0;
        for (const auto& x : c) s += x.massFraction;
        EXPECT_NEAR(s, 1.0, 1e-12);
    }
}

// ---- NIST tables -------------------------------------------------------------------------------

TEST(Nist, MixtureRuleOfTheElementsReproducesNistSoftTissue) {
    // The skin column is built by the mixture rule; the same rule applied to ICRU-44 soft tissue
    // must give NIST's own soft-tissue table.
    REQUIRE_NIST();
    const refdata::NistData d = refdata::NistData::Load(kNist);
    const auto soft = refdata::SoftTissueIcru44();  // same elements, same order as skin
    std::vector<refdata::WeightedTable> parts;
    for (std::size_t i = 0; i < soft.size(); ++i)
        parts.push_back({&d.skinElements[i], soft[i].massFraction});
    // At NIST's energies the rule agrees with the table to rounding.
    for (const auto& row : d.softTissue.rows()) {
        const double e = row.energyMeV * 1000;
        if (e < 5 || e > 150) continue;
        EXPECT_LT(RelErr(refdata::MixtureMuenRho(parts, e), row.muenRho), 0.001) << e;
        EXPECT_LT(RelErr(refdata::MixtureMuRho(parts, e), row.muRho), 0.001) << e;
    }
    // The mixture's own table, interpolated like NIST's, follows NIST's table in between too.
    const refdata::NistTable mix = refdata::MixtureTable(parts, "soft tissue by mixture rule");
    double worst = 0;
    for (long i = 10; i <= 300; ++i) {
        const double e = FineEnergy(i);
        worst = std::max(worst, RelErr(mix.MuenRho(e), d.softTissue.MuenRho(e)));
    }
    EXPECT_LT(worst, 0.001);
    RecordProperty("worst_muen_mixture_vs_table_percent", std::to_string(worst * 100));
}

TEST(Nist, MixtureTableKeepsEveryConstituentEdge) {
    REQUIRE_NIST();
    const refdata::NistData d = refdata::NistData::Load(kNist);
    // Skin: Na, P, S, Cl and K edges, each as a pair of rows with the coefficient rising.
    int edges = 0;
    const auto& r = d.skin.rows();
    for (std::size_t i = 1; i < r.size(); ++i)
        if (r[i].energyMeV == r[i - 1].energyMeV) {
            ++edges;
            EXPECT_GT(r[i].muenRho, r[i - 1].muenRho);
        }
    EXPECT_EQ(edges, 5);
    EXPECT_LT(d.SkinMuenRho(3.6074 * (1 - 1e-9)), d.SkinMuenRho(3.6074));
}

TEST(Nist, BoneCompositionReproducesNistCorticalBone) {
    REQUIRE_NIST();
    const refdata::NistTable bone = refdata::NistTable::Load(kNist / "bone-icru44.csv");
    const std::map<int, const char*> files = {
        {1, "Z01-H.csv"},  {6, "Z06-C.csv"},   {7, "Z07-N.csv"},
        {8, "Z08-O.csv"},  {11, "Z11-Na.csv"}, {12, "Z12-Mg.csv"},
        {15, "Z15-P.csv"}, {16, "Z16-S.csv"},  {20, "Z20-Ca.csv"}};
    std::vector<refdata::NistTable> tables;
    const auto comp = refdata::CorticalBoneIcru44();
    for (const auto& c : comp) tables.push_back(refdata::NistTable::Load(kNist / files.at(c.z)));
    std::vector<refdata::WeightedTable> parts;
    for (std::size_t i = 0; i < comp.size(); ++i)
        parts.push_back({&tables[i], comp[i].massFraction});
    for (double e : {10.0, 20.0, 30.0, 50.0, 80.0, 150.0})
        EXPECT_LT(RelErr(refdata::MixtureMuRho(parts, e), bone.MuRho(e)), 0.002) << e;
}

TEST(Nist, InterpolationStaysWithinOneEdgeSegment) {
    // Air has the argon K edge at 3.2029 keV: 133.0 below, 146.0 above (cm2/g, mu_en/rho).
    REQUIRE_NIST();
    const refdata::NistTable air = refdata::NistTable::Load(kNist / "air.csv");
    EXPECT_NEAR(air.MuenRho(3.2029 * (1 - 1e-12)), 133.0, 1e-6);
    EXPECT_NEAR(air.MuenRho(3.2029), 146.0, 1e-9);
    // Between 3 keV and the edge only the rows below the edge are used: a power law through them.
    const double e = 3.1;
    const double slope = std::log(133.0 / 161.4) / std::log(3.2029 / 3.0);
    EXPECT_NEAR(air.MuenRho(e), 161.4 * std::pow(e / 3.0, slope), 1e-9);
    // Tabulated energies return the table.
    EXPECT_DOUBLE_EQ(air.MuenRho(60), 0.03041);
}

TEST(Nist, MalformedTablesAreRefused) {
    using refdata::NistRow;
    EXPECT_THROW(refdata::NistTable::FromRows({{0.001, 1, 1}}, "one row"), std::runtime_error);
    EXPECT_THROW(refdata::NistTable::FromRows({{0.002, 1, 1}, {0.001, 2, 2}}, "falling"),
                 std::runtime_error);
    EXPECT_THROW(refdata::NistTable::FromRows({{0.001, 1, 1}, {0.002, 0, 1}}, "zero"),
                 std::runtime_error);
    EXPECT_THROW(
        refdata::NistTable::FromRows(
            {{0.001, 3, 3}, {0.002, 2, 2}, {0.002, 4, 4}, {0.002, 5, 5}, {0.003, 1, 1}}, "triple"),
        std::runtime_error);
    datatest::TempDir dir;
    WriteFileAtomic(dir.path() / "bad.csv", "energy_MeV,mu,muen\n1e-3;1;1\n");
    EXPECT_THROW(refdata::NistTable::Load(dir.path() / "bad.csv"), std::runtime_error);
    EXPECT_THROW(refdata::NistTable::Load(dir.path() / "missing.csv"), std::runtime_error);
}

// ---- Cross sections
// ------------------------------------------------------------------------------

TEST(Xsection, EdgesAreFoundWhereXraylibJumps) {
    const auto edges = refdata::FindEdges({{42, 1.0}}, 1, 10000);
    const refdata::EdgeJump* k = nullptr;
    for (const auto& e : edges)
        if (e.shell == K_SHELL) k = &e;
    ASSERT_NE(k, nullptr);
    EXPECT_NEAR(k->aboveKeV, 20.0, 0.01);
    EXPECT_GT(k->above.photo / k->below.photo, 5);
    EXPECT_LT(CS_Photo(42, k->belowKeV, nullptr), CS_Photo(42, k->aboveKeV, nullptr) / 5);
    EXPECT_LT(k->aboveKeV - k->belowKeV, 1e-9);
    // Mo: K and L1..L3 above 1 keV.
    EXPECT_EQ(edges.size(), 4u);
}

TEST(Xsection, PartialsContinueSmoothlyAbove800keV) {
    const refdata::Composition pb = {{82, 1.0}};
    const auto a = refdata::MassPartials(pb, refdata::kXrlTopKeV);
    const auto b = refdata::MassPartials(pb, refdata::kXrlTopKeV * (1 + 1e-9));
    EXPECT_LT(RelErr(b.Total(), a.Total()), 1e-6);
    const auto c = refdata::MassPartials(pb, 10000);
    EXPECT_GT(c.Total(), 0);
    EXPECT_LT(c.Total(), a.Total());
    EXPECT_THROW(refdata::FormulaComposition("Xq2"), std::runtime_error);
}

// ---- Output model -------------------------------------------------------------------------------

TEST(OutputModel, KermaPerChargeIsTheEnginesKermaDefinition) {
    // The ratio of two filtrations from the generator's kerma must be the engine's own
    // filtration ratio of the same spectrum.
    const PhysicsTables& t = Tables();
    for (int rect = 1; rect <= 3; ++rect) {
        for (double kv : {60.0, 75.5, 120.0}) {
            ExposureConditions c;
            c.tubeVoltage = kv;
            c.rectification = static_cast<Rectification>(rect);
            c.inherentFilter = 0.2;
            c.addedAl = 0.15;
            c.addedCu = 0.01;
            const XraySpectrum s = SynthesizeSpectrum(c, t, ArbitraryFilter{});
            const double user = refdata::AirKermaPerCharge(kv, rect, 12, 0.35, 0.01, t);
            const double ref = refdata::AirKermaPerCharge(kv, rect, 12, t.output.refAl[rect],
                                                          t.output.refCu[rect], t);
            EXPECT_LT(RelErr(user / ref, s.filtrationRatio), 1e-12) << rect << " " << kv;
        }
    }
}

TEST(OutputModel, TubeChargeCountsThePhaseAnglesByTheirCurrent) {
    EXPECT_DOUBLE_EQ(refdata::TubeCharge(1), 1.0);
    EXPECT_DOUBLE_EQ(refdata::TubeCharge(2), 16.0);  // 75..90 degrees, full current
    // Single phase: 45 angles, those below sin = 0.75 with reduced current.
    EXPECT_GT(refdata::TubeCharge(3), 30.0);
    EXPECT_LT(refdata::TubeCharge(3), 45.0);
}

TEST(OutputModel, CommittedColumnsFollowTheModelRatios) {
    const auto& o = Tables().output;
    for (long j = 1; j <= 12; ++j) {
        const double kv = o.outputKv[j];
        for (int rect = 2; rect <= 3; ++rect) {
            const double r = refdata::RectificationOutputRatio(kv, rect, 12, 0.25, 0, Tables());
            EXPECT_LT(RelErr(o.outputPerMas[j][rect] / o.outputPerMas[j][1], r), 2e-4) << kv;
        }
    }
    // Constant potential against itself.
    EXPECT_DOUBLE_EQ(refdata::RectificationOutputRatio(80, 1, 12, 0.25, 0, Tables()), 1.0);
}

TEST(OutputModel, SinglePhaseLosesMoreAtLowVoltage) {
    // The low-voltage part of the single-phase waveform makes few photons that pass 2.5 mm Al;
    // more filtration makes the loss larger.
    const auto& a = Tables();
    const double thin = refdata::RectificationOutputRatio(80, 3, 12, 0.25, 0, a);
    const double thick = refdata::RectificationOutputRatio(80, 3, 12, 0.25, 0.03, a);
    EXPECT_LT(thick, thin);
    EXPECT_THROW(refdata::AirKermaPerCharge(151, 1, 12, 0.25, 0, a), std::runtime_error);
}

}  // namespace
}  // namespace dovex
