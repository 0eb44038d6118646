#include "cli/calcargs.h"

#include <cmath>
#include <cstdlib>
#include <optional>
#include <regex>

#include "effdose/estimate.h"
#include "engine/error.h"
#include "engine/kinds.h"
#include "engine/material.h"
#include "engine/textio.h"

namespace dovex::cli {
namespace fs = std::filesystem;

const std::vector<std::string>& ConditionOptionNames() {
    static const std::vector<std::string> names = {
        "kv",       "ma",       "time",        "target-angle",  "inherent-al",
        "added-al", "added-cu", "filter-file", "filter-mm",     "rectification",
        "ffd",      "fsd",      "thickness",   "field",         "field-preset",
        "circle",   "phantom",  "exposure",    "exposure-unit", "exam-part"};
    return names;
}

double ParseStrictNumber(std::string_view name, std::string_view text) {
    std::string s(text);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    s.erase(0, i);
    static const std::regex kDecimal(R"([+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?)");
    if (!std::regex_match(s, kDecimal))
        throw UsageError("--" + std::string(name) + ": \"" + std::string(text) +
                         "\" is not a number");
    return std::strtod(s.c_str(), nullptr);
}

void ApplyConditionOption(CalcRequest& req, std::string_view name, std::string_view value) {
    ExposureConditions& c = req.cond;
    auto num = [&] { return ParseStrictNumber(name, value); };
    if (name == "kv") {
        c.tubeVoltage = num();
    } else if (name == "ma") {
        c.tubeCurrent = num();
    } else if (name == "time") {
        c.exposureTime = num();
    } else if (name == "target-angle") {
        c.targetAngle = num();
    } else if (name == "inherent-al") {
        c.inherentFilter = num() * 0.1;
    } else if (name == "added-al") {
        c.addedAl = num() * 0.1;
    } else if (name == "added-cu") {
        c.addedCu = num() * 0.1;
    } else if (name == "filter-file") {
        req.filterFile = std::string(value);
    } else if (name == "filter-mm") {
        req.filterMm = num();
    } else if (name == "rectification") {
        const double r = num();
        const auto kind = r == std::floor(r) && std::abs(r) < 10
                              ? RectificationOf(static_cast<int>(r))
                              : std::nullopt;
        if (!kind) throw UsageError("--rectification takes 1, 2 or 3");
        c.rectification = CodeOf(*kind);
    } else if (name == "ffd") {
        c.ffd = num();
    } else if (name == "fsd") {
        c.fsd = num();
    } else if (name == "thickness") {
        c.subjectThickness = num();
    } else if (name == "field") {
        std::string s(value);
        auto x = s.find_first_of("xX");
        if (x == std::string::npos)
            throw UsageError("--field takes LONGxSHORT in cm, for example 43.2x35.6");
        c.fieldLong = ParseStrictNumber(name, s.substr(0, x));
        c.fieldShort = ParseStrictNumber(name, s.substr(x + 1));
        c.fieldShape = 1;
        c.fieldPreset = kPresetOther;
    } else if (name == "field-preset") {
        auto p = FindFieldPreset(value);
        if (!p) {
            std::string names;
            for (const auto& q : FieldPresets())
                names += std::string(names.empty() ? "" : ", ") + q.name;
            throw UsageError("--field-preset: unknown preset \"" + std::string(value) +
                             "\" (one of: " + names + ")");
        }
        c.fieldPreset = p->name;
        c.fieldShape = p->shape;
        c.fieldLong = std::atof(p->longText);  // "その他" leaves both sizes empty, read as 0
        c.fieldShort = std::atof(p->shortText);
    } else if (name == "circle") {
        c.fieldLong = num();
        c.fieldShort = 0;
        c.fieldShape = 2;
        c.fieldPreset = kPresetCircle;
    } else if (name == "phantom") {
        auto p = PhantomFromWord(value);
        if (!p) throw UsageError("--phantom takes body or head");
        c.phantom = CodeOf(*p);
    } else if (name == "exposure") {
        req.exposureValue = num();
    } else if (name == "exposure-unit") {
        if (value == "C/kg")
            req.exposureUnit = ExposureUnit::CoulombPerKg;
        else if (value == "R")
            req.exposureUnit = ExposureUnit::Roentgen;
        else if (value == "Gy")
            req.exposureUnit = ExposureUnit::Gray;
        else
            throw UsageError("--exposure-unit takes C/kg, R or Gy");
    } else if (name == "exam-part") {
        c.examPart = std::string(value);
        req.examPartGiven = true;
    } else {
        throw UsageError("unknown condition \"" + std::string(name) + "\"");
    }
}

namespace {

// The folder as a canonical path without a trailing separator.
fs::path CanonicalFolder(const fs::path& dir) {
    std::error_code ec;
    fs::path c = fs::weakly_canonical(fs::absolute(dir, ec), ec);
    if (ec) return {};
    if (c.has_relative_path() && c.filename().empty()) c = c.parent_path();
    return c;
}

// Whether `p` (canonical) lies inside `root` (canonical): every component of root begins p.
bool LiesInside(const fs::path& p, const fs::path& root) {
    if (root.empty()) return false;
    auto pi = p.begin();
    for (auto ri = root.begin(); ri != root.end(); ++ri, ++pi) {
        if (ri->empty()) continue;  // a trailing separator
        if (pi == p.end() || *pi != *ri) return false;
    }
    return pi != p.end();
}

}  // namespace

fs::path ResolveMaterialFile(const std::string& name, const fs::path& dataDir,
                             const fs::path& materialDir) {
    std::vector<fs::path> roots;
    if (!materialDir.empty()) roots.push_back(CanonicalFolder(materialDir));
    roots.push_back(CanonicalFolder(dataDir));
    const fs::path given = name;
    std::vector<fs::path> candidates;
    if (given.is_absolute()) {
        candidates.push_back(given);
    } else {
        if (!materialDir.empty()) candidates.push_back(materialDir / given);
        candidates.push_back(dataDir / given);
    }
    std::optional<fs::path> firstInside;
    for (const fs::path& c : candidates) {
        std::error_code ec;
        const fs::path canon = fs::weakly_canonical(fs::absolute(c, ec), ec);
        if (ec) continue;
        bool inside = false;
        for (const fs::path& r : roots) inside = inside || LiesInside(canon, r);
        if (!inside) continue;
        if (fs::exists(canon, ec)) return canon;
        if (!firstInside) firstInside = canon;
    }
    // Inside but missing: the reader reports the missing file by its name.
    if (firstInside) return *firstInside;
    std::string rule = "--filter-file \"" + name +
                       "\" leads outside the folders material files are read from: the data "
                       "folder " +
                       roots.back().string();
    if (!materialDir.empty()) rule += " and the --material-dir folder " + roots.front().string();
    throw UsageError(rule +
                     " (a name is looked up inside them; \"..\" or a symbolic link may not "
                     "lead out; name another folder with --material-dir)");
}

calc::CalculationRequest PrepareCalc(const CalcRequest& req, const PhysicsTables& tables,
                                     const fs::path& dataDir, const fs::path& materialDir) {
    calc::CalculationRequest p;
    p.conditions = req.cond;
    if (!req.examPartGiven) p.conditions.examPart = kNoEstimateExamPart;
    if (req.exposureValue) {
        // As the measured exposure dialog: a value above 0 is used, anything else falls back to
        // the default output data.
        double v = MeasuredExposureToCkg(*req.exposureValue, req.exposureUnit, tables.airWOverE);
        if (*req.exposureValue > 0) {
            p.conditions.exposureSource = CodeOf(ExposureSource::Measured);
            p.conditions.exposureAt1m = v;
        } else {
            p.conditions.exposureSource = CodeOf(ExposureSource::DefaultOutput);
        }
    }
    if (!req.filterFile.empty() || req.filterMm) {
        if (req.filterFile.empty() || !req.filterMm)
            throw UsageError("--filter-file and --filter-mm go together");
        const fs::path file = ResolveMaterialFile(req.filterFile, dataDir, materialDir);
        const std::string shown = fs::path(req.filterFile).filename().string();
        std::error_code ec;
        // A pipe or a device would block the reading or never end it.
        if (fs::exists(file, ec) && !fs::is_regular_file(file, ec))
            throw DataFileError(shown, "not a regular file");
        // The resolved path is read, so that the place checked is the place read.
        MaterialTable m = ParseMaterialData(ReadFileBytes(file, shown, 1u << 20), shown);
        p.filter.mu = BuildArbitraryFilterMu(m);
        p.filter.on = 1;
        p.conditions.arbitraryFilterName = m.name;
        p.conditions.arbitraryFilterThickness = *req.filterMm * 0.1;
    }
    return p;
}

}  // namespace dovex::cli
