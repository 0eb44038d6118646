// SPDX-License-Identifier: MIT
#pragma once
// Spectrum of a tungsten-target X-ray tube: thick-target bremsstrahlung with self-absorption in
// the target, the K lines above 70 kV, the ripple of the rectification and the filtration.
#include <string>
#include <vector>

#include "engine/conditions.h"
#include "engine/tables.h"

namespace dovex {

struct XraySpectrum {
    FineArray fluence;   // normalised photon fluence per 0.5 keV bin (sums to 1)
    FineArray airKerma;  // normalised air kerma per bin with the user's filtration (sums to 1)
    double filtrationRatio = 0;  // kerma with user filtration / kerma with reference filtration
};

// Phase angles (degrees) of the voltage waveform for a rectification type, and the tube
// current weight of a phase angle.
std::vector<double> PhaseAngles(Rectification rectification);
double TubeCurrentWeight(Rectification rectification, double phaseDeg);
// Thomson-Whiddington constant C(V) and the K-line fraction (per cent) of the model.
double ThomsonWhiddington(double kv);
double KLineFraction(double kv);

// The spectrum leaving the target before any filtration: bremsstrahlung and K lines summed over
// the phase angles with their tube-current weights, per bin (energy fluence shape, not divided by
// the photon energy, not normalised). Throws CalcError as SynthesizeSpectrum.
FineArray UnfilteredSpectrum(const ExposureConditions& c, const PhysicsTables& t);

// Computes the spectrum. Throws CalcError for conditions outside the model (tube voltage not
// in (0, 150], target angle giving no finite cotangent, unknown rectification, empty spectrum).
XraySpectrum SynthesizeSpectrum(const ExposureConditions& c, const PhysicsTables& t,
                                const ArbitraryFilter& filter);

// The text of the spectrum file "X_SPCTL.dat": 300 lines "0000.0, 0.00000" with CR LF.
std::string SpectrumFileText(const XraySpectrum& s);

}  // namespace dovex
