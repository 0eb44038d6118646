// SPDX-License-Identifier: MIT
#pragma once
// The data a calculation reads, loaded the same way by every driver (the main window, dovex-calc
// and its batch mode), with one policy for what may be missing:
// - the physical data tables and the exam-part list are needed: a missing or faulty file stops
//   the driver with the file's name and what is wrong (the list decides which exam parts must
//   have organ data, so a calculation without it would treat a listed part with a lost organ
//   data file as a typed part and quietly give no estimate instead of reporting the fault);
// - the national reference levels are optional: without them the doses are computed and no
//   comparison is made; the reason is kept for the driver to show.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/drl.h"
#include "engine/tables.h"

namespace dovex::calc {

// How the reference-level file was found.
enum class DrlFileState {
    Read,    // read: comparisons are made
    Absent,  // no such file in the data folder: no comparison
    Faulty,  // the file could not be read: no comparison, drlProblem says why
};

struct CalculationData {
    std::filesystem::path dataDir;
    PhysicsTables tables;
    std::vector<std::string> examParts;  // the lines of the exam-part list, in its order
    std::optional<DrlTable> drl;         // set when the reference levels were read
    DrlFileState drlState = DrlFileState::Absent;
    std::string drlProblem;  // the file's name and what is wrong, when not Read
    const DrlTable* drlTable() const { return drl ? &*drl : nullptr; }
};

// Loads everything above from the data folder. Throws DataFileError for a missing or faulty
// physical data table or exam-part list.
CalculationData LoadData(const std::filesystem::path& dataDir);

// The lines of the exam-part list file ("撮影部位.txt", cp932) as UTF-8; an empty line gives
// an empty entry. Throws DataFileError when the file is missing or not valid cp932.
std::vector<std::string> ReadExamPartList(const std::filesystem::path& file);

}  // namespace dovex::calc
