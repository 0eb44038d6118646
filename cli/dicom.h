// SPDX-License-Identifier: MIT
#pragma once
// dovex-calc --dicom: dose records (DICOM dose reports, DX/CR image headers) read, mapped to the
// program's conditions and calculated, as JSON, results files and a survey per unit and exam part.
#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace dovex::cli {

struct DicomOptions {
    std::vector<std::string> paths;
    bool json = false;
    std::string out;     // results CSV files (15 rows a file)
    std::string survey;  // survey CSV file
    std::string profiles, protocolMap;
    std::string doseSource = "model";
    bool noEstimate = false;
    std::filesystem::path dataDir;
};

// Adds --dicom and its own options; returns the --dicom option.
CLI::Option* AddDicomOptions(CLI::App& app, DicomOptions& o);

// Runs the record path. Writes the JSON (with --json) on `out`, skipped files, refused events
// and the closing summary on `err`. Exit status 0 when every radiograph was computed, 1 when a
// file could not be read, an event was refused or an output could not be written.
int RunDicomCommand(const DicomOptions& o, std::ostream& out, std::ostream& err);

}  // namespace dovex::cli
