// SPDX-License-Identifier: MIT
#pragma once
// National diagnostic reference levels of general radiography, per exam part, and the comparison
// of one exposure's entrance surface dose with the level of its exam part.
#include <filesystem>
#include <limits>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

namespace dovex {

// The reference-level file, in the program's data folder (cp932, CR LF).
inline constexpr const char* kDrlFileName = "診断参考レベル.txt";

// Which of the program's doses a reference level is compared with: the entrance surface air
// kerma including backscatter (DoseResult::esdAir), the quantity the national survey derives from
// the measured air kerma and a backscatter factor.
inline constexpr const char* kDrlQuantity = "esdAir";

struct DrlEntry {
    std::string examPart;  // as in the exam-part list
    double kvFrom = 0;     // the level applies for kvFrom <= tube voltage < kvBelow
    double kvBelow = std::numeric_limits<double>::infinity();
    double valueMGy = 0;  // 0: the exam part has no reference level
    std::string item;     // the level's own name in the publication, or why there is none
};

struct DrlTable {
    std::vector<std::string> header;  // the comment lines naming the source
    std::vector<DrlEntry> entries;
};

// The range of a plausible reference level of one radiograph, mGy of entrance surface dose.
// Published levels of general radiography lie between about 0.1 mGy (chest) and 10 mGy (lumbar
// spine lateral); these bounds leave a margin of a factor of 100 on either side (paediatric
// extremities, fluoroscopy-like exposures) and refuse what only a damaged file would hold: a level
// of 1e-307 mGy would make any dose an infinite percentage of it.
inline constexpr double kMinDrlMGy = 0.001;
inline constexpr double kMaxDrlMGy = 1000;

// Parses the bytes of the reference-level file: comment lines start with '#'; every other
// non-empty line is "exam part,kV from,kV below,level mGy,item" (empty kV bounds are open,
// an empty level means none; a level given must lie within kMinDrlMGy..kMaxDrlMGy). Throws
// DataFileError naming `fileName` and the faulty line.
DrlTable ParseDrlTable(const std::string& bytes, const std::string& fileName = kDrlFileName);
// Reads and parses the file; throws DataFileError when it is missing or malformed.
DrlTable ReadDrlTable(const std::filesystem::path& file);

struct DrlComparison {
    bool hasLevel = false;  // false: no reference level for this exam part and voltage
    std::string examPart;
    std::string item;     // the level's name, e.g. "胸部正面 (100 kV 未満)"
    double valueMGy = 0;  // the reference level
    double esdMGy = 0;    // this exposure's dose compared with it
    double percent = 0;   // esdMGy as a percentage of the level
    std::string quantity = kDrlQuantity;
    bool exceeds() const { return hasLevel && percent > 100; }
};

// The level of `examPart` at tube voltage `kv` and the percentage that `esdMGy` makes of it.
DrlComparison CompareWithDrl(const DrlTable& table, const std::string& examPart, double kv,
                             double esdMGy);

// JSON {valueMGy, quantity, percent} for an exam part with a level, null otherwise.
void to_json(nlohmann::ordered_json& j, const DrlComparison& c);

}  // namespace dovex
