// SPDX-License-Identifier: MIT
#pragma once
// The conditions of one exposure as a command line (or a row of a conditions file) gives them:
// option names without dashes and their texts, lengths in cm and filters in mm as a user types
// them. Shared by the single calculation and the batch mode of dovex-calc.
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "calculation/calculation.h"
#include "engine/conditions.h"
#include "engine/dose.h"
#include "engine/presets.h"
#include "engine/tables.h"

namespace dovex::cli {

// A wrong option or value: the command line is at fault (exit status 2).
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct CalcRequest {
    ExposureConditions cond;  // start-up defaults
    std::string filterFile;   // arbitrary filter material file
    std::optional<double> filterMm;
    std::optional<double> exposureValue;  // measured exposure at 1 m
    ExposureUnit exposureUnit = ExposureUnit::CoulombPerKg;
    bool examPartGiven = false;
    bool phantomGiven = false;  // else the phantom of the exam part (DefaultPhantomOf)
};

// Names of the condition options, in the order --help lists them.
const std::vector<std::string>& ConditionOptionNames();
// Applies one condition option (name without dashes). Throws UsageError for an unknown name or
// a value that is not what the option takes.
void ApplyConditionOption(CalcRequest& req, std::string_view name, std::string_view value);

// Where a material file named by --filter-file (or a conditions row's filter-file cell) may be
// read from: the data folder and, when the user names one with --material-dir, that folder. A
// relative name is looked up in the material folder first, then in the data folder; an absolute
// name is taken as it stands. The name must lead, after "..", "." and every symbolic link are
// resolved, to a place inside one of these folders; anything else is refused with a UsageError
// before the file is opened. Returns the resolved path (symbolic links followed), which is the
// one to read.
std::filesystem::path ResolveMaterialFile(const std::string& name,
                                          const std::filesystem::path& dataDir,
                                          const std::filesystem::path& materialDir = {});

// Resolves the request against the loaded tables into the calculation's request: the measured
// exposure in C/kg (a value of 0 or below falls back to the default output data, as the
// measured-exposure dialog does), the arbitrary filter read from its material file (found by
// ResolveMaterialFile; anything but a regular file is refused). Throws DataFileError for a bad
// material file, UsageError for an inconsistent request or a material file outside the allowed
// folders. Without an exam part no estimate is asked for.
calc::CalculationRequest PrepareCalc(const CalcRequest& req, const PhysicsTables& tables,
                                     const std::filesystem::path& dataDir,
                                     const std::filesystem::path& materialDir = {});

// A strictly read number: the whole text must be one decimal number (no hexadecimal, no
// infinity); a number too small for a double reads as 0 or its nearest subnormal, a number too
// large for it as infinity, which every bound refuses.
double ParseStrictNumber(std::string_view name, std::string_view text);

}  // namespace dovex::cli
