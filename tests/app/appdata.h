// SPDX-License-Identifier: MIT
#pragma once
// Data folders for the window tests: a complete synthetic folder (physics files from the shared
// test support, plus scatter kernels, organ data and filter materials), or a writable copy of the
// shipped data folder once it is complete.
#include <filesystem>
#include <string>
#include <vector>

namespace dovex::apptest {

struct AppDataOptions {
    bool withUserName = true;
    std::string userName = "テスト太郎";
    // Exam parts of "撮影部位.txt"; organ data files are written only for those in organParts.
    std::vector<std::string> examParts = {"胸部正面", "胸部側面", "腹部正面", "", "その他"};
    std::vector<std::string> organParts = {"胸部正面", "腹部正面"};
    bool withKernels = true;
    bool withMaterials = true;
};

// Writes the synthetic folder into dir (created).
void WriteAppTestData(const std::filesystem::path& dir, const AppDataOptions& opt = {});

// The shipped data folder of the source tree.
std::filesystem::path ShippedDataDir();
// True when the shipped folder holds every file a calculation with an estimate needs.
bool ShippedDataComplete();
// Copies the shipped folder into dir (so that a test may write Primary.dat and X_SPCTL.dat).
void CopyShippedData(const std::filesystem::path& dir);

// A synthetic material file ("*.ele"): name line, density, records up to 10 MeV.
std::string MaterialFileText(const std::string& nameUtf8, double density);

// The lines of a cp932 CR LF file, decoded.
std::vector<std::string> ReadLinesUtf8(const std::filesystem::path& file);

}  // namespace dovex::apptest
