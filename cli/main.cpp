// dovex-calc: the entrance surface dose of one exposure (and, for exam parts with organ data, the
// effective dose estimate) from the command line, through the program's one calculation.
#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

#include "calculation/calculation.h"
#include "cli/batch.h"
#include "cli/calcargs.h"
#include "cli/report.h"
#include "effdose/depthdose.h"
#include "engine/error.h"
#include "engine/kinds.h"
#include "engine/platform.h"
#include "engine/presets.h"
#include "engine/tables.h"

namespace fs = std::filesystem;
using namespace dovex;

namespace {

fs::path DefaultDataDir(const std::string& argv0) {
    std::error_code ec;
    fs::path exe = platform::ExecutableFile();
    if (exe.empty()) exe = fs::absolute(platform::PathFromUtf8(argv0), ec);
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

// A decimal number inside a bound of the calculation (the bound's unit is the option's unit).
std::string CheckNumber(const std::string& option, const std::string& text,
                        const calc::Bound* bound) {
    double v = 0;
    try {
        v = cli::ParseStrictNumber(option, text);
    } catch (const cli::UsageError&) {
        return "\"" + text + "\" is not a number";
    }
    if (bound && !calc::Within(*bound, v))
        return "the " + std::string(bound->nameEn) + " " + text + " " + bound->unitEn +
               " is outside the allowed range (" + calc::RangeTextEn(*bound) + ")";
    return {};
}

CLI::Validator Number(const std::string& option, std::optional<calc::Check> check) {
    const calc::Bound* b = check ? &calc::BoundOf(*check) : nullptr;
    std::string desc = b ? "NUMBER (" + calc::RangeTextEn(*b) + ")" : "NUMBER";
    return CLI::Validator([option, b](std::string& s) { return CheckNumber(option, s, b); }, desc,
                          "number");
}

// LONGxSHORT in cm, each side inside the field bound.
CLI::Validator FieldSides() {
    return CLI::Validator(
        [](std::string& s) -> std::string {
            auto x = s.find_first_of("xX");
            if (x == std::string::npos) return "takes LONGxSHORT in cm, for example 43.2x35.6";
            std::string e =
                CheckNumber("field", s.substr(0, x), &calc::BoundOf(calc::Check::FieldLong));
            if (e.empty())
                e = CheckNumber("field", s.substr(x + 1), &calc::BoundOf(calc::Check::FieldShort));
            return e;
        },
        "LONGxSHORT", "field");
}

const CLI::Validator kNotEmpty(
    [](std::string& s) { return s.empty() ? std::string("needs a file name") : std::string(); },
    "FILE", "not empty");

// Flushes standard output; a failed write (a full disk, a closed pipe) is an error.
bool OutputWritten() {
    std::cout.flush();
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout) || !std::cout) {
        const int err = errno;
        std::fprintf(stderr, "dovex-calc: cannot write to standard output%s%s\n", err ? ": " : "",
                     err ? std::strerror(err) : "");
        return false;
    }
    return true;
}

// True when `out` or one of its numbered followers (-2, -3, ...) would be the conditions file.
bool OutputIsInput(const fs::path& conditions, const fs::path& out) {
    std::error_code ec;
    const fs::path in = fs::weakly_canonical(conditions, ec);
    if (ec) return false;
    const auto size = fs::file_size(conditions, ec);
    const long files = ec ? 1 : static_cast<long>(size / 2 / ResultsTable::kCapacity) + 2;
    for (long k = 1; k <= files; ++k) {
        const fs::path p = batch::BatchOutputPath(out, static_cast<int>(k));
        std::error_code e2;
        if (fs::exists(p, e2) && fs::equivalent(p, conditions, e2)) return true;
        if (fs::weakly_canonical(p, e2) == in) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    platform::PrepareStandardStreams();
    // The words of the command line as UTF-8, whatever the system's own code page is.
    const std::vector<std::string> args = platform::Utf8Arguments(argc, argv);
    std::vector<const char*> argp;
    for (const std::string& a : args) argp.push_back(a.c_str());
    CLI::App app{
        "dovex-calc: entrance surface dose (and effective dose estimate) of one diagnostic X-ray "
        "exposure.\n"
        "Lengths in cm, filters in mm. Exit status: 0 done, 1 the calculation was refused or "
        "failed, a data\nfile is missing or malformed or the output could not be written, 2 usage "
        "error.",
        "dovex-calc"};
    using calc::Check;
    cli::CalcRequest req;
    ExposureConditions& c = req.cond;
    double inherentMm = c.inherentFilter * 10, addedAlMm = c.addedAl * 10,
           addedCuMm = c.addedCu * 10;
    double filterMm = 0, exposure = 0, circle = 0;
    int rectification = c.rectification;
    std::string field, preset, phantom = "body", unit = "C/kg", filterFile, examPart;
    std::string dataDir, spectrumFile, batchFile, outFile, comment, readFile;
    bool json = false;

    std::vector<CLI::Option*> conditionOptions;
    auto cond = [&](CLI::Option* o) {
        conditionOptions.push_back(o);
        return o;
    };
    // A condition option with a bound: its name and its range come from the calculation's table.
    auto bounded = [&](calc::Check check, double& value, const char* help) {
        const char* name = calc::BoundOf(check).option;
        return cond(app.add_option(std::string("--") + name, value, help))
            ->check(Number(name, check));
    };
    bounded(Check::TubeVoltage, c.tubeVoltage, "tube voltage in kV (peak), default 75");
    bounded(Check::TubeCurrent, c.tubeCurrent, "tube current in mA, default 200");
    bounded(Check::ExposureTime, c.exposureTime, "exposure time in s, default 0.05");
    bounded(Check::TargetAngle, c.targetAngle, "X-ray tube target angle in degrees, default 12");
    bounded(Check::InherentFilter, inherentMm,
            "inherent filtration in mm Al equivalent, default 2.5");
    bounded(Check::AddedAl, addedAlMm, "added aluminium filtration in mm, default 1.0");
    bounded(Check::AddedCu, addedCuMm, "added copper filtration in mm, default 0");
    auto* optFilterFile = cond(app.add_option(
        "--filter-file", filterFile,
        "material file (*.ele, *.mix) of an arbitrary extra filter; needs --filter-mm"));
    optFilterFile->check(kNotEmpty);
    auto* optFilterMm = bounded(Check::ArbitraryFilterThickness, filterMm,
                                "thickness of the arbitrary filter in mm");
    optFilterFile->needs(optFilterMm);
    optFilterMm->needs(optFilterFile);
    cond(app.add_option("--rectification", rectification,
                        "1 constant potential/inverter (default), 2 three-phase 12-pulse, 3 "
                        "single-phase full-wave"))
        ->check(CLI::IsMember({1, 2, 3}));
    bounded(Check::Ffd, c.ffd, "focus to image receptor distance in cm, default 100");
    bounded(Check::Fsd, c.fsd, "focus to skin distance in cm, default 80");
    bounded(Check::SubjectThickness, c.subjectThickness, "subject thickness in cm, default 20");
    auto* optField = cond(app.add_option(
        "--field", field,
        "field size at the image receptor LONGxSHORT in cm (long = the patient's long axis)"));
    optField->check(FieldSides());
    std::vector<std::string> presetNames;
    for (const auto& p : FieldPresets()) presetNames.push_back(p.name);
    auto* optPreset = cond(
        app.add_option("--field-preset", preset,
                       "field size preset: 六切サイズ 縦|横, 四切サイズ 縦|横, 大四サイズ 縦|横, "
                       "大角サイズ, 半切サイズ 縦 (default)|横, その他, 円形照射野"));
    optPreset->check(CLI::IsMember(presetNames));
    auto* optCircle = cond(app.add_option(
        "--circle", circle, "circular field of this diameter in cm at the image receptor"));
    optCircle->check(Number("circle", Check::FieldLong));
    optField->excludes(optPreset)->excludes(optCircle);
    optPreset->excludes(optCircle);
    cond(app.add_option("--phantom", phantom,
                        "backscatter phantom: body (default, soft tissue) or head (skull 5 mm "
                        "under the skin)"))
        ->check(CLI::IsMember({"body", "head"}));
    auto* optExposure = cond(app.add_option(
        "--exposure", exposure,
        "measured exposure at 1 m from the focus for the whole exposure, in --exposure-unit; a "
        "value of 0 or below uses the default tube output data"));
    optExposure->check(Number("exposure", std::nullopt));
    cond(app.add_option("--exposure-unit", unit, "unit of --exposure: C/kg (default), R or Gy"))
        ->check(CLI::IsMember({"C/kg", "R", "Gy"}));
    auto* optExamPart = cond(app.add_option(
        "--exam-part", examPart,
        "exam part; a part with organ data adds the effective dose estimate (その他 or empty: "
        "none)"));
    auto* optSpectrum =
        app.add_option("--spectrum", spectrumFile,
                       "write the photon fluence spectrum (X_SPCTL.dat format) to this file");
    optSpectrum->check(kNotEmpty);
    conditionOptions.push_back(optSpectrum);
    app.add_option(
        "--data-dir", dataDir,
        "folder of the physical data files (default: data beside the program, else ./data)");
    app.add_flag("--json", json, "print the results as JSON with full precision");

    auto* optBatch =
        app.add_option("--batch", batchFile,
                       "calculate every row of a conditions CSV file (header row of the condition "
                       "option names, e.g. kv,ma,time,ffd,fsd,exam-part) into results CSV files");
    optBatch->check(kNotEmpty);
    auto* optOut = app.add_option(
        "--out", outFile,
        "with --batch: the results file; each further 15 rows go to -2, -3, ... files");
    optOut->check(kNotEmpty);
    app.add_option("--comment", comment, "with --batch: the comment line of the results files")
        ->needs(optBatch);
    optBatch->needs(optOut);
    optOut->needs(optBatch);
    auto* optRead = app.add_option(
        "--read", readFile, "read a results CSV file and print its rows (as JSON with --json)");
    optRead->check(kNotEmpty);
    optRead->excludes(optBatch);
    // The conditions of --batch come from its file; --read calculates nothing.
    for (CLI::Option* o : conditionOptions) {
        o->excludes(optBatch);
        o->excludes(optRead);
    }

    try {
        app.parse(static_cast<int>(argp.size()), argp.data());
    } catch (const CLI::CallForHelp& e) {
        app.exit(e);
        return OutputWritten() ? 0 : 1;
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return 2;
    }

    const auto u8path = platform::PathFromUtf8;
    const fs::path data = dataDir.empty() ? DefaultDataDir(args[0]) : u8path(dataDir);
    if (optRead->count()) {
        const int rc = batch::ReadResultsCommand(u8path(readFile), json, std::cout, std::cerr);
        return OutputWritten() ? rc : 1;
    }
    if (optBatch->count()) {
        if (OutputIsInput(u8path(batchFile), u8path(outFile))) {
            std::fprintf(stderr,
                         "dovex-calc: --out %s would overwrite the conditions file %s; choose "
                         "another results file\n",
                         outFile.c_str(), batchFile.c_str());
            return 2;
        }
        PhysicsTables tables;
        try {
            LoadPhysicsTables(tables, data);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "dovex-calc: data file %s\n", e.what());
            return 1;
        }
        batch::BatchOptions opt{u8path(batchFile), u8path(outFile), comment, tables.airWOverE};
        const int rc = batch::RunBatchCommand(opt, batch::MakeProgramCalculator(tables, data),
                                              std::cout, std::cerr);
        return OutputWritten() ? rc : 1;
    }

    // The typed options into the request, in the units the calculation takes.
    c.inherentFilter = inherentMm * 0.1;
    c.addedAl = addedAlMm * 0.1;
    c.addedCu = addedCuMm * 0.1;
    c.rectification = rectification;
    c.phantom = CodeOf(*PhantomFromWord(phantom));
    try {
        if (optField->count()) cli::ApplyConditionOption(req, "field", field);
        if (optPreset->count()) cli::ApplyConditionOption(req, "field-preset", preset);
        if (optCircle->count()) {
            c.fieldLong = circle;
            c.fieldShort = 0;
            c.fieldShape = CodeOf(FieldShape::Circle);
            c.fieldPreset = kPresetCircle;
        }
        if (optExposure->count()) req.exposureValue = exposure;
        cli::ApplyConditionOption(req, "exposure-unit", unit);
        if (optFilterFile->count()) req.filterFile = filterFile;
        if (optFilterMm->count()) req.filterMm = filterMm;
        if (optExamPart->count()) cli::ApplyConditionOption(req, "exam-part", examPart);
    } catch (const cli::UsageError& e) {
        std::fprintf(stderr, "dovex-calc: %s\nRun with --help for the options.\n", e.what());
        return 2;
    }

    try {
        PhysicsTables tables;
        LoadPhysicsTables(tables, data);
        calc::CalculationRequest request = cli::PrepareCalc(req, tables, data);
        request.spectrumFile = u8path(spectrumFile);
        std::vector<std::string> listed;
        try {
            listed = calc::ReadExamPartList(data / u8path(files::kExamParts));
        } catch (const std::exception&) {
            // Without the list every exam part counts as typed.
        }
        // The reference levels are optional: without them no comparison is made.
        // A data folder without the file simply has none; a damaged file is reported.
        std::optional<DrlTable> drl;
        if (std::filesystem::exists(data / u8path(kDrlFileName))) {
            try {
                drl = ReadDrlTable(data / u8path(kDrlFileName));
            } catch (const DataFileError& e) {
                std::fprintf(stderr, "dovex-calc: no reference-level comparison: %s\n", e.what());
            }
        }
        KernelFiles kernels(data);
        OrganRows rows;
        const calc::CalculationOutcome o =
            calc::Calculate(request, {tables, data, listed, kernels, rows, drl ? &*drl : nullptr});
        if (o.refusal) {
            std::fprintf(stderr, "dovex-calc: %s\n", o.refusal->messageEn.c_str());
            return 1;
        }
        const std::string out = json ? FormatJson(o.result) : FormatPlain(o.result);
        std::fwrite(out.data(), 1, out.size(), stdout);
        if (!OutputWritten()) return 1;
        if (!o.result.estimateNoteEn.empty())
            std::fprintf(stderr, "dovex-calc: %s\n", o.result.estimateNoteEn.c_str());
        return o.result.estimate == calc::EstimateStatus::StoppedByRow ? 1 : 0;
    } catch (const cli::UsageError& e) {
        std::fprintf(stderr, "dovex-calc: %s\n", e.what());
        return 2;
    } catch (const DataFileError& e) {
        std::fprintf(stderr, "dovex-calc: data file %s\n", e.what());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "dovex-calc: %s\n", e.what());
        return 1;
    }
}
