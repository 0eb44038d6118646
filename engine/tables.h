// SPDX-License-Identifier: MIT
#pragma once
// Physical data tables read once from the data files at start-up, the tables derived from them
// and the constants of the engine.
#include <filesystem>
#include <string>

#include "engine/checked.h"
#include "engine/conditions.h"
#include "engine/constants.h"

namespace dovex {

// Differential backscatter factors d(k) per phantom (0 body, 1 head), energy column m = 1..31
// and ring k = 1..300 (annulus 0.1(k-1)..0.1k cm).
struct BackscatterTable {
    Checked<Checked<Checked<double, 1, 300>, 1, 31>, 0, 1> d;
    double& at(long phantom, long column, long ring) { return d[phantom][column][ring]; }
    double at(long phantom, long column, long ring) const { return d[phantom][column][ring]; }
};

struct AttenuationTable {
    FineArray muW, muAl, muCu;              // per cm
    FineArray muenAir, muenSoft, muenSkin;  // energy-absorption coefficients (common unit)
};

struct DefaultOutputTable {
    Checked<double, 1, 12> outputKv;                     // kV, ascending
    Checked<Checked<double, 1, 3>, 1, 12> outputPerMas;  // C/kg per mAs at 1 m, [kV][rectification]
    Checked<double, 1, 3> refAl, refCu;                  // cm, reference filtration per column
};

struct IcruSoftRow {
    double c1 = 0, c2 = 0, c3 = 0;  // partial linear attenuation coefficients, per cm (file order)
    double energyKeV = 0;
};

struct PhysicsTables {
    double airWOverE = kAirWOverE;  // Gy per C/kg
    double piValue = kPi;
    Checked<double, 1, 31> bsfEnergyGrid;
    BackscatterTable dbsfSoft, dbsfAir, dbsfSkin;
    AttenuationTable att;
    DefaultOutputTable output;
    Checked<IcruSoftRow, 1, 37> icruSoft;
    long icruSoftRows = 0;
    Checked<double, 2, 30> primaryCoarse;
    FineArray primaryFine;  // entries 1..20 hold 0
    Checked<double, 1, 15> tissueWeights;
};

// The data file names, as the program opens them in its data folder.
namespace files {
inline constexpr const char* kBsfSoftBody = "dBSF-SoftDose-SoftPhantom.dat";
inline constexpr const char* kBsfAirBody = "dBSF-AirDose-SoftPhantom.dat";
inline constexpr const char* kBsfSkinBody = "dBSF-SkinDose-SoftPhantom.dat";
inline constexpr const char* kBsfSoftHead = "dBSF-SoftDose-Soft_Head.dat";
inline constexpr const char* kBsfAirHead = "dBSF-AirDose-Soft_Head.dat";
inline constexpr const char* kBsfSkinHead = "dBSF-SkinDose-Soft_Head.dat";
inline constexpr const char* kAttenuation = "Att_coeff2020.dat";
inline constexpr const char* kDefaultOutput = "default-output.op";
inline constexpr const char* kIcruSoft = "ICRUSoft.dat";
inline constexpr const char* kPrimary = "Primary.dat";
inline constexpr const char* kSpectrumOut = "X_SPCTL.dat";
inline constexpr const char* kExamParts = "撮影部位.txt";
}  // namespace files

// Reads every physics data file of `dataDir` in the fixed order (six backscatter files,
// attenuation, default output), then LoadDoseConstants. Throws DataFileError naming the file
// that is missing or malformed; on failure the tables must not be used.
void LoadPhysicsTables(PhysicsTables& t, const std::filesystem::path& dataDir);
// Reads "ICRUSoft.dat" and the engine's lines of "Primary.dat", derives primaryFine and sets
// piValue and tissueWeights.
void LoadDoseConstants(PhysicsTables& t, const std::filesystem::path& dataDir);

// Convenience: a fresh table set loaded from dataDir.
PhysicsTables LoadAllTables(const std::filesystem::path& dataDir);

// Upper bound of a differential backscatter factor of one 1 mm ring: the shipped tables stay below
// 0.02 and a whole backscatter factor is below 2, so a larger value is a damaged file.
inline constexpr double kMaxDifferentialBsf = 1.0;
// Upper bound of a default tube output, C/kg per mAs at 1 m: tubes give up to about 1e-5, so a
// hundred times that is a damaged file.
inline constexpr double kMaxOutputPerMas = 1e-3;

// What physics requires of each table as a whole, checked when it is read. A table that passes
// every per-number check can still be impossible (a backscatter file of zeros, coefficients a
// thousand million times too large); such a file is refused, never computed with.
//
// Backscatter: the backscatter factor 1 + sum of d(k) g(k) over the rings of a circular field of
// kBsfCheckRadius cm radius at 100 cm FSD (g the inverse-square weight of the ring), at every
// energy column from 40 to 100 keV (the mean energies of diagnostic beams), must lie within
// kMinReferenceBsf..kMaxReferenceBsf. Measured and computed backscatter factors of soft tissue
// and water at these energies and field sizes are 1.2-1.65 (the shipped tables: 1.24-1.65, the
// head phantom lowest); a table of zeros gives exactly 1, ten times the table about 5.
inline constexpr double kBsfCheckRadius = 10.0;
inline constexpr double kMinReferenceBsf = 1.05;
inline constexpr double kMaxReferenceBsf = 2.0;
// ICRUSoft.dat (linear coefficients of soft tissue, density about 1.06): energies within
// 5 keV..1 MeV. The incoherent part is the Compton scattering of the tissue's 3.5e23 electrons
// per cm3, at most the Thomson value 0.23 per cm and above 0.07 per cm up to 1 MeV (Klein-Nishina):
// kMinIncoherentSoft..kMaxIncoherentSoft (the shipped file: 0.14-0.19). The coherent part stays
// below kMaxCoherentSoft (shipped: at most 0.24 per cm at 10 keV). The photoelectric part falls
// as E^-3; scaled by (E / 10 keV)^3 it must lie within kMinPhotoSoftScaled..kMaxPhotoSoftScaled
// (shipped: 2.7-5.3 per cm).
inline constexpr double kMinIcruEnergyMeV = 0.005;
inline constexpr double kMaxIcruEnergyMeV = 1.0;
inline constexpr double kMinIncoherentSoft = 0.02;
inline constexpr double kMaxIncoherentSoft = 0.5;
inline constexpr double kMaxCoherentSoft = 2.0;
inline constexpr double kMinPhotoSoftScaled = 0.5;
inline constexpr double kMaxPhotoSoftScaled = 20.0;
// Primary.dat: P(E) = E mu_en/rho 1.602176634e5 aGy cm2, so P(E) / (E 1.602176634e5) is the mass
// energy-absorption coefficient of soft tissue in cm2/g. From 60 keV up it is set by Compton
// absorption, 0.025-0.031 cm2/g for any water-like tissue (NIST): it must lie within
// kMinMuenSoftHigh..kMaxMuenSoftHigh there. Below 60 keV, where the photoelectric effect rises
// to 4.96 cm2/g at 10 keV, it must lie within kMinMuenSoftHigh..kMaxMuenSoftLow.
inline constexpr double kPrimaryDoseUnit = 1.602176634e5;  // aGy cm2 per keV cm2/g
inline constexpr double kMinMuenSoftHigh = 0.01;
inline constexpr double kMaxMuenSoftHigh = 0.1;
inline constexpr double kMaxMuenSoftLow = 20.0;

// The readers of the single files, from the file's bytes. Besides the layout they check what
// physics requires (coefficients positive, outputs within 0..kMaxOutputPerMas, voltages and
// energies rising, backscatter factors within 0..kMaxDifferentialBsf) and the whole-table
// checks above, and throw DataFileError naming the file, the line and the value or the reason.
void ParseBackscatterData(BackscatterTable& table, long phantom, std::string bytes,
                          const std::string& name);
void ParseAttenuationData(AttenuationTable& a, std::string bytes);
void ParseDefaultOutputData(DefaultOutputTable& o, std::string bytes);
void ParseIcruSoftData(PhysicsTables& t, std::string bytes);  // fills icruSoft, icruSoftRows
void ParsePrimaryData(PhysicsTables& t, std::string bytes);   // fills primaryCoarse

// Derived tables, exposed for their own tests.
void ComputeBsfEnergyGrid(PhysicsTables& t);
void ComputePrimaryFine(PhysicsTables& t);

}  // namespace dovex
