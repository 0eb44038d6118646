// SPDX-License-Identifier: MIT
#pragma once
// Mass attenuation and mass energy-absorption coefficients from the NIST tables of Hubbell and
// Seltzer (SRD 126), read from the CSV copies "energy_MeV,mu_rho_cm2g,muen_rho_cm2g" and
// interpolated log-log between tabulated energies. An absorption edge is a pair of rows with the
// same energy; the interpolation never crosses it.
#include <filesystem>
#include <string>
#include <vector>

namespace dovex::refdata {

struct NistRow {
    double energyMeV = 0;
    double muRho = 0;    // cm2/g
    double muenRho = 0;  // cm2/g
};

class NistTable {
  public:
    // Reads a table; throws std::runtime_error naming the file for a malformed or unordered one.
    static NistTable Load(const std::filesystem::path& csv);
    static NistTable FromRows(std::vector<NistRow> rows, std::string name);

    // Log-log interpolation within the edge segment that holds the energy; at an edge energy
    // the value above the edge. Below the first or above the last row the end segment is
    // extended.
    double MuenRho(double keV) const { return AtMeV(keV * 1e-3, true, false); }
    double MuRho(double keV) const { return AtMeV(keV * 1e-3, false, false); }
    // Energy in MeV as in the table (exact comparison with the table's edge energies);
    // belowEdge: at an edge energy the value below the edge.
    double AtMeV(double energyMeV, bool muen, bool belowEdge) const;

    const std::vector<NistRow>& rows() const { return rows_; }
    const std::string& name() const { return name_; }

  private:
    std::vector<NistRow> rows_;
    std::string name_;
};

// One element of a mixture by mass fraction with its NIST table.
struct WeightedTable {
    const NistTable* table = nullptr;
    double massFraction = 0;
};

// Mixture rule: sum of mass fraction times the element's mu_en/rho.
double MixtureMuenRho(const std::vector<WeightedTable>& parts, double keV);
double MixtureMuRho(const std::vector<WeightedTable>& parts, double keV);

// The table of a mixture built the way NIST builds its compound tables: the mixture rule at
// every energy of the constituent tables, with a pair of rows at each constituent's edge. It
// is then interpolated like any NIST table, so that a mixture built here and a compound table
// of NIST are interpolated alike.
NistTable MixtureTable(const std::vector<WeightedTable>& parts, const std::string& name);

}  // namespace dovex::refdata
