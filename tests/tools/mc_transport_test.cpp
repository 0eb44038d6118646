// SPDX-License-Identifier: MIT
// Photon transport and the three kinds of run: conservation, reproducibility, attenuation,
// the unit chain of the kernels and a published backscatter factor.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <thread>

#include "tools/mc/mc_generate.h"
#include "tools/mc/mc_output.h"
#include "tools/mc/mc_runs.h"

namespace mc = dovex::mc;

namespace {

bool HaveNist() { return std::filesystem::exists(mc::DefaultNistDir() / "tissue-icru44.csv"); }

// The tables are part of the repository (tools/reference/nist-muen): missing ones are a fault.
#define REQUIRE_NIST() ASSERT_TRUE(HaveNist()) << "NIST tables not found at " << mc::DefaultNistDir()

struct Counting {
    long long front = 0, back = 0, backUncollided = 0, deposits = 0;
    void Deposit(const mc::Photon&, double, bool) { ++deposits; }
    void EscapeFront(const mc::Photon& p) {
        ++front;
        EXPECT_EQ(p.z, 0.0);
        EXPECT_LT(p.w, 0.0);
    }
    void EscapeBack(const mc::Photon& p) {
        ++back;
        if (p.interactions == 0) ++backUncollided;
    }
};

TEST(McTransport, UncollidedTransmissionIsExponential) {
    const mc::PhotonMaterial soft(mc::SoftTissueIcru44());
    // Two layers of the same material: crossing the inner boundary must not change anything.
    mc::Slab slab;
    slab.bounds = {0.0, 0.7, 2.0};
    slab.layers = {&soft, &soft};
    mc::Rng rng(11);
    Counting sc;
    mc::EnergyBalance bal;
    constexpr int kN = 200000;
    for (int i = 0; i < kN; ++i) {
        mc::Photon p;
        p.e = 40;
        mc::Transport(slab, p, rng, sc, bal);
    }
    const double expect = std::exp(-soft.At(40).mu * 2.0);
    EXPECT_NEAR(sc.backUncollided / double(kN), expect, 5 * std::sqrt(expect / kN));
    EXPECT_EQ(bal.histories, kN);
    EXPECT_NEAR(bal.RelativeImbalance(), 0.0, 1e-12);
    EXPECT_EQ(bal.truncated, 0);
}

TEST(McTransport, SlabChecksRejectBadGeometry) {
    const mc::PhotonMaterial soft(mc::SoftTissueIcru44());
    mc::Slab s;
    EXPECT_THROW(s.Check(), std::invalid_argument);
    s.bounds = {0.0, 1.0, 1.0};
    s.layers = {&soft, &soft};
    EXPECT_THROW(s.Check(), std::invalid_argument);
    s.bounds = {0.5, 1.0};
    s.layers = {&soft};
    EXPECT_THROW(s.Check(), std::invalid_argument);
    s.bounds = {0.0, 1.0};
    s.layers = {nullptr};
    EXPECT_THROW(s.Check(), std::invalid_argument);
    EXPECT_THROW(mc::HomogeneousSlab(soft, -1), std::invalid_argument);
}

TEST(McTransport, RotationKeepsUnitLengthAndAngle) {
    mc::Rng rng(3);
    for (int i = 0; i < 1000; ++i) {
        double u = 2 * rng.Uniform() - 1, v = 2 * rng.Uniform() - 1, w = 2 * rng.Uniform() - 1;
        const double n = std::sqrt(u * u + v * v + w * w);
        u /= n, v /= n, w /= n;
        const double u0 = u, v0 = v, w0 = w;
        const double c = 2 * rng.Uniform() - 1;
        mc::Rotate(u, v, w, c, 6.283185307179586 * rng.Uniform());
        EXPECT_NEAR(u * u + v * v + w * w, 1.0, 1e-12);
        EXPECT_NEAR(u * u0 + v * v0 + w * w0, c, 1e-9);
    }
    double u = 0, v = 0, w = -1;
    mc::Rotate(u, v, w, 0.3, 1.0);
    EXPECT_NEAR(w, -0.3, 1e-12);
}

TEST(McRuns, BackscatterIsReproducibleForAnyThreadCount) {
    REQUIRE_NIST();
    mc::Phantoms ph;
    const auto soft = mc::LoadSoftTissueMuen(mc::DefaultNistDir());
    mc::BackscatterSpec s;
    s.slab = &ph.head;
    s.e0 = 60;
    s.quantities = {&soft};
    s.histories = 20000;
    s.batches = 8;
    mc::RunOptions one{42, 1}, two{42, 2}, other{43, 2};
    const auto a = mc::RunBackscatter({s}, one);
    const auto b = mc::RunBackscatter({s}, two);
    const auto c = mc::RunBackscatter({s}, other);
    EXPECT_EQ(a[0].d[0], b[0].d[0]);
    EXPECT_NE(a[0].d[0], c[0].d[0]);
    EXPECT_NEAR(a[0].balance.RelativeImbalance(), 0.0, 1e-12);
}

TEST(McRuns, RejectsInvalidSpecs) {
    mc::Phantoms ph;
    mc::BackscatterSpec s;
    s.slab = &ph.body;
    s.e0 = 60;
    s.histories = 100;
    s.batches = 10;
    EXPECT_THROW(mc::RunBackscatter({s}, {}), std::invalid_argument);  // no quantity
    mc::KernelSpec k;
    k.slab = &ph.kernelSlab;
    k.e0 = 200;
    k.histories = 100;
    EXPECT_THROW(mc::RunKernels({k}, {}), std::invalid_argument);
    k.e0 = 50;
    k.histories = 5;
    k.batches = 10;
    EXPECT_THROW(mc::RunKernels({k}, {}), std::invalid_argument);
    mc::BroadBeamSpec bb;
    bb.slab = &ph.kernelSlab;
    bb.histories = 100;
    EXPECT_THROW(mc::RunBroadBeam(bb, {}), std::invalid_argument);  // empty spectrum
    bb.energies = {50};
    bb.weights = {-1};
    EXPECT_THROW(mc::RunBroadBeam(bb, {}), std::invalid_argument);
}

TEST(McRuns, ParallelForRethrowsAndStops) {
    std::atomic<int> ran{0};
    EXPECT_THROW(mc::ParallelFor(1000, 2,
                                 [&](std::size_t i) {
                                     ++ran;
                                     if (i == 3) throw std::runtime_error("boom");
                                     // Real work takes time: the other worker must see the
                                     // failure long before it could run every item.
                                     std::this_thread::sleep_for(std::chrono::milliseconds(1));
                                 }),
                 std::runtime_error);
    EXPECT_LT(ran.load(), 1000);
    std::vector<int> hit(50, 0);
    mc::ParallelFor(50, 3, [&](std::size_t i) { hit[i] += 1; });
    for (int h : hit) EXPECT_EQ(h, 1);
}

// The first-interaction dose per layer equals E mu_en/rho exp(-mu z) (layer mean) in the unit
// of the primary dose factor: the kernels and "Primary.dat" add up.
TEST(McRuns, KernelPrimaryMatchesPrimaryDoseFactor) {
    REQUIRE_NIST();
    mc::Phantoms ph;
    const auto soft = mc::LoadSoftTissueMuen(mc::DefaultNistDir());
    mc::KernelSpec k;
    k.slab = &ph.kernelSlab;
    k.e0 = 60;
    k.histories = 300000;
    k.batches = 10;
    const auto r = mc::RunKernels({k}, {5, 2});
    const double p = 60 * soft.Muen(60) * mc::kKeVPerGramToAttoGray;
    const double mu = ph.soft.At(60).mu;
    for (int layer : {0, 4, 10}) {
        const double z1 = 0.5 * layer;
        const double expect = p * (std::exp(-mu * z1) - std::exp(-mu * (z1 + 0.5))) / (mu * 0.5);
        EXPECT_NEAR(r[0].primary[layer] / expect, 1.0, 0.03) << layer;
    }
    // Scatter is scored, grows with depth relative to primary, and never lies outside the grid.
    EXPECT_GT(r[0].kernel[0], 0.0);
    double s1 = 0, s10 = 0;
    for (int j = 0; j < mc::kKernelRings; ++j) {
        s1 += r[0].kernel[j];
        s10 += r[0].kernel[20 * mc::kKernelRings + j];
    }
    EXPECT_GT(s10 / r[0].primary[20], s1 / r[0].primary[0]);
    EXPECT_NEAR(r[0].balance.RelativeImbalance(), 0.0, 1e-12);
}

// Water backscatter factor at 49.4 keV for a 20 cm field at 100 cm: 1.584 (Benmakhlouf et al.
// 2011, PENELOPE).
TEST(McRuns, WaterBackscatterMatchesPublishedValue) {
    REQUIRE_NIST();
    const mc::PhotonMaterial water(mc::LiquidWater());
    const auto muen = mc::LoadWaterMuen(mc::DefaultNistDir());
    const mc::Slab slab = mc::HomogeneousSlab(water, 20);
    mc::BackscatterSpec s;
    s.slab = &slab;
    s.e0 = 49.4;
    s.quantities = {&muen};
    s.histories = 300000;
    s.batches = 10;
    s.minCos = 0.05;
    const auto r = mc::RunBackscatter({s}, {9, 2});
    EXPECT_NEAR(mc::CircularFieldBsf(r[0].d[0], 20, 100), 1.584, 0.03 * 1.584);
    EXPECT_NEAR(mc::CircularFieldBsf(r[0].d[0], 10, 100), 1.451, 0.03 * 1.451);
}

TEST(McRuns, BroadBeamConservesEnergyAndPeaksNearTheSurface) {
    mc::Phantoms ph;
    mc::BroadBeamSpec s;
    s.slab = &ph.kernelSlab;
    s.energies = {40, 60};
    s.weights = {1, 1};
    s.histories = 100000;
    s.batches = 10;
    s.scoreRadius = 3;
    const auto r = mc::RunBroadBeam(s, {1, 2});
    EXPECT_NEAR(r.balance.RelativeImbalance(), 0.0, 1e-12);
    EXPECT_NEAR(r.balance.incident / r.balance.histories, 50.0, 0.5);
    EXPECT_GT(r.primary[0], r.primary[20]);
    EXPECT_GT(r.primary[0] + r.scatter[0], r.primary[40] + r.scatter[40]);
    EXPECT_GT(r.scatter[4], 0);
}

TEST(McGenerate, ProductionHistoriesFollowThePilotSpread) {
    // 1 % at 400000 histories -> (0.01 * sqrt(4e5) / 0.002)^2 = 1e7.
    EXPECT_NEAR(static_cast<double>(mc::BackscatterProductionHistories(60, 0.01, 400000)), 1e7, 2);
    EXPECT_EQ(mc::BackscatterProductionHistories(60, 1e-6, 400000), mc::kBsfMinHistories);
    EXPECT_EQ(mc::BackscatterProductionHistories(60, 1.0, 400000), mc::kBsfMaxHistories);
    EXPECT_EQ(mc::BackscatterProductionHistories(10, 1.0, 400000), mc::kBsfMaxHistoriesLow);
    EXPECT_EQ(mc::BackscatterProductionHistories(60, 0.0, 400000), mc::kBsfMaxHistories);
    EXPECT_EQ(mc::BackscatterProductionHistories(60, std::nan(""), 400000), mc::kBsfMaxHistories);
}

}  // namespace
