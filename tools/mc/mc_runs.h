// SPDX-License-Identifier: MIT
#pragma once
// The three kinds of simulation the generator and the checks need, each split into batches of
// histories with their own random streams (reproducible from the seed for any thread count; the
// spread of the batch results gives the statistical uncertainty):
//  - backscatter: a pencil beam enters the phantom normally at the origin; photons leaving
//    through the entrance surface are scored per 0.1 cm ring as energy fluence times mu_en/rho
//    of each requested quantity (surface-crossing estimator, 1/|cos| capped near grazing exit);
//  - kernel: a pencil beam in a thick slab; the energy deposited after the photon's first
//    interaction is scored per depth layer and ring, the first interaction's per layer;
//  - broad beam: a point source above a rectangular field; dose on the central axis in a thin
//    cylinder per depth layer, split into primary (first interaction) and scatter.
#include <cstdint>
#include <vector>

#include "tools/mc/mc_materials.h"
#include "tools/mc/mc_transport.h"

namespace dovex::mc {

// keV / (g/cm3 * cm) per photon -> aGy cm2: 1.602176634e-16 J/keV * 1000 g/kg * 1e18 aGy/Gy.
inline constexpr double kKeVPerGramToAttoGray = 1.602176634e5;

struct RunOptions {
    std::uint64_t seed = 20240601;
    int threads = 2;
};

inline constexpr int kBsfRings = 300;
inline constexpr double kBsfRingWidth = 0.1;  // cm

struct BackscatterSpec {
    const Slab* slab = nullptr;
    double e0 = 0;                                // keV
    std::vector<const MuenFunction*> quantities;  // mu_en/rho weighting of each tally
    long long histories = 0;
    int batches = 20;
    std::uint64_t id = 0;  // identity of the job in the random streams
    double minCos = 0.1;   // |cos| below which 1/|cos| is replaced by 2/minCos
};

struct BackscatterResult {
    std::vector<std::vector<double>> d;  // [quantity][ring 0..299], differential factors
    std::vector<double> integral;        // sum over rings per quantity
    std::vector<double> integralRelSe;   // relative standard error of that sum
    // Per batch: [quantity][batch][ring], each normalised by the batch's own histories (their
    // spread gives the uncertainty of any weighted ring sum).
    std::vector<std::vector<std::vector<double>>> batchD;
    EnergyBalance balance;
    double seconds = 0;  // thread time spent in the job
};

std::vector<BackscatterResult> RunBackscatter(const std::vector<BackscatterSpec>& specs,
                                              const RunOptions& opt);

// Relative standard error of sum_k weight[k] * d[k] from the batches of quantity q.
double WeightedSumRelSe(const BackscatterResult& r, std::size_t q,
                        const std::vector<double>& weight);

inline constexpr int kKernelLayers = 80;
inline constexpr int kKernelRings = 80;
inline constexpr double kKernelStep = 0.5;  // cm, layer thickness and ring width

struct KernelSpec {
    const Slab* slab = nullptr;  // homogeneous (its first layer's density is used)
    double e0 = 0;
    long long histories = 0;
    int batches = 20;
    std::uint64_t id = 0;
};

struct KernelResult {
    std::vector<double> kernel;             // [layer*80 + ring], aGy cm2 per photon
    std::vector<double> primary;            // [layer], first-interaction dose, aGy cm2 per photon
    std::vector<double> layerScatterRelSe;  // relative standard error of each layer's ring sum
    std::vector<double> axisScatterRelSe;   // the same for the rings within 10 cm radius
    EnergyBalance balance;
    double seconds = 0;
};

std::vector<KernelResult> RunKernels(const std::vector<KernelSpec>& specs, const RunOptions& opt);

struct BroadBeamSpec {
    const Slab* slab = nullptr;
    std::vector<double> energies, weights;  // photon spectrum (weights need not be normalised)
    double fsd = 100;                       // source to entrance surface, cm
    double halfX = 10, halfY = 10;          // field half-sides on the entrance surface, cm
    double scoreRadius = 1.5;               // radius of the scoring cylinder, cm
    int layers = 80;
    double layerStep = 0.5;
    long long histories = 0;
    int batches = 20;
    std::uint64_t id = 0;
};

struct BroadBeamResult {
    std::vector<double> primary, scatter;  // keV per layer per photon in the scoring cylinder
    std::vector<double> totalRelSe;        // relative standard error of primary + scatter
    EnergyBalance balance;
    double seconds = 0;
};

BroadBeamResult RunBroadBeam(const BroadBeamSpec& beam, const RunOptions& opt);

}  // namespace dovex::mc
