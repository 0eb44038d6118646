// SPDX-License-Identifier: MIT
// The committed physical reference data files: layouts, loading by the engine and physics.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "effdose/depthdose.h"
#include "engine/dose.h"
#include "engine/error.h"
#include "engine/material.h"
#include "engine/numtext.h"
#include "engine/spectrum.h"
#include "engine/tables.h"
#include "engine/textio.h"
#include "tests/data/data_support.h"

namespace dovex {
namespace {

using datatest::DataBytes;
using datatest::DataDir;
using datatest::Tables;

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> out;
    std::size_t p = 0;
    for (;;) {
        std::size_t c = line.find(',', p);
        out.push_back(line.substr(p, c - p));
        if (c == std::string::npos) break;
        p = c + 1;
    }
    return out;
}

double RelErr(double a, double b) { return std::abs(a / b - 1); }

const char* const kMyFiles[] = {files::kAttenuation, files::kDefaultOutput, files::kIcruSoft,
                                files::kPrimary, "はじめにお読み下さい.txt"};

TEST(DataFiles, AreCp932WithCrLfLineEnds) {
    std::vector<std::string> names(std::begin(kMyFiles), std::end(kMyFiles));
    for (const auto& p : ListMaterialFiles(DataDir())) names.push_back(p.filename().string());
    for (const auto& name : names) {
        SCOPED_TRACE(name);
        const std::string b = DataBytes(name);
        ASSERT_GE(b.size(), 2u);
        EXPECT_EQ(b.substr(b.size() - 2), "\r\n");
        for (std::size_t i = 0; i < b.size(); ++i)
            if (b[i] == '\n') {
                ASSERT_TRUE(i > 0 && b[i - 1] == '\r') << "bare LF at byte " << i;
            }
        EXPECT_NO_THROW(Cp932ToUtf8(b));
    }
}

// ---- Att_coeff2020.dat ------------------------------------------------------------------------

TEST(Attenuation, HasThreeHundredRecordsOfSevenFieldsOnTheFineGrid) {
    const auto lines = SplitLines(DataBytes(files::kAttenuation));
    ASSERT_EQ(lines.size(), 300u);
    for (long i = 1; i <= 300; ++i) {
        const auto f = Fields(lines[static_cast<std::size_t>(i - 1)]);
        ASSERT_EQ(f.size(), 7u) << "line " << i;
        EXPECT_DOUBLE_EQ(ParseLenient(f[0]), FineEnergy(i));
        for (std::size_t k = 1; k < 7; ++k) {
            const double v = ParseLenient(f[k]);
            EXPECT_TRUE(std::isfinite(v) && v > 0) << "line " << i << " field " << k + 1;
        }
    }
}

TEST(Attenuation, AluminiumAt30keVMatchesPublishedMassAttenuation) {
    // NIST XCOM / SRD 126: mu/rho of Al at 30 keV = 1.128 cm2/g.
    EXPECT_LT(RelErr(Tables().att.muAl[60] / 2.699, 1.128), 0.01);
}

TEST(Attenuation, AirAt60keVMatchesNistEnergyAbsorption) {
    EXPECT_LT(RelErr(Tables().att.muenAir[120], 0.0304), 0.02);
}

TEST(Attenuation, TungstenKEdgeLiesBetween69And70keV) {
    const auto& a = Tables().att;
    EXPECT_GT(a.muW[140] / a.muW[139], 4.0);  // K edge at 69.5 keV
    EXPECT_LT(a.muW[139], a.muW[138]);        // falling below the edge
    EXPECT_GT(a.muCu[18] / a.muCu[17], 6.0);  // Cu K edge at 8.98 keV (bins 8.5 / 9.0 keV)
}

TEST(Attenuation, TissueAndSkinRelativeToAirHaveTheExpectedSize) {
    // Soft tissue (ICRU-44) absorbs a few per cent more than air over the diagnostic range,
    // (NIST: 1.051 at 30 keV, 1.073 at 60 keV); skin, with less oxygen and potassium, less than
    // soft tissue.
    const auto& a = Tables().att;
    EXPECT_NEAR(a.muenSoft[60] / a.muenAir[60], 0.1616 / 0.1537, 1e-4);
    EXPECT_NEAR(a.muenSoft[120] / a.muenAir[120], 0.03264 / 0.03041, 1e-4);
    for (long i = 40; i <= 300; ++i) {
        const double soft = a.muenSoft[i] / a.muenAir[i], skin = a.muenSkin[i] / a.muenAir[i];
        EXPECT_GT(soft, 1.02) << FineEnergy(i);
        EXPECT_LT(soft, 1.10) << FineEnergy(i);
        EXPECT_LT(skin, soft) << FineEnergy(i);
        EXPECT_GT(skin, 0.9) << FineEnergy(i);
    }
}

// ---- default-output.op ------------------------------------------------------------------------

// Air kerma per mAs at 1 m (uGy), constant potential, with 1 m of air: SpekPy 2.0.6 (casim),
// W 12 degrees, 2.5 mm Al (reference/tube-output.md).
const double kReferenceKerma[12] = {17.67,  31.54,  46.48,  61.91,  78.44,  95.99,
                                    114.32, 133.65, 153.13, 173.35, 194.36, 215.81};

TEST(DefaultOutput, HasAHeaderCitingTheSourceAndFiftyFourFields) {
    FieldReader r(DataBytes(files::kDefaultOutput), files::kDefaultOutput);
    const auto header = r.ReadLine();
    ASSERT_TRUE(header);
    EXPECT_FALSE(StartsWithNumber(*header));
    EXPECT_NE(header->find("SpekPy"), std::string::npos);
    std::vector<double> v;
    while (!r.AtEnd()) v.push_back(r.NextNumber(54));
    ASSERT_EQ(v.size(), 54u);
    for (int j = 0; j < 12; ++j) EXPECT_EQ(v[static_cast<std::size_t>(j)], 40 + 10 * j);
    for (std::size_t at : {24u, 38u, 52u}) {
        EXPECT_EQ(v[at], 2.5);
        EXPECT_EQ(v[at + 1], 0.0);
    }
}

TEST(DefaultOutput, LoadsWithReferenceFiltrationInCm) {
    const auto& o = Tables().output;
    for (long c = 1; c <= 3; ++c) {
        EXPECT_DOUBLE_EQ(o.refAl[c], 0.25);
        EXPECT_DOUBLE_EQ(o.refCu[c], 0.0);
    }
}

TEST(DefaultOutput, ConstantPotentialColumnIsTheReferenceKermaInExposure) {
    const auto& o = Tables().output;
    for (long j = 1; j <= 12; ++j)
        EXPECT_LT(RelErr(o.outputPerMas[j][1] * 33.97 * 1e6, kReferenceKerma[j - 1]), 1e-4)
            << o.outputKv[j] << " kV";
}

TEST(DefaultOutput, RippleLowersTheOutputWithinPhysicalBounds) {
    const auto& o = Tables().output;
    for (long j = 1; j <= 12; ++j) {
        const double three = o.outputPerMas[j][2] / o.outputPerMas[j][1];
        const double single = o.outputPerMas[j][3] / o.outputPerMas[j][1];
        EXPECT_GT(three, 0.85) << o.outputKv[j];
        EXPECT_LE(three, 1.0) << o.outputKv[j];
        EXPECT_GT(single, 0.4) << o.outputKv[j];
        EXPECT_LT(single, 0.85) << o.outputKv[j];
        EXPECT_LT(single, three);
        if (j > 1) {
            EXPECT_GT(single, o.outputPerMas[j - 1][3] / o.outputPerMas[j - 1][1]);
        }
    }
}

TEST(DefaultOutput, EngineExposureAt1mReproducesTheReferenceTable) {
    // Reference filtration: the filtration ratio is 1 and the exposure is the tabulated output
    // times mAs; between tabulated voltages it is interpolated.
    ExposureConditions c;
    c.inherentFilter = 0.25;
    c.addedAl = 0;
    c.addedCu = 0;
    c.tubeCurrent = 100;
    c.exposureTime = 1;
    c.rectification = Rectification::ConstantPotential;
    for (long j = 1; j <= 12; ++j) {
        c.tubeVoltage = 40 + 10 * static_cast<double>(j - 1);
        const XraySpectrum s = SynthesizeSpectrum(c, Tables(), ArbitraryFilter{});
        EXPECT_NEAR(s.filtrationRatio, 1.0, 1e-12);
        const double x = ComputeExposureAt1m(c, s, Tables());
        EXPECT_LT(RelErr(x * 33.97 * 1e6 / 100, kReferenceKerma[j - 1]), 1e-4);
    }
}

// ---- ICRUSoft.dat -----------------------------------------------------------------------------

TEST(IcruSoft, RowsCoverTheDepthDoseEnergiesAndRise) {
    const auto& t = Tables();
    ASSERT_GE(t.icruSoftRows, 2);
    ASSERT_LE(t.icruSoftRows, 37);
    EXPECT_LE(t.icruSoft[1].energyKeV, 10.0);
    EXPECT_GT(t.icruSoft[t.icruSoftRows].energyKeV, 150.0);
    for (long r = 1; r <= t.icruSoftRows; ++r) {
        const IcruSoftRow& x = t.icruSoft[r];
        EXPECT_GT(x.c1, 0);
        EXPECT_GT(x.c2, 0);
        EXPECT_GT(x.c3, 0);
        if (r > 1) {
            EXPECT_GT(x.energyKeV, t.icruSoft[r - 1].energyKeV);
        }
    }
    // The file holds exactly the rows it announces.
    FieldReader rd(DataBytes(files::kIcruSoft), files::kIcruSoft);
    std::size_t n = 0;
    while (!rd.AtEnd()) {
        rd.NextNumber(0);
        ++n;
    }
    EXPECT_EQ(n, 2 + 4 * static_cast<std::size_t>(t.icruSoftRows));
}

TEST(IcruSoft, TotalAgreesWithNistSoftTissue) {
    // NIST SRD 126, Tissue, Soft (ICRU-44): mu/rho in cm2/g; the table holds per cm at 1.06.
    const struct {
        double keV, muRho;
    } nist[] = {{20, 0.8230}, {30, 0.3790},  {40, 0.2688},
                {60, 0.2048}, {100, 0.1693}, {150, 0.1492}};
    const auto& t = Tables();
    for (const auto& p : nist) {
        for (long r = 1; r <= t.icruSoftRows; ++r) {
            const IcruSoftRow& x = t.icruSoft[r];
            if (std::abs(x.energyKeV - p.keV) > 1e-9) continue;
            EXPECT_LT(RelErr((x.c1 + x.c2 + x.c3) / 1.06, p.muRho), 0.02) << p.keV;
        }
    }
}

// ---- Primary.dat ------------------------------------------------------------------------------

TEST(Primary, HasTwentyNinePairsTwoTextLinesAndNoUserName) {
    const auto lines = SplitLines(DataBytes(files::kPrimary));
    ASSERT_EQ(lines.size(), 31u);
    for (int k = 2; k <= 30; ++k) {
        const auto f = Fields(lines[static_cast<std::size_t>(k - 2)]);
        ASSERT_EQ(f.size(), 2u);
        EXPECT_EQ(ParseLenient(f[0]), 5.0 * k);
        EXPECT_GT(ParseLenient(f[1]), 0);
    }
    for (std::size_t i : {29u, 30u}) {
        EXPECT_FALSE(StartsWithNumber(lines[i])) << "line " << i + 1;
        EXPECT_FALSE(Cp932ToUtf8(lines[i]).empty());
    }
}

TEST(Primary, FactorIsEnergyTimesSoftTissueMuenInAttograyCm2) {
    const auto& t = Tables();
    for (long k = 2; k <= 30; ++k) {
        const double e = 5.0 * static_cast<double>(k);
        const double muen = t.att.muenSoft[2 * 5 * k];  // same NIST table on the fine grid
        EXPECT_LT(RelErr(t.primaryCoarse[k], e * muen * 1.602176634e5), 2e-6) << e;
    }
    // 30 keV: 30 keV x 0.1616 cm2/g = 4.848 keV cm2/g = 7.767e5 aGy cm2.
    EXPECT_LT(RelErr(t.primaryCoarse[6], 7.767e5), 1e-3);
}

TEST(Primary, AUserNameLineDoesNotChangeTheFactors) {
    datatest::TempDir dir;
    WriteFileAtomic(dir.path() / files::kIcruSoft, DataBytes(files::kIcruSoft));
    WriteFileAtomic(dir.path() / files::kPrimary,
                    DataBytes(files::kPrimary) + Utf8ToCp932OrThrow("山田 太郎, 1.5\r\n"));
    PhysicsTables t;
    LoadDoseConstants(t, dir.path());
    for (long i = 21; i <= 300; ++i) EXPECT_EQ(t.primaryFine[i], Tables().primaryFine[i]);
}

// ---- Material files ---------------------------------------------------------------------------

TEST(Materials, TheListedMaterialsAreThere) {
    std::set<std::string> have;
    for (const auto& p : ListMaterialFiles(DataDir())) have.insert(p.filename().string());
    for (const char* f : {"Be.ele",
                          "Al.ele",
                          "Ti.ele",
                          "Fe.ele",
                          "Cu.ele",
                          "Y.ele",
                          "Zr.ele",
                          "Nb.ele",
                          "Mo.ele",
                          "Rh.ele",
                          "Ag.ele",
                          "Sn.ele",
                          "Gd.ele",
                          "Er.ele",
                          "Ta.ele",
                          "W.ele",
                          "Pb.ele",
                          "Water.mix",
                          "PMMA.mix",
                          "SoftTissue-ICRU44.mix",
                          "CorticalBone-ICRU44.mix",
                          "Polycarbonate.mix",
                          "Graphite.mix"})
        EXPECT_TRUE(have.count(f)) << f;
}

TEST(Materials, EveryFileReadsWithTheLayoutOfTheFilterDialog) {
    for (const auto& p : ListMaterialFiles(DataDir())) {
        SCOPED_TRACE(p.filename().string());
        const MaterialTable m = ReadMaterialFile(p);
        const std::size_t n = m.energyMeV.size();
        ASSERT_GE(n, 2u);
        EXPECT_LE(n, kMaxMaterialRecords);
        EXPECT_EQ(m.energyMeV.front(), 0.001);
        EXPECT_EQ(m.energyMeV.back(), 10.0);
        EXPECT_GT(m.density, 0.5);
        EXPECT_LT(m.density, 25.0);
        EXPECT_NE(m.name.find('('), std::string::npos);  // "名前 (記号)"
        EXPECT_EQ(ReadMaterialName(p), m.name);
        // Edges are pairs of equal energy with the coefficient rising across them.
        for (std::size_t r = 1; r < n; ++r)
            if (m.energyMeV[r] == m.energyMeV[r - 1]) {
                EXPECT_GT(m.total[r], m.total[r - 1]);
            }
        const FineArray mu = BuildArbitraryFilterMu(m);
        for (long i = 1; i <= 300; ++i) ASSERT_TRUE(std::isfinite(mu[i]) && mu[i] > 0) << i;
    }
}

TEST(Materials, ElementFilesAgreeWithTheAttenuationTable) {
    // Both come from the same cross sections: the log-log interpolation of the material records
    // at every whole keV must reproduce the direct values of Att_coeff2020.dat within 1 %.
    const auto& a = Tables().att;
    const struct {
        const char* file;
        const FineArray* direct;
    } cases[] = {{"Al.ele", &a.muAl}, {"Cu.ele", &a.muCu}, {"W.ele", &a.muW}};
    for (const auto& c : cases) {
        const FineArray mu = BuildArbitraryFilterMu(ReadMaterialFile(DataDir() / c.file));
        double worst = 0;
        for (long k = 5; k <= 150; ++k)
            worst = std::max(worst, RelErr(mu[2 * k], (*c.direct)[2 * k]));
        EXPECT_LT(worst, 0.01) << c.file;
    }
}

TEST(Materials, ReadmeTellsHowToAddAMaterial) {
    const std::string text = Cp932ToUtf8(DataBytes("はじめにお読み下さい.txt"));
    EXPECT_NE(text.find(".ele"), std::string::npos);
    EXPECT_NE(text.find(".mix"), std::string::npos);
    EXPECT_NE(text.find("regen-data.sh"), std::string::npos);
    EXPECT_NE(text.find("10 MeV"), std::string::npos);
}

// ---- Conversion coefficients with the default conditions --------------------------------------

TEST(Conversion, DefaultConditionsGiveTissueToAirRatiosOfTheDiagnosticRange) {
    ExposureConditions c;  // 75 kV, constant potential, 2.5 + 1 mm Al
    const XraySpectrum s = SynthesizeSpectrum(c, Tables(), ArbitraryFilter{});
    c.exposureAt1m = ComputeExposureAt1m(c, s, Tables());
    const DoseResult d = ComputeDoses(c, s, Tables());
    // mu_en ratios tissue/air of NIST between 30 and 60 keV: 1.051..1.073 (ICRU-44 soft tissue).
    EXPECT_GT(d.convSoft / 33.97, 1.05);
    EXPECT_LT(d.convSoft / 33.97, 1.075);
    EXPECT_LT(d.convSkin, d.convSoft);
    EXPECT_GT(d.convSkin / 33.97, 0.95);
    EXPECT_NEAR(d.convAir, 33.97, 1e-9);
    // The exposure at 1 m: 75 kV between the 70 and 80 kV outputs, times the filtration ratio
    // for 3.5 mm Al against 2.5 mm Al and 10 mAs.
    const double perMas = (61.91 + 78.44) / 2 * 1e-6 / 33.97;
    EXPECT_LT(RelErr(c.exposureAt1m, perMas * s.filtrationRatio * 10), 1e-4);
    EXPECT_GT(s.filtrationRatio, 0.7);
    EXPECT_LT(s.filtrationRatio, 0.9);
}

// Damage that passes every per-number check but is physically impossible as a whole: each is
// refused when the file is read, naming the file, instead of changing the results (a soft-tissue
// backscatter table of zeros made the ESD 29 % low, ICRUSoft.dat times 1e300 the effective dose
// 122 % high, Primary.dat times 10 58 % low, a kernel of zeros 12 % low).
struct TableDamage {
    const char* name;
    const char* file;      // in the data folder
    std::size_t skip;      // lines left as they are at the top
    std::size_t lines;     // lines changed after them (0: all)
    std::size_t firstCol;  // columns changed from this one on
    double factor;
    std::function<void(std::string)> read;  // the reader of the file kind
};

// The file with its numbers from column firstCol on multiplied by factor, in the generators'
// layout; the lines with text stay as they are.
std::string Damaged(const TableDamage& d) {
    std::string out;
    std::size_t n = 0;
    for (const std::string& line : SplitLines(DataBytes(d.file))) {
        ++n;
        std::vector<std::string> f = Fields(line);
        const bool changed = n > d.skip && (d.lines == 0 || n <= d.skip + d.lines);
        for (std::size_t c = 0; c < f.size(); ++c) {
            if (c > 0) out += ",";
            if (changed && c >= d.firstCol && !f[c].empty()) {
                char buf[40];
                std::snprintf(buf, sizeof buf, "%.6E", ParseLenient(f[c]) * d.factor);
                out += buf;
            } else {
                out += f[c];
            }
        }
        out += "\r\n";
    }
    return out;
}

class ImpossibleTable : public ::testing::TestWithParam<TableDamage> {};

TEST_P(ImpossibleTable, IsRefusedWithTheFileNamed) {
    const TableDamage& d = GetParam();
    TableDamage intact = d;
    intact.factor = 1;
    EXPECT_NO_THROW(d.read(Damaged(intact))) << "the shipped " << d.file << " is refused";
    try {
        d.read(Damaged(d));
        ADD_FAILURE() << d.name << " accepted";
    } catch (const DataFileError& e) {
        EXPECT_NE(e.file().find(std::filesystem::path(d.file).filename().string()),
                  std::string::npos)
            << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Damages, ImpossibleTable,
    ::testing::Values(
        TableDamage{"backscatter_of_zeros", files::kBsfSoftBody, 1, 0, 1, 0,
                    [](std::string b) {
                        auto t = std::make_unique<BackscatterTable>();
                        ParseBackscatterData(*t, 0, std::move(b), files::kBsfSoftBody);
                    }},
        TableDamage{"backscatter_times_10", files::kBsfAirHead, 1, 0, 1, 10,
                    [](std::string b) {
                        auto t = std::make_unique<BackscatterTable>();
                        ParseBackscatterData(*t, 1, std::move(b), files::kBsfAirHead);
                    }},
        TableDamage{"soft_tissue_coefficients_times_1e300", files::kIcruSoft, 2, 0, 1, 1e300,
                    [](std::string b) {
                        auto t = std::make_unique<PhysicsTables>();
                        ParseIcruSoftData(*t, std::move(b));
                    }},
        TableDamage{"soft_tissue_coefficients_times_10", files::kIcruSoft, 2, 0, 1, 10,
                    [](std::string b) {
                        auto t = std::make_unique<PhysicsTables>();
                        ParseIcruSoftData(*t, std::move(b));
                    }},
        TableDamage{"primary_times_10", files::kPrimary, 0, 29, 1, 10,
                    [](std::string b) {
                        auto t = std::make_unique<PhysicsTables>();
                        ParsePrimaryData(*t, std::move(b));
                    }},
        TableDamage{"primary_times_0_1", files::kPrimary, 0, 29, 1, 0.1,
                    [](std::string b) {
                        auto t = std::make_unique<PhysicsTables>();
                        ParsePrimaryData(*t, std::move(b));
                    }},
        TableDamage{"kernel_of_zeros", "PDS-data/60.dat", 0, 0, 0, 0,
                    [](std::string b) { ParseKernel(std::move(b), "PDS-data/60.dat"); }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dovex
