// SPDX-License-Identifier: MIT
#pragma once
// Material files of the arbitrary filter ("*.ele" elements, "*.mix" mixtures) and the
// attenuation coefficient they give on the fine energy grid.
#include <filesystem>
#include <string>
#include <vector>

#include "engine/conditions.h"

namespace dovex {

struct MaterialTable {
    std::string name;               // first line of the file (UTF-8)
    double density = 0;             // g/cm3
    std::vector<double> energyMeV;  // rising, the first at most 0.001 MeV, the last at least 10 MeV
    std::vector<double> total;      // total mass attenuation coefficient, cm2/g
};

inline constexpr std::size_t kMaxMaterialRecords = 100;

// Reads the name line only (cp932), for the dialog's material display.
std::string ReadMaterialName(const std::filesystem::path& file);
// Reads and checks a material file: density and energies positive, energies rising, the three
// partial coefficients not negative and their sum positive. Throws DataFileError naming the file,
// the line and the fault.
MaterialTable ReadMaterialFile(const std::filesystem::path& file);
// The same from the bytes of a file named `name`.
MaterialTable ParseMaterialData(std::string bytes, const std::string& name);
// arbitraryFilterMu: log-log interpolation at every whole keV, odd bins the mean of their
// neighbours, bin 1 = bin 2; per cm (times the density).
FineArray BuildArbitraryFilterMu(const MaterialTable& m);
// Lists the material files ("*.ele", "*.mix") of a folder, sorted by name.
std::vector<std::filesystem::path> ListMaterialFiles(const std::filesystem::path& dir);

}  // namespace dovex
