// SPDX-License-Identifier: MIT
#include "engine/dose.h"

#include <cmath>
#include <string>

#include "engine/constants.h"
#include "engine/error.h"
#include "engine/kinds.h"

namespace dovex {
namespace {

long TopBin(double kv) { return static_cast<long>(std::floor(2 * kv)); }

double RingRadius(long k) { return 0.1 * static_cast<double>(k) - 0.05; }

void RequireFinite(double x, const char* what) {
    if (!std::isfinite(x)) throw CalcError(std::string(what) + " is not a finite number");
}

// Ring counts are clamped by the field clamps; this guards the conversion itself.
long RingCount(double x) {
    if (!std::isfinite(x) || x < 0 || x > 300) throw CalcError("ring count outside the ring grid");
    return static_cast<long>(x);
}

}  // namespace

double ComputeExposureAt1m(const ExposureConditions& c, const XraySpectrum& s,
                           const PhysicsTables& t) {
    // The output data hold a column per rectification code.
    const int col = CodeOf(c.rectification);
    if (!RectificationOf(col)) throw CalcError("unknown rectification type");
    const auto& kv = t.output.outputKv;
    const double v = c.tubeVoltage;
    long j = 2;
    while (v > kv[j]) {
        ++j;
        if (j > 12)
            throw CalcError("tube voltage above the highest voltage of the default output data");
    }
    const double dkv = kv[j] - kv[j - 1];
    if (!(dkv != 0)) throw CalcError("default output data have equal neighbouring voltages");
    const double out0 = t.output.outputPerMas[j - 1][col];
    const double out1 = t.output.outputPerMas[j][col];
    const double out = out0 + (v - kv[j - 1]) / dkv * (out1 - out0);
    // Extrapolating far below the table can reach zero or negative output: no real tube does.
    if (!(out > 0)) throw CalcError("the default output data give no output at this tube voltage");
    const double x = out * s.filtrationRatio * c.tubeCurrent * c.exposureTime;
    RequireFinite(x, "exposure at 1 m");
    return x;
}

SkinField ProjectFieldToSkin(const ExposureConditions& c) {
    if (!(c.ffd != 0) || !std::isfinite(c.ffd))
        throw CalcError("FFD of 0 cannot project the field");
    if (!std::isfinite(c.fsd) || !std::isfinite(c.fieldLong) || !std::isfinite(c.fieldShort))
        throw CalcError("field or distance is not a finite number");
    SkinField f;
    if (IsCircularField(c)) {
        f.circular = true;
        double r = c.fieldLong * c.fsd / c.ffd;
        if (r > 40) r = 40;
        f.a = r;
        // A negative projected diameter holds no ring.
        f.n = r > 0 ? RingCount(5 * r) : 0;
        return f;
    }
    double a = c.fieldLong, b = c.fieldShort;
    if (c.fieldLong < c.fieldShort) {
        a = c.fieldShort;
        b = c.fieldLong;
    }
    a = a * c.fsd / c.ffd;
    b = b * c.fsd / c.ffd;
    if (a > 40) a = 40;
    if (a < 1) a = 1;
    if (b > 40) b = 40;
    if (b < 1) b = 1;
    a /= 2;
    b /= 2;
    f.a = a;
    f.b = b;
    f.na = RingCount(10 * a);
    f.nb = RingCount(10 * b);
    f.nd = RingCount(10 * std::sqrt(a * a + b * b));
    return f;
}

double RectangleRingFraction(const SkinField& f, long k) {
    const double rho = RingRadius(k);
    const double a = f.a, b = f.b;
    if (k <= f.nb) return 1.0;
    if (k <= f.na) {
        const double q = rho * rho - b * b;
        if (q < 0) return 0;
        return (kHalfPi - std::atan(std::sqrt(q) / b)) / kHalfPi;
    }
    if (k <= f.nd) {
        const double qb = rho * rho - b * b;
        const double qa = rho * rho - a * a;
        if (qb < 0 || qa < 0) return 0;
        return (kHalfPi - std::atan(std::sqrt(qb) / b) - std::atan(std::sqrt(qa) / a)) / kHalfPi;
    }
    return 0;
}

DoseResult ComputeDoses(const ExposureConditions& c, const XraySpectrum& s,
                        const PhysicsTables& t) {
    DoseResult r;
    const double v0 = c.tubeVoltage;
    // The backscatter columns end at 150 keV: the spectrum must stay below it.
    if (!(v0 > 0) || !(v0 < 150)) throw CalcError("tube voltage must lie below 150 kV");
    const long top = TopBin(v0);
    const auto& att = t.att;

    // Conversion coefficients, from 2.5 keV up.
    double a = 0, b = 0, d = 0, sum = 0;
    for (long i = 5; i <= top; ++i) {
        const double k = s.airKerma[i];
        a += k * att.muenSoft[i];
        b += k * att.muenSkin[i];
        d += k * att.muenAir[i];
        sum += k;
    }
    if (!(d > 0)) throw CalcError("no air kerma above 2.5 keV for the conversion coefficients");
    r.convSoft = a / d * t.airWOverE;
    r.convSkin = b / d * t.airWOverE;
    r.convAir = sum * t.airWOverE;

    // Energy columns needed.
    const auto& grid = t.bsfEnergyGrid;
    long jmax = 2;
    while (v0 > grid[jmax]) {
        ++jmax;
        if (jmax > 31) throw CalcError("tube voltage beyond the backscatter energy grid");
    }

    // The backscatter table holds a block per phantom code.
    const long ph = CodeOf(c.phantom);
    if (!PhantomOf(CodeOf(c.phantom))) throw CalcError("unknown backscatter phantom");
    if (!(c.fsd > 0)) throw CalcError("FSD must be above 0");
    const SkinField field = ProjectFieldToSkin(c);
    const double fsd2 = c.fsd * c.fsd;
    // Inverse-square weight and in-field share of every ring reached, the same for each energy
    // column and quantity: computed once, used as factors in the same order as before.
    const long rings = field.circular ? field.n : field.nd;
    Checked<double, 1, 300> ringG, ringF;
    for (long k = 1; k <= rings; ++k) {
        const double rho = RingRadius(k);
        ringG[k] = fsd2 / (fsd2 + rho * rho);
        ringF[k] = field.circular ? 1.0 : RectangleRingFraction(field, k);
    }

    // Backscatter factor per energy column for each quantity.
    using Columns = Checked<double, 1, 31>;
    auto columnFactors = [&](const BackscatterTable& table) {
        Columns out;
        for (long m = 1; m <= jmax; ++m) {
            double acc = 0;
            const auto& d = table.d[ph][m];
            if (field.circular) {
                for (long k = 1; k <= rings; ++k) acc += d[k] * ringG[k];
            } else {
                for (long k = 1; k <= rings; ++k) {
                    const double f = ringF[k];
                    if (f != 0) acc += d[k] * f * ringG[k];
                }
            }
            out[m] = 1 + acc;
        }
        return out;
    };
    const Columns colSoft = columnFactors(t.dbsfSoft);
    const Columns colSkin = columnFactors(t.dbsfSkin);
    const Columns colAir = columnFactors(t.dbsfAir);

    // Air-kerma weights of the spectrum.
    FineArray w;
    double wsum = 0;
    for (long i = 2; i <= top; ++i) {
        w[i] = s.fluence[i] * FineEnergy(i) * att.muenAir[i];
        wsum += w[i];
    }
    if (!(wsum > 0)) throw CalcError("the spectrum has no air kerma");
    for (long i = 2; i <= top; ++i) w[i] /= wsum;

    for (long i = 1; i <= top; ++i) {
        if (!(w[i] > 0)) continue;
        const double e = FineEnergy(i);
        long j = 2;
        while (e >= grid[j]) {
            ++j;
            if (j > 31) throw CalcError("photon energy beyond the backscatter energy grid");
        }
        const double frac = (grid[j] - e) / (grid[j] - grid[j - 1]);
        r.bsfSoft += w[i] * (colSoft[j] - frac * (colSoft[j] - colSoft[j - 1]));
        r.bsfSkin += w[i] * (colSkin[j] - frac * (colSkin[j] - colSkin[j - 1]));
        r.bsfAir += w[i] * (colAir[j] - frac * (colAir[j] - colAir[j - 1]));
    }

    const double p = c.exposureAt1m * 10000 / fsd2;
    r.esdSoft = p * r.convSoft * r.bsfSoft * 1000;
    r.esdSkin = p * r.convSkin * r.bsfSkin * 1000;
    r.esdAir = p * r.convAir * r.bsfAir * 1000;

    for (double x : {r.convSoft, r.convSkin, r.convAir, r.bsfSoft, r.bsfSkin, r.bsfAir, r.esdSoft,
                     r.esdSkin, r.esdAir})
        RequireFinite(x, "dose result");
    return r;
}

}  // namespace dovex
