// SPDX-License-Identifier: MIT
#pragma once
// Exposure at 1 m, exposure-to-dose conversion coefficients, backscatter factors and the
// entrance surface doses.
#include "engine/conditions.h"
#include "engine/spectrum.h"
#include "engine/tables.h"

namespace dovex {

struct DoseResult {
    double convSoft = 0, convSkin = 0, convAir = 0;  // Gy/(C/kg)
    double bsfSoft = 0, bsfAir = 0, bsfSkin = 0;
    double esdSoft = 0, esdSkin = 0, esdAir = 0;  // mGy
    double effectiveDose = 0;                     // mSv, 0 = not estimated
    // Beam-quality fields: carried in result rows, never computed here.
    double hvl1 = 0, hvl2 = 0;   // cm Al
    double effectiveEnergy = 0;  // keV
    double qualityIndex = 0;
};

// Exposure at 1 m (C/kg) for the whole exposure from the default output data: the output per
// mAs interpolated at the tube voltage for the rectification, times filtrationRatio, mA and s.
// Throws CalcError when the voltage lies beyond the table or the table cannot be interpolated.
double ComputeExposureAt1m(const ExposureConditions& c, const XraySpectrum& s,
                           const PhysicsTables& t);

// Field on the entrance surface as the backscatter integration sees it.
struct SkinField {
    bool circular = false;
    double a = 0, b = 0;  // rectangle: half-sides (a >= b) in cm; circle: projected diameter r
    long na = 0, nb = 0, nd = 0;  // rectangle ring counts
    long n = 0;                   // circle ring count
};
SkinField ProjectFieldToSkin(const ExposureConditions& c);

// In-field fraction of backscatter ring k (representative radius 0.1k - 0.05 cm) for the
// rectangular field; 0 for a ring that adds nothing.
double RectangleRingFraction(const SkinField& f, long k);

// Conversion coefficients, backscatter factors and entrance surface doses. Uses
// c.exposureAt1m as it stands. Throws CalcError for geometry that cannot be computed (FFD or
// FSD of 0, a voltage at or beyond the last backscatter energy) and for non-finite results.
DoseResult ComputeDoses(const ExposureConditions& c, const XraySpectrum& s, const PhysicsTables& t);

}  // namespace dovex
