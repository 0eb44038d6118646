// dovex-calc: the entrance surface dose of one exposure (and, for exam parts with organ data, the
// effective dose estimate) from the command line, on the same engine as the desktop program.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/calcargs.h"
#include "cli/report.h"
#include "engine/dose.h"
#include "engine/error.h"
#include "engine/spectrum.h"
#include "engine/tables.h"
#include "engine/textio.h"

namespace fs = std::filesystem;
using namespace dovex;

namespace {

struct OptionHelp {
    const char* name;
    const char* help;
};

const OptionHelp kConditionHelp[] = {
    {"kv", "tube voltage in kV (peak), default 75"},
    {"ma", "tube current in mA, default 200"},
    {"time", "exposure time in s, default 0.05"},
    {"target-angle", "X-ray tube target angle in degrees, default 12"},
    {"inherent-al", "inherent filtration in mm Al equivalent, default 2.5"},
    {"added-al", "added aluminium filtration in mm, default 1.0"},
    {"added-cu", "added copper filtration in mm, default 0"},
    {"filter-file", "material file (*.ele, *.mix) of an arbitrary extra filter; needs --filter-mm"},
    {"filter-mm", "thickness of the arbitrary filter in mm (above 0)"},
    {"rectification",
     "1 constant potential/inverter (default), 2 three-phase 12-pulse, 3 single-phase full-wave"},
    {"ffd", "focus to image receptor distance in cm, default 100"},
    {"fsd", "focus to skin distance in cm, default 80"},
    {"thickness", "subject thickness in cm, default 20"},
    {"field", "field size at the image receptor LONGxSHORT in cm (long = the patient's long axis)"},
    {"field-preset",
     "field size preset: 六切サイズ 縦|横, 四切サイズ 縦|横, 大四サイズ 縦|横, 大角サイズ, "
     "半切サイズ 縦 (default)|横, その他, 円形照射野"},
    {"circle", "circular field of this diameter in cm at the image receptor"},
    {"phantom",
     "backscatter phantom: body (default, soft tissue) or head (skull 5 mm under the skin)"},
    {"exposure",
     "measured exposure at 1 m from the focus for the whole exposure, in --exposure-unit; "
     "a value of 0 or below uses the default tube output data"},
    {"exposure-unit", "unit of --exposure: C/kg (default), R or Gy (air kerma)"},
    {"exam-part",
     "exam part; a part with organ data adds the effective dose estimate (その他 or empty: none)"},
};

fs::path DefaultDataDir(const char* argv0) {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) exe = fs::absolute(argv0, ec);
    fs::path beside = exe.parent_path() / "data";
    if (fs::is_directory(beside, ec)) return beside;
    fs::path installed = exe.parent_path().parent_path() / "share" / "dovex";  // bin/../share/dovex
    if (fs::is_regular_file(installed / "Primary.dat", ec)) return installed;
    if (fs::is_directory("data", ec)) return "data";
#ifdef DOVEX_SOURCE_DATA_DIR
    return DOVEX_SOURCE_DATA_DIR;
#else
    return "data";
#endif
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "dovex-calc: entrance surface dose (and effective dose estimate) of one diagnostic X-ray "
        "exposure.\n"
        "Lengths in cm, filters in mm. Exit status: 0 done, 1 the calculation failed or a data "
        "file is\n"
        "missing or malformed, 2 usage error.",
        "dovex-calc"};
    std::string dataDir, spectrumFile;
    bool json = false;
    std::map<std::string, std::string> given;
    for (const auto& o : kConditionHelp) {
        std::string name = o.name;
        app.add_option_function<std::string>(
            "--" + name, [&given, name](const std::string& v) { given[name] = v; }, o.help);
    }
    app.add_option(
        "--data-dir", dataDir,
        "folder of the physical data files (default: data beside the program, else ./data)");
    app.add_option("--spectrum", spectrumFile,
                   "write the photon fluence spectrum (X_SPCTL.dat format) to this file");
    app.add_flag("--json", json, "print the results as JSON with full precision");
    AddExtraModes(app);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return 2;
    }

    fs::path data = dataDir.empty() ? DefaultDataDir(argv[0]) : fs::path(dataDir);
    if (int rc = RunExtraModes(data, json); rc >= 0) return rc;

    cli::CalcRequest req;
    try {
        int fieldOptions = int(given.count("field")) + int(given.count("field-preset")) +
                           int(given.count("circle"));
        if (fieldOptions > 1)
            throw cli::UsageError("give only one of --field, --field-preset and --circle");
        for (const auto& name : cli::ConditionOptionNames()) {
            auto it = given.find(name);
            if (it != given.end()) cli::ApplyConditionOption(req, name, it->second);
        }
        if (req.filterFile.empty() != !req.filterMm)
            throw cli::UsageError("--filter-file and --filter-mm go together");
    } catch (const cli::UsageError& e) {
        std::fprintf(stderr, "dovex-calc: %s\nRun with --help for the options.\n", e.what());
        return 2;
    }

    try {
        PhysicsTables tables;
        LoadPhysicsTables(tables, data);
        cli::PreparedCalc prep = cli::PrepareCalc(req, tables, data);
        CalcOutcome outcome = RunCalculation(prep, tables, data, req.examPartGiven);
        if (!spectrumFile.empty()) {
            try {
                WriteFileAtomic(spectrumFile, SpectrumFileText(outcome.engine.spectrum));
            } catch (const std::exception& e) {
                throw CalcError(std::string("cannot write the spectrum file: ") + e.what());
            }
        }
        std::string out = json ? FormatJson(outcome) : FormatPlain(outcome);
        std::fwrite(out.data(), 1, out.size(), stdout);
        return outcome.failedMessage.empty() ? 0 : 1;
    } catch (const cli::UsageError& e) {
        std::fprintf(stderr, "dovex-calc: %s\n", e.what());
        return 2;
    } catch (const DataFileError& e) {
        std::fprintf(stderr, "dovex-calc: data file %s\n", e.what());
        return 1;
    } catch (const CalcError& e) {
        std::fprintf(stderr, "dovex-calc: the calculation failed: %s\n", e.what());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "dovex-calc: %s\n", e.what());
        return 1;
    }
}
