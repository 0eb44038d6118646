// SPDX-License-Identifier: MIT
#pragma once
// Air kerma per unit tube charge of the engine's waveform model, used to derive the three-phase
// and single-phase columns of the default tube output from the constant-potential column.
#include "engine/conditions.h"
#include "engine/tables.h"

namespace dovex::refdata {

// Tube charge of one pass over the phase angles of a rectification, in the unit of the
// tube-current weights: the sum of the weights (the mean tube current times the time, as a mAs
// meter reads it, up to a common factor).
double TubeCharge(int rectification);

// Air kerma of the engine's unfiltered spectrum (UnfilteredSpectrum) behind alCm of aluminium and
// cuCm of copper, summed over bins 2..2kV with muen_air, divided by the tube charge.
double AirKermaPerCharge(double kv, int rectification, double targetAngleDeg, double alCm,
                         double cuCm, const PhysicsTables& t);

// Air kerma per mAs of a rectification relative to constant potential at the same peak voltage
// and filtration.
double RectificationOutputRatio(double kv, int rectification, double targetAngleDeg, double alCm,
                                double cuCm, const PhysicsTables& t);

}  // namespace dovex::refdata
