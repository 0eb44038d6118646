// SPDX-License-Identifier: MIT
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
#include "calculation/conditionfields.h"
#include "cli/batch.h"
#include "cli/calcargs.h"
#if DOVEX_WITH_DICOM
#include "cli/dicom.h"
#endif
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

// The data of the calculation; a faulty reference-level file is reported (the doses do not
// depend on it), a data folder without one simply has no comparison.
calc::CalculationData LoadCalculationData(const fs::path& dir) {
    calc::CalculationData d = calc::LoadData(dir);
    if (d.drlState == calc::DrlFileState::Faulty)
        std::fprintf(stderr, "dovex-calc: no reference-level comparison: %s\n",
                     d.drlProblem.c_str());
    return d;
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

// A condition option as the table of conditions describes it, with the check of what it takes.
CLI::Option* DeclareCondition(CLI::App& app, const calc::ConditionField& f, std::string& text) {
    static const std::vector<std::string> presetNames = [] {
        std::vector<std::string> v;
        for (const auto& p : FieldPresets()) v.push_back(p.name);
        return v;
    }();
    std::string help = f.help;
    if (f.kind == calc::OptionKind::Number) help += std::string(", default ") + f.startText;
    CLI::Option* o = app.add_option(std::string("--") + f.option, text, help);
    using K = calc::OptionKind;
    const bool number = f.kind == K::Number || f.kind == K::FilterMm || f.kind == K::Circle ||
                        f.kind == K::Exposure;
    o->type_name(number ? "FLOAT" : f.kind == K::Rectification ? "INT" : "TEXT");
    switch (f.kind) {
        case calc::OptionKind::Number:
        case calc::OptionKind::FilterMm:
            o->check(Number(f.option, f.check));
            break;
        case calc::OptionKind::FieldSides:
            o->check(FieldSides());
            break;
        case calc::OptionKind::FieldPreset:
            o->check(CLI::IsMember(presetNames));
            break;
        case calc::OptionKind::Circle:
            o->check(Number(f.option, calc::Check::FieldLong));
            break;
        case calc::OptionKind::Rectification:
            o->check(CLI::IsMember({"1", "2", "3"}));
            break;
        case calc::OptionKind::Phantom:
            o->check(CLI::IsMember({"body", "head"}));
            break;
        case calc::OptionKind::Exposure:
            o->check(Number(f.option, std::nullopt));
            break;
        case calc::OptionKind::ExposureUnit:
            o->check(CLI::IsMember({"C/kg", "R", "Gy"}));
            break;
        case calc::OptionKind::FilterFile:
            o->check(kNotEmpty);
            break;
        case calc::OptionKind::ExamPart:
            break;
    }
    return o;
}

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
        "error.\nWith --batch: 0 only when every row was written with every effective dose "
        "estimate its exam part\nasked for; 1 when a row was skipped, an estimate was not made "
        "(the closing line counts both) or\nnothing could be written.",
        "dovex-calc"};
    app.footer(
        "Manual (Japanese; methods, limits, validation): /usr/share/doc/dovex/manual/index.md");
    cli::CalcRequest req;
    std::string dataDir, materialDir, spectrumFile, batchFile, outFile, comment, readFile;
    bool json = false;

    // The condition options, each as the table of conditions describes it; their texts are read
    // after the parse by the one reader of options that the batch's rows use too.
    const auto& fields = calc::ConditionFields();
    std::vector<std::string> texts(fields.size());
    std::vector<CLI::Option*> conditionOptions;
    std::vector<std::pair<std::size_t, CLI::Option*>> declared;  // index in fields
    for (std::size_t k = 0; k < fields.size(); ++k) {
        const calc::ConditionField& f = fields[k];
        if (!f.option) continue;
        CLI::Option* o = DeclareCondition(app, f, texts[k]);
        conditionOptions.push_back(o);
        declared.emplace_back(k, o);
    }
    auto option = [&](const char* name) { return app.get_option(std::string("--") + name); };
    option("filter-file")->needs(option("filter-mm"));
    option("filter-mm")->needs(option("filter-file"));
    option("field")->excludes(option("field-preset"))->excludes(option("circle"));
    option("field-preset")->excludes(option("circle"));
    auto* optSpectrum =
        app.add_option("--spectrum", spectrumFile,
                       "write the photon fluence spectrum (X_SPCTL.dat format) to this file");
    optSpectrum->check(kNotEmpty);
    conditionOptions.push_back(optSpectrum);
    app.add_option(
        "--data-dir", dataDir,
        "folder of the physical data files (default: data beside the program, else ./data)");
    app.add_option("--material-dir", materialDir,
                   "a further folder --filter-file (and a conditions row's filter-file) may read "
                   "material files from; without it only the data folder. A relative name is "
                   "looked up here first, then in the data folder; a name leading outside both "
                   "(an absolute path elsewhere, \"..\", a symbolic link out) is refused")
        ->check(CLI::ExistingDirectory);
    app.add_flag("--json", json, "print the results as JSON with full precision");

    auto* optBatch =
        app.add_option("--batch", batchFile,
                       "calculate every row of a conditions CSV file (header row of the condition "
                       "option names, e.g. kv,ma,time,ffd,fsd,exam-part) into results CSV files");
    optBatch->check(kNotEmpty);
    auto* optOut = app.add_option(
        "--out", outFile,
        "with --batch or --dicom: the results file; each further 15 rows go to -2, -3, ... files");
    optOut->check(kNotEmpty);
    app.add_option("--comment", comment, "with --batch: the comment line of the results files")
        ->needs(optBatch);
    optBatch->needs(optOut);
    auto* optRead = app.add_option(
        "--read", readFile, "read a results CSV file and print its rows (as JSON with --json)");
    optRead->check(kNotEmpty);
    optRead->excludes(optBatch);
#if DOVEX_WITH_DICOM
    cli::DicomOptions dicom;
    CLI::Option* optDicom = cli::AddDicomOptions(app, dicom);
    optDicom->excludes(optBatch)->excludes(optRead);
#else
    CLI::Option* optDicom = nullptr;  // the dose records need DCMTK, which this build lacks
#endif
    // The conditions of --batch come from its file, those of --dicom from the records; --read
    // calculates nothing.
    for (CLI::Option* o : conditionOptions) {
        o->excludes(optBatch);
        o->excludes(optRead);
        if (optDicom) o->excludes(optDicom);
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

    const bool dicomAsked = optDicom && optDicom->count();
    if (optOut->count() && !optBatch->count() && !dicomAsked) {
        std::fprintf(
            stderr,
            "dovex-calc: --out needs --batch or --dicom\nRun with --help for the options.\n");
        return 2;
    }
    const auto u8path = platform::PathFromUtf8;
    const fs::path data = dataDir.empty() ? DefaultDataDir(args[0]) : u8path(dataDir);
#if DOVEX_WITH_DICOM
    if (dicomAsked) {
        dicom.json = json;
        dicom.out = outFile;
        dicom.dataDir = data;
        const int rc = cli::RunDicomCommand(dicom, std::cout, std::cerr);
        return OutputWritten() ? rc : 1;
    }
#endif
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
        std::optional<calc::CalculationData> loaded;
        try {
            loaded = LoadCalculationData(data);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "dovex-calc: data file %s\n", e.what());
            return 1;
        }
        batch::BatchOptions opt{u8path(batchFile), u8path(outFile), comment,
                                loaded->tables.airWOverE};
        const int rc = batch::RunBatchCommand(
            opt, batch::MakeProgramCalculator(*loaded, materialDir), std::cout, std::cerr);
        return OutputWritten() ? rc : 1;
    }

    // The given condition options into the request, in the units the calculation takes.
    try {
        for (const auto& [k, o] : declared)
            if (o->count()) cli::ApplyConditionOption(req, fields[k].option, texts[k]);
    } catch (const cli::UsageError& e) {
        std::fprintf(stderr, "dovex-calc: %s\nRun with --help for the options.\n", e.what());
        return 2;
    }

    try {
        const calc::CalculationData loaded = LoadCalculationData(data);
        calc::CalculationRequest request = cli::PrepareCalc(req, loaded.tables, data, materialDir);
        request.spectrumFile = u8path(spectrumFile);
        KernelFiles kernels(data);
        OrganRows rows;
        const calc::CalculationOutcome o =
            calc::Calculate(request, calc::ContextOf(loaded, kernels, rows));
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
