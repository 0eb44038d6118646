// SPDX-License-Identifier: MIT
#include "tools/drl/drlgen.h"

#include <charconv>
#include <map>
#include <stdexcept>
#include <vector>

#include "engine/textio.h"

namespace dovex::drlgen {
namespace {

// Which published item gives the level of which exam part, and at which tube voltages. The
// exam parts follow "撮影部位.txt"; the screening chest and the paediatric items have no exam
// part of their own in the program (its parts are those of an adult standard patient).
struct Mapping {
    const char* examPart;
    const char* item;     // as in the publication's table
    const char* kvFrom;   // empty: open
    const char* kvBelow;  // empty: open
    const char* label;    // the item's name as the program shows it
};
const Mapping kMappings[] = {
    {"胸部正面", "胸部正面(100kV 未満)", "", "100", "胸部正面 (100 kV 未満)"},
    {"胸部正面", "胸部正面(100kV 以上)", "100", "", "胸部正面 (100 kV 以上)"},
    {"腹部正面", "腹部正面(臥位)", "", "", "腹部正面 (臥位)"},
    {"頭部正面", "頭部正面", "", "", "頭部正面"},
    {"頸椎正面", "頚椎正面", "", "", "頚椎正面"},
    {"胸椎正面", "胸椎正面", "", "", "胸椎正面"},
    {"胸椎側面", "胸椎側面", "", "", "胸椎側面"},
    {"腰椎正面", "腰椎正面", "", "", "腰椎正面"},
    {"腰椎側面", "腰椎側面", "", "", "腰椎側面"},
    {"骨盤正面", "骨盤正面", "", "", "骨盤正面"},
};
// Exam parts of the list without an adult level in the publication.
const char* const kWithoutLevel[] = {"胸部側面", "頭部側面", "頸椎側面", "股関節正面", "その他"};

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

// The rows "| item | value |" of the markdown table.
std::map<std::string, std::string> TableRows(const std::string& md) {
    std::map<std::string, std::string> rows;
    std::size_t pos = 0;
    while (pos < md.size()) {
        std::size_t end = md.find('\n', pos);
        if (end == std::string::npos) end = md.size();
        const std::string line = Trim(md.substr(pos, end - pos));
        pos = end + 1;
        if (line.size() < 2 || line.front() != '|') continue;
        std::vector<std::string> cells;
        std::size_t c = 1;
        while (c < line.size()) {
            std::size_t bar = line.find('|', c);
            if (bar == std::string::npos) break;
            cells.push_back(Trim(line.substr(c, bar - c)));
            c = bar + 1;
        }
        if (cells.size() == 2) rows[cells[0]] = cells[1];
    }
    return rows;
}

}  // namespace

std::string GenerateDrlFile(const std::string& md) {
    const auto rows = TableRows(md);
    std::string text;
    auto line = [&](const std::string& s) { text += Utf8ToCp932OrThrow(s) + "\r\n"; };
    line("# 日本の診断参考レベル (2020年版) 一般撮影: 入射表面線量 (後方散乱を含む) mGy/撮影");
    line(
        "# 出典: 医療被ばく研究情報ネットワーク (J-RIME) ほか「日本の診断参考レベル (2020年版)」"
        "2020年7月3日 http://www.radher.jp/J-RIME/report/JapanDRL2020_jp.pdf");
    line("# 比較する線量: 空気カーマに基づく入射表面線量 (後方散乱を含む)");
    line("# dovex-drl が tools/reference/japan-drl-2020.md から生成 (手で編集しないこと)");
    line("# 撮影部位,管電圧 kV (以上),管電圧 kV (未満),診断参考レベル mGy,DRL の項目");
    for (const Mapping& m : kMappings) {
        const auto it = rows.find(m.item);
        if (it == rows.end()) throw std::runtime_error(std::string("table lacks ") + m.item);
        double v = 0;
        const std::string& s = it->second;
        const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
        if (r.ec != std::errc() || r.ptr != s.data() + s.size() || !(v > 0))
            throw std::runtime_error(std::string("value of ") + m.item + " is not a number");
        line(std::string(m.examPart) + "," + m.kvFrom + "," + m.kvBelow + "," + s + "," + m.label);
    }
    for (const char* part : kWithoutLevel) line(std::string(part) + ",,,,2020年版に成人の項目なし");
    return text;
}

}  // namespace dovex::drlgen
