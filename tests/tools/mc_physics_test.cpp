// SPDX-License-Identifier: MIT
// Physics data and sampling of the photon Monte Carlo: NIST tables, compositions, xraylib
// cross sections and the angular distributions of the two scattering processes.
#include <gtest/gtest.h>
#include <xraylib/xraylib.h>

#include <cmath>
#include <filesystem>
#include <vector>

#include "tools/mc/mc_materials.h"
#include "tools/mc/mc_rng.h"
#include "tools/mc/mc_xsec.h"

namespace mc = dovex::mc;

namespace {

bool HaveNist() { return std::filesystem::exists(mc::DefaultNistDir() / "tissue-icru44.csv"); }

// The tables are part of the repository (tools/reference/nist-muen): missing ones are a fault.
#define REQUIRE_NIST() ASSERT_TRUE(HaveNist()) << "NIST tables not found at " << mc::DefaultNistDir()

TEST(McNistTable, InterpolatesLogLogAndKeepsEdgesApart) {
    // Energies 1, 2, 4 (edge) 4, 8 keV.
    mc::NistTable t("t", {1, 2, 4, 4, 8}, {100, 25, 10, 40, 5}, {90, 20, 8, 30, 4});
    EXPECT_DOUBLE_EQ(t.Muen(1), 90);
    EXPECT_DOUBLE_EQ(t.Muen(2), 20);
    EXPECT_NEAR(t.Muen(std::sqrt(2.0)), std::sqrt(90.0 * 20.0), 1e-9);  // geometric mean
    // Below the edge: segment 2..4 keV; above it: 4..8 keV; at the edge the upper value.
    EXPECT_NEAR(t.Muen(3.999), 8.0 * std::pow(3.999 / 4.0, std::log(8.0 / 20.0) / std::log(2.0)),
                1e-9);
    EXPECT_NEAR(t.Muen(4.0), 30, 1e-12);
    EXPECT_NEAR(t.Muen(4.001), 30.0 * std::pow(4.001 / 4.0, std::log(4.0 / 30.0) / std::log(2.0)),
                1e-9);
    EXPECT_NEAR(t.Mu(std::sqrt(32.0)), std::sqrt(40.0 * 5.0), 1e-9);
    EXPECT_THROW(t.Muen(0), std::runtime_error);
    EXPECT_THROW(t.Muen(std::nan("")), std::runtime_error);
}

TEST(McNistTable, RejectsBadTables) {
    EXPECT_THROW(mc::NistTable("x", {1}, {1}, {1}), std::runtime_error);
    EXPECT_THROW(mc::NistTable("x", {2, 1}, {1, 1}, {1, 1}), std::runtime_error);
    EXPECT_THROW(mc::NistTable("x", {1, 2}, {1, -1}, {1, 1}), std::runtime_error);
    EXPECT_THROW(mc::NistTable("x", {1, 1, 1, 2}, {1, 1, 1, 1}, {1, 1, 1, 1}), std::runtime_error);
    EXPECT_THROW(mc::NistTable::Load("/nonexistent/table.csv"), std::runtime_error);
}

TEST(McMaterials, CompositionsAreComplete) {
    for (const auto& m : {mc::SoftTissueIcru44(), mc::SkinIcru44(), mc::CorticalBoneIcru44(),
                          mc::BrainIcru44(), mc::DryAir(), mc::LiquidWater()})
        EXPECT_NEAR(mc::MassFractionSum(m), 1.0, 1e-6) << m.name;
}

// The typed compositions reproduce NIST's own compound tables by the mixture rule, which
// catches a wrong or missing mass fraction.
TEST(McMaterials, MixtureRuleMatchesNistCompounds) {
    REQUIRE_NIST();
    const auto dir = mc::DefaultNistDir();
    struct Case {
        mc::Material m;
        const char* file;
    };
    for (const auto& c : {Case{mc::SoftTissueIcru44(), "tissue-icru44.csv"},
                          Case{mc::CorticalBoneIcru44(), "bone-icru44.csv"},
                          Case{mc::BrainIcru44(), "brain-icru44.csv"},
                          Case{mc::DryAir(), "air.csv"}, Case{mc::LiquidWater(), "water.csv"}}) {
        const auto mix = mc::LoadMixtureMuen(dir, c.m);
        const auto ref = mc::NistTable::Load(dir / c.file);
        // At NIST's grid energies (between them the log-log interpolation of a sum differs
        // from the sum of interpolations by up to 2 %).
        for (double e : {10.0, 15.0, 20.0, 30.0, 40.0, 50.0, 60.0, 80.0, 100.0, 150.0}) {
            EXPECT_NEAR(mix.Muen(e) / ref.Muen(e), 1.0, 0.005) << c.file << " " << e;
            EXPECT_NEAR(mix.Mu(e) / ref.Mu(e), 1.0, 0.005) << c.file << " " << e;
        }
    }
}

TEST(McMaterials, SkinCoefficientIsTheMixtureOfItsElements) {
    REQUIRE_NIST();
    const auto skin = mc::LoadSkinMuen(mc::DefaultNistDir());
    const auto h = mc::NistTable::Load(mc::DefaultNistDir() / "Z01-H.csv");
    const auto k = mc::NistTable::Load(mc::DefaultNistDir() / "Z19-K.csv");
    const auto soft = mc::LoadSoftTissueMuen(mc::DefaultNistDir());
    for (double e : {20.0, 50.0, 100.0}) {
        // Skin resembles soft tissue (more carbon, less oxygen).
        EXPECT_GT(skin.Muen(e), 0.9 * soft.Muen(e));
        EXPECT_LT(skin.Muen(e), 1.1 * soft.Muen(e));
    }
    // Below 3.6 keV the potassium K edge is absent; above it the 0.1 % potassium adds a jump of
    // 0.001 times potassium's own jump.
    const double jump = skin.Muen(3.6075) - skin.Muen(3.6073);
    const double kJump = k.Muen(3.6075) - k.Muen(3.6073);
    EXPECT_NEAR(jump, 0.001 * kJump, 0.02 * 0.001 * kJump + 0.05);
    EXPECT_GT(h.Muen(100), 0);
}

TEST(McXsec, TablesFollowXraylibAndAgreeWithNistAttenuation) {
    const mc::PhotonMaterial soft(mc::SoftTissueIcru44());
    for (double e : {1.3, 4.5, 12.3, 33.3, 61.7, 99.9, 149.0}) {
        const double direct =
            (soft.MassPhoto(e) + soft.MassIncoherent(e) + soft.MassCoherent(e)) * 1.06;
        const auto c = soft.At(e);
        EXPECT_NEAR(c.mu / direct, 1.0, 2e-3) << e;
        EXPECT_NEAR(c.pPhoto, soft.MassPhoto(e) * 1.06 / direct, 2e-3) << e;
        EXPECT_GT(c.pPhotoIncoh, c.pPhoto);
        EXPECT_LT(c.pPhotoIncoh, 1.0);
    }
    if (!HaveNist()) return;
    const auto ref = mc::NistTable::Load(mc::DefaultNistDir() / "tissue-icru44.csv");
    for (double e = 10; e <= 150; e += 10)
        EXPECT_NEAR(soft.At(e).mu / (1.06 * ref.Mu(e)), 1.0, 0.03) << e;
}

TEST(McXsec, RejectsUnusableMaterials) {
    mc::Material m = mc::LiquidWater();
    m.density = 0;
    EXPECT_THROW(mc::PhotonMaterial{m}, std::runtime_error);
    m = mc::LiquidWater();
    m.elements[0].w = 0.5;
    EXPECT_THROW(mc::PhotonMaterial{m}, std::runtime_error);
    m = mc::LiquidWater();
    m.elements[0].z = 0;
    EXPECT_THROW(mc::PhotonMaterial{m}, std::runtime_error);
}

// Histogram of cos(theta) in 10 bins against the differential cross section integrated
// numerically (xraylib's DCS_Compt / DCS_Rayl are per gram: weighted by mass fraction).
template <class Sampler, class Dcs>
void CompareAngularDistribution(Sampler sample, Dcs dcs, const char* what) {
    constexpr int kBins = 10, kN = 400000;
    std::vector<double> hist(kBins, 0.0), expect(kBins, 0.0);
    mc::Rng rng(7, 1, 2, 3);
    for (int i = 0; i < kN; ++i) {
        const double c = sample(rng);
        ASSERT_GE(c, -1.0);
        ASSERT_LE(c, 1.0);
        hist[std::min(kBins - 1, static_cast<int>((c + 1.0) / 2.0 * kBins))] += 1;
    }
    double tot = 0;
    for (int b = 0; b < kBins; ++b) {
        constexpr int kSub = 400;
        for (int s = 0; s < kSub; ++s) {
            const double c = -1.0 + (b + (s + 0.5) / kSub) * 2.0 / kBins;
            expect[b] += dcs(std::acos(c));
        }
        tot += expect[b];
    }
    for (int b = 0; b < kBins; ++b) {
        const double p = expect[b] / tot;
        const double sigma = std::sqrt(p * kN);
        EXPECT_NEAR(hist[b], p * kN, 5 * sigma + 0.002 * p * kN) << what << " bin " << b;
    }
}

TEST(McXsec, IncoherentAnglesFollowKleinNishinaTimesScatteringFunction) {
    const mc::PhotonMaterial water(mc::LiquidWater());
    for (double e : {15.0, 60.0, 140.0}) {
        auto sample = [&](mc::Rng& r) {
            double c;
            const double e1 = water.SampleIncoherent(e, r, c);
            // Compton relation of a free electron at rest.
            EXPECT_NEAR(e1, e / (1.0 + e / mc::kElectronMassKeV * (1.0 - c)), 1e-9 * e);
            return c;
        };
        auto dcs = [&](double theta) {
            return 0.111894 * DCS_Compt(1, e, theta, nullptr) +
                   0.888106 * DCS_Compt(8, e, theta, nullptr);
        };
        CompareAngularDistribution(sample, dcs, "incoherent");
    }
}

TEST(McXsec, CoherentAnglesFollowThomsonTimesFormFactor) {
    const mc::PhotonMaterial water(mc::LiquidWater());
    for (double e : {15.0, 60.0, 140.0}) {
        auto sample = [&](mc::Rng& r) { return water.SampleCoherent(e, r); };
        auto dcs = [&](double theta) {
            return 0.111894 * DCS_Rayl(1, e, theta, nullptr) +
                   0.888106 * DCS_Rayl(8, e, theta, nullptr);
        };
        CompareAngularDistribution(sample, dcs, "coherent");
    }
}

TEST(McRng, StreamsAreReproducibleAndDistinct) {
    mc::Rng a(1, 2, 3, 4), b(1, 2, 3, 4), c(1, 2, 3, 5);
    int same = 0;
    for (int i = 0; i < 100; ++i) {
        const auto x = a.Next();
        EXPECT_EQ(x, b.Next());
        same += x == c.Next();
    }
    EXPECT_EQ(same, 0);
    double s = 0;
    for (int i = 0; i < 100000; ++i) {
        const double u = a.UniformOpen();
        ASSERT_GT(u, 0.0);
        ASSERT_LE(u, 1.0);
        s += u;
    }
    EXPECT_NEAR(s / 100000, 0.5, 0.005);
}

}  // namespace
