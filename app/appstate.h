// SPDX-License-Identifier: MIT
#pragma once
// The program-wide single instances of one run: the physical data tables, the current
// conditions, arbitrary filter, spectrum and results, the entrance surface, the results table,
// the tissue rows of the effective dose estimate and the user's display name. The windows bind
// to this state; nothing else holds a copy.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/estimate.h"
#include "engine/beamquality.h"
#include "engine/conditions.h"
#include "engine/dose.h"
#include "engine/drl.h"
#include "engine/spectrum.h"
#include "engine/tables.h"
#include "results/model.h"

namespace dovex::app {

// The calculation whose results the main window shows. Its conditions are the calculation's own:
// the entry fields may have changed since. Once a condition is changed after it (or a check
// refuses the conditions now entered, or a stored row replaces the current values) the shown
// results are stale: they belong to the previous conditions and can be neither added to the
// table nor reported until the next calculation.
struct ShownCalculation {
    bool present = false;
    bool stale = false;
    ExposureConditions conditions;
    bool fluoroscopy = false;  // a fluoroscopy dose: not compared with the radiography levels
};

struct AppState {
    explicit AppState(std::filesystem::path dir);

    std::filesystem::path dataDir;
    PhysicsTables tables;
    ExposureConditions conditions;
    ArbitraryFilter filter;
    XraySpectrum spectrum;
    DoseResult dose;
    BeamQuality quality;  // of the last calculation (also in dose.hvl1 ... qualityIndex)
    DrlComparison drl;    // of the last calculation
    CurrentSurface surface;
    ShownCalculation shown;  // what the result fields, the report and the charts belong to
    // The tube current is the fluoroscopy dialog's average current (until the field is edited).
    bool fluoroscopyCurrent = false;
    ResultsTable table;
    Estimator estimator;
    std::vector<std::string> examParts;  // the lines of the exam-part list file
    std::string userName;                // empty in the unnamed state
    bool named = false;                  // a name was read, accepted or the guest name chosen
    DrlTable drlTable;                   // the national reference levels
    std::string drlProblem;              // why the reference-level file could not be read

    std::filesystem::path primaryFile() const { return dataDir / files::kPrimary; }
};

// The start-up loading: the data of the calculation as every driver loads them (calc::LoadData:
// the physical data tables, the exam-part list and the reference levels, a missing or faulty
// reference-level file only leaving drlProblem set) and the display name (line 32 of
// "Primary.dat"). Throws DataFileError naming a missing or faulty data file; the state must
// then not be used.
void LoadStartupData(AppState& s);

// The lines of the exam-part list file "撮影部位.txt" (UTF-8), an empty line giving an empty
// entry. Throws DataFileError when the file is missing or not valid cp932.
std::vector<std::string> ReadExamParts(const std::filesystem::path& file);

}  // namespace dovex::app
