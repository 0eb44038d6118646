// SPDX-License-Identifier: MIT
#include "cli/calcargs.h"

#include <cmath>
#include <cstdlib>
#include <optional>

#include "calculation/conditionfields.h"
#include "effdose/estimate.h"
#include "engine/error.h"
#include "engine/kinds.h"
#include "engine/material.h"
#include "engine/numtext.h"
#include "engine/platform.h"
#include "engine/textio.h"

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
            req.phantomGiven = true;
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
    const fs::path given = platform::PathFromUtf8(name);
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
    if (!req.phantomGiven) p.conditions.phantom = DefaultPhantomOf(p.conditions.examPart);
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
        const fs::path file = ResolveMaterialFile(req.filterFile, dataDir, materialDir);
        const std::string shown = fs::path(req.filterFile).filename().string();
        std::error_code ec;
        // A pipe or a device would block the reading or never end it.
        if (fs::exists(file, ec) && !fs::is_regular_file(file, ec))
            throw DataFileError(shown, "not a regular file");
        // The resolved path is read, so that the place checked is the place read.
        MaterialTable m = ParseMaterialData(ReadFileBytes(file, shown, 1u << 20), shown);
        p.filter.mu = BuildArbitraryFilterMu(m);
        p.filter.on = true;
        p.conditions.arbitraryFilterName = m.name;
        p.conditions.arbitraryFilterThickness =
            calc::HeldValue(*calc::FindConditionField("filter-mm"), *req.filterMm);
    }
    return p;
}

}  // namespace dovex::cli
