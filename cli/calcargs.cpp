#include "cli/calcargs.h"

#include <cmath>
#include <cstdlib>
#include <regex>

#include "effdose/estimate.h"
#include "engine/error.h"
#include "engine/kinds.h"
#include "engine/material.h"
#include "engine/platform.h"

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

calc::CalculationRequest PrepareCalc(const CalcRequest& req, const PhysicsTables& tables,
                                     const fs::path& dataDir) {
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
        fs::path file = platform::PathFromUtf8(req.filterFile);
        std::error_code ec;
        if (!fs::exists(file, ec) && file.is_relative() && fs::exists(dataDir / file, ec))
            file = dataDir / file;
        // A pipe or a device would block the reading or never end it.
        if (fs::exists(file, ec) && !fs::is_regular_file(file, ec))
            throw DataFileError(file.string(), "not a regular file");
        MaterialTable m = ReadMaterialFile(file);
        p.filter.mu = BuildArbitraryFilterMu(m);
        p.filter.on = 1;
        p.conditions.arbitraryFilterName = m.name;
        p.conditions.arbitraryFilterThickness = *req.filterMm * 0.1;
    }
    return p;
}

}  // namespace dovex::cli
