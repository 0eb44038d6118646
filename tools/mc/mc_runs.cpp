// SPDX-License-Identifier: MIT
#include "tools/mc/mc_runs.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace dovex::mc {

void Slab::Check() const {
    if (layers.empty() || bounds.size() != layers.size() + 1)
        throw std::invalid_argument("slab: layers and boundaries do not match");
    if (bounds[0] != 0) throw std::invalid_argument("slab: the entrance surface must be at z = 0");
    for (std::size_t i = 0; i < layers.size(); ++i) {
        if (!(bounds[i + 1] > bounds[i]) || !std::isfinite(bounds[i + 1]))
            throw std::invalid_argument("slab: layer thicknesses must be positive and finite");
        if (layers[i] == nullptr) throw std::invalid_argument("slab: layer without material");
    }
}

Slab HomogeneousSlab(const PhotonMaterial& m, double thicknessCm) {
    Slab s;
    s.bounds = {0.0, thicknessCm};
    s.layers = {&m};
    s.Check();
    return s;
}

void ParallelFor(std::size_t n, int threads, const std::function<void(std::size_t)>& work) {
    if (threads < 1) threads = 1;
    std::atomic<std::size_t> next{0};
    std::exception_ptr failure;
    std::mutex failureMutex;
    std::atomic<bool> stop{false};
    auto worker = [&] {
        for (;;) {
            if (stop.load()) return;
            const std::size_t i = next.fetch_add(1);
            if (i >= n) return;
            try {
                work(i);
            } catch (...) {
                std::lock_guard<std::mutex> lock(failureMutex);
                if (!failure) failure = std::current_exception();
                stop = true;
                return;
            }
        }
    };
    std::vector<std::thread> pool;
    const auto count = std::min<std::size_t>(static_cast<std::size_t>(threads), n);
    for (std::size_t t = 1; t < count; ++t) pool.emplace_back(worker);
    worker();
    for (auto& t : pool) t.join();
    if (failure) std::rethrow_exception(failure);
}

namespace {

long long BatchHistories(long long total, int batches, int b) {
    return total / batches + (b < total % batches ? 1 : 0);
}

// Relative standard error of the mean from per-batch sums and histories.
double RelativeStandardError(const std::vector<double>& sums, const std::vector<long long>& n) {
    const std::size_t B = sums.size();
    double s = 0;
    long long nt = 0;
    for (std::size_t b = 0; b < B; ++b) {
        s += sums[b];
        nt += n[b];
    }
    if (B < 2 || nt == 0 || s == 0) return 0.0;
    const double m = s / static_cast<double>(nt);
    double var = 0;
    for (std::size_t b = 0; b < B; ++b) {
        const double xb = sums[b] / static_cast<double>(n[b]);
        var += (xb - m) * (xb - m);
    }
    var /= static_cast<double>(B) * static_cast<double>(B - 1);
    return std::sqrt(var) / std::abs(m);
}

double Seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void CheckSpecCommon(const Slab* slab, double e0, long long histories, int batches) {
    if (slab == nullptr) throw std::invalid_argument("run without a slab");
    slab->Check();
    if (!(e0 >= kCutoffKeV && e0 <= kMaxTableKeV - 1.0))
        throw std::invalid_argument("photon energy outside 1..150 keV");
    if (histories < 1 || batches < 1 || histories < batches)
        throw std::invalid_argument("need at least one history per batch");
}

// ---------------------------------------------------------------- backscatter

struct BsfScorer {
    const std::vector<const MuenFunction*>* q;
    double minCos, capWeight;
    std::vector<double>* tally;  // [q * 300 + ring]
    void Deposit(const Photon&, double, bool) {}
    void EscapeBack(const Photon&) {}
    void EscapeFront(const Photon& p) {
        const double r = std::sqrt(p.x * p.x + p.y * p.y);
        const double ring = r / kBsfRingWidth;
        if (!(ring < kBsfRings)) return;
        const int k = static_cast<int>(ring);
        const double c = std::abs(p.w);
        const double wcos = c >= minCos ? 1.0 / c : capWeight;
        const double ew = p.e * wcos;
        for (std::size_t i = 0; i < q->size(); ++i)
            (*tally)[i * kBsfRings + k] += ew * (*q)[i]->Muen(p.e);
    }
};

struct BsfItem {
    std::vector<double> tally;
    EnergyBalance bal;
    long long n = 0;
    double seconds = 0;
};

// ---------------------------------------------------------------- kernels

struct KernelScorer {
    std::vector<double>* scatter;  // [layer*80 + ring], keV
    std::vector<double>* primary;  // [layer], keV
    void Deposit(const Photon& p, double e, bool first) {
        const double lz = p.z / kKernelStep;
        if (!(lz >= 0 && lz < kKernelLayers)) return;
        const int k = static_cast<int>(lz);
        if (first) {
            (*primary)[k] += e;
            return;
        }
        const double lr = std::sqrt(p.x * p.x + p.y * p.y) / kKernelStep;
        if (!(lr < kKernelRings)) return;
        (*scatter)[k * kKernelRings + static_cast<int>(lr)] += e;
    }
    void EscapeFront(const Photon&) {}
    void EscapeBack(const Photon&) {}
};

struct KernelItem {
    std::vector<double> scatter, primary;
    EnergyBalance bal;
    long long n = 0;
    double seconds = 0;
};

// ---------------------------------------------------------------- broad beam

struct AxisScorer {
    double r2max, step;
    int layers;
    std::vector<double>* primary;
    std::vector<double>* scatter;
    void Deposit(const Photon& p, double e, bool first) {
        if (p.x * p.x + p.y * p.y >= r2max) return;
        const double lz = p.z / step;
        if (!(lz >= 0 && lz < layers)) return;
        (first ? *primary : *scatter)[static_cast<int>(lz)] += e;
    }
    void EscapeFront(const Photon&) {}
    void EscapeBack(const Photon&) {}
};

}  // namespace

std::vector<BackscatterResult> RunBackscatter(const std::vector<BackscatterSpec>& specs,
                                              const RunOptions& opt) {
    struct Ref {
        std::size_t job;
        int batch;
    };
    std::vector<Ref> items;
    for (std::size_t j = 0; j < specs.size(); ++j) {
        const auto& s = specs[j];
        CheckSpecCommon(s.slab, s.e0, s.histories, s.batches);
        if (s.quantities.empty()) throw std::invalid_argument("backscatter run without quantity");
        if (!(s.minCos > 0 && s.minCos <= 1)) throw std::invalid_argument("minCos out of (0, 1]");
        for (int b = 0; b < s.batches; ++b) items.push_back({j, b});
    }
    std::vector<BsfItem> out(items.size());
    ParallelFor(items.size(), opt.threads, [&](std::size_t i) {
        const auto t0 = std::chrono::steady_clock::now();
        const auto& s = specs[items[i].job];
        const int b = items[i].batch;
        BsfItem& it = out[i];
        it.tally.assign(s.quantities.size() * kBsfRings, 0.0);
        BsfScorer sc{&s.quantities, s.minCos, 2.0 / s.minCos, &it.tally};
        Rng rng(opt.seed, 1, s.id, static_cast<std::uint64_t>(b));
        it.n = BatchHistories(s.histories, s.batches, b);
        for (long long h = 0; h < it.n; ++h) {
            Photon p;
            p.e = s.e0;
            Transport(*s.slab, p, rng, sc, it.bal);
        }
        it.seconds = Seconds(t0);
    });
    std::vector<BackscatterResult> res(specs.size());
    std::size_t i = 0;
    for (std::size_t j = 0; j < specs.size(); ++j) {
        const auto& s = specs[j];
        auto& r = res[j];
        const std::size_t nq = s.quantities.size();
        r.d.assign(nq, std::vector<double>(kBsfRings, 0.0));
        std::vector<std::vector<double>> batchSums(nq, std::vector<double>(s.batches, 0.0));
        std::vector<long long> batchN(s.batches, 0);
        for (int b = 0; b < s.batches; ++b, ++i) {
            const auto& it = out[i];
            r.balance.Add(it.bal);
            r.seconds += it.seconds;
            batchN[b] = it.n;
            for (std::size_t q = 0; q < nq; ++q)
                for (int k = 0; k < kBsfRings; ++k) {
                    const double v = it.tally[q * kBsfRings + k];
                    r.d[q][k] += v;
                    batchSums[q][b] += v;
                }
        }
        r.integral.assign(nq, 0.0);
        r.integralRelSe.assign(nq, 0.0);
        r.batchD.assign(nq, std::vector<std::vector<double>>(s.batches));
        for (std::size_t q = 0; q < nq; ++q) {
            const double perPhoton = s.e0 * s.quantities[q]->Muen(s.e0);
            for (int b = 0; b < s.batches; ++b) {
                const auto& it = out[i - static_cast<std::size_t>(s.batches - b)];
                auto& v = r.batchD[q][b];
                v.assign(it.tally.begin() + static_cast<long>(q * kBsfRings),
                         it.tally.begin() + static_cast<long>((q + 1) * kBsfRings));
                for (auto& x : v) x /= static_cast<double>(it.n) * perPhoton;
            }
            const double norm = static_cast<double>(s.histories) * perPhoton;
            for (auto& v : r.d[q]) {
                v /= norm;
                r.integral[q] += v;
            }
            r.integralRelSe[q] = RelativeStandardError(batchSums[q], batchN);
        }
    }
    return res;
}

double WeightedSumRelSe(const BackscatterResult& r, std::size_t q,
                        const std::vector<double>& weight) {
    if (q >= r.batchD.size()) throw std::out_of_range("quantity out of range");
    const auto& bd = r.batchD[q];
    const std::size_t B = bd.size();
    if (B < 2) return 0.0;
    std::vector<double> x(B, 0.0);
    double m = 0;
    for (std::size_t b = 0; b < B; ++b) {
        for (std::size_t k = 0; k < weight.size() && k < bd[b].size(); ++k)
            x[b] += weight[k] * bd[b][k];
        m += x[b];
    }
    m /= static_cast<double>(B);
    if (m == 0) return 0.0;
    double var = 0;
    for (double v : x) var += (v - m) * (v - m);
    var /= static_cast<double>(B) * static_cast<double>(B - 1);
    return std::sqrt(var) / std::abs(m);
}

std::vector<KernelResult> RunKernels(const std::vector<KernelSpec>& specs, const RunOptions& opt) {
    struct Ref {
        std::size_t job;
        int batch;
    };
    std::vector<Ref> items;
    for (std::size_t j = 0; j < specs.size(); ++j) {
        const auto& s = specs[j];
        CheckSpecCommon(s.slab, s.e0, s.histories, s.batches);
        for (int b = 0; b < s.batches; ++b) items.push_back({j, b});
    }
    std::vector<KernelItem> out(items.size());
    ParallelFor(items.size(), opt.threads, [&](std::size_t i) {
        const auto t0 = std::chrono::steady_clock::now();
        const auto& s = specs[items[i].job];
        const int b = items[i].batch;
        KernelItem& it = out[i];
        it.scatter.assign(kKernelLayers * kKernelRings, 0.0);
        it.primary.assign(kKernelLayers, 0.0);
        KernelScorer sc{&it.scatter, &it.primary};
        Rng rng(opt.seed, 2, s.id, static_cast<std::uint64_t>(b));
        it.n = BatchHistories(s.histories, s.batches, b);
        for (long long h = 0; h < it.n; ++h) {
            Photon p;
            p.e = s.e0;
            Transport(*s.slab, p, rng, sc, it.bal);
        }
        it.seconds = Seconds(t0);
    });
    std::vector<KernelResult> res(specs.size());
    std::size_t i = 0;
    for (std::size_t j = 0; j < specs.size(); ++j) {
        const auto& s = specs[j];
        auto& r = res[j];
        r.kernel.assign(kKernelLayers * kKernelRings, 0.0);
        r.primary.assign(kKernelLayers, 0.0);
        std::vector<std::vector<double>> layerSums(kKernelLayers,
                                                   std::vector<double>(s.batches, 0.0));
        std::vector<std::vector<double>> axisSums(kKernelLayers,
                                                  std::vector<double>(s.batches, 0.0));
        std::vector<long long> batchN(s.batches, 0);
        for (int b = 0; b < s.batches; ++b, ++i) {
            const auto& it = out[i];
            r.balance.Add(it.bal);
            r.seconds += it.seconds;
            batchN[b] = it.n;
            for (int k = 0; k < kKernelLayers; ++k) {
                r.primary[k] += it.primary[k];
                for (int jr = 0; jr < kKernelRings; ++jr) {
                    const double v = it.scatter[k * kKernelRings + jr];
                    r.kernel[k * kKernelRings + jr] += v;
                    layerSums[k][b] += v;
                    if (jr < 20) axisSums[k][b] += v;
                }
            }
        }
        const double norm = kKeVPerGramToAttoGray / (static_cast<double>(s.histories) *
                                                     s.slab->layers[0]->density() * kKernelStep);
        for (auto& v : r.kernel) v *= norm;
        for (auto& v : r.primary) v *= norm;
        r.layerScatterRelSe.resize(kKernelLayers);
        r.axisScatterRelSe.resize(kKernelLayers);
        for (int k = 0; k < kKernelLayers; ++k) {
            r.layerScatterRelSe[k] = RelativeStandardError(layerSums[k], batchN);
            r.axisScatterRelSe[k] = RelativeStandardError(axisSums[k], batchN);
        }
    }
    return res;
}

BroadBeamResult RunBroadBeam(const BroadBeamSpec& s, const RunOptions& opt) {
    if (s.energies.empty() || s.energies.size() != s.weights.size())
        throw std::invalid_argument("broad beam: spectrum energies and weights differ in size");
    if (!(s.fsd > 0) || !(s.halfX > 0) || !(s.halfY > 0) || !(s.scoreRadius > 0) || s.layers < 1 ||
        !(s.layerStep > 0))
        throw std::invalid_argument("broad beam: geometry must be positive");
    // Cumulative spectrum.
    std::vector<double> cum(s.energies.size());
    double tot = 0;
    for (std::size_t i = 0; i < s.energies.size(); ++i) {
        if (!(s.weights[i] >= 0) || !std::isfinite(s.weights[i]))
            throw std::invalid_argument("broad beam: negative or non-finite spectrum weight");
        if (s.weights[i] > 0 && !(s.energies[i] >= kCutoffKeV && s.energies[i] <= 150.0))
            throw std::invalid_argument("broad beam: spectrum energy outside 1..150 keV");
        tot += s.weights[i];
        cum[i] = tot;
    }
    if (!(tot > 0)) throw std::invalid_argument("broad beam: empty spectrum");
    CheckSpecCommon(s.slab, 50.0, s.histories, s.batches);

    struct Item {
        std::vector<double> primary, scatter;
        EnergyBalance bal;
        long long n = 0;
        double seconds = 0;
    };
    std::vector<Item> out(s.batches);
    ParallelFor(out.size(), opt.threads, [&](std::size_t b) {
        const auto t0 = std::chrono::steady_clock::now();
        Item& it = out[b];
        it.primary.assign(s.layers, 0.0);
        it.scatter.assign(s.layers, 0.0);
        AxisScorer sc{s.scoreRadius * s.scoreRadius, s.layerStep, s.layers, &it.primary,
                      &it.scatter};
        Rng rng(opt.seed, 3, s.id, b);
        it.n = BatchHistories(s.histories, s.batches, static_cast<int>(b));
        const double f3 = s.fsd * s.fsd * s.fsd;
        for (long long h = 0; h < it.n; ++h) {
            // Point on the entrance surface: uniform over the field, accepted with the
            // inverse-square and obliquity factor of a point source, (fsd / distance)^3.
            double x, y, d2;
            do {
                x = (2.0 * rng.Uniform() - 1.0) * s.halfX;
                y = (2.0 * rng.Uniform() - 1.0) * s.halfY;
                d2 = x * x + y * y + s.fsd * s.fsd;
            } while (rng.Uniform() * d2 * std::sqrt(d2) > f3);
            const double target = rng.Uniform() * tot;
            const auto idx = static_cast<std::size_t>(
                std::upper_bound(cum.begin(), cum.end(), target) - cum.begin());
            const double inv = 1.0 / std::sqrt(d2);
            Photon p;
            p.e = s.energies[std::min(idx, s.energies.size() - 1)];
            p.x = x;
            p.y = y;
            p.u = x * inv;
            p.v = y * inv;
            p.w = s.fsd * inv;
            Transport(*s.slab, p, rng, sc, it.bal);
        }
        it.seconds = Seconds(t0);
    });
    BroadBeamResult r;
    r.primary.assign(s.layers, 0.0);
    r.scatter.assign(s.layers, 0.0);
    std::vector<std::vector<double>> sums(s.layers, std::vector<double>(s.batches, 0.0));
    std::vector<long long> batchN(s.batches);
    for (int b = 0; b < s.batches; ++b) {
        const auto& it = out[b];
        r.balance.Add(it.bal);
        r.seconds += it.seconds;
        batchN[b] = it.n;
        for (int k = 0; k < s.layers; ++k) {
            r.primary[k] += it.primary[k];
            r.scatter[k] += it.scatter[k];
            sums[k][b] = it.primary[k] + it.scatter[k];
        }
    }
    for (int k = 0; k < s.layers; ++k) {
        r.primary[k] /= static_cast<double>(s.histories);
        r.scatter[k] /= static_cast<double>(s.histories);
    }
    r.totalRelSe.resize(s.layers);
    for (int k = 0; k < s.layers; ++k) r.totalRelSe[k] = RelativeStandardError(sums[k], batchN);
    return r;
}

}  // namespace dovex::mc
