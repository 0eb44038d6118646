// SPDX-License-Identifier: MIT
#pragma once
// Materials of the photon transport (ICRU Report 44 tissues, dry air, liquid water) and the NIST
// mass energy-absorption coefficients that weight the tallies.
#include <filesystem>
#include <string>
#include <vector>

namespace dovex::mc {

struct ElementFraction {
    int z = 0;     // atomic number
    double w = 0;  // mass fraction
};

struct Material {
    std::string name;
    double density = 0;  // g/cm3
    std::vector<ElementFraction> elements;
};

// ICRU Report 44 compositions (NIST Table 2) and densities.
Material SoftTissueIcru44();    // 1.06 g/cm3
Material SkinIcru44();          // 1.09 g/cm3
Material CorticalBoneIcru44();  // 1.92 g/cm3
Material BrainIcru44();         // 1.04 g/cm3
Material DryAir();              // 0.001205 g/cm3
Material LiquidWater();         // 1.0 g/cm3

// Sum of the mass fractions (1 for a complete composition).
double MassFractionSum(const Material& m);

// One NIST table of mu/rho and mu_en/rho (cm2/g) against energy. Interpolation is log-log
// within one segment between absorption edges (an edge is a repeated energy: the first row holds
// the value below the edge, the second the value above). At an edge energy itself the value
// above the edge is returned. Outside the table the first or last segment is extended.
class NistTable {
  public:
    NistTable() = default;
    // Rows of (energy keV, mu/rho, mu_en/rho), in the order of the file.
    NistTable(std::string name, std::vector<double> eKeV, std::vector<double> mu,
              std::vector<double> muen);
    // Reads a NIST CSV file ("# source" line, header, rows of energy in MeV, mu/rho, mu_en/rho).
    // Throws std::runtime_error naming the file when it is missing or malformed.
    static NistTable Load(const std::filesystem::path& file);

    double Mu(double eKeV) const { return Interp(mu_, eKeV); }
    double Muen(double eKeV) const { return Interp(muen_, eKeV); }
    const std::string& name() const { return name_; }
    const std::vector<double>& energies() const { return e_; }
    const std::vector<double>& muenValues() const { return muen_; }

  private:
    double Interp(const std::vector<double>& y, double eKeV) const;
    std::string name_;
    std::vector<double> e_, mu_, muen_;
};

// A mass energy-absorption coefficient as a weighted sum of NIST tables (one table for a
// tabulated compound, the element tables with mass fractions for the mixture rule).
class MuenFunction {
  public:
    MuenFunction() = default;
    explicit MuenFunction(std::string name) : name_(std::move(name)) {}
    void Add(double weight, NistTable table) { parts_.push_back({weight, std::move(table)}); }
    double Muen(double eKeV) const;
    double Mu(double eKeV) const;
    const std::string& name() const { return name_; }

  private:
    struct Part {
        double weight;
        NistTable table;
    };
    std::string name_;
    std::vector<Part> parts_;
};

// The NIST reference folder the build was configured with (may not exist).
std::filesystem::path DefaultNistDir();

// Tally coefficients read from the NIST folder. Soft tissue, air and water are NIST compound
// tables; skin is the mixture rule over the element tables with the ICRU-44 skin composition.
MuenFunction LoadSoftTissueMuen(const std::filesystem::path& nistDir);
MuenFunction LoadAirMuen(const std::filesystem::path& nistDir);
MuenFunction LoadWaterMuen(const std::filesystem::path& nistDir);
MuenFunction LoadSkinMuen(const std::filesystem::path& nistDir);
// Mixture rule over the element tables for any composition whose elements have files.
MuenFunction LoadMixtureMuen(const std::filesystem::path& nistDir, const Material& m);

}  // namespace dovex::mc
