// SPDX-License-Identifier: MIT
#pragma once
// Beam quality of a synthesised spectrum: the first and second half-value layers in aluminium
// (narrow beam, air-kerma weighted), the homogeneity coefficient, the fluence-weighted mean
// energy, the effective energy and the quality index.
#include <nlohmann/json_fwd.hpp>

#include "engine/dose.h"
#include "engine/spectrum.h"
#include "engine/tables.h"

namespace dovex {

struct BeamQuality {
    double hvl1MmAl = 0;            // Al thickness that halves the air kerma, mm
    double hvl2MmAl = 0;            // t(1/4) - t(1/2), mm Al
    double homogeneity = 0;         // hvl1 / hvl2
    double meanEnergyKeV = 0;       // photon-fluence weighted mean energy
    double effectiveEnergyKeV = 0;  // energy whose Al attenuation gives the same hvl1
    double qualityIndex = 0;        // effective energy / tube voltage, keV/kV
};

// Air kerma of the spectrum behind `alCm` of aluminium, relative to the kerma without it.
double AluminiumTransmission(const XraySpectrum& s, const PhysicsTables& t, double alCm);

// Aluminium thickness (cm) that lowers the air kerma of the spectrum to `fraction` (0 < fraction
// < 1) of its value. Throws CalcError for an empty spectrum or a fraction out of range.
double AluminiumThicknessForTransmission(const XraySpectrum& s, const PhysicsTables& t,
                                         double fraction);

// The photon energy (keV) at which the aluminium attenuation coefficient equals muPerCm,
// log-log interpolated between the bins above the K edge of aluminium. Throws CalcError when no
// energy of the table has that coefficient.
double EnergyOfAluminiumAttenuation(const PhysicsTables& t, double muPerCm);

// Everything at once for a spectrum made at `tubeVoltageKv`. Throws CalcError for an empty or
// non-finite spectrum and for a tube voltage that is not positive.
BeamQuality ComputeBeamQuality(const XraySpectrum& s, const PhysicsTables& t, double tubeVoltageKv);

// Copies the values into the four beam-quality fields of a dose result (hvl in cm Al).
void StoreBeamQuality(const BeamQuality& q, DoseResult& d);

// JSON object {hvl1MmAl, hvl2MmAl, homogeneity, meanEnergyKeV, effectiveEnergyKeV,
// qualityIndex}.
void to_json(nlohmann::ordered_json& j, const BeamQuality& q);

}  // namespace dovex
