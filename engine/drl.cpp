// SPDX-License-Identifier: MIT
#include "engine/drl.h"

#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>
#include <optional>

#include "engine/error.h"
#include "engine/numtext.h"
#include "engine/textio.h"

namespace dovex {
namespace {

std::vector<std::string> SplitCommas(const std::string& line) {
    std::vector<std::string> out(1);
    for (char ch : line) {
        if (ch == ',')
            out.emplace_back();
        else
            out.back() += ch;
    }
    return out;
}

std::optional<double> ParseNumber(const std::string& s) {
    double v = 0;
    const char* end = s.data() + s.size();
    const auto r = std::from_chars(s.data(), end, v);
    if (r.ec != std::errc() || r.ptr != end) return std::nullopt;
    return v;
}

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

}  // namespace

DrlTable ParseDrlTable(const std::string& bytes, const std::string& fileName) {
    DrlTable t;
    std::size_t lineNo = 0;
    for (const std::string& raw : SplitLines(bytes)) {
        ++lineNo;
        const std::string n = std::to_string(lineNo);
        // The reason in Japanese, the English after it in parentheses.
        auto fail = [&](const std::string& ja, const std::string& en) {
            throw DataFileError(fileName, n + " 行目: " + ja + " (line " + n + ": " + en + ")");
        };
        std::string line;
        try {
            line = Cp932ToUtf8(raw);
        } catch (const std::exception&) {
            fail("Shift-JIS の文字として読めません", "not valid Shift-JIS text");
        }
        if (Trim(line).empty()) continue;
        if (line[0] == '#') {
            t.header.push_back(Trim(line.substr(1)));
            continue;
        }
        const std::vector<std::string> f = SplitCommas(line);
        if (f.size() != 5)
            fail("カンマ区切りの 5 項目が必要ですが " + std::to_string(f.size()) + " 項目です",
                 "expected 5 comma-separated fields, found " + std::to_string(f.size()));
        DrlEntry e;
        e.examPart = Trim(f[0]);
        if (e.examPart.empty()) fail("撮影部位がありません", "no exam part");
        auto number = [&](const std::string& text, const char* ja, const char* what, double open) {
            const std::string s = Trim(text);
            if (s.empty()) return open;
            const auto v = ParseNumber(s);
            if (!v || !std::isfinite(*v) || *v < 0)
                fail(std::string(ja) + "「" + s + "」は 0 以上の数値ではありません",
                     std::string(what) + " \"" + s + "\" is not a number >= 0");
            return *v;
        };
        e.kvFrom = number(f[1], "管電圧の下限", "lower tube voltage", 0);
        e.kvBelow = number(f[2], "管電圧の上限", "upper tube voltage",
                           std::numeric_limits<double>::infinity());
        if (!(e.kvFrom < e.kvBelow)) fail("管電圧の範囲が空です", "empty tube-voltage range");
        e.valueMGy = number(f[3], "参考レベル", "reference level", 0);
        if (!Trim(f[3]).empty() && !(e.valueMGy >= kMinDrlMGy && e.valueMGy <= kMaxDrlMGy))
            fail("参考レベル「" + Trim(f[3]) + "」mGy は " + PlainNumber(kMinDrlMGy) + " から " +
                     PlainNumber(kMaxDrlMGy) + " mGy の範囲にありません",
                 "reference level \"" + Trim(f[3]) + "\" mGy is outside " +
                     PlainNumber(kMinDrlMGy) + " to " + PlainNumber(kMaxDrlMGy) + " mGy");
        e.item = Trim(f[4]);
        t.entries.push_back(std::move(e));
    }
    if (t.entries.empty())
        throw DataFileError(fileName, "参考レベルがひとつもありません (no reference levels)");
    return t;
}

DrlTable ReadDrlTable(const std::filesystem::path& file) {
    const std::string name = file.filename().string();
    return ParseDrlTable(ReadFileBytes(file, name, 1u << 20), name);
}

DrlComparison CompareWithDrl(const DrlTable& table, const std::string& examPart, double kv,
                             double esdMGy) {
    DrlComparison c;
    c.examPart = examPart;
    c.esdMGy = esdMGy;
    for (const DrlEntry& e : table.entries) {
        if (e.examPart != examPart || !(kv >= e.kvFrom && kv < e.kvBelow)) continue;
        c.item = e.item;
        if (e.valueMGy > 0 && std::isfinite(esdMGy) && esdMGy >= 0) {
            c.hasLevel = true;
            c.valueMGy = e.valueMGy;
            c.percent = 100 * esdMGy / e.valueMGy;
        }
        break;
    }
    return c;
}

void to_json(nlohmann::ordered_json& j, const DrlComparison& c) {
    if (!c.hasLevel) {
        j = nullptr;
        return;
    }
    j = nlohmann::ordered_json{
        {"valueMGy", c.valueMGy}, {"quantity", c.quantity}, {"percent", c.percent}};
}

}  // namespace dovex
