// SPDX-License-Identifier: MIT
#pragma once
// Photon interaction data of one material, tabulated once from xraylib's elemental data:
// total attenuation and the shares of photoelectric absorption, incoherent and coherent
// scattering on a logarithmic energy grid, the incoherent scattering function and the squared
// atomic form factor of the mixture on a momentum-transfer grid, and the samplers of the
// scattering angles.
#include <vector>

#include "tools/mc/mc_materials.h"
#include "tools/mc/mc_rng.h"

namespace dovex::mc {

// hc in keV*Angstrom: the momentum transfer x = sin(theta/2) / lambda = E / hc * sin(theta/2).
inline constexpr double kKeVAngstrom = 12.39842;
inline constexpr double kElectronMassKeV = 510.99895;

// Energy range of the tables: photons are followed from kMaxEnergyKeV down to kCutoffKeV, below
// which their energy is deposited where they are.
inline constexpr double kMinTableKeV = 0.99;
inline constexpr double kMaxTableKeV = 151.0;
inline constexpr double kCutoffKeV = 1.0;

class PhotonMaterial {
  public:
    // Builds the tables (a fraction of a second per material). Throws std::runtime_error when
    // xraylib reports an error or the composition is not usable.
    explicit PhotonMaterial(const Material& m);

    struct Coefficients {
        double mu = 0;           // linear attenuation coefficient, 1/cm
        double pPhoto = 0;       // probability that an interaction is photoelectric
        double pPhotoIncoh = 0;  // ... photoelectric or incoherent (the rest is coherent)
    };
    // Interpolated (linear in log E) coefficients at eKeV in [kMinTableKeV, kMaxTableKeV].
    Coefficients At(double eKeV) const;

    // Mass coefficients (cm2/g) straight from xraylib, for checks.
    double MassPhoto(double eKeV) const;
    double MassIncoherent(double eKeV) const;
    double MassCoherent(double eKeV) const;

    // Incoherent scattering: Klein-Nishina angular distribution times the incoherent scattering
    // function S(x) of the mixture (electrons at rest, no Doppler broadening). Returns the
    // scattered photon energy; cosTheta receives the scattering angle's cosine.
    double SampleIncoherent(double eKeV, Rng& rng, double& cosTheta) const;
    // Coherent scattering: Thomson angular distribution times the squared atomic form factor
    // F^2(x) of the mixture (independent-atom approximation). Returns cos(theta).
    double SampleCoherent(double eKeV, Rng& rng) const;

    // S(x) / S(infinity) and F^2(x) of the mixture, per electron/atom weighted by mass fraction.
    double IncoherentRatio(double x) const;
    double FormFactorSquared(double x) const;

    const Material& material() const { return mat_; }
    double density() const { return mat_.density; }

  private:
    Material mat_;
    // Energy grid.
    double lnMin_ = 0, invStep_ = 0;
    std::vector<double> mu_, pPhoto_, pPhotoIncoh_;
    // Momentum-transfer grid, x in [0, xMax_].
    double xMax_ = 0, xStep_ = 0;
    std::vector<double> sRatio_;  // S_mix(x) / S_mix(inf)
    std::vector<double> f2_;      // F^2_mix(x)
    std::vector<double> f2Cum_;   // integral of F^2_mix d(x^2) from 0 to x
};

}  // namespace dovex::mc
