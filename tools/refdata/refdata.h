// SPDX-License-Identifier: MIT
#pragma once
// Generator of the physical reference data files of the dosimetry engine: attenuation and
// energy-absorption coefficients on the fine grid, the soft-tissue attenuation table, the primary
// dose factors, the default tube output and the filter material files.
#include <filesystem>
#include <string>
#include <vector>

#include "engine/tables.h"
#include "tools/refdata/nist.h"
#include "tools/refdata/xsection.h"

namespace dovex::refdata {

// Tissue compositions by mass fraction (ICRU Report 44).
Composition SoftTissueIcru44();    // density 1.06 g/cm3
Composition SkinIcru44();          // density 1.09 g/cm3
Composition CorticalBoneIcru44();  // density 1.92 g/cm3
inline constexpr double kSoftTissueDensity = 1.06;

// 1 keV x 1 cm2/g per photon/cm2 expressed in aGy: 1.602176634e-16 J/keV x 1000 g/kg / 1e-18.
inline constexpr double kAttoGrayPerKeVCm2PerG = 1.602176634e5;

// The NIST tables the generator reads from one folder.
struct NistData {
    NistTable air, softTissue;
    std::vector<NistTable> skinElements;  // in the order of SkinIcru44()
    NistTable skin;                       // mixture table of skinElements
    static NistData Load(const std::filesystem::path& dir);
    double SkinMuenRho(double keV) const { return skin.MuenRho(keV); }
};

// One record of a material file as written (the values are those read back from the text).
struct MaterialRecord {
    double energyMeV = 0;
    Partials mass;  // cm2/g
    std::string line;
};

struct MaterialSpec {
    std::string fileName;  // e.g. "Al.ele"
    std::string name;      // the name line (UTF-8): Japanese name and symbol
    double density = 0;    // g/cm3
    Composition composition;
};

struct MaterialGrid {
    std::vector<MaterialRecord> records;
    int edges = 0;
    double maxErrorDiagnostic = 0;  // whole keV 5..150, |engine interpolation / xraylib - 1|
    double worstKeV = 0;
    double maxErrorElsewhere = 0;  // test energies outside 5..150 keV
};

std::vector<MaterialSpec> MaterialList();
MaterialGrid BuildMaterialGrid(const Composition& c);
// Log-log interpolation of the total of the records at an energy, searched as the engine does for
// the arbitrary filter (the first record above the energy and the one before it).
double MaterialLogLog(const std::vector<MaterialRecord>& records, double energyMeV);

struct IcruRow {
    double energyMeV = 0;
    double coherent = 0, incoherent = 0, photo = 0;  // per cm
    std::string line;
};
struct IcruGrid {
    std::vector<IcruRow> rows;
    double maxError = 0;  // half keV 10..150, |interpolated / xraylib - 1|
    double worstKeV = 0;
};
IcruGrid BuildIcruGrid();
// Total linear attenuation of the rows at E keV, each partial interpolated log-log between the
// bracketing rows as the depth-dose computation does.
double IcruLogLog(const std::vector<IcruRow>& rows, double keV);

struct GeneratedFile {
    std::string name;   // file name in the data folder (UTF-8)
    std::string bytes;  // cp932, CR LF
};

struct Generated {
    std::vector<GeneratedFile> files;
    std::string report;  // what was built and how accurate it is (UTF-8)
};

// Builds every file. Throws std::runtime_error when a source is missing or a requirement on a
// table cannot be met.
Generated GenerateAll(const std::filesystem::path& nistDir);

// The default tube output: kV and air kerma per mAs at 1 m (uGy) of the reference table.
struct TubeOutputPoint {
    double kv;
    double microGrayPerMas;
};
const std::vector<TubeOutputPoint>& ReferenceTubeOutput();

}  // namespace dovex::refdata
