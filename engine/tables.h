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

// The readers of the single files, from the file's bytes. Besides the layout they check what
// physics requires (coefficients positive, outputs within 0..kMaxOutputPerMas, voltages and
// energies rising, backscatter factors within 0..kMaxDifferentialBsf) and throw DataFileError
// naming the file, the line and the value.
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
