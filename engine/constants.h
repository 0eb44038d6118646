#pragma once
// The physical and program constants the computations share. The circle constant is the
// six-digit value the model was built with (3.14159), not the full-precision one: the spectrum's
// phase angles, the backscatter ring fractions and the depth-dose ring areas all use it, so the
// published results are reproduced digit for digit.
#include <array>

namespace dovex {

inline constexpr double kPi = 3.14159;
inline constexpr double kHalfPi = kPi / 2;  // 1.570795

// Mean energy spent per ion pair in dry air divided by the elementary charge, W/e (Gy per C/kg).
inline constexpr double kAirWOverE = 33.97;

// Tissue weighting factors of ICRP Publication 103 (Ann. ICRP 37 (2-4), 2007, Table 3), in the
// order the effective-dose estimate holds them: breast, red bone marrow, colon, lung, stomach,
// gonads, thyroid, oesophagus, liver, bladder, bone surface, skin, brain, salivary glands,
// remainder tissues. They sum to 1.
inline constexpr std::array<double, 15> kIcrp103TissueWeights = {
    0.12, 0.12, 0.12, 0.12, 0.12, 0.08, 0.04, 0.04, 0.04, 0.04, 0.01, 0.01, 0.01, 0.01, 0.12};

// The subject thickness the effective-dose estimate works with at most (80 layers of 0.5 cm).
inline constexpr double kMaxEstimateThicknessCm = 40.0;

}  // namespace dovex
