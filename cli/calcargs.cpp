#include "cli/calcargs.h"

#include <cmath>
#include <cstdlib>

#include "calculation/conditionfields.h"
#include "effdose/estimate.h"
#include "engine/error.h"
#include "engine/kinds.h"
#include "engine/material.h"
#include "engine/numtext.h"

namespace dovex::cli {
namespace fs = std::filesystem;

const std::vector<std::string>& ConditionOptionNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> v;
        for (const calc::ConditionField& f : calc::ConditionFields())
            if (f.option) v.push_back(f.option);
        return v;
    }();
    return names;
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// [+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?, read by hand: a pattern of the standard
// library's regular expressions costs more to build than the whole reading of a command line.
bool IsDecimalNumber(std::string_view s) {
    std::size_t i = 0, digits = 0;
    const std::size_t n = s.size();
    if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
    for (; i < n && IsDigit(s[i]); ++i) ++digits;
    if (i < n && s[i] == '.')
        for (++i; i < n && IsDigit(s[i]); ++i) ++digits;
    if (digits == 0) return false;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
        std::size_t exponent = 0;
        for (; i < n && IsDigit(s[i]); ++i) ++exponent;
        if (exponent == 0) return false;
    }
    return i == n;
}

}  // namespace

double ParseStrictNumber(std::string_view name, std::string_view text) {
    std::string s(text);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    s.erase(0, i);
    if (!IsDecimalNumber(s))
        throw UsageError("--" + std::string(name) + ": \"" + std::string(text) +
                         "\" is not a number");
    return std::strtod(s.c_str(), nullptr);
}

void ApplyConditionOption(CalcRequest& req, std::string_view name, std::string_view value) {
    const calc::ConditionField* f = calc::FindConditionField(name);
    if (!f) throw UsageError("unknown condition \"" + std::string(name) + "\"");
    ExposureConditions& c = req.cond;
    auto num = [&] { return ParseStrictNumber(name, value); };
    switch (f->kind) {
        case calc::OptionKind::Number:
            c.*(f->member) = calc::HeldValue(*f, num());
            return;
        case calc::OptionKind::FilterMm:
            req.filterMm = num();
            return;
        case calc::OptionKind::FilterFile:
            req.filterFile = std::string(value);
            return;
        case calc::OptionKind::Rectification: {
            const double r = num();
            const auto kind = r == std::floor(r) && std::abs(r) < 10
                                  ? RectificationOf(static_cast<int>(r))
                                  : std::nullopt;
            if (!kind) throw UsageError("--rectification takes 1, 2 or 3");
            c.rectification = *kind;
            return;
        }
        case calc::OptionKind::FieldSides: {
            std::string s(value);
            auto x = s.find_first_of("xX");
            if (x == std::string::npos)
                throw UsageError("--field takes LONGxSHORT in cm, for example 43.2x35.6");
            c.fieldLong = ParseStrictNumber(name, s.substr(0, x));
            c.fieldShort = ParseStrictNumber(name, s.substr(x + 1));
            c.fieldShape = FieldShape::Rectangle;
            c.fieldPreset = kPresetOther;
            return;
        }
        case calc::OptionKind::FieldPreset: {
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
            c.fieldLong = ParseLenient(p->longText);  // "その他" leaves both sizes empty: 0
            c.fieldShort = ParseLenient(p->shortText);
            return;
        }
        case calc::OptionKind::Circle:
            c.fieldLong = num();
            c.fieldShort = 0;
            c.fieldShape = FieldShape::Circle;
            c.fieldPreset = kPresetCircle;
            return;
        case calc::OptionKind::Phantom: {
            auto p = PhantomFromWord(value);
            if (!p) throw UsageError("--phantom takes body or head");
            c.phantom = *p;
            return;
        }
        case calc::OptionKind::Exposure:
            req.exposureValue = num();
            return;
        case calc::OptionKind::ExposureUnit:
            if (value == "C/kg")
                req.exposureUnit = ExposureUnit::CoulombPerKg;
            else if (value == "R")
                req.exposureUnit = ExposureUnit::Roentgen;
            else if (value == "Gy")
                req.exposureUnit = ExposureUnit::Gray;
            else
                throw UsageError("--exposure-unit takes C/kg, R or Gy");
            return;
        case calc::OptionKind::ExamPart:
            c.examPart = std::string(value);
            req.examPartGiven = true;
            return;
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
            p.conditions.exposureSource = ExposureSource::Measured;
            p.conditions.exposureAt1m = v;
        } else {
            p.conditions.exposureSource = ExposureSource::DefaultOutput;
        }
    }
    if (!req.filterFile.empty() || req.filterMm) {
        if (req.filterFile.empty() || !req.filterMm)
            throw UsageError("--filter-file and --filter-mm go together");
        fs::path file = req.filterFile;
        std::error_code ec;
        if (!fs::exists(file, ec) && file.is_relative() && fs::exists(dataDir / file, ec))
            file = dataDir / file;
        // A pipe or a device would block the reading or never end it.
        if (fs::exists(file, ec) && !fs::is_regular_file(file, ec))
            throw DataFileError(file.string(), "not a regular file");
        MaterialTable m = ReadMaterialFile(file);
        p.filter.mu = BuildArbitraryFilterMu(m);
        p.filter.on = true;
        p.conditions.arbitraryFilterName = m.name;
        p.conditions.arbitraryFilterThickness =
            calc::HeldValue(*calc::FindConditionField("filter-mm"), *req.filterMm);
    }
    return p;
}

}  // namespace dovex::cli
