// SPDX-License-Identifier: MIT
#include "effdose/depthdose.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "engine/error.h"
#include "engine/kinds.h"
#include "engine/numtext.h"
#include "engine/platform.h"
#include "engine/textio.h"

namespace dovex {

namespace {

constexpr long kFirstKernelBin = 20;  // 10 keV
constexpr long kLastKernelBin = 300;  // 150 keV
constexpr long kKernelBinStep = 10;   // 5 keV
constexpr long kFineBins = 300;

// Scatter dose per unit fluence, layer k = 1..80, fine bin e = 1..300, bounds-checked.
class ScatterPerEnergy {
  public:
    ScatterPerEnergy() : v_(static_cast<std::size_t>(kDepthLayers * kFineBins), 0.0) {}
    double& at(long k, long e) {
        if (k < 1 || k > kDepthLayers) ThrowIndexError("depth layer", k, 1, kDepthLayers);
        if (e < 1 || e > kFineBins) ThrowIndexError("energy bin", e, 1, kFineBins);
        return v_[static_cast<std::size_t>((k - 1) * kFineBins + (e - 1))];
    }

  private:
    std::vector<double> v_;
};

double CheckedLog(double x, const char* what) {
    if (!(x > 0) || !std::isfinite(x)) {
        throw CalcError(std::string("logarithm of a non-positive value (") + what + ")");
    }
    return std::log(x);
}

void RequireFinite(double x, const char* what) {
    if (!std::isfinite(x)) throw CalcError(std::string("non-finite value in ") + what);
}

// Angle between the normal to an edge at distance d and the point where a circle of radius r
// crosses that edge: atan(sqrt(r^2 - d^2) / d), pi/2 for an edge through the centre.
double EdgeAngle(double r, double d) { return std::atan2(std::sqrt(r * r - d * d), d); }

// Soft-tissue linear attenuation coefficient at energy E (keV) from the three partial
// coefficients, interpolated log-log between the two table rows that bracket E.
double SoftTissueMu(const PhysicsTables& t, double e) {
    const long rows = std::min<long>(t.icruSoftRows, 37);
    if (rows < 2) throw CalcError("soft-tissue attenuation table has fewer than two rows");
    long j = 2;
    while (e >= t.icruSoft[j].energyKeV) {
        ++j;
        if (j > rows) throw CalcError("photon energy beyond the soft-tissue attenuation table");
    }
    const IcruSoftRow& lo = t.icruSoft[j - 1];
    const IcruSoftRow& hi = t.icruSoft[j];
    const double le = CheckedLog(e, "energy");
    const double l0 = CheckedLog(lo.energyKeV, "table energy");
    const double l1 = CheckedLog(hi.energyKeV, "table energy");
    if (l1 == l0) throw CalcError("soft-tissue attenuation table energies do not rise");
    const double f = (le - l0) / (l1 - l0);
    auto interp = [&](double c0, double c1) {
        const double a = CheckedLog(c0, "attenuation coefficient");
        const double b = CheckedLog(c1, "attenuation coefficient");
        return std::exp(a + f * (b - a));
    };
    return interp(lo.c1, hi.c1) + interp(lo.c2, hi.c2) + interp(lo.c3, hi.c3);
}

}  // namespace

std::string KernelEnergyLabel(long bin) {
    if (bin < kFirstKernelBin || bin > kLastKernelBin || bin % kKernelBinStep != 0) {
        throw CalcError("no scatter kernel for energy bin " + std::to_string(bin));
    }
    // The label is the plain decimal energy in keV (the last two characters of the text of
    // e/2 below bin 200, the last three from 200 on, which is the same for these energies).
    return std::to_string(bin / 2);
}

std::unique_ptr<ScatterKernel> ParseKernel(std::string bytes, const std::string& fileName) {
    constexpr std::size_t kValues = kDepthLayers * kKernelRings;
    auto kernel = std::make_unique<ScatterKernel>();
    FieldReader reader(std::move(bytes), fileName);
    for (long k = 1; k <= kDepthLayers; ++k) {
        auto& layer = (*kernel)[k].raw();  // ring j at j - 1
        for (long j = 1; j <= kKernelRings; ++j) {
            const double v = reader.NextNumber(kValues);
            // A scatter dose is not negative, and no kernel comes near kMaxKernelValue.
            if (!(v >= 0 && v <= kMaxKernelValue)) {
                const std::string line = std::to_string(reader.itemLine());
                throw DataFileError(
                    fileName, line + " 行目の値 " + PlainNumber(v) + " は散乱線量として 0 から " +
                                  PlainNumber(kMaxKernelValue) +
                                  " の範囲になければなりません (line " + line + ": value " +
                                  PlainNumber(v) + " must lie within 0 to " +
                                  PlainNumber(kMaxKernelValue) + " as a scatter dose)");
            }
            layer[static_cast<std::size_t>(j - 1)] = v;
        }
    }
    // The kernel as a whole: photons of every energy from 10 keV scatter back into the entrance
    // layer from the rings around the axis (the shipped kernels: 1.6e5-3.7e5 aGy cm2, 2-88 % of
    // the primary dose). A kernel without that scatter (a file of zeros) would take the scatter
    // part, about half of the dose in depth, out of every organ dose.
    double entrance = 0;
    for (double v : (*kernel)[1].raw()) entrance += v;
    if (!(entrance > 0))
        throw DataFileError(fileName,
                            "1 層目の散乱線量の合計が 0 です: 散乱カーネルとしてありえません "
                            "(the scatter dose of the first layer, summed over the rings, is 0: "
                            "impossible for a scatter kernel)");
    return kernel;
}

KernelFiles::KernelFiles(std::filesystem::path dataDir) : dir_(std::move(dataDir)) {}

const ScatterKernel& KernelFiles::Kernel(long bin) {
    const std::string label = KernelEnergyLabel(bin);
    const std::string display = "PDS-data/" + label + ".dat";
    const std::filesystem::path path = dir_ / "PDS-data" / (label + ".dat");
    Entry& entry = cache_[bin];
    // The file is looked at for every request; it is read again only when it is another file
    // now or its size or modification time changed.
    const platform::FileStamp stamp = platform::StampOf(path);
    if (stamp.regular && entry.kernel && entry.stamp == stamp) return *entry.kernel;
    entry.kernel.reset();
    std::string bytes = ReadFileBytes(path, display, 16u << 20);  // reports a missing file
    entry.kernel = ParseKernel(std::move(bytes), display);
    entry.stamp = stamp;
    ++fileReads_;
    return *entry.kernel;
}

long DepthLayerCount(double thickness) {
    if (!std::isfinite(thickness)) throw CalcError("subject thickness is not finite");
    const double n = std::floor(2.0 * thickness - 0.1) + 1.0;
    if (n > kDepthLayers) return kDepthLayers;
    if (n < 0) return 0;
    return static_cast<long>(n);
}

RingFractionResult RingFraction(long j, double az, double bz, double pi) {
    const double r1 = 0.5 * static_cast<double>(j - 1);
    const double r2 = 0.5 * static_cast<double>(j);
    const double corner = std::sqrt(az * az + bz * bz);
    const double aq = (pi / 4.0) * (r2 * r2 - r1 * r1);

    // Part of the quarter disc of radius r beyond an edge at distance d.
    auto seg = [](double r, double d) {
        const double th = EdgeAngle(r, d);
        return 0.5 * th * r * r - 0.5 * d * r * std::sin(th);
    };
    // Part of the quarter ring inside an edge at distance d that both circles cross.
    auto in = [&](double d) {
        const double th1 = EdgeAngle(r1, d);
        const double th2 = EdgeAngle(r2, d);
        return ((pi / 2.0 - th1) / (pi / 2.0)) * aq -
               (0.5 * r2 * r2 * (th2 - th1) - 0.5 * r1 * r2 * std::sin(th2 - th1));
    };
    auto out = [&](double d) { return aq - in(d); };
    // Part of the quarter ring inside the field on one side of the diagonal to the corner.
    auto cornerPart = [&](double d, double c) {
        const double th1 = EdgeAngle(r1, d);
        const double gamma = std::atan2(c, d);
        return 0.5 * corner * r1 * std::sin(gamma - th1) - 0.5 * r1 * r1 * (gamma - th1);
    };

    RingFractionResult res;
    if (r2 <= az && r2 <= bz) {
        res = {1, 1.0};
    } else if (r2 <= az && r1 <= bz && bz < r2) {
        res = {2, (aq - seg(r2, bz)) / aq};
    } else if (r2 <= az && r1 > bz) {
        res = {3, in(bz) / aq};
    } else if (r1 <= bz && bz < r2 && r2 > az && r1 <= az) {
        res = {4, (aq - seg(r2, bz) - seg(r2, az)) / aq};
    } else if (r1 >= bz && r1 <= az && az < r2) {
        res = {5, (in(bz)-seg(r2, az)) / aq};
    } else if (r1 > bz && r1 > az && r2 <= corner) {
        res = {6, (aq - out(bz) - out(az)) / aq};
    } else if (r1 < corner && corner < r2) {
        res = {7, (cornerPart(bz, az) + cornerPart(az, bz)) / aq};
    } else {
        res = {8, 0.0};
    }
    RequireFinite(res.fraction, "ring fraction");
    return res;
}

DepthDoseCurve ComputeDepthDose(const ExposureConditions& c, const XraySpectrum& s,
                                const PhysicsTables& t, KernelSource& kernels) {
    const double kv = c.tubeVoltage;
    if (!(kv <= 150.0)) throw CalcError("tube voltage above 150 kV has no scatter data");
    const double fsd = c.fsd;
    const double ffd = c.ffd;
    if (!(fsd > 0) || !(ffd > 0) || !std::isfinite(fsd) || !std::isfinite(ffd)) {
        throw CalcError("focus distances must be positive for the depth dose");
    }
    const double pi = t.piValue;
    const long n = DepthLayerCount(c.subjectThickness);
    const long topBin = static_cast<long>(std::floor(2.0 * kv));  // Int(2 kV), <= 300 here

    Checked<double, 1, kDepthLayers> primary;
    Checked<double, 1, kDepthLayers> scatter;
    ScatterPerEnergy perEnergy;

    // Field at the skin: half-sides (or the radius of a circular field).
    const double longSide = c.fieldLong;
    const double shortSide = c.fieldShort;
    if (!std::isfinite(longSide) || !std::isfinite(shortSide) || longSide < 0 || shortSide < 0) {
        throw CalcError("field size must not be negative");
    }
    // A circular field is told by its shape, as the backscatter step tells it: the long side is
    // its diameter and the short side is not used.
    const bool circular = IsCircularField(c);
    double a = (circular ? longSide : std::max(longSide, shortSide)) * fsd / ffd / 2.0;
    double b = circular ? 0.0 : std::min(longSide, shortSide) * fsd / ffd / 2.0;

    auto depth = [](long k) { return 0.5 * static_cast<double>(k) - 0.25; };

    // Primary dose: unscattered photons, inverse square law and soft-tissue attenuation.
    for (long e = 21; e <= topBin; ++e) {
        const double mu = SoftTissueMu(t, FineEnergy(e));
        const double pf = t.primaryFine[e] * s.fluence[e];
        for (long k = 1; k <= n; ++k) {
            const double z = depth(k);
            primary[k] += std::exp(-mu * z) * pf * fsd * fsd / ((fsd + z) * (fsd + z));
        }
    }

    // Ring weights per layer (in-field share times inverse square), the same for every energy.
    std::vector<Checked<double, 1, kKernelRings>> ringWeight(static_cast<std::size_t>(n) + 1);
    std::vector<long> ringCount(static_cast<std::size_t>(n) + 1, 0);
    for (long k = 1; k <= n; ++k) {
        const double z = depth(k);
        const double g = fsd * fsd / ((fsd + z) * (fsd + z));
        const double az = a * (fsd + z) / fsd;
        const double bz = b * (fsd + z) / fsd;
        const double corner = std::sqrt(az * az + bz * bz);
        const double mReal = std::floor(2.0 * corner) + 1.0;
        if (!(mReal <= kKernelRings)) {
            throw CalcError("field too large for the scatter kernels (more than 80 rings)");
        }
        const long m = static_cast<long>(mReal);
        ringCount[static_cast<std::size_t>(k)] = m;
        auto& w = ringWeight[static_cast<std::size_t>(k)];
        for (long j = 1; j <= m; ++j) {
            w[j] = (circular ? 1.0 : RingFraction(j, az, bz, pi).fraction) * g;
        }
    }

    // Scatter at the kernel energies: all 29 kernels, whatever the tube voltage.
    for (long e = kFirstKernelBin; e <= kLastKernelBin; e += kKernelBinStep) {
        const ScatterKernel& kernel = kernels.Kernel(e);
        for (long k = 1; k <= n; ++k) {
            const auto& w = ringWeight[static_cast<std::size_t>(k)];
            const long m = ringCount[static_cast<std::size_t>(k)];
            double sum = 0;
            for (long j = 1; j <= m; ++j) sum += w[j] * kernel[k][j];
            perEnergy.at(k, e) += sum;
        }
    }

    // Scatter between kernel energies: log interpolation between the two kernel energies; a
    // zero at either kernel energy is replaced by 1 (and stays replaced). The energies are taken
    // block by block between two kernel energies, so that each logarithm is taken once.
    for (long h = kFirstKernelBin + kKernelBinStep; h - kKernelBinStep < topBin;
         h += kKernelBinStep) {
        const long eFirst = std::max<long>(21, h - kKernelBinStep + 1);
        const long eLast = std::min<long>(topBin, h - 1);
        if (eFirst > eLast) continue;
        for (long k = 1; k <= n; ++k) {
            double& dh = perEnergy.at(k, h);
            double& dl = perEnergy.at(k, h - kKernelBinStep);
            if (dh == 0) dh = 1;
            if (dl == 0) dl = 1;
            const double lh = CheckedLog(dh, "scatter dose");
            const double ll = CheckedLog(dl, "scatter dose");
            for (long e = eFirst; e <= eLast; ++e) {
                const double delta = FineEnergy(h) - FineEnergy(e);
                perEnergy.at(k, e) = std::exp(lh - (lh - ll) * delta / 5.0);
            }
        }
    }

    // Scatter summed over the spectrum.
    for (long e = 21; e <= topBin; ++e) {
        const double phi = s.fluence[e];
        for (long k = 1; k <= n; ++k) scatter[k] += perEnergy.at(k, e) * phi;
    }

    const double d0 = primary[1] + scatter[1];
    if (d0 == 0 || !std::isfinite(d0)) throw CalcError("depth dose of the first layer is zero");
    DepthDoseCurve curve;
    curve.layers = n;
    for (long k = 1; k <= n; ++k) {
        curve.primary[k] = 100.0 * primary[k] / d0;
        curve.scatter[k] = 100.0 * scatter[k] / d0;
        curve.total[k] = 100.0 * (primary[k] + scatter[k]) / d0;
        RequireFinite(curve.total[k], "depth dose");
        RequireFinite(curve.primary[k], "depth dose");
        RequireFinite(curve.scatter[k], "depth dose");
    }
    return curve;
}

}  // namespace dovex
