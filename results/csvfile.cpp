// SPDX-License-Identifier: MIT
#include "results/csvfile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <system_error>

#include "engine/error.h"
#include "engine/kinds.h"
#include "engine/numtext.h"
#include "engine/textio.h"

namespace dovex {
namespace {

constexpr std::string_view kDash = "―";  // U+2015, 81 5C in cp932

enum class Kind {
    Text,      // text as it stands
    Material,  // text, "―" when empty
    Shape,     // shape word
    Rectification,
    DashIfZero,  // plain, "―" when 0; read as the leading number
    Lenient,     // plain; read as the leading number
    Plain,       // plain; read as a number
    Mm,          // x10 plain; read as a number x0.1
    Pattern,     // pattern; read as a number
    MmPattern,   // x10 pattern; read as a number x0.1
    Air,         // the constant airWOverE, "00.00"
};

struct FieldSpec {
    std::string_view heading;
    Kind kind;
    double ResultRow::*num = nullptr;
    std::string ResultRow::*text = nullptr;
    std::string_view pattern = {};
};

// Lines 3 to 40 of the file, in file order. Line 41 (effective dose) is handled apart because
// older files end before it.
const std::array<FieldSpec, 38>& FieldLines() {
    static const std::array<FieldSpec, 38> specs = {{
        {"照射部位", Kind::Text, nullptr, &ResultRow::examPart},
        {"入射面", Kind::Shape},
        {"円柱半径", Kind::DashIfZero, &ResultRow::cylinderRadius},
        {"楕円水平半径", Kind::DashIfZero, &ResultRow::ellipseHRadius},
        {"楕円垂直半径", Kind::DashIfZero, &ResultRow::ellipseVRadius},
        {"Racetrack a", Kind::Lenient, &ResultRow::racetrackA},
        {"Racetrack b", Kind::Lenient, &ResultRow::racetrackB},
        {"Racetrack L", Kind::Lenient, &ResultRow::racetrackL},
        {"整流方式", Kind::Rectification},
        {"照射線量 at 1m (C/kg)", Kind::Pattern, &ResultRow::exposureAt1m, nullptr, "0.00E+00"},
        {"管電圧 (kV)", Kind::Plain, &ResultRow::tubeVoltage},
        {"管電流 (mA)", Kind::Plain, &ResultRow::tubeCurrent},
        {"時間 (sec)", Kind::Plain, &ResultRow::exposureTime},
        {"ﾀｰｹﾞｯﾄ角度(度)", Kind::Plain, &ResultRow::targetAngle},
        {"固有濾過(mmAL)", Kind::Mm, &ResultRow::inherentFilter},
        {"ｱﾙﾐ付加 (mm)", Kind::Mm, &ResultRow::addedAl},
        {"銅付加 (mm)", Kind::Mm, &ResultRow::addedCu},
        {"その他フィルタ", Kind::Material, nullptr, &ResultRow::arbitraryFilterName},
        {"　上記厚(mm)", Kind::Mm, &ResultRow::arbitraryFilterThickness},
        {"FFD (cm)", Kind::Plain, &ResultRow::ffd},
        {"FSD (cm)", Kind::Plain, &ResultRow::fsd},
        {"体厚 (cm)", Kind::Plain, &ResultRow::subjectThickness},
        {"照射野 at FFD", Kind::Text, nullptr, &ResultRow::fieldPreset},
        {"長軸 (cm)", Kind::Plain, &ResultRow::fieldLong},
        {"短軸 (cm)", Kind::Plain, &ResultRow::fieldShort},
        {"第１半価層 (mmAL)", Kind::MmPattern, &ResultRow::hvl1, nullptr, "#0.000"},
        {"第２半価層 (mmAL)", Kind::MmPattern, &ResultRow::hvl2, nullptr, "#0.000"},
        {"実効エネルギー (keV)", Kind::Pattern, &ResultRow::effectiveEnergy, nullptr, "#00.00"},
        {"線質指標 QI", Kind::Pattern, &ResultRow::qualityIndex, nullptr, "0.000"},
        {"後方散乱係数 Soft", Kind::Pattern, &ResultRow::bsfSoft, nullptr, "0.000"},
        {"後方散乱係数 Skin", Kind::Pattern, &ResultRow::bsfSkin, nullptr, "0.000"},
        {"後方散乱係数 Air", Kind::Pattern, &ResultRow::bsfAir, nullptr, "0.000"},
        {"吸収線量変換係数(Soft) (Gy/C/kg)", Kind::Pattern, &ResultRow::convSoft, nullptr, "00.00"},
        {"吸収線量変換係数(skin) (Gy/C/kg)", Kind::Pattern, &ResultRow::convSkin, nullptr, "00.00"},
        {"吸収線量変換係数(Air) (Gy/C/kg)", Kind::Air},
        {"入射表面線量 (Soft) (mGy)", Kind::Pattern, &ResultRow::esdSoft, nullptr, "##0.00"},
        {"入射表面線量 (skin) (mGy)", Kind::Pattern, &ResultRow::esdSkin, nullptr, "##0.00"},
        {"入射表面線量 (air) (mGy)", Kind::Pattern, &ResultRow::esdAir, nullptr, "##0.00"},
    }};
    return specs;
}

constexpr std::string_view kEffectiveDoseHeading = "実効線量概算値 (mSv)";

std::string RectificationWord(int code) {
    return std::string(FileText(RectificationOrSinglePhase(code)));
}

std::string WriteValue(const FieldSpec& f, const ResultRow& r, double airWOverE) {
    switch (f.kind) {
        case Kind::Text:
            return CsvTextItem(r.*(f.text));
        case Kind::Material:
            return (r.*(f.text)).empty() ? std::string(kDash) : CsvTextItem(r.*(f.text));
        case Kind::Shape:
            return std::string(SurfaceShapeWord(r.surfaceShape));
        case Kind::Rectification:
            return RectificationWord(r.rectification);
        case Kind::DashIfZero:
            return r.*(f.num) == 0 ? std::string(kDash) : PlainNumber(r.*(f.num));
        case Kind::Lenient:
        case Kind::Plain:
            return PlainNumber(r.*(f.num));
        case Kind::Mm:
            return PlainNumber(r.*(f.num) * 10);
        case Kind::Pattern:
            return FormatPattern(r.*(f.num), f.pattern);
        case Kind::MmPattern:
            return FormatPattern(r.*(f.num) * 10, f.pattern);
        case Kind::Air:
            return FormatPattern(airWOverE, "00.00");
    }
    return {};
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (IsBlank(s.front()) || s.front() == '\r' || s.front() == '\n'))
        s.remove_prefix(1);
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the items of a results file and says where a failure happened.
class ItemStream {
  public:
    ItemStream(std::string utf8, const std::string& name) : reader_(std::move(utf8), name) {}

    [[noreturn]] void Fail(const std::string& what) const {
        // The line of the item that is wrong, or where the reading stopped.
        const std::size_t line = reader_.itemsRead() ? reader_.itemLine() : reader_.line();
        throw ResultsFileError("line " + std::to_string(line) + ": " + what);
    }
    std::string Line() {
        auto l = reader_.ReadLine();
        if (!l) Fail("the file is empty");
        return *l;
    }
    std::string Item(const char* what) {
        auto it = reader_.NextItem(false);
        if (!it) Fail(std::string("the file ends before ") + what);
        return *it;
    }
    double Number(const char* what) {
        std::string it = Item(what);
        auto v = StrictNumber(it);
        if (!v) Fail(std::string(what) + " is not a number: \"" + it.substr(0, 40) + "\"");
        return *v;
    }
    double Leading(const char* what) {
        std::string it = Item(what);
        double v = ParseLenient(it);
        if (!std::isfinite(v)) Fail(std::string(what) + " is out of range");
        return v;
    }
    bool AtEnd() const { return reader_.AtEnd(); }

  private:
    FieldReader reader_;
};

}  // namespace

std::optional<double> StrictNumber(std::string_view item) {
    std::string_view s = Trim(item);
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        std::size_t expDigits = 0;
        while (i < s.size() && IsDigit(s[i])) ++i, ++expDigits;
        if (expDigits == 0) return std::nullopt;
    }
    if (i != s.size()) return std::nullopt;
    double v = ParseLenient(s);
    if (!std::isfinite(v)) return std::nullopt;
    return v;
}

std::string CsvTextItem(std::string_view text) {
    // An empty item at the end of a line would let the reader run on into the next line.
    bool quote = text.empty();
    for (char c : text)
        if (c == ',' || c == '"' || c == '\r' || c == '\n') quote = true;
    if (!text.empty() && (IsBlank(text.front()) || IsBlank(text.back()) || text.front() == '\x1a'))
        quote = true;
    if (!quote) return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::vector<std::string> ResultsFileLines(const ResultsTable& table, std::string_view comment,
                                          double airWOverE) {
    const int n = std::clamp(table.count(), 0, ResultsTable::kCapacity);
    std::vector<std::string> lines;
    lines.reserve(41);
    std::string c(comment);
    for (char& ch : c)
        if (ch == '\r' || ch == '\n') ch = ' ';
    lines.push_back(c);
    lines.push_back(" " + std::to_string(n) + " ");
    for (const FieldSpec& f : FieldLines()) {
        std::string line(f.heading);
        for (int i = 1; i <= n; ++i) {
            line += ',';
            line += WriteValue(f, table.row(i), airWOverE);
        }
        lines.push_back(std::move(line));
    }
    std::string last(kEffectiveDoseHeading);
    for (int i = 1; i <= n; ++i) {
        double e = table.row(i).effectiveDose;
        last += ',';
        last += e == 0 ? std::string(kDash) : FormatPattern(e, "##0.000");
    }
    lines.push_back(std::move(last));
    return lines;
}

std::string ResultsFileBytes(const ResultsTable& table, std::string_view comment,
                             double airWOverE) {
    std::string out;
    for (const std::string& line : ResultsFileLines(table, comment, airWOverE)) {
        auto bytes = Utf8ToCp932(line);
        if (!bytes)
            throw ResultsFileError("a text cannot be written in the Japanese code page: \"" +
                                   line.substr(0, 60) + "\"");
        out += *bytes;
        out += "\r\n";
    }
    return out;
}

std::optional<std::string> CheckResultsFileStem(std::string_view stem) {
    if (stem.empty()) return "the file name is empty";
    if (stem == "." || stem == "..") return "the file name is not a name";
    for (unsigned char c : stem) {
        if (c < 0x20 || c == 0x7f) return "the file name holds a control character";
        if (std::string_view("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos)
            return std::string("the file name holds the character ") + static_cast<char>(c);
    }
    if (stem.back() == ' ' || stem.back() == '.') return "the file name ends in a blank or a point";
    // Device names that Windows file systems refuse, with or without an extension.
    std::string upper;
    for (char c : stem.substr(0, stem.find('.')))
        upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    for (const char* dev :
         {"CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
          "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"})
        if (upper == dev) return "the file name is a device name";
    return std::nullopt;
}

void SaveResultsFile(const std::filesystem::path& path, const ResultsTable& table,
                     std::string_view comment, double airWOverE) {
    std::string bytes = ResultsFileBytes(table, comment, airWOverE);
    try {
        WriteFileAtomic(path, bytes);
    } catch (const std::exception& e) {
        throw ResultsFileError(e.what());
    }
}

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The line of the first byte that is not UTF-8 (1-based), or 0 when all are.
std::size_t FirstBadUtf8Line(std::string_view s) {
    std::size_t line = 1;
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == '\n') ++line;
        const std::size_t len = c < 0x80         ? 1
                                : (c >> 5) == 6  ? 2
                                : (c >> 4) == 14 ? 3
                                : (c >> 3) == 30 ? 4
                                                 : 0;
        if (len == 0 || i + len > s.size() || (len == 2 && c < 0xC2)) return line;
        for (std::size_t k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return line;
        i += len;
    }
    return 0;
}

// A spreadsheet program that saves the file again pads every line with empty cells up to the
// widest line ("4,,,," for the row count). The program itself writes an empty text as "", never
// as an empty cell, so empty cells at the end of a line are padding and are dropped; quoted
// items (which may hold commas and line breaks) are kept whole.
std::string DropTrailingEmptyCells(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool quoted = false;
    bool comment = true;   // line 1 is read whole, quotes and all
    std::size_t keep = 0;  // out's length up to the end of the line's last non-empty cell
    for (char c : text) {
        if (c == '"' && !comment) quoted = !quoted;
        if (!quoted && (c == '\r' || c == '\n')) {
            out.resize(keep);
            out += c;
            keep = out.size();
            if (c == '\n') comment = false;
            continue;
        }
        out += c;
        if (quoted || (c != ',' && c != ' ' && c != '\t')) keep = out.size();
    }
    out.resize(keep);
    return out;
}

}  // namespace

ResultsFileContents ParseResultsFile(std::string_view bytes, const std::string& name) {
    if (bytes.size() > kMaxResultsFileBytes) throw ResultsFileError("the file is too large");
    if (bytes.empty()) throw ResultsFileError("the file is empty");
    std::string utf8;
    if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        // Saved as "CSV UTF-8": Unicode text behind a byte-order mark.
        bytes.remove_prefix(kUtf8Bom.size());
        if (const std::size_t bad = FirstBadUtf8Line(bytes))
            throw ResultsFileError("line " + std::to_string(bad) +
                                   ": the file begins with a UTF-8 mark but is not UTF-8 text");
        utf8 = std::string(bytes);
    } else {
        try {
            utf8 = Cp932ToUtf8(bytes);
        } catch (const std::exception& e) {
            // The first line that does not decode names the place.
            std::size_t line = 1;
            for (std::string_view rest = bytes; !rest.empty(); ++line) {
                const std::size_t end = std::min(rest.find('\n'), rest.size());
                try {
                    (void)Cp932ToUtf8(rest.substr(0, end));
                } catch (const std::exception&) {
                    break;
                }
                rest.remove_prefix(std::min(end + 1, rest.size()));
            }
            throw ResultsFileError("line " + std::to_string(line) +
                                   ": the file is not Japanese Shift-JIS text: " + e.what());
        }
    }
    ItemStream in(DropTrailingEmptyCells(utf8), name);
    ResultsFileContents out;
    ClearResultsTable(out.table);
    out.comment = in.Line();

    double count = in.Number("the row count");
    if (count != std::floor(count) || count < 0 || count > ResultsTable::kCapacity)
        in.Fail("the row count must be a whole number from 0 to 15");
    const int n = static_cast<int>(count);
    ResultsTable& t = out.table;

    for (const FieldSpec& f : FieldLines()) {
        in.Item("a heading");
        for (int i = 1; i <= n; ++i) {
            ResultRow& r = t.row(i);
            switch (f.kind) {
                case Kind::Text:
                    r.*(f.text) = in.Item("a text");
                    break;
                case Kind::Material: {
                    std::string s = in.Item("a material");
                    r.*(f.text) = (s == kDash) ? std::string() : s;
                    break;
                }
                case Kind::Shape:
                    r.surfaceShape = SurfaceShapeFromWord(in.Item("a surface shape"));
                    break;
                case Kind::Rectification: {
                    std::string s = in.Item("a rectification");
                    r.rectification = CodeOf(RectificationFromFileText(s));
                    break;
                }
                case Kind::DashIfZero:
                case Kind::Lenient:
                    r.*(f.num) = in.Leading("a surface dimension");
                    break;
                case Kind::Plain:
                case Kind::Pattern:
                    r.*(f.num) = in.Number("a value");
                    break;
                case Kind::Mm:
                case Kind::MmPattern:
                    r.*(f.num) = in.Number("a value in mm") * 0.1;
                    break;
                case Kind::Air:
                    out.airWOverE = in.Number("the air conversion coefficient");
                    break;
            }
        }
    }
    if (!in.AtEnd()) {
        out.hasEffectiveDoseLine = true;
        in.Item("a heading");
        for (int i = 1; i <= n; ++i) {
            std::string s = in.Item("an effective dose");
            double v = 0;
            if (s != kDash) {
                v = ParseLenient(s);
                if (!std::isfinite(v)) in.Fail("an effective dose is out of range");
            }
            t.row(i).effectiveDose = v;
        }
    }
    t.nextRow = n + 1;
    return out;
}

namespace {

std::string ReadSmallFile(const std::filesystem::path& path) {
    std::error_code ec;
    auto size = std::filesystem::file_size(path, ec);
    if (ec) throw ResultsFileError("the file cannot be opened: " + ec.message());
    if (size > kMaxResultsFileBytes) throw ResultsFileError("the file is too large");
    try {
        return ReadFileBytes(path, path.filename().string(), kMaxResultsFileBytes);
    } catch (const std::exception& e) {
        throw ResultsFileError(e.what());
    }
}

}  // namespace

ResultsFileContents ReadResultsFile(const std::filesystem::path& path) {
    std::string bytes = ReadSmallFile(path);
    return ParseResultsFile(bytes, path.filename().string());
}

std::optional<std::string> ReadResultsComment(const std::filesystem::path& path) {
    try {
        std::string bytes = ReadSmallFile(path);
        if (bytes.empty()) return std::nullopt;
        std::size_t e = bytes.find('\n');
        std::string line = bytes.substr(0, e);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return Cp932ToUtf8(line);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace dovex
