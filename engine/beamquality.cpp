// SPDX-License-Identifier: MIT
#include "engine/beamquality.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <vector>

#include "engine/error.h"

namespace dovex {
namespace {

// Bins below 2 keV lie under the K edge of aluminium (1.56 keV); the effective energy is sought
// above it, where the coefficient falls steadily with energy.
constexpr long kFirstBinAboveAlEdge = 4;

// The bins that carry air kerma, as (kerma, μ of Al) pairs gathered once for all the thicknesses
// a search tries.
struct KermaBins {
    std::vector<double> kerma, mu;
    double total = 0;
};

KermaBins GatherKerma(const XraySpectrum& s, const PhysicsTables& t) {
    KermaBins b;
    for (long i = 2; i <= 300; ++i) {
        const double a = s.airKerma[i];
        if (!std::isfinite(a) || a < 0) throw CalcError("air-kerma spectrum holds invalid values");
        b.total += a;
        if (a > 0) {
            b.kerma.push_back(a);
            b.mu.push_back(t.att.muAl[i]);
        }
    }
    if (!(b.total > 0) || !std::isfinite(b.total)) throw CalcError("air-kerma spectrum is empty");
    return b;
}

// Air kerma behind t cm of Al and its first and second derivatives with respect to t.
struct Kerma {
    double value = 0, slope = 0, curvature = 0;
};

Kerma KermaBehind(const KermaBins& b, double alCm) {
    Kerma k;
    for (std::size_t i = 0; i < b.kerma.size(); ++i) {
        const double mu = b.mu[i];
        const double w = b.kerma[i] * std::exp(-mu * alCm);
        k.value += w;
        k.slope -= mu * w;
        k.curvature += mu * mu * w;
    }
    return k;
}

// The Al thickness that lets `fraction` of the air kerma through, searched from `from` cm on the
// thin side of it. f(t) = ln K(t) - ln(fraction K(0)) is convex and falling in t (a log-sum of
// exponentials) and smooth: Halley's method, which takes the curvature from the same sums as the
// slope, converges cubically, in three or four steps from the thin side.
double ThicknessForTransmission(const KermaBins& b, double fraction, double from) {
    if (!(fraction > 0 && fraction < 1)) throw CalcError("transmission must lie between 0 and 1");
    const double target = std::log(fraction * b.total);
    double x = from;
    for (int iter = 0; iter < 200; ++iter) {
        const Kerma k = KermaBehind(b, x);
        if (!(k.value > 0) || !(k.slope < 0))
            throw CalcError("aluminium does not attenuate this spectrum");
        const double f = std::log(k.value) - target;
        const double f1 = k.slope / k.value;
        const double f2 = k.curvature / k.value - f1 * f1;
        double step = -2 * f * f1 / (2 * f1 * f1 - f * f2);
        if (!(std::abs(step) < 1e300)) step = -f / f1;  // Newton where Halley's denominator fails
        if (!std::isfinite(step)) throw CalcError("half-value layer did not converge");
        x += step;
        if (std::abs(step) <= 1e-13 * std::max(1.0, x)) return x;
    }
    throw CalcError("half-value layer did not converge");
}

}  // namespace

double AluminiumTransmission(const XraySpectrum& s, const PhysicsTables& t, double alCm) {
    const KermaBins b = GatherKerma(s, t);
    return KermaBehind(b, alCm).value / b.total;
}

double AluminiumThicknessForTransmission(const XraySpectrum& s, const PhysicsTables& t,
                                         double fraction) {
    return ThicknessForTransmission(GatherKerma(s, t), fraction, 0);
}

double EnergyOfAluminiumAttenuation(const PhysicsTables& t, double muPerCm) {
    if (!(muPerCm > 0) || !std::isfinite(muPerCm))
        throw CalcError("attenuation coefficient must be positive");
    for (long i = kFirstBinAboveAlEdge; i < 300; ++i) {
        const double m1 = t.att.muAl[i], m2 = t.att.muAl[i + 1];
        if (!(m1 > 0) || !(m2 > 0)) continue;
        const bool between = (m1 >= muPerCm && muPerCm >= m2) || (m1 <= muPerCm && muPerCm <= m2);
        if (!between) continue;
        const double e1 = FineEnergy(i), e2 = FineEnergy(i + 1);
        if (m1 == m2) return e1;
        const double f = std::log(muPerCm / m1) / std::log(m2 / m1);
        return std::exp(std::log(e1) + f * std::log(e2 / e1));
    }
    throw CalcError("no energy of the attenuation table has this aluminium coefficient");
}

BeamQuality ComputeBeamQuality(const XraySpectrum& s, const PhysicsTables& t,
                               double tubeVoltageKv) {
    if (!(tubeVoltageKv > 0) || !std::isfinite(tubeVoltageKv))
        throw CalcError("tube voltage must be above 0 kV");
    BeamQuality q;
    const KermaBins bins = GatherKerma(s, t);
    const double half = ThicknessForTransmission(bins, 0.5, 0);
    // A hardening beam needs at least as much again for the next halving: the quarter-value
    // thickness lies beyond twice the half-value layer.
    const double quarter = ThicknessForTransmission(bins, 0.25, 2 * half);
    q.hvl1MmAl = 10 * half;
    q.hvl2MmAl = 10 * (quarter - half);
    q.homogeneity = q.hvl2MmAl > 0 ? q.hvl1MmAl / q.hvl2MmAl : 0;

    double n = 0, ne = 0;
    for (long i = 2; i <= 300; ++i) {
        n += s.fluence[i];
        ne += s.fluence[i] * FineEnergy(i);
    }
    if (!(n > 0) || !std::isfinite(ne)) throw CalcError("photon fluence spectrum is empty");
    q.meanEnergyKeV = ne / n;

    q.effectiveEnergyKeV = EnergyOfAluminiumAttenuation(t, std::log(2.0) / half);
    q.qualityIndex = q.effectiveEnergyKeV / tubeVoltageKv;
    return q;
}

void StoreBeamQuality(const BeamQuality& q, DoseResult& d) {
    d.hvl1 = q.hvl1MmAl / 10;
    d.hvl2 = q.hvl2MmAl / 10;
    d.effectiveEnergy = q.effectiveEnergyKeV;
    d.qualityIndex = q.qualityIndex;
}

void to_json(nlohmann::ordered_json& j, const BeamQuality& q) {
    j = nlohmann::ordered_json{{"hvl1MmAl", q.hvl1MmAl},
                               {"hvl2MmAl", q.hvl2MmAl},
                               {"homogeneity", q.homogeneity},
                               {"meanEnergyKeV", q.meanEnergyKeV},
                               {"effectiveEnergyKeV", q.effectiveEnergyKeV},
                               {"qualityIndex", q.qualityIndex}};
}

}  // namespace dovex
