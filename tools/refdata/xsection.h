// SPDX-License-Identifier: MIT
#pragma once
// Photon interaction cross sections from xraylib: coherent (Rayleigh), incoherent (Compton) and
// photoelectric mass attenuation coefficients of elements and of mixtures weighted by mass
// fraction, and the absorption edges where xraylib's photoelectric data jump.
#include <string>
#include <vector>

namespace dovex::refdata {

struct Component {
    int z = 0;
    double massFraction = 0;
};
using Composition = std::vector<Component>;

struct Partials {
    double coherent = 0, incoherent = 0, photo = 0;  // cm2/g
    double Total() const { return coherent + incoherent + photo; }
};

// Mass fractions of a chemical formula ("H2O", "C5H8O2"), from xraylib's parser.
Composition FormulaComposition(const std::string& formula);

// xraylib's cross sections end at 800 keV. Above, the incoherent coefficient follows the
// Klein-Nishina cross section (scaled to xraylib's value at 800 keV) and the coherent and
// photoelectric ones are extended log-log from 600 and 800 keV. Pair production is not one of
// the three partials and is left out, as in xraylib's total.
inline constexpr double kXrlTopKeV = 800;

// Partial mass attenuation coefficients of a mixture at an energy in keV. Throws
// std::runtime_error when xraylib reports an error.
Partials MassPartials(const Composition& c, double keV);
// xraylib's total (CS_Total) weighted by mass fraction, cm2/g (above 800 keV the sum of the
// extended partials).
double MassTotal(const Composition& c, double keV);

// An absorption edge as xraylib's photoelectric data place it: the energy where the data jump
// (which can differ from the tabulated edge energy by a few eV), and the partial coefficients of
// the mixture just below and just above the jump.
struct EdgeJump {
    int z = 0;
    int shell = 0;  // xraylib shell code (0 = K, 1..3 = L1..L3, 4..8 = M1..M5)
    double tabulatedKeV = 0;
    double belowKeV = 0;  // last energy found with the value below the edge
    double aboveKeV = 0;  // first energy found with the value above it
    Partials below, above;
};

// The K, L and M edges of every element of the mixture between loKeV and hiKeV, rising in
// energy. Edges whose photoelectric step is smaller than 0.2 % are left out.
std::vector<EdgeJump> FindEdges(const Composition& c, double loKeV, double hiKeV);

}  // namespace dovex::refdata
