// SPDX-License-Identifier: MIT
#pragma once
// Generation of the six differential backscatter files and the 29 scatter-kernel files.
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

#include "tools/mc/mc_runs.h"

namespace dovex::mc {

struct GenerateOptions {
    std::filesystem::path outDir;   // receives the dBSF files and the folder PDS-data
    std::filesystem::path nistDir;  // NIST mu_en tables
    RunOptions run;
    double scale = 1.0;  // multiplies every history count (quick runs: 0.001)
    bool backscatter = true;
    bool kernels = true;
    double minCos = 0.05;        // grazing-exit limit of the surface estimator
    double targetRelSe = 0.003;  // required uncertainty of the integrated factor from 20 keV
};

struct GenerateReport {
    long long histories = 0;  // all histories, pilot included
    double wallSeconds = 0;
    double worstImbalance = 0;    // largest |relative energy imbalance| of any run
    double worstRelSeFrom20 = 0;  // largest relative SE of an integrated factor, E >= 20 keV
    bool targetMet = true;
};

// Backscatter histories: a pilot run of kBsfPilotHistories per column measures the spread per
// history of the integrated factors; the production run then takes, per column and phantom,
// the histories that bring the largest relative standard error of the three integrated factors
// to kBsfDesignRelSe, within [kBsfMinHistories, kBsfMaxHistories] (kBsfMaxHistoriesLow below
// 20 keV, where the factors are tiny and no uncertainty goal applies). All at scale 1.
inline constexpr long long kBsfPilotHistories = 400'000;
inline constexpr double kBsfDesignRelSe = 0.002;
inline constexpr long long kBsfMinHistories = 2'000'000;
inline constexpr long long kBsfMaxHistories = 40'000'000;
inline constexpr long long kBsfMaxHistoriesLow = 10'000'000;
long long BackscatterProductionHistories(double eKeV, double pilotRelSe, long long pilotHistories);
// Histories per kernel energy at scale 1.
long long KernelHistories(double eKeV);

// The phantoms: 0 body (20 cm ICRU-44 soft tissue), 1 head (0.5 soft tissue, 0.7 cortical
// bone, 14.6 brain, 0.7 cortical bone, 0.5 soft tissue).
struct Phantoms {
    PhotonMaterial soft, bone, brain;
    Slab body, head, kernelSlab;  // kernelSlab: 50 cm soft tissue
    Phantoms();
    Phantoms(const Phantoms&) = delete;
    Phantoms& operator=(const Phantoms&) = delete;
};

// Runs the simulations and writes the files; progress and a summary go to `log`.
// Throws std::runtime_error on invalid options or when a file cannot be written.
GenerateReport Generate(const GenerateOptions& opt, std::ostream& log);

}  // namespace dovex::mc
