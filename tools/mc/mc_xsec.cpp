// SPDX-License-Identifier: MIT
#include "tools/mc/mc_xsec.h"

#include <xraylib/xraylib.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace dovex::mc {

namespace {

constexpr int kEnergyPoints = 4096;
constexpr int kXPoints = 8192;

// Calls an xraylib function and turns its error report into an exception.
template <class F>
double Xrl(const char* what, F f) {
    xrl_error* err = nullptr;
    const double v = f(&err);
    if (err != nullptr) {
        std::string msg = std::string("xraylib ") + what + ": " + err->message;
        xrl_error_free(err);
        throw std::runtime_error(msg);
    }
    if (!std::isfinite(v))
        throw std::runtime_error(std::string("xraylib ") + what + ": not finite");
    return v;
}

double MassCs(const Material& m, double eKeV, int kind) {
    double s = 0;
    for (const auto& el : m.elements) {
        double cs = 0;
        switch (kind) {
            case 0:
                cs = Xrl("CS_Photo", [&](xrl_error** e) { return CS_Photo(el.z, eKeV, e); });
                break;
            case 1:
                cs = Xrl("CS_Compt", [&](xrl_error** e) { return CS_Compt(el.z, eKeV, e); });
                break;
            default:
                cs = Xrl("CS_Rayl", [&](xrl_error** e) { return CS_Rayl(el.z, eKeV, e); });
                break;
        }
        s += el.w * cs;
    }
    return s;
}

}  // namespace

PhotonMaterial::PhotonMaterial(const Material& m) : mat_(m) {
    if (m.elements.empty() || !(m.density > 0))
        throw std::runtime_error(m.name + ": material needs elements and a positive density");
    if (std::abs(MassFractionSum(m) - 1.0) > 1e-3)
        throw std::runtime_error(m.name + ": mass fractions do not add up to 1");

    lnMin_ = std::log(kMinTableKeV);
    const double lnMax = std::log(kMaxTableKeV);
    invStep_ = (kEnergyPoints - 1) / (lnMax - lnMin_);
    mu_.resize(kEnergyPoints);
    pPhoto_.resize(kEnergyPoints);
    pPhotoIncoh_.resize(kEnergyPoints);
    for (int i = 0; i < kEnergyPoints; ++i) {
        const double e = std::exp(lnMin_ + i / invStep_);
        const double ph = MassCs(m, e, 0), in = MassCs(m, e, 1), co = MassCs(m, e, 2);
        const double tot = ph + in + co;
        if (!(tot > 0)) throw std::runtime_error(m.name + ": zero cross section");
        mu_[i] = tot * m.density;
        pPhoto_[i] = ph / tot;
        pPhotoIncoh_[i] = (ph + in) / tot;
    }

    // Momentum transfer up to the largest one a photon of the table's top energy can reach.
    xMax_ = kMaxTableKeV / kKeVAngstrom * 1.001;
    xStep_ = xMax_ / (kXPoints - 1);
    sRatio_.resize(kXPoints);
    f2_.resize(kXPoints);
    f2Cum_.resize(kXPoints);
    double sInf = 0;
    for (const auto& el : m.elements) {
        const double a = Xrl("AtomicWeight", [&](xrl_error** e) { return AtomicWeight(el.z, e); });
        sInf += el.w / a * el.z;
    }
    for (int j = 0; j < kXPoints; ++j) {
        const double x = j * xStep_;
        double s = 0, f2 = 0;
        for (const auto& el : m.elements) {
            const double a =
                Xrl("AtomicWeight", [&](xrl_error** e) { return AtomicWeight(el.z, e); });
            const double sf =
                x > 0 ? Xrl("SF_Compt", [&](xrl_error** e) { return SF_Compt(el.z, x, e); }) : 0.0;
            const double ff = Xrl("FF_Rayl", [&](xrl_error** e) { return FF_Rayl(el.z, x, e); });
            s += el.w / a * sf;
            f2 += el.w / a * ff * ff;
        }
        sRatio_[j] = std::clamp(s / sInf, 0.0, 1.0);
        f2_[j] = f2;
    }
    // Cumulative integral over u = x^2 (trapezoids in u).
    f2Cum_[0] = 0;
    for (int j = 1; j < kXPoints; ++j) {
        const double u0 = (j - 1) * xStep_ * (j - 1) * xStep_, u1 = j * xStep_ * j * xStep_;
        f2Cum_[j] = f2Cum_[j - 1] + 0.5 * (f2_[j - 1] + f2_[j]) * (u1 - u0);
    }
}

PhotonMaterial::Coefficients PhotonMaterial::At(double eKeV) const {
    double t = (std::log(eKeV) - lnMin_) * invStep_;
    if (!(t >= 0)) t = 0;  // also catches NaN
    if (t > kEnergyPoints - 1.000001) t = kEnergyPoints - 1.000001;
    const int i = static_cast<int>(t);
    const double f = t - i;
    Coefficients c;
    c.mu = mu_[i] + f * (mu_[i + 1] - mu_[i]);
    c.pPhoto = pPhoto_[i] + f * (pPhoto_[i + 1] - pPhoto_[i]);
    c.pPhotoIncoh = pPhotoIncoh_[i] + f * (pPhotoIncoh_[i + 1] - pPhotoIncoh_[i]);
    return c;
}

double PhotonMaterial::MassPhoto(double eKeV) const { return MassCs(mat_, eKeV, 0); }
double PhotonMaterial::MassIncoherent(double eKeV) const { return MassCs(mat_, eKeV, 1); }
double PhotonMaterial::MassCoherent(double eKeV) const { return MassCs(mat_, eKeV, 2); }

double PhotonMaterial::IncoherentRatio(double x) const {
    double t = x / xStep_;
    if (!(t >= 0)) t = 0;
    if (t >= kXPoints - 1) return sRatio_.back();
    const int j = static_cast<int>(t);
    const double f = t - j;
    return sRatio_[j] + f * (sRatio_[j + 1] - sRatio_[j]);
}

double PhotonMaterial::FormFactorSquared(double x) const {
    double t = x / xStep_;
    if (!(t >= 0)) t = 0;
    if (t >= kXPoints - 1) return f2_.back();
    const int j = static_cast<int>(t);
    const double f = t - j;
    return f2_[j] + f * (f2_[j + 1] - f2_[j]);
}

double PhotonMaterial::SampleIncoherent(double eKeV, Rng& rng, double& cosTheta) const {
    const double k = eKeV / kElectronMassKeV;
    const double eps0 = 1.0 / (1.0 + 2.0 * k);
    const double eps0sq = eps0 * eps0;
    const double a1 = -std::log(eps0);
    const double a2 = 0.5 * (1.0 - eps0sq);
    const double xScale = eKeV / kKeVAngstrom;
    for (;;) {
        // Klein-Nishina (Butcher and Messel): eps = E'/E from the composed density.
        double eps;
        if (rng.Uniform() * (a1 + a2) < a1) {
            eps = std::exp(-a1 * rng.Uniform());
        } else {
            eps = std::sqrt(eps0sq + (1.0 - eps0sq) * rng.Uniform());
        }
        const double t = (1.0 - eps) / (k * eps);  // 1 - cos(theta)
        const double sin2 = t * (2.0 - t);
        const double g = 1.0 - eps * sin2 / (1.0 + eps * eps);
        if (rng.Uniform() > g) continue;
        // Incoherent scattering function: rejection with S(x)/S(inf).
        const double x = xScale * std::sqrt(std::max(0.0, 0.5 * t));
        if (rng.Uniform() > IncoherentRatio(x)) continue;
        cosTheta = std::clamp(1.0 - t, -1.0, 1.0);
        return eps * eKeV;
    }
}

double PhotonMaterial::SampleCoherent(double eKeV, Rng& rng) const {
    const double xm = eKeV / kKeVAngstrom;  // momentum transfer at theta = pi
    // Cumulative integral up to xm.
    double tm = xm / xStep_;
    if (tm > kXPoints - 1) tm = kXPoints - 1;
    const int jm = std::min(static_cast<int>(tm), kXPoints - 2);
    const double fm = tm - jm;
    const double cumMax = f2Cum_[jm] + fm * (f2Cum_[jm + 1] - f2Cum_[jm]);
    const double um = xm * xm;
    for (;;) {
        const double target = rng.Uniform() * cumMax;
        // Cell j with f2Cum_[j] <= target < f2Cum_[j+1].
        auto it = std::upper_bound(f2Cum_.begin(), f2Cum_.begin() + jm + 2, target);
        int j = static_cast<int>(it - f2Cum_.begin()) - 1;
        j = std::clamp(j, 0, kXPoints - 2);
        const double u0 = (j * xStep_) * (j * xStep_);
        const double u1 = ((j + 1) * xStep_) * ((j + 1) * xStep_);
        const double span = f2Cum_[j + 1] - f2Cum_[j];
        double u = span > 0 ? u0 + (target - f2Cum_[j]) / span * (u1 - u0) : u0;
        u = std::min(u, um);
        const double cosT = std::clamp(1.0 - 2.0 * u / um, -1.0, 1.0);
        if (rng.Uniform() * 2.0 <= 1.0 + cosT * cosT) return cosT;
    }
}

}  // namespace dovex::mc
