// SPDX-License-Identifier: MIT
#include "engine/spectrum.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <vector>

#include "engine/constants.h"
#include "engine/error.h"
#include "engine/kinds.h"
#include "engine/numtext.h"

namespace dovex {
namespace {

constexpr double kFluenceFloor = 1e-10;

double BremsCrossSection(double e, double t) {
    double u = e / t;
    return (0.03658 + 0.000029 * e) *
           (1 - 5.049 * u + 10.847 * u * u - 10.516 * u * u * u + 3.842 * u * u * u * u);
}

double Divisor(double t) { return 1036.1 * std::exp(-0.04695 * t) + 202.41; }

// Electron-energy factor (1 + 511/T) / L(T) times the cross-section of photon energy E(i) from
// electron energy T(m), for 2 <= i <= m <= 300, at [i * 301 + m]. It depends on neither the
// voltage nor the phase, so each entry is computed once, when a spectrum first reaches T(m); each
// is the same product as it would be computed where it is used.
struct EmissionTable {
    std::vector<double> values = std::vector<double>(300 * 301, 0.0);
    std::atomic<long> filled{1};  // entries for m <= filled are present
    std::mutex fill;
};

const double* EmissionUpTo(long top) {
    static EmissionTable table;
    if (top < 2 || top > 300) ThrowIndexError("emission table", top, 2, 300);
    if (table.filled.load(std::memory_order_acquire) < top) {
        std::lock_guard<std::mutex> lock(table.fill);
        const long from = table.filled.load(std::memory_order_relaxed);
        for (long m = from + 1; m <= top; ++m) {
            const double te = FineEnergy(m);
            const double electron = (1 + kElectronRestEnergyKeV / te) / Divisor(te);
            for (long i = 2; i <= m; ++i)
                table.values[static_cast<std::size_t>(i * 301 + m)] =
                    electron * BremsCrossSection(FineEnergy(i), te);
        }
        if (top > from) table.filled.store(top, std::memory_order_release);
    }
    return table.values.data();
}

// Highest bin index i with i <= 2V, i.e. the bins 2..2V that a voltage V reaches.
long TopBin(double kv) { return static_cast<long>(std::floor(2 * kv)); }

}  // namespace

std::vector<double> PhaseAngles(Rectification rectification) {
    std::vector<double> phases;
    switch (rectification) {
        case Rectification::ConstantPotential:
            phases.push_back(90);
            return phases;
        case Rectification::ThreePhase12Pulse:
            for (int p = 75; p <= 90; ++p) phases.push_back(p);
            return phases;
        case Rectification::SinglePhaseFullWave:
            for (int p = 2; p <= 90; p += 2) phases.push_back(p);
            return phases;
    }
    throw CalcError("unknown rectification type " + std::to_string(CodeOf(rectification)));
}

double TubeCurrentWeight(Rectification rectification, double phaseDeg) {
    if (rectification != Rectification::SinglePhaseFullWave) return 1.0;
    double s = std::sin(phaseDeg * kPi / 180);
    return std::pow(std::min(1.0, s / 0.75), 1.5);
}

double ThomsonWhiddington(double v) {
    return 141766 + 12157 * v - 111.046 * v * v + 0.552536 * v * v * v -
           0.000970158 * v * v * v * v;
}

double KLineFraction(double v) {
    if (!(v > 70)) return 0;
    return (std::sqrt(8.79856 * v - 595.149) - 4.55528) / 4.39928;
}

FineArray UnfilteredSpectrum(const ExposureConditions& c, const PhysicsTables& t) {
    const double v0 = c.tubeVoltage;
    if (!std::isfinite(v0) || !(v0 > 0)) throw CalcError("tube voltage must be above 0 kV");
    if (v0 > 150) throw CalcError("tube voltage above 150 kV lies beyond the energy grid");
    const double tanTheta = std::tan(c.targetAngle * kPi / 180);
    const double cotTheta = 1 / tanTheta;
    if (!std::isfinite(cotTheta) || !std::isfinite(c.targetAngle))
        throw CalcError("target angle gives no finite cotangent");
    if (!RectificationOf(CodeOf(c.rectification))) throw CalcError("unknown rectification type");

    FineArray out;
    FineArray buffer;

    // Unfiltered spectrum summed over the phase angles of the waveform.
    for (double phase : PhaseAngles(c.rectification)) {
        const double sinPhase = std::sin(phase * kPi / 180);
        const double v = v0 * sinPhase;
        const double w = TubeCurrentWeight(c.rectification, phase);
        const double cv = ThomsonWhiddington(v);
        const double kf = KLineFraction(v);
        const long top = TopBin(v);
        const double* emission = top >= 2 ? EmissionUpTo(top) : nullptr;
        // The path out of the target of a photon made where the electron has energy T(m) = m / 2
        // is x(m) = cot (V^2 - T(m)^2) / (rho C), quadratic in m: x(m) = a - g m^2 with
        // g = cot / (4 rho C). The attenuation exp(-mu x(m)) is therefore a product of steps from
        // the top bin down, exp(-mu x(m - 1)) = exp(-mu x(m)) * r(m) with
        // r(m) = exp(-mu g (2m - 1)) and r(m - 1) = r(m) * exp(2 mu g): three exponentials per
        // photon energy instead of one per electron energy. Every step is at most 1 and the
        // attenuation falls as m falls, so once it underflows to zero the deeper terms are zero.
        const double tTop = FineEnergy(top);
        const double xTop = cotTheta * (v * v - tTop * tTop) / (kTungstenDensity * cv);
        const double g = cotTheta / (4 * kTungstenDensity * cv);
        for (long i = 2; i <= top; ++i) {
            const double mu = t.att.muW[i];
            const double* em = emission + i * 301;
            const double step = mu * g;
            const double grow = std::exp(2 * step);
            double ratio = std::exp(-step * static_cast<double>(2 * top - 1));
            double att = std::exp(-mu * xTop);
            double sum = 0;
            // Electron energies T = V, V - 0.5, ... down to E: each step is the electron slowing
            // down in the target; photons made at depth are attenuated on their way out.
            for (long m = top; m >= i && att > 0; --m) {
                sum += em[m] * att;
                att *= ratio;
                ratio *= grow;
            }
            buffer[i] = sum;
        }
        if (v > 70) {
            double total = 0;
            for (long i = 2; i <= top; ++i) total += buffer[i];
            const double a = total * kf * 0.01;
            buffer[119] += 0.5048 * a;
            buffer[116] += 0.2908 * a;
            buffer[134] += 0.162 * a;
            buffer[138] += 0.0424 * a;
        }
        for (long i = 2; i <= top; ++i) out[i] += w * buffer[i];
    }

    return out;
}

XraySpectrum SynthesizeSpectrum(const ExposureConditions& c, const PhysicsTables& t,
                                const ArbitraryFilter& filter) {
    for (double x : {c.inherentFilter, c.addedAl, c.addedCu, c.arbitraryFilterThickness})
        if (!std::isfinite(x)) throw CalcError("filter thickness is not a finite number");
    const double v0 = c.tubeVoltage;
    XraySpectrum s;
    s.fluence = UnfilteredSpectrum(c, t);  // checks the voltage, angle and rectification
    const long top0 = TopBin(v0);

    // Filtration: reference kerma, user kerma and the filtered photon fluence.
    const double al = c.inherentFilter + c.addedAl;
    const double cu = c.addedCu;
    // The reference filtration of the output data, a column per rectification code.
    const long rect = CodeOf(c.rectification);
    const double refAl = t.output.refAl[rect];
    const double refCu = t.output.refCu[rect];
    FineArray refKerma;
    for (long i = 2; i <= top0; ++i) {
        const double unfiltered = s.fluence[i];
        double arb = 1;
        if (filter.on) arb = std::exp(-filter.mu[i] * c.arbitraryFilterThickness);
        refKerma[i] = unfiltered * std::exp(-t.att.muAl[i] * refAl - t.att.muCu[i] * refCu) *
                      t.att.muenAir[i];
        s.airKerma[i] = unfiltered * std::exp(-t.att.muAl[i] * al - t.att.muCu[i] * cu) *
                        t.att.muenAir[i] * arb;
        s.fluence[i] = unfiltered * std::exp(-t.att.muAl[i] * al) * std::exp(-t.att.muCu[i] * cu) /
                       FineEnergy(i) * arb;
    }

    double sum = 0;
    for (long i = 2; i <= top0; ++i) sum += s.fluence[i];
    if (!(sum > 0) || !std::isfinite(sum))
        throw CalcError("the spectrum is empty: no photons pass the filtration");
    for (long i = 2; i <= top0; ++i) {
        s.fluence[i] /= sum;
        if (s.fluence[i] < kFluenceFloor) s.fluence[i] = 0;
    }

    double kUser = 0, kRef = 0;
    for (long i = 2; i <= top0; ++i) {
        kUser += s.airKerma[i];
        kRef += refKerma[i];
    }
    if (!(kUser > 0) || !(kRef > 0) || !std::isfinite(kUser) || !std::isfinite(kRef))
        throw CalcError("the air kerma of the spectrum is zero");
    s.filtrationRatio = kUser / kRef;
    for (long i = 2; i <= top0; ++i) s.airKerma[i] /= kUser;
    return s;
}

std::string SpectrumFileText(const XraySpectrum& s) {
    std::string out;
    out.reserve(300 * 17);
    for (long i = 1; i <= 300; ++i) {
        out += FormatPattern(FineEnergy(i), "0000.0");
        out += ", ";
        out += FormatPattern(s.fluence[i], "0.00000");
        out += "\r\n";
    }
    return out;
}

}  // namespace dovex
