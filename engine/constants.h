// SPDX-License-Identifier: MIT
#pragma once
// The physical and program constants the computations share. The circle constant is the
// six-digit value the model was built with (3.14159), not the full-precision one: the spectrum's
// phase angles, the backscatter ring fractions and the depth-dose ring areas all use it, so the
// published results are reproduced digit for digit.
#include <array>

namespace dovex {

inline constexpr double kPi = 3.14159;
inline constexpr double kHalfPi = kPi / 2;  // 1.570795

// Mean energy spent per ion pair in dry air divided by the elementary charge, W/e = 33.97 J/C
// (ICRU Report 31, 1979; Boutillon and Perroche-Roux, Phys. Med. Biol. 32, 213, 1987): the air
// kerma in Gy of an exposure of 1 C/kg (Gy per C/kg).
inline constexpr double kAirWOverE = 33.97;

// Exposure of one roentgen in C/kg: 2.58 x 10^-4 C/kg, exact by the roentgen's definition
// (ICRU Report 33, 1980).
inline constexpr double kCoulombPerKgPerRoentgen = 2.58e-4;

// Rest energy of the electron in keV, m_e c^2 = 510.999 keV (CODATA 2018), as the spectrum
// model's relativistic factor (1 + 511/T) rounds it.
inline constexpr double kElectronRestEnergyKeV = 511;

// Density of tungsten, the anode, in g/cm^3 (CRC Handbook of Chemistry and Physics: 19.3).
inline constexpr double kTungstenDensity = 19.3;

// The lung factor of the effective-dose estimate: inflated lung is about 0.3 g/cm^3 against soft
// tissue's 1 (ICRP Publication 89, 2002), so the lungs' own depth range and the shift of the
// tissues behind them are scaled by it.
inline constexpr double kLungDensityFactor = 0.3;

// Tissue weighting factors of ICRP Publication 103 (Ann. ICRP 37 (2-4), 2007, Table 3), in the
// order the effective-dose estimate holds them: breast, red bone marrow, colon, lung, stomach,
// gonads, thyroid, oesophagus, liver, bladder, bone surface, skin, brain, salivary glands,
// remainder tissues. They sum to 1.
inline constexpr std::array<double, 15> kIcrp103TissueWeights = {
    0.12, 0.12, 0.12, 0.12, 0.12, 0.08, 0.04, 0.04, 0.04, 0.04, 0.01, 0.01, 0.01, 0.01, 0.12};

// The subject thickness the effective-dose estimate works with at most (80 layers of 0.5 cm).
inline constexpr double kMaxEstimateThicknessCm = 40.0;

}  // namespace dovex
