// SPDX-License-Identifier: MIT
#include "tools/refdata/xsection.h"

#include <xraylib/xraylib.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace dovex::refdata {
namespace {

// Calls an xraylib function of (Z, E) and turns its error report into an exception.
double Call(double (*f)(int, double, xrl_error**), const char* what, int z, double keV) {
    xrl_error* err = nullptr;
    double v = f(z, keV, &err);
    if (err != nullptr) {
        std::string msg = std::string(what) + "(Z=" + std::to_string(z) +
                          ", E=" + std::to_string(keV) + " keV): " + err->message;
        xrl_error_free(err);
        throw std::runtime_error(msg);
    }
    if (!std::isfinite(v) || v < 0)
        throw std::runtime_error(std::string(what) + " gave no usable value");
    return v;
}

double Photo(int z, double keV) { return Call(CS_Photo, "CS_Photo", z, keV); }

double KleinNishina(double keV) {
    xrl_error* err = nullptr;
    double v = CS_KN(keV, &err);
    if (err != nullptr) {
        std::string msg = std::string("CS_KN: ") + err->message;
        xrl_error_free(err);
        throw std::runtime_error(msg);
    }
    return v;
}

// Log-log extension of a partial beyond the top of xraylib's data from its values at 600 and
// 800 keV.
double Extend(double (*f)(int, double, xrl_error**), const char* what, int z, double keV) {
    const double y0 = Call(f, what, z, 600), y1 = Call(f, what, z, kXrlTopKeV);
    return y1 *
           std::exp(std::log(y1 / y0) / std::log(kXrlTopKeV / 600) * std::log(keV / kXrlTopKeV));
}

Partials ElementPartials(int z, double keV) {
    Partials p;
    if (keV <= kXrlTopKeV) {
        p.coherent = Call(CS_Rayl, "CS_Rayl", z, keV);
        p.incoherent = Call(CS_Compt, "CS_Compt", z, keV);
        p.photo = Photo(z, keV);
    } else {
        // Above xraylib's data: free-electron Compton scattering (Klein-Nishina) scaled to
        // xraylib's value at the top, coherent and photoelectric extended log-log.
        p.coherent = Extend(CS_Rayl, "CS_Rayl", z, keV);
        p.incoherent = Call(CS_Compt, "CS_Compt", z, kXrlTopKeV) * KleinNishina(keV) /
                       KleinNishina(kXrlTopKeV);
        p.photo = Extend(CS_Photo, "CS_Photo", z, keV);
    }
    return p;
}

}  // namespace

Composition FormulaComposition(const std::string& formula) {
    xrl_error* err = nullptr;
    compoundData* cd = CompoundParser(formula.c_str(), &err);
    if (cd == nullptr) {
        std::string msg = "cannot parse formula " + formula;
        if (err != nullptr) {
            msg += std::string(": ") + err->message;
            xrl_error_free(err);
        }
        throw std::runtime_error(msg);
    }
    Composition c;
    for (int i = 0; i < cd->nElements; ++i) c.push_back({cd->Elements[i], cd->massFractions[i]});
    FreeCompoundData(cd);
    return c;
}

Partials MassPartials(const Composition& c, double keV) {
    Partials p;
    for (const Component& e : c) {
        const Partials x = ElementPartials(e.z, keV);
        p.coherent += e.massFraction * x.coherent;
        p.incoherent += e.massFraction * x.incoherent;
        p.photo += e.massFraction * x.photo;
    }
    return p;
}

double MassTotal(const Composition& c, double keV) {
    if (keV > kXrlTopKeV) return MassPartials(c, keV).Total();
    double sum = 0;
    for (const Component& e : c) sum += e.massFraction * Call(CS_Total, "CS_Total", e.z, keV);
    return sum;
}

std::vector<EdgeJump> FindEdges(const Composition& c, double loKeV, double hiKeV) {
    std::vector<EdgeJump> out;
    for (const Component& el : c) {
        for (int shell = K_SHELL; shell <= M5_SHELL; ++shell) {
            xrl_error* err = nullptr;
            const double edge = EdgeEnergy(el.z, shell, &err);
            if (err != nullptr) {
                xrl_error_free(err);
                continue;
            }
            if (!(edge > loKeV * 1.001 && edge < hiKeV)) continue;
            // Coarse scan of +-0.5 % around the tabulated edge for the largest step of the
            // photoelectric coefficient, then bisection of that step down to the double grid.
            const double lo = edge * 0.995, hi = edge * 1.005;
            constexpr int kSteps = 4000;
            double best = 0, a = lo, b = hi;
            double prev = Photo(el.z, lo);
            for (int i = 1; i <= kSteps; ++i) {
                const double e = lo + (hi - lo) * i / kSteps;
                const double f = Photo(el.z, e);
                const double step = std::log(f / prev);
                if (step > best) {
                    best = step;
                    a = lo + (hi - lo) * (i - 1) / kSteps;
                    b = e;
                }
                prev = f;
            }
            if (best < std::log(1.002)) continue;
            for (int it = 0; it < 200; ++it) {
                const double m = 0.5 * (a + b);
                if (!(m > a && m < b)) break;
                const double fa = Photo(el.z, a), fm = Photo(el.z, m), fb = Photo(el.z, b);
                if (std::log(fm / fa) > std::log(fb / fm))
                    b = m;
                else
                    a = m;
            }
            EdgeJump j;
            j.z = el.z;
            j.shell = shell;
            j.tabulatedKeV = edge;
            j.belowKeV = a;
            j.aboveKeV = b;
            j.below = MassPartials(c, a);
            j.above = MassPartials(c, b);
            out.push_back(j);
        }
    }
    std::sort(out.begin(), out.end(),
              [](const EdgeJump& x, const EdgeJump& y) { return x.aboveKeV < y.aboveKeV; });
    return out;
}

}  // namespace dovex::refdata
