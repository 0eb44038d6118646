#pragma once
// Air kerma per unit tube charge of the engine's waveform model, used to derive the three-phase
// and single-phase columns of the default tube output from the constant-potential column.
#include "engine/conditions.h"
#include "engine/tables.h"

namespace dovex::refdata {

// The unfiltered spectrum summed over the phase angles of a rectification, each phase weighted by
// its tube current: thick-target bremsstrahlung with self-absorption in the target and the K
// lines, exactly as the engine's spectrum synthesis builds it before filtration. `chargeWeight`
// receives the sum of the tube-current weights (the tube charge in the same relative unit).
FineArray UnfilteredPhaseSum(double kv, int rectification, double targetAngleDeg,
                             const AttenuationTable& att, double* chargeWeight);

// Air kerma of that spectrum behind alCm of aluminium and cuCm of copper (sum over bins 2..2kV of
// fluence x attenuation x muen_air), divided by the tube charge.
double AirKermaPerCharge(double kv, int rectification, double targetAngleDeg, double alCm,
                         double cuCm, const AttenuationTable& att);

// Air kerma per mAs of a rectification relative to constant potential at the same peak voltage
// and filtration.
double RectificationOutputRatio(double kv, int rectification, double targetAngleDeg, double alCm,
                                double cuCm, const AttenuationTable& att);

}  // namespace dovex::refdata
