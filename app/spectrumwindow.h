// SPDX-License-Identifier: MIT
#pragma once
// The spectrum of the last calculation: photon fluence per 0.5 keV bin and the air-kerma
// spectrum, each normalised to its maximum, with the tube voltage, the total filtration, the
// first half-value layer and the effective energy in the title.
#include "app/chartwindow.h"
#include "engine/beamquality.h"
#include "engine/conditions.h"
#include "engine/spectrum.h"

namespace dovex::app {

// The chart title: "80 kV　総ろ過 2.5 mmAl + 0.1 mmCu　HVL1 2.69 mmAl　実効エネルギー 32.0 keV".
QString SpectrumTitle(const ExposureConditions& c, const BeamQuality& q);
// A new chart of the spectrum (the caller owns it).
QChart* MakeSpectrumChart(const XraySpectrum& s, const ExposureConditions& c, const BeamQuality& q);

class SpectrumWindow : public ChartWindow {
    Q_OBJECT
  public:
    explicit SpectrumWindow(QWidget* parent = nullptr);
    // Shows the spectrum of a calculation; called for each new calculation while open.
    void setSpectrum(const XraySpectrum& s, const ExposureConditions& c, const BeamQuality& q);
};

}  // namespace dovex::app
