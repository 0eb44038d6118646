#include "tools/refdata/output_model.h"

#include <cmath>
#include <stdexcept>

#include "engine/spectrum.h"

namespace dovex::refdata {
namespace {

// Constants of the engine's spectrum model.
constexpr double kPi = 3.14159;
constexpr double kTungstenDensity = 19.3;

double BremsCrossSection(double e, double t) {
    double u = e / t;
    return (0.03658 + 0.000029 * e) *
           (1 - 5.049 * u + 10.847 * u * u - 10.516 * u * u * u + 3.842 * u * u * u * u);
}

double Divisor(double t) { return 1036.1 * std::exp(-0.04695 * t) + 202.41; }

long TopBin(double kv) { return static_cast<long>(std::floor(2 * kv)); }

}  // namespace

FineArray UnfilteredPhaseSum(double kv, int rectification, double targetAngleDeg,
                             const AttenuationTable& att, double* chargeWeight) {
    if (!(kv > 0 && kv <= 150)) throw std::runtime_error("tube voltage outside (0, 150] kV");
    const double cotTheta = 1 / std::tan(targetAngleDeg * kPi / 180);
    FineArray sum, buffer;
    double charge = 0;
    for (double phase : PhaseAngles(rectification)) {
        const double v = kv * std::sin(phase * kPi / 180);
        const double w = TubeCurrentWeight(rectification, phase);
        const double cv = ThomsonWhiddington(v);
        const double kf = KLineFraction(v);
        const long top = TopBin(v);
        charge += w;
        for (long i = 2; i <= top; ++i) {
            const double e = FineEnergy(i);
            double s = 0;
            for (long m = i; m <= top; ++m) {
                const double te = FineEnergy(m);
                const double x = cotTheta * (v * v - te * te) / (kTungstenDensity * cv);
                s += (1 + 511 / te) / Divisor(te) * BremsCrossSection(e, te) *
                     std::exp(-att.muW[i] * x);
            }
            buffer[i] = s;
        }
        if (v > 70) {
            double total = 0;
            for (long i = 2; i <= top; ++i) total += buffer[i];
            const double a = total * kf * 0.01;
            buffer[119] += 0.5048 * a;
            buffer[116] += 0.2908 * a;
            buffer[134] += 0.162 * a;
            buffer[138] += 0.0424 * a;
        }
        for (long i = 2; i <= top; ++i) sum[i] += w * buffer[i];
    }
    if (chargeWeight != nullptr) *chargeWeight = charge;
    return sum;
}

double AirKermaPerCharge(double kv, int rectification, double targetAngleDeg, double alCm,
                         double cuCm, const AttenuationTable& att) {
    double charge = 0;
    FineArray s = UnfilteredPhaseSum(kv, rectification, targetAngleDeg, att, &charge);
    double kerma = 0;
    for (long i = 2; i <= TopBin(kv); ++i)
        kerma += s[i] * std::exp(-att.muAl[i] * alCm - att.muCu[i] * cuCm) * att.muenAir[i];
    if (!(charge > 0) || !(kerma > 0)) throw std::runtime_error("no air kerma in the spectrum");
    return kerma / charge;
}

double RectificationOutputRatio(double kv, int rectification, double targetAngleDeg, double alCm,
                                double cuCm, const AttenuationTable& att) {
    return AirKermaPerCharge(kv, rectification, targetAngleDeg, alCm, cuCm, att) /
           AirKermaPerCharge(kv, 1, targetAngleDeg, alCm, cuCm, att);
}

}  // namespace dovex::refdata
