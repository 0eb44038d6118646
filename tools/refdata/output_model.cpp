// SPDX-License-Identifier: MIT
#include "tools/refdata/output_model.h"

#include <cmath>
#include <stdexcept>

#include "engine/spectrum.h"

namespace dovex::refdata {

double TubeCharge(int rectification) {
    // The output data's column number is the rectification's code.
    const auto kind = static_cast<Rectification>(rectification);
    double charge = 0;
    for (double phase : PhaseAngles(kind)) charge += TubeCurrentWeight(kind, phase);
    return charge;
}

double AirKermaPerCharge(double kv, int rectification, double targetAngleDeg, double alCm,
                         double cuCm, const PhysicsTables& t) {
    ExposureConditions c;
    c.tubeVoltage = kv;
    c.rectification = static_cast<Rectification>(rectification);
    c.targetAngle = targetAngleDeg;
    const FineArray s = UnfilteredSpectrum(c, t);
    double kerma = 0;
    for (long i = 2; static_cast<double>(i) <= 2 * kv; ++i)
        kerma += s[i] * std::exp(-t.att.muAl[i] * alCm - t.att.muCu[i] * cuCm) * t.att.muenAir[i];
    const double charge = TubeCharge(rectification);
    if (!(charge > 0) || !(kerma > 0) || !std::isfinite(kerma))
        throw std::runtime_error("no air kerma in the spectrum");
    return kerma / charge;
}

double RectificationOutputRatio(double kv, int rectification, double targetAngleDeg, double alCm,
                                double cuCm, const PhysicsTables& t) {
    return AirKermaPerCharge(kv, rectification, targetAngleDeg, alCm, cuCm, t) /
           AirKermaPerCharge(kv, 1, targetAngleDeg, alCm, cuCm, t);
}

}  // namespace dovex::refdata
