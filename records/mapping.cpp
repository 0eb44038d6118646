// SPDX-License-Identifier: MIT
#include "records/mapping.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <functional>

#include "engine/error.h"
#include "engine/kinds.h"
#include "engine/material.h"
#include "engine/numtext.h"
#include "engine/presets.h"
#include "engine/textio.h"

namespace dovex::records {
namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    return s.substr(i);
}

// The cells of one CSV line; a double-quoted cell may hold commas and doubled quotes.
std::vector<std::string> Cells(const std::string& line) {
    std::vector<std::string> out;
    std::string cell;
    bool quoted = false, wasQuoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                cell += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                cell += c;
            }
        } else if (c == '"' && Trim(cell).empty()) {
            cell.clear();
            quoted = wasQuoted = true;
        } else if (c == ',') {
            out.push_back(wasQuoted ? cell : Trim(cell));
            cell.clear();
            wasQuoted = false;
        } else {
            cell += c;
        }
    }
    out.push_back(wasQuoted ? cell : Trim(cell));
    return out;
}

// The lines of a cp932 text file as UTF-8, numbered from 1.
std::vector<std::string> TextLines(const std::string& bytes, const std::string& name) {
    std::string text;
    try {
        text = Cp932ToUtf8(bytes);
    } catch (const std::exception&) {
        throw DataFileError(name, "not Japanese Shift-JIS (cp932) text");
    }
    return SplitLines(text);
}

double CellNumber(const std::string& cell, const std::string& name, std::size_t line,
                  const std::string& what) {
    double v = 0;
    const char* end = ReadPlainDecimal(cell.data(), cell.data() + cell.size(), &v);
    if (!end || end != cell.data() + cell.size())
        throw DataFileError(name, "line " + std::to_string(line) + ": " + what + " \"" + cell +
                                      "\" is not a number");
    return v;
}

std::string Num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4g", v);
    return buf;
}

// A byte that no name or number of a unit holds: C0 controls but the tab, and DEL.
bool HasControlCharacter(const std::string& t) {
    return std::any_of(t.begin(), t.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u < 0x20 && u != '\t') || u == 0x7f;
    });
}

bool Contains(const std::string& hay, const char* needle) {
    return hay.find(needle) != std::string::npos;
}

}  // namespace

// ---- standard patients -------------------------------------------------------------------

std::vector<StandardPatient> ParseStandardPatients(const std::string& bytes,
                                                   const std::string& name) {
    std::vector<StandardPatient> out;
    const std::vector<std::string> lines = TextLines(bytes, name);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (Trim(l).empty() || l[0] == '#') continue;
        const auto c = Cells(l);
        if (c.size() != 6)
            throw DataFileError(name, "line " + std::to_string(i + 1) + ": 6 fields expected");
        StandardPatient p;
        p.examPart = c[0];
        p.thicknessCm = CellNumber(c[1], name, i + 1, "thickness");
        p.fieldLongCm = CellNumber(c[2], name, i + 1, "field");
        p.fieldShortCm = CellNumber(c[3], name, i + 1, "field");
        p.ffdCm = CellNumber(c[4], name, i + 1, "FFD");
        p.receptorGapCm = CellNumber(c[5], name, i + 1, "gap");
        if (p.examPart.empty() || p.thicknessCm <= 0 || p.fieldLongCm <= 0 || p.fieldShortCm <= 0 ||
            p.ffdCm <= p.thicknessCm + p.receptorGapCm || p.receptorGapCm < 0)
            throw DataFileError(
                name, "line " + std::to_string(i + 1) + ": a value outside what a patient can be");
        out.push_back(p);
    }
    if (out.empty()) throw DataFileError(name, "no exam part");
    return out;
}

std::vector<StandardPatient> ReadStandardPatients(const std::filesystem::path& file) {
    const std::string name = file.filename().string();
    return ParseStandardPatients(ReadFileBytes(file, name, 1u << 20), name);
}

// ---- device profiles ---------------------------------------------------------------------

namespace {

// The columns of the profile file: caption and how a cell sets the profile. The one table the
// reader and the list of captions take.
// The columns of the profile file: caption, how a cell sets the profile and the cell of a
// profile. The one table the reader, the writer and the list of captions take.
using CellSetter = std::function<void(DeviceProfile&, const std::string& cell,
                                      const std::string& file, std::size_t line)>;
using CellGetter = std::function<std::string(const DeviceProfile&)>;
struct ProfileColumn {
    const char* caption;
    CellSetter set;
    CellGetter get;
};

ProfileColumn Text(const char* caption, std::string DeviceProfile::*m) {
    return {
        caption,
        [m](DeviceProfile& p, const std::string& c, const std::string&, std::size_t) { p.*m = c; },
        [m](const DeviceProfile& p) { return p.*m; }};
}

ProfileColumn Value(const char* caption, std::optional<double> DeviceProfile::*m, const char* what,
                    double lo, double hi) {
    return {caption,
            [=](DeviceProfile& p, const std::string& c, const std::string& f, std::size_t line) {
                const double v = CellNumber(c, f, line, what);
                if (!(v >= lo && v <= hi))
                    throw DataFileError(f, "line " + std::to_string(line) + ": " + what + " " + c +
                                               " outside " + Num(lo) + " .. " + Num(hi));
                p.*m = v;
            },
            [m](const DeviceProfile& p) { return p.*m ? PlainNumber(*(p.*m)) : std::string(); }};
}

const std::vector<ProfileColumn>& Columns() {
    static const std::vector<ProfileColumn> k = {
        Text("名称", &DeviceProfile::name),
        Text("装置UID", &DeviceProfile::deviceUid),
        Text("製造者", &DeviceProfile::manufacturer),
        Text("モデル", &DeviceProfile::model),
        Text("シリアル番号", &DeviceProfile::serial),
        Text("ステーション名", &DeviceProfile::station),
        Value("固有フィルタ mmAl", &DeviceProfile::inherentMmAl, "inherent filtration", 0, 100),
        Value("付加フィルタ Al mm", &DeviceProfile::addedMmAl, "added Al", 0, 100),
        Value("付加フィルタ Cu mm", &DeviceProfile::addedMmCu, "added Cu", 0, 10),
        Value("ターゲット角度", &DeviceProfile::targetAngle, "target angle", 1, 45),
        {"整流方式",
         [](DeviceProfile& p, const std::string& c, const std::string& f, std::size_t line) {
             for (auto k : {Rectification::ConstantPotential, Rectification::ThreePhase12Pulse,
                            Rectification::SinglePhaseFullWave})
                 if (c == FileText(k) || c == WindowText(k)) {
                     p.rectification = k;
                     return;
                 }
             throw DataFileError(f, "line " + std::to_string(line) + ": rectification \"" + c +
                                        "\" is none of 定電圧, 三相12, 単相全波");
         },
         [](const DeviceProfile& p) {
             return p.rectification ? std::string(FileText(*p.rectification)) : std::string();
         }},
        Value("臥位 受像面間隔 cm", &DeviceProfile::gapTableCm, "table gap", 0, 100),
        Value("立位 受像面間隔 cm", &DeviceProfile::gapErectCm, "erect gap", 0, 100),
        Value("ポータブル 受像面間隔 cm", &DeviceProfile::gapMobileCm, "mobile gap", 0, 100),
        Value("出力係数", &DeviceProfile::outputFactor, "output factor", 0.05, 20),
    };
    return k;
}

}  // namespace

const std::vector<std::string>& ProfileColumns() {
    static const std::vector<std::string> k = [] {
        std::vector<std::string> v;
        for (const auto& c : Columns()) v.push_back(c.caption);
        return v;
    }();
    return k;
}

std::vector<DeviceProfile> ParseProfiles(const std::string& bytes, const std::string& name) {
    const std::vector<std::string> lines = TextLines(bytes, name);
    std::vector<const ProfileColumn*> header;
    std::vector<DeviceProfile> out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (Trim(lines[i]).empty() || lines[i][0] == '#') continue;
        const auto cells = Cells(lines[i]);
        if (header.empty()) {
            for (const std::string& cap : cells) {
                const ProfileColumn* col = nullptr;
                for (const auto& c : Columns())
                    if (cap == c.caption) col = &c;
                if (!col)
                    throw DataFileError(name, "line " + std::to_string(i + 1) + ": column \"" +
                                                  cap + "\" is not a profile column");
                if (std::find(header.begin(), header.end(), col) != header.end())
                    throw DataFileError(name, "line " + std::to_string(i + 1) + ": column \"" +
                                                  cap + "\" appears twice");
                header.push_back(col);
            }
            continue;
        }
        if (cells.size() > header.size())
            throw DataFileError(name,
                                "line " + std::to_string(i + 1) + ": more cells than columns");
        DeviceProfile p;
        for (std::size_t k = 0; k < cells.size(); ++k) {
            if (HasControlCharacter(cells[k]))
                throw DataFileError(name, "line " + std::to_string(i + 1) + ": column \"" +
                                              header[k]->caption + "\" holds a control character");
            if (!cells[k].empty()) header[k]->set(p, cells[k], name, i + 1);
        }
        if (p.deviceUid.empty() && p.station.empty() &&
            (p.manufacturer.empty() || p.model.empty() || p.serial.empty()))
            throw DataFileError(name, "line " + std::to_string(i + 1) +
                                          ": a unit needs its device UID, its manufacturer, "
                                          "model and serial number, or its station name");
        if (p.name.empty())
            p.name = UnitName({p.manufacturer, p.model, p.serial, p.station, p.deviceUid}, nullptr);
        out.push_back(std::move(p));
    }
    return out;
}

std::vector<DeviceProfile> ReadProfiles(const std::filesystem::path& file) {
    return ParseProfiles(ReadFileBytes(file, file.string(), 4u << 20), file.string());
}

std::string CsvCell(const std::string& t) {
    // Quoted also when the reader would take the text otherwise: blanks around it are trimmed,
    // and a line that begins with '#' is a comment.
    const bool plain = t.find_first_of(",\"\r\n") == std::string::npos &&
                       (t.empty() || (t.front() != ' ' && t.front() != '\t' && t.front() != '#' &&
                                      t.back() != ' ' && t.back() != '\t'));
    if (plain) return t;
    std::string q = "\"";
    for (char c : t) {
        q += c;
        if (c == '"') q += '"';
    }
    return q + "\"";
}

std::vector<std::string> ProfileCells(const DeviceProfile& p) {
    std::vector<std::string> cells;
    for (const ProfileColumn& c : Columns()) cells.push_back(c.get(p));
    return cells;
}

std::string ProfileFileBytes(const std::vector<DeviceProfile>& profiles) {
    std::vector<std::string> lines;
    std::string head;
    for (const ProfileColumn& c : Columns()) head += (head.empty() ? "" : ",") + CsvCell(c.caption);
    lines.push_back(head);
    for (std::size_t i = 0; i < profiles.size(); ++i) {
        std::string l;
        const std::vector<std::string> cells = ProfileCells(profiles[i]);
        for (std::size_t k = 0; k < cells.size(); ++k) {
            if (HasControlCharacter(cells[k]))
                throw DataFileError(kProfileFile, "unit " + std::to_string(i + 1) + ", " +
                                                      Columns()[k].caption +
                                                      ": a control character (a line break?)");
            l += (k ? "," : "") + CsvCell(cells[k]);
        }
        lines.push_back(l);
    }
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto b = Utf8ToCp932(lines[i]);
        if (!b)
            throw DataFileError(
                kProfileFile, "unit " + std::to_string(i) + ": a character that cp932 cannot hold");
        out += *b + "\r\n";
    }
    return out;
}

void WriteProfiles(const std::filesystem::path& file, const std::vector<DeviceProfile>& profiles) {
    // Every cell is checked by reading the bytes back before the file is replaced.
    const std::string bytes = ProfileFileBytes(profiles);
    (void)ParseProfiles(bytes, file.filename().string());
    WriteFileAtomic(file, bytes);
}

DeviceProfile ProfileOfDevice(const DeviceData& d) {
    DeviceProfile p;
    p.deviceUid = d.deviceUid;
    p.manufacturer = d.manufacturer;
    p.model = d.model;
    p.serial = d.serial;
    p.station = d.station;
    p.name = UnitName(d, nullptr);
    return p;
}

const DeviceProfile* MatchProfile(const std::vector<DeviceProfile>& profiles, const DeviceData& d) {
    auto same = [](const std::string& a, const std::string& b) {
        return !a.empty() && Lower(Trim(a)) == Lower(Trim(b));
    };
    if (!d.deviceUid.empty())
        for (const auto& p : profiles)
            if (p.deviceUid == d.deviceUid) return &p;
    for (const auto& p : profiles)
        if (same(p.manufacturer, d.manufacturer) && same(p.model, d.model) &&
            same(p.serial, d.serial))
            return &p;
    for (const auto& p : profiles)
        if (same(p.station, d.station)) return &p;
    return nullptr;
}

std::string UnitName(const DeviceData& d, const DeviceProfile* profile) {
    if (profile && !profile->name.empty()) return profile->name;
    std::string s;
    for (const std::string* part : {&d.manufacturer, &d.model, &d.serial})
        if (!part->empty()) s += (s.empty() ? "" : " ") + *part;
    if (!s.empty()) return s;
    if (!d.station.empty()) return d.station;
    if (!d.deviceUid.empty()) return d.deviceUid;
    return "unknown unit";
}

// ---- protocol mapping --------------------------------------------------------------------

bool ProtocolMatches(const std::string& pattern, const std::string& protocol) {
    const std::string p = Lower(Trim(pattern)), t = Lower(Trim(protocol));
    // Glob with '*' only, iterative with one backtrack point.
    std::size_t i = 0, j = 0, star = std::string::npos, mark = 0;
    while (j < t.size()) {
        if (i < p.size() && p[i] == '*') {
            star = i++;
            mark = j;
        } else if (i < p.size() && p[i] == t[j]) {
            ++i;
            ++j;
        } else if (star != std::string::npos) {
            i = star + 1;
            j = ++mark;
        } else {
            return false;
        }
    }
    while (i < p.size() && p[i] == '*') ++i;
    return i == p.size();
}

std::vector<ProtocolRule> ParseProtocolMap(const std::string& bytes, const std::string& name,
                                           const std::vector<std::string>& examParts) {
    std::vector<ProtocolRule> out;
    const std::vector<std::string> lines = TextLines(bytes, name);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (Trim(lines[i]).empty() || lines[i][0] == '#') continue;
        const auto c = Cells(lines[i]);
        if (c.size() != 2 || c[0].empty() || c[1].empty())
            throw DataFileError(
                name, "line " + std::to_string(i + 1) + ": \"protocol,exam part\" expected");
        if (!examParts.empty() &&
            std::find(examParts.begin(), examParts.end(), c[1]) == examParts.end())
            throw DataFileError(name, "line " + std::to_string(i + 1) + ": exam part \"" + c[1] +
                                          "\" is not in the exam-part list");
        out.push_back({c[0], c[1]});
    }
    return out;
}

std::vector<ProtocolRule> ReadProtocolMap(const std::filesystem::path& file,
                                          const std::vector<std::string>& examParts) {
    return ParseProtocolMap(ReadFileBytes(file, file.string(), 4u << 20), file.string(), examParts);
}

// ---- exam part ---------------------------------------------------------------------------

namespace {

enum class Region { None, Chest, Abdomen, Head, CSpine, TSpine, LSpine, Pelvis, Hip, Other };
enum class View { None, Frontal, Lateral, Other };

// Anatomic region codes (common anatomic regions): SNOMED CT, and the SNOMED RT / SNOMED 3
// codes of earlier records; then the meaning text.
Region RegionOfCode(const Code& c) {
    struct R {
        const char* code;
        Region region;
    };
    static const R kSct[] = {
        {"816094009", Region::Chest},   {"51185008", Region::Chest},
        {"818981001", Region::Abdomen}, {"113345001", Region::Abdomen},
        {"89546000", Region::Head},     {"69536005", Region::Head},
        {"122494005", Region::CSpine},  {"122495006", Region::TSpine},
        {"122496007", Region::LSpine},  {"816092008", Region::Pelvis},
        {"12921003", Region::Pelvis},   {"24136001", Region::Hip},
        {"29836001", Region::Hip},
    };
    static const R kSrt[] = {
        {"T-D3000", Region::Chest},  {"T-D4000", Region::Abdomen}, {"T-11100", Region::Head},
        {"T-D1100", Region::Head},   {"T-11501", Region::CSpine},  {"T-11502", Region::TSpine},
        {"T-11503", Region::LSpine}, {"T-D6000", Region::Pelvis},  {"T-15710", Region::Hip},
        {"T-D2500", Region::Hip},
    };
    if (c.scheme == "SCT")
        for (const R& r : kSct)
            if (c.value == r.code) return r.region;
    if (c.scheme == "SRT" || c.scheme == "SNM3")
        for (const R& r : kSrt)
            if (c.value == r.code) return r.region;
    if (c.empty()) return Region::None;
    const std::string t = Lower(c.meaning);
    if (t.empty()) return Region::Other;
    if (Contains(t, "cervical")) return Region::CSpine;
    if (Contains(t, "thoracic spine") || Contains(t, "thoracic vert")) return Region::TSpine;
    if (Contains(t, "lumbar")) return Region::LSpine;
    if (Contains(t, "chest") || Contains(t, "thorax")) return Region::Chest;
    if (Contains(t, "abdomen")) return Region::Abdomen;
    if (Contains(t, "skull") || t == "head") return Region::Head;
    if (Contains(t, "pelvis")) return Region::Pelvis;
    if (Contains(t, "hip")) return Region::Hip;
    return Region::Other;
}

// Body Part Examined defined terms, and the region words of a protocol name.
Region RegionOfWord(const std::string& text) {
    const std::string t = Lower(text);
    if (t.empty()) return Region::None;
    static const std::pair<const char*, Region> kWords[] = {
        {"cspine", Region::CSpine},  {"c-spine", Region::CSpine},  {"cervical", Region::CSpine},
        {"頸椎", Region::CSpine},    {"頚椎", Region::CSpine},     {"tspine", Region::TSpine},
        {"t-spine", Region::TSpine}, {"thoracic", Region::TSpine}, {"胸椎", Region::TSpine},
        {"lspine", Region::LSpine},  {"l-spine", Region::LSpine},  {"lumbar", Region::LSpine},
        {"腰椎", Region::LSpine},    {"chest", Region::Chest},     {"thorax", Region::Chest},
        {"胸部", Region::Chest},     {"abdomen", Region::Abdomen}, {"腹部", Region::Abdomen},
        {"skull", Region::Head},     {"head", Region::Head},       {"頭部", Region::Head},
        {"pelvis", Region::Pelvis},  {"骨盤", Region::Pelvis},     {"hip", Region::Hip},
        {"股関節", Region::Hip},
    };
    for (const auto& [w, r] : kWords)
        if (Contains(t, w)) return r;
    return Region::None;
}

// Image view codes (DX views): antero-posterior, postero-anterior (R-10214 in earlier
// editions, R-40888 since) and frontal are frontal; lateral, right and left lateral are lateral.
View ViewOfCode(const Code& c) {
    static const std::pair<const char*, View> kSct[] = {
        {"399348003", View::Frontal}, {"272479007", View::Frontal}, {"399033003", View::Frontal},
        {"399067008", View::Lateral}, {"399198007", View::Lateral}, {"399173006", View::Lateral},
    };
    static const std::pair<const char*, View> kSrt[] = {
        {"R-10206", View::Frontal}, {"R-10214", View::Frontal}, {"R-40888", View::Frontal},
        {"R-10202", View::Frontal}, {"R-102CD", View::Lateral}, {"R-10232", View::Lateral},
        {"R-10236", View::Lateral},
    };
    if (c.empty()) return View::None;
    if (c.scheme == "SCT")
        for (const auto& [code, v] : kSct)
            if (c.value == code) return v;
    if (c.scheme == "SRT" || c.scheme == "SNM3")
        for (const auto& [code, v] : kSrt)
            if (c.value == code) return v;
    const std::string t = Lower(c.meaning);
    if (Contains(t, "oblique")) return View::Other;
    if (Contains(t, "antero-posterior") || Contains(t, "postero-anterior") ||
        Contains(t, "frontal"))
        return View::Frontal;
    if (Contains(t, "lateral")) return View::Lateral;
    return View::Other;
}

View ViewOfPosition(const std::string& vp) {
    if (vp.empty()) return View::None;
    if (vp == "AP" || vp == "PA") return View::Frontal;
    if (vp == "LL" || vp == "RL" || vp == "LAT") return View::Lateral;
    return View::Other;
}

// The view words of a protocol name: AP, PA, p.a., LAT, lateral, 正面, 側面.
View ViewOfProtocol(const std::string& text) {
    const std::string t = Lower(text);
    if (Contains(t, "正面")) return View::Frontal;
    if (Contains(t, "側面")) return View::Lateral;
    if (Contains(t, "oblique") || Contains(t, "斜位")) return View::Other;
    if (Contains(t, "p.a.") || Contains(t, "a.p.")) return View::Frontal;
    // Whole words only: "ap" inside "caput" is no view.
    std::vector<std::string> words;
    std::string w;
    for (char c : t) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            w += c;
        } else {
            if (!w.empty()) words.push_back(w);
            w.clear();
        }
    }
    if (!w.empty()) words.push_back(w);
    for (const std::string& x : words) {
        if (x == "ap" || x == "pa") return View::Frontal;
        if (x == "lat" || x == "lateral") return View::Lateral;
    }
    return View::None;
}

std::string PartName(Region r, View v) {
    const bool lat = v == View::Lateral;
    if (v == View::Other) return "その他";
    switch (r) {
        case Region::Chest:
            return lat ? "胸部側面" : "胸部正面";
        case Region::Abdomen:
            return lat ? "その他" : "腹部正面";
        case Region::Head:
            return lat ? "頭部側面" : "頭部正面";
        case Region::CSpine:
            return lat ? "頸椎側面" : "頸椎正面";
        case Region::TSpine:
            return lat ? "胸椎側面" : "胸椎正面";
        case Region::LSpine:
            return lat ? "腰椎側面" : "腰椎正面";
        case Region::Pelvis:
            return lat ? "その他" : "骨盤正面";
        case Region::Hip:
            return lat ? "その他" : "股関節正面";
        case Region::None:
        case Region::Other:
            break;
    }
    return "その他";
}

}  // namespace

std::string ExamPartOf(const DoseEvent& e, const std::vector<ProtocolRule>* protocols,
                       std::vector<Assumption>* assumptions) {
    if (protocols && !e.protocol.empty())
        for (const ProtocolRule& r : *protocols)
            if (ProtocolMatches(r.pattern, e.protocol)) return r.examPart;
    Region region = RegionOfCode(e.region);
    if (region == Region::None) region = RegionOfWord(e.bodyPart);
    if (region == Region::None) region = RegionOfWord(e.protocol);
    if (region == Region::None || region == Region::Other) return "その他";
    View view = ViewOfCode(e.view);
    if (view == View::None) view = ViewOfPosition(e.viewPosition);
    if (view == View::None) {
        view = ViewOfProtocol(e.protocol);
        if (view == View::None) {
            view = View::Frontal;
            if (assumptions)
                assumptions->push_back({"view", "frontal",
                                        "no view recorded and none named in the protocol",
                                        "方向 正面：方向の記録がなく、プロトコル名にもありません"});
        }
    }
    return PartName(region, view);
}

// ---- mapping -----------------------------------------------------------------------------

namespace {

const StandardPatient* StandardOf(const MappingContext& cx, const std::string& part) {
    if (!cx.standards) return nullptr;
    for (const auto& s : *cx.standards)
        if (s.examPart == part) return &s;
    for (const auto& s : *cx.standards)
        if (s.examPart == "その他") return &s;
    return nullptr;
}

WorkMode ModeOf(const DoseEvent& e) {
    const std::string t = Lower(e.protocol + " " + e.device.station);
    for (const char* w : {"portable", "mobile", "ポータブル", "回診", "bedside"})
        if (Contains(t, w)) return WorkMode::Mobile;
    for (const char* w : {"erect", "standing", "upright", "立位", "stand"})
        if (Contains(t, w)) return WorkMode::Erect;
    return WorkMode::Table;
}

const char* ModeWord(WorkMode m) {
    return m == WorkMode::Erect ? "erect" : m == WorkMode::Mobile ? "mobile" : "table";
}
const char* ModeWordJa(WorkMode m) {
    return m == WorkMode::Erect ? "立位" : m == WorkMode::Mobile ? "ポータブル" : "臥位";
}

// Plausible focus-to-receptor distances of radiography, cm: a value outside is a recording
// fault (a distance written in the wrong unit), not a geometry to compute.
constexpr double kMinSidCm = 30, kMaxSidCm = 500;

}  // namespace

MappedEvent MapEvent(const DoseEvent& e, const MappingContext& cx) {
    MappedEvent m;
    ExposureConditions& c = m.conditions;
    const std::string where = e.file + " event " + std::to_string(e.index);
    auto assume = [&](std::string item, std::string value, std::string why, std::string ja) {
        m.assumptions.push_back({std::move(item), std::move(value), std::move(why), std::move(ja)});
    };
    auto refuse = [&](const char* check, const std::string& what, const std::string& ja) {
        if (!m.refusal) m.refusal = EventRefusal{check, where + ": " + what, ja};
    };
    const DeviceProfile* prof = cx.profiles ? MatchProfile(*cx.profiles, e.device) : nullptr;
    if (prof) m.profile = prof->name;
    m.unit = UnitName(e.device, prof);
    const std::string noProfile = prof ? "not in the unit's profile" : "no profile for the unit";
    const std::string noProfileJa = prof ? "装置設定にないため" : "装置設定がないため";

    // Exam part and phantom.
    c.examPart = ExamPartOf(e, cx.protocols, &m.assumptions);
    const bool head = c.examPart == "頭部正面" || c.examPart == "頭部側面";
    c.phantom = head ? Phantom::Head : Phantom::Body;
    const StandardPatient* standard = StandardOf(cx, c.examPart);

    // Tube voltage, current, time.
    if (!e.kvp) {
        refuse("kvp", "no tube voltage (KVP) recorded", "管電圧 (KVP) の記録がありません");
    } else {
        c.tubeVoltage = *e.kvp;
    }
    std::optional<double> mas = e.exposureMAs;
    const std::optional<double> ma = e.tubeCurrentMa, ms = e.exposureTimeMs;
    if (!mas && ma && ms) {
        mas = *ma * *ms / 1000;
        assume("exposureMAs", Num(*mas), "no exposure recorded; tube current × exposure time",
               "mAs " + Num(*mas) + "：mAs の記録がないため 管電流 × 照射時間");
    }
    if (!mas) {
        refuse("exposure", "no exposure (mAs) recorded, nor tube current and exposure time",
               "mAs も、管電流と照射時間も記録されていません");
    } else if (!(*mas > 0)) {
        refuse("exposure", "the recorded exposure " + Num(*mas) + " mAs is not above 0",
               "記録された mAs " + Num(*mas) + " が 0 以下です");
    } else {
        if (ma && *ma > 0) {
            c.tubeCurrent = *ma;
            c.exposureTime = *mas / *ma;  // s
            if (ms && *ms > 0) {
                const double product = *ma * *ms / 1000;
                const double diff = std::fabs(product - *mas) / *mas;
                if (diff > 0.10)
                    assume("exposureTime", Num(c.exposureTime * 1000) + " ms",
                           "tube current × recorded time = " + Num(product) +
                               " mAs differs from the recorded exposure " + Num(*mas) + " mAs by " +
                               Num(100 * diff) + " %; time taken as exposure ÷ current",
                           "照射時間 " + Num(c.exposureTime * 1000) +
                               " ms：管電流 × 記録の照射時間 = " + Num(product) + " mAs が記録の " +
                               Num(*mas) + " mAs と " + Num(100 * diff) +
                               " % 異なるため、mAs ÷ 管電流");
            }
        } else if (ms && *ms > 0) {
            c.exposureTime = *ms / 1000;
            c.tubeCurrent = *mas / c.exposureTime;
            assume("tubeCurrent", Num(c.tubeCurrent) + " mA",
                   "no tube current recorded; exposure ÷ exposure time",
                   "管電流 " + Num(c.tubeCurrent) + " mA：管電流の記録がないため mAs ÷ 照射時間");
        } else {
            c.exposureTime = std::max(0.1, *mas / 1000);
            c.tubeCurrent = *mas / c.exposureTime;
            assume("exposureTime", Num(c.exposureTime * 1000) + " ms",
                   "neither current nor time recorded; the dose depends on their product only",
                   "照射時間 " + Num(c.exposureTime * 1000) +
                       " ms：管電流も照射時間も記録がありません（線量は mAs だけで決まります）");
        }
    }

    // Distances.
    if (e.sidCm) {
        if (!(*e.sidCm >= kMinSidCm && *e.sidCm <= kMaxSidCm))
            refuse("sid",
                   "the source-to-detector distance " + Num(*e.sidCm * 10) +
                       " mm is impossible for radiography (" + Num(kMinSidCm) + " to " +
                       Num(kMaxSidCm) + " cm)",
                   "SID " + Num(*e.sidCm * 10) + " mm は撮影としてありえません（" + Num(kMinSidCm) +
                       "～" + Num(kMaxSidCm) + " cm）");
        c.ffd = *e.sidCm;
    } else if (standard) {
        c.ffd = standard->ffdCm;
        assume("ffd", Num(c.ffd) + " cm",
               "no source-to-detector distance recorded; the standard of " + c.examPart,
               "SID " + Num(c.ffd) + " cm：SID の記録がないため " + c.examPart + " の標準");
    } else {
        assume("ffd", Num(c.ffd) + " cm", "no source-to-detector distance recorded",
               "SID " + Num(c.ffd) + " cm：SID の記録がないためプログラムの既定値");
    }
    if (e.patient.thicknessCm && *e.patient.thicknessCm > 0) {
        c.subjectThickness = *e.patient.thicknessCm;
    } else if (e.patient.equivalentThicknessCm && *e.patient.equivalentThicknessCm > 0) {
        c.subjectThickness = *e.patient.equivalentThicknessCm;
        assume("subjectThickness", Num(c.subjectThickness) + " cm",
               "the recorded patient equivalent thickness",
               "被写体厚 " + Num(c.subjectThickness) + " cm：記録された患者等価厚");
    } else {
        if (standard) c.subjectThickness = standard->thicknessCm;
        assume("subjectThickness", Num(c.subjectThickness) + " cm",
               "no thickness recorded; the standard adult of " + c.examPart,
               "被写体厚 " + Num(c.subjectThickness) + " cm：被写体厚の記録がないため " +
                   c.examPart + " の標準体格");
    }
    if (e.sourceToEntranceCm && *e.sourceToEntranceCm > 0) {
        c.fsd = *e.sourceToEntranceCm;
    } else if (e.referencePoint == ReferencePoint::Entrance && e.sourceToReferencePointCm &&
               *e.sourceToReferencePointCm > 0) {
        c.fsd = *e.sourceToReferencePointCm;
    } else {
        const WorkMode mode = ModeOf(e);
        std::optional<double> gap;
        if (prof)
            gap = mode == WorkMode::Erect    ? prof->gapErectCm
                  : mode == WorkMode::Mobile ? prof->gapMobileCm
                                             : prof->gapTableCm;
        std::string why, ja;
        if (gap) {
            why = std::string("FFD − thickness − the profile's ") + ModeWord(mode) + " gap";
            ja = std::string("SID − 被写体厚 − 装置設定の") + ModeWordJa(mode) + "での受像面間隔";
        } else {
            gap = standard ? standard->receptorGapCm : 0.0;
            why = std::string("FFD − thickness − the standard gap (") + ModeWord(mode) + " work, " +
                  noProfile + ")";
            ja = std::string("SID − 被写体厚 − 標準の受像面間隔（") + ModeWordJa(mode) + "、" +
                 noProfileJa + "）";
        }
        c.fsd = c.ffd - c.subjectThickness - *gap;
        assume("fsd", Num(c.fsd) + " cm", why, "FSD " + Num(c.fsd) + " cm：" + ja);
        if (!(c.fsd > 0))
            refuse("fsd",
                   "the focus-to-skin distance " + Num(c.fsd) +
                       " cm left by FFD, thickness and gap is not above 0",
                   "SID・被写体厚・間隔から求めた FSD " + Num(c.fsd) + " cm が 0 以下です");
    }

    // Field at the receptor.
    auto setField = [&](double a, double b) {
        c.fieldLong = a;
        c.fieldShort = b;
        c.fieldShape = FieldShape::Rectangle;
        c.fieldPreset = kPresetOther;
    };
    auto areaField = [&](double area) {
        // A field of the usual proportions of the exam part with the recorded area.
        const double aspect = standard ? standard->fieldLongCm / standard->fieldShortCm : 1.0;
        setField(std::sqrt(area * aspect), std::sqrt(area / aspect));
    };
    bool fieldKnown = false;
    if (e.fieldHeightCm && e.fieldWidthCm && *e.fieldHeightCm > 0 && *e.fieldWidthCm > 0) {
        setField(*e.fieldHeightCm, *e.fieldWidthCm);
        fieldKnown = true;
    } else if (e.fieldAreaCm2 && *e.fieldAreaCm2 > 0) {
        areaField(*e.fieldAreaCm2);
        fieldKnown = true;
        assume("field", Num(c.fieldLong) + " x " + Num(c.fieldShort) + " cm",
               "the recorded collimated area in the usual proportions of " + c.examPart,
               "照射野 " + Num(c.fieldLong) + " × " + Num(c.fieldShort) + " cm：" +
                   "記録された照射野面積を " + c.examPart + " の通常の縦横比で");
    } else if (e.referencePoint == ReferencePoint::DetectorPlane && e.dapGym2 && e.doseRpMGy &&
               *e.dapGym2 > 0 && *e.doseRpMGy > 0) {
        const double areaCm2 = *e.dapGym2 / (*e.doseRpMGy * 1e-3) * 1e4;
        areaField(areaCm2);
        fieldKnown = true;
        assume("field", Num(c.fieldLong) + " x " + Num(c.fieldShort) + " cm",
               "DAP ÷ Dose (RP) in the detector plane = " + Num(areaCm2) +
                   " cm², in the usual proportions of " + c.examPart,
               "照射野 " + Num(c.fieldLong) + " × " + Num(c.fieldShort) + " cm：" +
                   "DAP ÷ 検出器面の Dose (RP) = " + Num(areaCm2) + " cm² を " + c.examPart +
                   " の通常の縦横比で");
    } else if (e.collimatorLongCm && e.collimatorShortCm) {
        setField(*e.collimatorLongCm, *e.collimatorShortCm);
        fieldKnown = true;
        assume("field", Num(c.fieldLong) + " x " + Num(c.fieldShort) + " cm",
               "the collimator edges × the pixel spacing",
               "照射野 " + Num(c.fieldLong) + " × " + Num(c.fieldShort) + " cm：" +
                   "コリメータの縁 × 画素間隔");
    } else {
        if (standard) setField(standard->fieldLongCm, standard->fieldShortCm);
        assume("field", Num(c.fieldLong) + " x " + Num(c.fieldShort) + " cm",
               "no field recorded; the usual field of " + c.examPart,
               "照射野 " + Num(c.fieldLong) + " × " + Num(c.fieldShort) + " cm：" +
                   "照射野の記録がないため " + c.examPart + " の通常の照射野");
    }
    if (c.fieldLong > 100)
        refuse("field", "the field " + Num(c.fieldLong) + " cm at the receptor exceeds 100 cm",
               "受像面での照射野 " + Num(c.fieldLong) + " cm が 100 cm を超えています");

    // Filtration.
    if (prof && prof->inherentMmAl) {
        c.inherentFilter = *prof->inherentMmAl / 10;
    } else {
        assume("inherentFilter", Num(c.inherentFilter * 10) + " mm Al",
               noProfile + "; the program's default",
               "固有フィルタ " + Num(c.inherentFilter * 10) + " mm Al：" + noProfileJa +
                   "プログラムの既定値");
    }
    if (e.filtersRecorded) {
        c.addedAl = 0;
        c.addedCu = 0;
        for (const RecordFilter& f : e.filters) {
            if (!(f.mm >= 0 && f.mm <= 100)) {
                refuse("filter", "the filter thickness " + Num(f.mm) + " mm is impossible",
                       "フィルタ厚 " + Num(f.mm) + " mm はありえません");
                continue;
            }
            if (f.material == "Al") {
                c.addedAl += f.mm / 10;
            } else if (f.material == "Cu") {
                c.addedCu += f.mm / 10;
            } else if (c.arbitraryFilterName.empty()) {
                const std::filesystem::path file = cx.dataDir / (f.material + ".ele");
                try {
                    const MaterialTable t = ReadMaterialFile(file);
                    m.filter.on = 1;
                    m.filter.mu = BuildArbitraryFilterMu(t);
                    c.arbitraryFilterName = t.name;
                    c.arbitraryFilterThickness = f.mm / 10;
                } catch (const std::exception&) {
                    refuse("filter", "no material file for the recorded filter " + f.material,
                           "記録されたフィルタ " + f.material + " の材質ファイルがありません");
                }
            } else {
                refuse("filter",
                       "a second filter of another metal (" + f.material +
                           ") than aluminium and copper",
                       "アルミニウム・銅以外の 2 つ目のフィルタ（" + f.material +
                           "）は計算できません");
            }
        }
        for (const std::string& u : e.unknownFilters)
            assume("filter", "left out", "the recorded filter " + u + " cannot be read",
                   "記録されたフィルタ " + u + " は読めないため除きました");
    } else if (prof && (prof->addedMmAl || prof->addedMmCu)) {
        c.addedAl = prof->addedMmAl.value_or(0) / 10;
        c.addedCu = prof->addedMmCu.value_or(0) / 10;
        assume("addedFilter", Num(c.addedAl * 10) + " mm Al + " + Num(c.addedCu * 10) + " mm Cu",
               "no filter recorded; the unit's profile",
               "付加フィルタ Al " + Num(c.addedAl * 10) + " mm + Cu " + Num(c.addedCu * 10) +
                   " mm：" + "フィルタの記録がないため装置設定の値");
    } else {
        assume("addedFilter", Num(c.addedAl * 10) + " mm Al + " + Num(c.addedCu * 10) + " mm Cu",
               "no filter recorded, " + noProfile + "; the program's default",
               "付加フィルタ Al " + Num(c.addedAl * 10) + " mm + Cu " + Num(c.addedCu * 10) +
                   " mm：" + "フィルタの記録がなく、" + noProfileJa + "プログラムの既定値");
    }
    if (prof && prof->targetAngle) {
        c.targetAngle = *prof->targetAngle;
    } else {
        assume("targetAngle", Num(c.targetAngle) + " degrees",
               noProfile + "; the program's default",
               "ターゲット角度 " + Num(c.targetAngle) + "°：" + noProfileJa + "プログラムの既定値");
    }
    if (prof && prof->rectification) {
        c.rectification = *prof->rectification;
    } else {
        c.rectification = Rectification::ConstantPotential;
        assume("rectification", std::string(FileText(Rectification::ConstantPotential)),
               noProfile + "; the program's default",
               "整流方式 " + std::string(WindowText(Rectification::ConstantPotential)) + "：" +
                   noProfileJa + "プログラムの既定値");
    }
    if (prof && prof->outputFactor) m.outputFactor = *prof->outputFactor;
    c.exposureSource = ExposureSource::DefaultOutput;

    // The air kerma the record implies at the entrance surface (inverse square, no backscatter).
    if (c.fsd > 0) {
        const double fsd = c.fsd;
        auto at = [&](double mGy, double distanceCm, std::string how) {
            if (distanceCm > 0 && mGy > 0)
                m.recordKerma =
                    RecordKerma{mGy * (distanceCm / fsd) * (distanceCm / fsd), std::move(how)};
        };
        if (e.doseRpMGy && *e.doseRpMGy > 0) {
            switch (e.referencePoint) {
                case ReferencePoint::DetectorPlane:
                    at(*e.doseRpMGy, c.ffd, "Dose (RP) in the detector plane, inverse square");
                    break;
                case ReferencePoint::Entrance:
                    at(*e.doseRpMGy, e.sourceToReferencePointCm.value_or(fsd),
                       "Dose (RP) at the entrance");
                    break;
                case ReferencePoint::IsocenterMinus15cm:
                    if (e.sourceToIsocenterCm)
                        at(*e.doseRpMGy, *e.sourceToIsocenterCm - 15,
                           "Dose (RP) 15 cm from the isocentre, inverse square");
                    break;
                case ReferencePoint::Other:
                case ReferencePoint::Unknown:
                    if (e.sourceToReferencePointCm)
                        at(*e.doseRpMGy, *e.sourceToReferencePointCm,
                           "Dose (RP) at the recorded reference distance, inverse square");
                    break;
            }
        }
        if (!m.recordKerma && e.entranceDoseMGy && *e.entranceDoseMGy > 0)
            at(*e.entranceDoseMGy, fsd, "the header's entrance dose");
        if (!m.recordKerma && e.dapGym2 && *e.dapGym2 > 0 && fieldKnown) {
            const double areaM2 = c.fieldLong * c.fieldShort * 1e-4;
            at(*e.dapGym2 / areaM2 * 1e3, c.ffd, "DAP ÷ the field at the receptor, inverse square");
        }
    }
    return m;
}

}  // namespace dovex::records
