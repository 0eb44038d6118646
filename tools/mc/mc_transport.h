// SPDX-License-Identifier: MIT
#pragma once
// Photon transport in a stack of laterally unbounded homogeneous layers (z = 0 is the entrance
// surface, z grows into the phantom). Photoelectric absorption deposits the photon's energy on
// the spot; incoherent scattering deposits the recoil electron's energy on the spot (secondary
// electrons travel well below a millimetre at these energies); coherent scattering deposits
// nothing. Photons below kCutoffKeV are absorbed where they are.
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <stdexcept>
#include <vector>

#include "tools/mc/mc_rng.h"
#include "tools/mc/mc_xsec.h"

namespace dovex::mc {

struct Slab {
    std::vector<double> bounds;                 // layer boundaries, bounds[0] = 0, rising
    std::vector<const PhotonMaterial*> layers;  // layers.size() + 1 == bounds.size()
    double thickness() const { return bounds.empty() ? 0.0 : bounds.back(); }
    // Throws std::invalid_argument for an empty or inconsistent stack.
    void Check() const;
};

Slab HomogeneousSlab(const PhotonMaterial& m, double thicknessCm);

struct Photon {
    double x = 0, y = 0, z = 0;  // cm
    double u = 0, v = 0, w = 1;  // direction cosines
    double e = 0;                // keV
    int layer = 0;
    int interactions = 0;  // interactions so far
};

// Energy bookkeeping of a run, keV.
struct EnergyBalance {
    double incident = 0, deposited = 0, escapedFront = 0, escapedBack = 0;
    long long histories = 0, interactions = 0, truncated = 0;
    void Add(const EnergyBalance& o) {
        incident += o.incident;
        deposited += o.deposited;
        escapedFront += o.escapedFront;
        escapedBack += o.escapedBack;
        histories += o.histories;
        interactions += o.interactions;
        truncated += o.truncated;
    }
    // (deposited + escaped - incident) / incident.
    double RelativeImbalance() const {
        return incident > 0 ? (deposited + escapedFront + escapedBack - incident) / incident : 0.0;
    }
};

// Turns direction (u, v, w) by polar angle acos(cosT) and azimuth phi.
inline void Rotate(double& u, double& v, double& w, double cosT, double phi) {
    const double sinT = std::sqrt(std::max(0.0, 1.0 - cosT * cosT));
    const double cp = std::cos(phi), sp = std::sin(phi);
    const double rho2 = u * u + v * v;
    if (rho2 < 1e-20) {
        const double sgn = w >= 0 ? 1.0 : -1.0;
        u = sinT * cp;
        v = sinT * sp;
        w = sgn * cosT;
        return;
    }
    const double rho = std::sqrt(rho2);
    const double un = u * cosT + sinT * (u * w * cp - v * sp) / rho;
    const double vn = v * cosT + sinT * (v * w * cp + u * sp) / rho;
    const double wn = w * cosT - sinT * cp * rho;
    const double inv = 1.0 / std::sqrt(un * un + vn * vn + wn * wn);
    u = un * inv;
    v = vn * inv;
    w = wn * inv;
}

// Interactions after which a photon is given up (its energy deposited on the spot and counted
// in EnergyBalance::truncated); never reached by the photons of this program.
inline constexpr int kMaxInteractions = 100000;

// Follows one photon to absorption or escape. The scorer receives
//   Deposit(const Photon& p, double keV, bool firstInteraction)  at the site p,
//   EscapeFront(const Photon& p)  with p on the plane z = 0 (p.w < 0),
//   EscapeBack(const Photon& p)   with p on the back plane.
template <class Scorer>
void Transport(const Slab& slab, Photon p, Rng& rng, Scorer& sc, EnergyBalance& bal) {
    const int nLayers = static_cast<int>(slab.layers.size());
    const double* b = slab.bounds.data();
    constexpr double kTwoPi = 6.283185307179586;
    bal.incident += p.e;
    bal.histories += 1;
    if (p.e < kCutoffKeV) {
        sc.Deposit(p, p.e, true);
        bal.deposited += p.e;
        return;
    }
    for (;;) {
        double tau = rng.MeanFreePaths();
        PhotonMaterial::Coefficients co;
        for (;;) {
            co = slab.layers[p.layer]->At(p.e);
            double dist = std::numeric_limits<double>::infinity();
            if (p.w > 0)
                dist = (b[p.layer + 1] - p.z) / p.w;
            else if (p.w < 0)
                dist = (b[p.layer] - p.z) / p.w;
            const double s = tau / co.mu;
            if (s < dist) {
                p.x += s * p.u;
                p.y += s * p.v;
                p.z += s * p.w;
                break;
            }
            p.x += dist * p.u;
            p.y += dist * p.v;
            tau -= dist * co.mu;
            if (p.w > 0) {
                ++p.layer;
                p.z = b[p.layer];
                if (p.layer == nLayers) {
                    bal.escapedBack += p.e;
                    sc.EscapeBack(p);
                    return;
                }
            } else {
                p.z = b[p.layer];
                --p.layer;
                if (p.layer < 0) {
                    p.z = 0;
                    bal.escapedFront += p.e;
                    sc.EscapeFront(p);
                    return;
                }
            }
        }
        // Interaction.
        const bool first = p.interactions == 0;
        ++p.interactions;
        ++bal.interactions;
        const double r = rng.Uniform();
        if (r < co.pPhoto || p.interactions >= kMaxInteractions) {
            if (p.interactions >= kMaxInteractions) ++bal.truncated;
            sc.Deposit(p, p.e, first);
            bal.deposited += p.e;
            return;
        }
        double cosT;
        if (r < co.pPhotoIncoh) {
            const double e1 = slab.layers[p.layer]->SampleIncoherent(p.e, rng, cosT);
            const double t = p.e - e1;
            sc.Deposit(p, t, first);
            bal.deposited += t;
            p.e = e1;
            if (p.e < kCutoffKeV) {
                sc.Deposit(p, p.e, first);
                bal.deposited += p.e;
                return;
            }
        } else {
            cosT = slab.layers[p.layer]->SampleCoherent(p.e, rng);
        }
        Rotate(p.u, p.v, p.w, cosT, kTwoPi * rng.Uniform());
    }
}

// Runs work(i) for i = 0..n-1 on `threads` threads; items are handed out in rising order. The
// first exception thrown by an item is rethrown after all threads stopped.
void ParallelFor(std::size_t n, int threads, const std::function<void(std::size_t)>& work);

}  // namespace dovex::mc
