// SPDX-License-Identifier: MIT
#include "tools/mc/mc_generate.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <stdexcept>

#include "engine/textio.h"
#include "tools/mc/mc_output.h"

namespace dovex::mc {

long long BackscatterProductionHistories(double eKeV, double pilotRelSe, long long pilotHistories) {
    const long long hi = eKeV < 20.0 ? kBsfMaxHistoriesLow : kBsfMaxHistories;
    if (!(pilotRelSe > 0) || !std::isfinite(pilotRelSe) || pilotHistories < 1) return hi;
    const double perHistory = pilotRelSe * std::sqrt(static_cast<double>(pilotHistories));
    const double n = std::ceil(perHistory * perHistory / (kBsfDesignRelSe * kBsfDesignRelSe));
    return std::clamp(static_cast<long long>(std::min(n, 1e12)), kBsfMinHistories, hi);
}

long long KernelHistories(double eKeV) {
    (void)eKeV;
    return 12'000'000;
}

Phantoms::Phantoms() : soft(SoftTissueIcru44()), bone(CorticalBoneIcru44()), brain(BrainIcru44()) {
    body.bounds = {0.0, 20.0};
    body.layers = {&soft};
    head.bounds = {0.0, 0.5, 1.2, 15.8, 16.5, 17.0};
    head.layers = {&soft, &bone, &brain, &bone, &soft};
    kernelSlab.bounds = {0.0, 50.0};
    kernelSlab.layers = {&soft};
    body.Check();
    head.Check();
    kernelSlab.Check();
}

namespace {

long long Scaled(long long n, double scale, int batches) {
    const double v = std::round(static_cast<double>(n) * scale);
    return std::max<long long>(static_cast<long long>(v), 10LL * batches);
}

const char* kQuantityName[3] = {"soft-tissue dose (ICRU-44)", "air kerma (dry air)",
                                "skin dose (ICRU-44)"};
const char* kPhantomName[2] = {
    "body phantom: ICRU-44 soft tissue 20 cm",
    "head phantom: soft tissue 0.5 / cortical bone 0.7 / brain 14.6 / bone 0.7 / soft 0.5 cm"};

}  // namespace

GenerateReport Generate(const GenerateOptions& opt, std::ostream& log) {
    if (!(opt.scale > 0) || !std::isfinite(opt.scale))
        throw std::invalid_argument("scale must be positive");
    if (opt.outDir.empty()) throw std::invalid_argument("no output folder");
    GenerateReport rep;
    const auto t0 = std::chrono::steady_clock::now();
    Phantoms ph;
    char buf[512];

    if (opt.backscatter) {
        const MuenFunction soft = LoadSoftTissueMuen(opt.nistDir);
        const MuenFunction air = LoadAirMuen(opt.nistDir);
        const MuenFunction skin = LoadSkinMuen(opt.nistDir);
        std::vector<BackscatterSpec> specs;
        for (int p = 0; p < 2; ++p)
            for (int m = 1; m <= kBsfColumns; ++m) {
                BackscatterSpec s;
                s.slab = p == 0 ? &ph.body : &ph.head;
                s.e0 = BsfColumnEnergy(m);
                s.quantities = {&soft, &air, &skin};
                s.batches = 20;
                s.histories = Scaled(kBsfPilotHistories, opt.scale, s.batches);
                s.id = static_cast<std::uint64_t>(100 * p + m);
                s.minCos = opt.minCos;
                specs.push_back(std::move(s));
            }
        {
            const auto tp = std::chrono::steady_clock::now();
            const auto pilot = RunBackscatter(specs, opt.run);
            long long n = 0;
            for (std::size_t i = 0; i < specs.size(); ++i) {
                n += pilot[i].balance.histories;
                rep.worstImbalance =
                    std::max(rep.worstImbalance, std::abs(pilot[i].balance.RelativeImbalance()));
                double se = 0;
                for (double v : pilot[i].integralRelSe) se = std::max(se, v);
                const long long target =
                    BackscatterProductionHistories(specs[i].e0, se, specs[i].histories);
                specs[i].histories = Scaled(target, opt.scale, specs[i].batches);
                specs[i].id += 10000;  // fresh random streams for the production run
            }
            rep.histories += n;
            std::snprintf(
                buf, sizeof buf, "backscatter pilot: %lld histories in %.1f s\n", n,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - tp).count());
            log << buf;
        }
        const auto tb = std::chrono::steady_clock::now();
        const auto res = RunBackscatter(specs, opt.run);
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - tb).count();
        long long n = 0;
        for (const auto& r : res) n += r.balance.histories;
        rep.histories += n;
        std::snprintf(buf, sizeof buf,
                      "backscatter: %lld histories in %.1f s on %d threads (%.3g histories/s)\n", n,
                      wall, opt.run.threads, n / wall);
        log << buf;
        log << "phantom  E/keV  histories   sum d soft  (rel.SE)   sum d air  (rel.SE)  "
               " sum d skin (rel.SE)  energy imbalance\n";
        for (std::size_t i = 0; i < specs.size(); ++i) {
            const auto& r = res[i];
            const double imb = std::abs(r.balance.RelativeImbalance());
            rep.worstImbalance = std::max(rep.worstImbalance, imb);
            if (r.balance.truncated > 0) rep.targetMet = false;
            if (specs[i].e0 >= 20.0)
                for (double se : r.integralRelSe)
                    rep.worstRelSeFrom20 = std::max(rep.worstRelSeFrom20, se);
            std::snprintf(buf, sizeof buf,
                          "%-7s %6.1f %10lld  %10.5f (%5.3f%%) %10.5f (%5.3f%%) %10.5f (%5.3f%%)  "
                          "%9.2e\n",
                          specs[i].slab == &ph.body ? "body" : "head", specs[i].e0,
                          specs[i].histories, r.integral[0], 100 * r.integralRelSe[0],
                          r.integral[1], 100 * r.integralRelSe[1], r.integral[2],
                          100 * r.integralRelSe[2], r.balance.RelativeImbalance());
            log << buf;
        }
        std::filesystem::create_directories(opt.outDir);
        for (const auto& f : kBsfFiles) {
            std::vector<std::vector<double>> cols(kBsfColumns);
            for (int m = 1; m <= kBsfColumns; ++m)
                cols[m - 1] = res[static_cast<std::size_t>(f.phantom * kBsfColumns + m - 1)]
                                  .d[static_cast<std::size_t>(f.quantity)];
            std::snprintf(buf, sizeof buf,
                          "Differential backscatter factor d(k) for the %s; %s; ring k = 1..300 "
                          "(0.1 cm annuli, first field = outer radius in cm); columns E = 1, 5, "
                          "10, ..., 150 keV; photon Monte Carlo dovex-mcgen, seed %llu, %.3g x "
                          "nominal histories",
                          kQuantityName[f.quantity], kPhantomName[f.phantom],
                          static_cast<unsigned long long>(opt.run.seed), opt.scale);
            WriteFileAtomic(opt.outDir / f.file, BsfFileText(buf, cols));
        }
        log << "wrote the six dBSF files to " << opt.outDir.string() << "\n";
    }

    if (opt.kernels) {
        std::vector<KernelSpec> specs;
        for (int n = 0; n < kKernelEnergies; ++n) {
            KernelSpec s;
            s.slab = &ph.kernelSlab;
            s.e0 = KernelEnergy(n);
            s.batches = 20;
            s.histories = Scaled(KernelHistories(s.e0), opt.scale, s.batches);
            s.id = static_cast<std::uint64_t>(n);
            specs.push_back(s);
        }
        const auto tk = std::chrono::steady_clock::now();
        const auto res = RunKernels(specs, opt.run);
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - tk).count();
        long long n = 0;
        for (const auto& r : res) n += r.balance.histories;
        rep.histories += n;
        std::snprintf(buf, sizeof buf,
                      "kernels: %lld histories in %.1f s on %d threads (%.3g histories/s)\n", n,
                      wall, opt.run.threads, n / wall);
        log << buf;
        log << " E/keV  histories  scatter/primary layer1  rel.SE of axis scatter (r<10 cm) at "
               "z = 0-0.5, 5, 10, 15 cm   energy imbalance\n";
        const auto pds = opt.outDir / "PDS-data";
        std::filesystem::create_directories(pds);
        for (std::size_t i = 0; i < specs.size(); ++i) {
            const auto& r = res[i];
            const double imb = std::abs(r.balance.RelativeImbalance());
            rep.worstImbalance = std::max(rep.worstImbalance, imb);
            if (r.balance.truncated > 0) rep.targetMet = false;
            double s1 = 0;
            for (int j = 0; j < kKernelRings; ++j) s1 += r.kernel[j];
            std::snprintf(
                buf, sizeof buf, "%6.0f %10lld  %8.4f   %6.3f%% %6.3f%% %6.3f%% %6.3f%%   %9.2e\n",
                specs[i].e0, specs[i].histories, s1 / r.primary[0], 100 * r.axisScatterRelSe[0],
                100 * r.axisScatterRelSe[10], 100 * r.axisScatterRelSe[20],
                100 * r.axisScatterRelSe[30], r.balance.RelativeImbalance());
            log << buf;
            WriteFileAtomic(pds / KernelFileName(static_cast<int>(specs[i].e0)),
                            KernelFileText(r.kernel));
        }
        log << "wrote the 29 kernel files to " << pds.string() << "\n";
    }

    rep.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (rep.worstImbalance > 1e-9) rep.targetMet = false;
    if (opt.backscatter && rep.worstRelSeFrom20 >= opt.targetRelSe) rep.targetMet = false;
    std::snprintf(buf, sizeof buf,
                  "total: %lld histories, %.1f s wall (%.3g histories/s); worst energy imbalance "
                  "%.2e; worst rel. SE of an integrated factor from 20 keV %.3f%% (goal < %.2f%%)"
                  "\n",
                  rep.histories, rep.wallSeconds, rep.histories / rep.wallSeconds,
                  rep.worstImbalance, 100 * rep.worstRelSeFrom20, 100 * opt.targetRelSe);
    log << buf;
    return rep;
}

}  // namespace dovex::mc
