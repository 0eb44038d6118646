#pragma once
// One calculation of dovex-calc as the program's calculation run makes it, and its output as
// plain text (the main window's captions and formats) or JSON (full precision).
#include <CLI/CLI.hpp>
#include <filesystem>
#include <string>

#include "cli/calcargs.h"
#include "engine/dose.h"

namespace dovex {

struct CalcOutcome {
    cli::CalcRequest request;
    ExposureConditions
        cond;  // after the run: exposure at 1 m set, thickness capped for an estimate
    EngineOutput engine;
    bool estimated = false;        // an effective dose estimate was made
    std::string failedMessage;     // the estimate stopped at a row's message
    std::string estimatePlain;     // organ table as text
    std::string estimateJsonText;  // organs and depth dose as JSON members
};

CalcOutcome RunCalculation(const cli::PreparedCalc& prep, const PhysicsTables& tables,
                           const std::filesystem::path& dataDir, bool examPartGiven);
std::string FormatPlain(const CalcOutcome& o);
std::string FormatJson(const CalcOutcome& o);

// Further modes of dovex-calc (batch calculation, reading a results file).
void AddExtraModes(CLI::App& app);
// Runs a further mode when one was asked for and returns its exit status, else -1.
int RunExtraModes(const std::filesystem::path& dataDir, bool json);

}  // namespace dovex
