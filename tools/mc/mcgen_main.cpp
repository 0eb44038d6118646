// SPDX-License-Identifier: MIT
// dovex-mcgen: generates the six differential backscatter files and the 29 scatter-kernel
// files by photon Monte Carlo.
#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>
#include <thread>

#include "tools/mc/mc_generate.h"

int main(int argc, char** argv) {
    dovex::mc::GenerateOptions opt;
    std::string out, nist = dovex::mc::DefaultNistDir().string();
    std::string what = "all";
    bool quick = false;
    opt.run.threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    CLI::App app{
        "Photon Monte Carlo generator of the differential backscatter files "
        "(dBSF-*.dat) and the scatter-kernel files (PDS-data/<E>.dat)"};
    app.add_option("-o,--out", out, "output folder (the data folder)")->required();
    app.add_option("--nist", nist, "folder of the NIST mu_en tables")->capture_default_str();
    app.add_option("--seed", opt.run.seed, "random seed")->capture_default_str();
    app.add_option("-j,--threads", opt.run.threads, "worker threads")
        ->check(CLI::Range(1, 256))
        ->capture_default_str();
    app.add_option("--scale", opt.scale, "factor on every history count")
        ->check(CLI::PositiveNumber)
        ->capture_default_str();
    app.add_flag("--quick", quick, "low-statistics run (scale 0.001), for tests");
    app.add_option("--what", what, "all, bsf or kernels")
        ->check(CLI::IsMember({"all", "bsf", "kernels"}))
        ->capture_default_str();
    CLI11_PARSE(app, argc, argv);
    if (quick) opt.scale = 0.001;
    opt.outDir = out;
    opt.nistDir = nist;
    opt.backscatter = what != "kernels";
    opt.kernels = what != "bsf";
    try {
        const auto rep = dovex::mc::Generate(opt, std::cout);
        if (!rep.targetMet) {
            std::cerr << "dovex-mcgen: "
                      << (quick ? "quick run: statistical goal not expected to be met\n"
                                : "goal not met (energy balance or statistical uncertainty)\n");
            return quick && rep.worstImbalance <= 1e-9 ? 0 : 2;
        }
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "dovex-mcgen: " << e.what() << "\n";
        return 1;
    }
}
