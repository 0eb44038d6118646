// SPDX-License-Identifier: MIT
#include "cli/batch.h"

#include <fstream>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <sstream>

#include "calculation/calculation.h"
#include "cli/calcargs.h"
#include "effdose/depthdose.h"
#include "engine/error.h"
#include "engine/numtext.h"
#include "engine/platform.h"
#include "engine/textio.h"

namespace dovex::batch {
namespace {

bool ValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80             ? 1
                        : (c & 0xE0) == 0xC0 ? 2
                        : (c & 0xF0) == 0xE0 ? 3
                        : (c & 0xF8) == 0xF0 ? 4
                                             : 0;
        if (n == 0 || i + n > s.size()) return false;
        if (n == 2 && c < 0xC2) return false;  // overlong
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

std::string Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return std::string(s);
}

// An exam part without the blanks around it: ASCII blanks and the full-width space U+3000, which
// a Japanese input method types, so that "　腹部正面 " finds the organ data of 腹部正面.
std::string TrimExamPart(std::string_view s) {
    constexpr std::string_view kWide = "\xE3\x80\x80";
    for (;;) {
        if (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
            s.remove_prefix(1);
        else if (s.substr(0, 3) == kWide)
            s.remove_prefix(3);
        else
            break;
    }
    for (;;) {
        if (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
            s.remove_suffix(1);
        else if (s.size() >= 3 && s.substr(s.size() - 3) == kWide)
            s.remove_suffix(3);
        else
            break;
    }
    return std::string(s);
}

bool Ascii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

bool ValidCp932(std::string_view s) {
    try {
        Cp932ToUtf8(s);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// A line longer than this is not a row of conditions; it is refused, and memory stays bounded
// whatever the file holds.
constexpr std::size_t kMaxLineBytes = 64 * 1024;

// The lines of a stream, read one at a time: a line ends at CR LF, LF or a lone CR.
class LineSource {
  public:
    explicit LineSource(std::streambuf* buf) : buf_(buf) {}
    // The next line (without its end) into `line`; false at the end of the data. `tooLong`: the
    // line had more than kMaxLineBytes bytes, of which only the first are kept.
    bool Next(std::string& line, bool& tooLong) {
        using Traits = std::char_traits<char>;
        line.clear();
        tooLong = false;
        Traits::int_type c = buf_->sbumpc();
        if (Traits::eq_int_type(c, Traits::eof())) return false;
        while (!Traits::eq_int_type(c, Traits::eof())) {
            const char ch = Traits::to_char_type(c);
            if (ch == '\n') break;
            if (ch == '\r') {
                if (Traits::eq_int_type(buf_->sgetc(), Traits::to_int_type('\n'))) buf_->sbumpc();
                break;
            }
            if (line.size() < kMaxLineBytes)
                line.push_back(ch);
            else
                tooLong = true;
            c = buf_->sbumpc();
        }
        ++number_;
        return true;
    }
    long number() const { return number_; }  // 1-based number of the line read last

  private:
    std::streambuf* buf_;
    long number_ = 0;
};

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// How the lines of a conditions file are decoded, decided from the whole file before a row is
// read: UTF-8 when every line with a non-ASCII byte is valid UTF-8; Shift-JIS (cp932) when none
// is; line by line (with a warning for each line read as Shift-JIS) when the file holds both, as
// when a row was pasted from another program. A line that is neither refuses the whole file, so
// that no garbled text is calculated or written.
enum class Encoding { Utf8, Cp932, PerLine };

Encoding ScanEncoding(std::streambuf* buf) {
    LineSource src(buf);
    std::string line;
    bool tooLong = false;
    long utf8 = 0, cp932 = 0;
    while (src.Next(line, tooLong)) {
        std::string_view l = line;
        if (src.number() == 1 && l.substr(0, 3) == kBom) l.remove_prefix(3);
        if (tooLong || Ascii(l)) continue;  // a line cut short is refused as a row anyway
        if (ValidUtf8(l))
            ++utf8;
        else if (ValidCp932(l))
            ++cp932;
        else
            throw ResultsFileError("line " + std::to_string(src.number()) +
                                   ": the text is neither UTF-8 nor Japanese Shift-JIS (cp932)");
    }
    if (cp932 == 0) return Encoding::Utf8;
    if (utf8 == 0) return Encoding::Cp932;
    return Encoding::PerLine;
}

struct Record {
    long line = 0;
    std::vector<std::string> cells;
    std::string error;    // why the record cannot be used
    std::string warning;  // how the line was read, when the reader had to choose
};

// Splits one line of CSV text into cells; quoted cells may hold commas and doubled quotes. A
// quote left open ends at the line end, and the record is marked bad, so that one stray quote
// cannot swallow the rows after it.
void SplitCells(std::string_view text, Record& rec) {
    std::string cell;
    bool quoted = false, wasQuoted = false;
    auto endCell = [&] {
        rec.cells.push_back(wasQuoted ? cell : Trim(cell));
        cell.clear();
        wasQuoted = false;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (quoted) {
            if (ch == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    cell += '"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                cell += ch;
            }
            continue;
        }
        if (ch == '"' && Trim(cell).empty()) {
            cell.clear();
            quoted = true;
            wasQuoted = true;
        } else if (ch == ',') {
            endCell();
        } else if (!wasQuoted) {
            cell += ch;
        }
    }
    if (quoted) rec.error = "a quote opened in this line is not closed (the row is not read)";
    endCell();
}

bool Blank(const Record& r) {
    if (!r.error.empty()) return false;
    for (const auto& c : r.cells)
        if (!c.empty()) return false;
    return true;
}

// The rows of a conditions file, one at a time: the memory it takes does not grow with the file.
class ConditionsReader {
  public:
    // Reads the header from `in`, which must be seekable (the encoding is decided by a first pass
    // over the whole data). Throws ResultsFileError.
    explicit ConditionsReader(std::istream& in) : in_(in), src_(in.rdbuf()) {
        encoding_ = ScanEncoding(in.rdbuf());
        in_.clear();
        if (!in_.seekg(0)) throw ResultsFileError("the file cannot be read a second time");
        src_ = LineSource(in_.rdbuf());
        Record head;
        do {
            if (!NextRecord(head)) throw ResultsFileError("the conditions file is empty");
        } while (Blank(head));
        if (!head.error.empty())
            throw ResultsFileError("line " + std::to_string(head.line) + ": " + head.error);
        std::set<std::string> seen;
        for (std::string name : head.cells) {
            if (name.rfind("--", 0) == 0) name = name.substr(2);
            if (name.empty())
                throw ResultsFileError("line " + std::to_string(head.line) +
                                       ": a column of the header has no name");
            if (!seen.insert(name).second)
                throw ResultsFileError("line " + std::to_string(head.line) + ": the column \"" +
                                       name + "\" appears twice");
            header_.push_back(name);
        }
    }

    const std::vector<std::string>& header() const { return header_; }

    // The next data row; false after the last.
    bool Next(ConditionRow& row) {
        Record rec;
        do {
            if (!NextRecord(rec)) return false;
        } while (Blank(rec));
        row = ConditionRow{};
        row.line = rec.line;
        row.error = rec.error;
        row.warning = rec.warning;
        const auto& cells = rec.cells;
        if (cells.size() < header_.size()) {
            if (!row.warning.empty()) row.warning += "; ";
            row.warning += std::to_string(cells.size()) + " cells where the header has " +
                           std::to_string(header_.size()) +
                           "; the missing conditions keep their defaults";
        }
        for (std::size_t c = 0; c < cells.size(); ++c) {
            if (cells[c].empty()) continue;
            if (c >= header_.size()) {
                // Kept under an empty name: the row is reported as bad.
                row.options.emplace_back("", cells[c]);
                continue;
            }
            if (header_[c] == "exam-part") {
                std::string part = TrimExamPart(cells[c]);
                if (!part.empty()) row.options.emplace_back(header_[c], std::move(part));
                continue;
            }
            row.options.emplace_back(header_[c], cells[c]);
        }
        return true;
    }

  private:
    // The next line as a record of cells, decoded; false at the end of the data.
    bool NextRecord(Record& rec) {
        rec = Record{};
        bool tooLong = false;
        if (!src_.Next(line_, tooLong)) return false;
        rec.line = src_.number();
        std::string_view l = line_;
        if (rec.line == 1 && l.substr(0, 3) == kBom) l.remove_prefix(3);
        if (tooLong) {
            rec.error = "the line is longer than " + std::to_string(kMaxLineBytes) +
                        " bytes (the row is not read)";
            return true;
        }
        std::string text;
        const bool utf8 = encoding_ == Encoding::Utf8 || Ascii(l) ||
                          (encoding_ == Encoding::PerLine && ValidUtf8(l));
        if (utf8) {
            text.assign(l);
        } else {
            try {
                text = Cp932ToUtf8(l);
            } catch (const std::exception&) {
                rec.error = "the text is not Japanese Shift-JIS (cp932) (the row is not read)";
                return true;
            }
            if (encoding_ == Encoding::PerLine)
                rec.warning =
                    "this line is Shift-JIS (cp932) text while other lines of the file "
                    "are UTF-8; it was read as Shift-JIS";
        }
        SplitCells(text, rec);
        return true;
    }

    std::istream& in_;
    LineSource src_;
    Encoding encoding_ = Encoding::Utf8;
    std::vector<std::string> header_;
    std::string line_;
};

// Opens a conditions file for reading: a regular file (or a link to one), never a pipe or a
// device that could hold the program. Throws ResultsFileError naming it.
void OpenConditions(const std::filesystem::path& path, std::ifstream& in, char* buffer,
                    std::size_t size) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (st.type() == fs::file_type::not_found)
        throw ResultsFileError(path.string() + ": the file does not exist");
    if (ec) throw ResultsFileError(path.string() + ": " + ec.message());
    if (st.type() != fs::file_type::regular)
        throw ResultsFileError(path.string() + ": not a regular file");
    in.rdbuf()->pubsetbuf(buffer, static_cast<std::streamsize>(size));
    in.open(path, std::ios::binary);
    if (!in) throw ResultsFileError(path.string() + ": the file cannot be opened for reading");
}

}  // namespace

ConditionsFile ParseConditionsFile(std::string_view bytes) {
    std::istringstream in{std::string(bytes)};
    ConditionsReader reader(in);
    ConditionsFile f;
    f.header = reader.header();
    ConditionRow row;
    while (reader.Next(row)) f.rows.push_back(std::move(row));
    return f;
}

RowCalculator MakeProgramCalculator(const calc::CalculationData& data,
                                    const std::filesystem::path& materialDir) {
    // One kernel reader for the whole batch: it reads the files again for every row and reuses a
    // parsed kernel only while the file's bytes are unchanged.
    auto kernels = std::make_shared<KernelFiles>(data.dataDir);
    return [&data, materialDir, kernels](const ConditionRow& row) {
        cli::CalcRequest req;
        for (const auto& [name, value] : row.options) {
            if (name.empty())
                throw cli::UsageError("a cell \"" + value + "\" stands beyond the header");
            cli::ApplyConditionOption(req, name, value);
        }
        const calc::CalculationRequest request =
            cli::PrepareCalc(req, data.tables, data.dataDir, materialDir);
        OrganRows organs;
        const calc::CalculationOutcome o =
            calc::Calculate(request, calc::ContextOf(data, *kernels, organs));
        if (o.refusal) throw CalcError(o.refusal->messageEn);
        RowCalculation out;
        out.cond = o.result.conditions;
        out.dose = o.result.dose;
        out.note = o.result.estimateNoteEn;
        out.estimateMissing = o.result.estimate == calc::EstimateStatus::NoOrganData ||
                              o.result.estimate == calc::EstimateStatus::StoppedByRow;
        out.drl = o.result.drl;
        return out;
    };
}

std::filesystem::path BatchOutputPath(const std::filesystem::path& out, int k) {
    if (k <= 1) return out;
    std::filesystem::path p = out;
    p.replace_filename(out.stem().string() + "-" + std::to_string(k) + out.extension().string());
    return p;
}

namespace {

// Where the k-th results file of a run is prepared until every file is written: beside the file
// it replaces (beside the file a link leads to, so that the rename stays in one folder).
std::filesystem::path PartPath(const std::filesystem::path& target) {
    std::filesystem::path p = target;
    p += ".part";
    return p;
}

// The output folder and the first results file, checked before a row is calculated: a run of
// 100 000 rows must not end in "cannot be written".
void CheckOutput(const std::filesystem::path& out) {
    namespace fs = std::filesystem;
    const fs::path folder = out.parent_path().empty() ? fs::path(".") : out.parent_path();
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        throw ResultsFileError(out.string() + ": the folder " + folder.string() +
                               " does not exist (nothing was calculated)");
    try {
        WriteTarget(out);
    } catch (const std::exception& e) {
        throw ResultsFileError(std::string(e.what()) + " (nothing was calculated)");
    }
}

}  // namespace

std::vector<std::filesystem::path> WriteResultsRows(const std::filesystem::path& out,
                                                    const std::vector<RowCalculation>& rows,
                                                    const std::string& comment, double airWOverE) {
    namespace fs = std::filesystem;
    CheckOutput(out);
    std::vector<fs::path> files, parts;
    auto removeParts = [&] {
        std::error_code ec;
        for (const fs::path& p : parts) fs::remove(p, ec);
    };
    ResultsTable table;
    ClearResultsTable(table);
    auto flush = [&] {
        if (table.empty()) return;
        const fs::path p = BatchOutputPath(out, static_cast<int>(files.size()) + 1);
        try {
            const fs::path part = PartPath(WriteTarget(p));
            parts.push_back(part);
            WriteFileAtomic(part, ResultsFileBytes(table, comment, airWOverE));
        } catch (const std::exception& e) {
            removeParts();
            throw ResultsFileError(p.string() + ": " + e.what() +
                                   " (no results file of this run was written)");
        }
        files.push_back(p);
        ClearResultsTable(table);
    };
    for (const RowCalculation& r : rows) {
        AppendCurrentResult(table, r.cond, r.dose, CurrentSurface{});
        if (table.full()) flush();
    }
    flush();
    for (std::size_t k = 0; k < files.size(); ++k) {
        std::error_code ec;
        try {
            fs::rename(parts[k], WriteTarget(files[k]), ec);
        } catch (const std::exception& e) {
            removeParts();
            throw ResultsFileError(std::string(e.what()));
        }
        if (ec) {
            removeParts();
            throw ResultsFileError(files[k].string() + ": cannot be replaced: " + ec.message());
        }
    }
    return files;
}

BatchSummary RunBatch(const BatchOptions& opt, const RowCalculator& calc, std::ostream& report) {
    namespace fs = std::filesystem;
    CheckOutput(opt.out);
    std::ifstream in;
    std::vector<char> buffer(64 * 1024);
    OpenConditions(opt.conditions, in, buffer.data(), buffer.size());
    std::optional<ConditionsReader> reader;
    try {
        reader.emplace(in);
    } catch (const ResultsFileError& e) {
        throw ResultsFileError(opt.conditions.string() + ": " + e.what());
    }

    // Each full table is written at once to its ".part" file, so that memory does not grow with
    // the run; only when every file is written are they renamed into place. On failure no file
    // of the run is in place and every ".part" file of it is removed.
    BatchSummary sum;
    // The ".part" file of the k-th results file; the names are computed again, not kept.
    auto partOf = [&](long k) {
        const fs::path p = BatchOutputPath(opt.out, static_cast<int>(k));
        try {
            return PartPath(WriteTarget(p));
        } catch (const std::exception&) {
            return PartPath(p);
        }
    };
    auto removeParts = [&] {
        std::error_code ec;
        for (long k = 1; k <= sum.files; ++k) fs::remove(partOf(k), ec);
    };
    ResultsTable table;
    ClearResultsTable(table);
    auto flush = [&] {
        if (table.empty()) return;
        const fs::path p = BatchOutputPath(opt.out, static_cast<int>(sum.files) + 1);
        try {
            const fs::path part = PartPath(WriteTarget(p));
            WriteFileAtomic(part, ResultsFileBytes(table, opt.comment, opt.airWOverE));
        } catch (const std::exception& e) {
            removeParts();
            throw ResultsFileError(p.string() + ": " + e.what() +
                                   " (no results file of this run was written)");
        }
        ++sum.files;
        ClearResultsTable(table);
    };
    ConditionRow row;
    while (reader->Next(row)) {
        ++sum.rows;
        if (!row.error.empty()) {
            report << "line " << row.line << ": " << row.error << " (row skipped)\n";
            ++sum.skipped;
            continue;
        }
        if (!row.warning.empty()) report << "line " << row.line << ": " << row.warning << "\n";
        RowCalculation r;
        try {
            r = calc(row);
        } catch (const std::exception& e) {
            report << "line " << row.line << ": " << e.what() << " (row skipped)\n";
            ++sum.skipped;
            continue;
        }
        if (!r.note.empty()) report << "line " << row.line << ": " << r.note << "\n";
        if (r.estimateMissing) ++sum.notEstimated;
        if (r.drl.exceeds())
            report << "line " << row.line << ": the entrance air kerma "
                   << PlainNumber(r.drl.esdMGy) << " mGy is " << FormatPattern(r.drl.percent, "0")
                   << " % of the reference level " << PlainNumber(r.drl.valueMGy) << " mGy ("
                   << r.drl.item << ")\n";
        AppendCurrentResult(table, r.cond, r.dose, CurrentSurface{});
        ++sum.written;
        if (table.full()) flush();
    }
    if (in.bad()) {
        removeParts();
        throw ResultsFileError(opt.conditions.string() +
                               ": read error (no results file of this run was written)");
    }
    flush();
    if (sum.files == 0) return sum;
    for (long k = 1; k <= sum.files; ++k) {
        const fs::path p = BatchOutputPath(opt.out, static_cast<int>(k));
        std::error_code ec;
        try {
            fs::rename(partOf(k), WriteTarget(p), ec);
        } catch (const std::exception& e) {
            removeParts();
            throw ResultsFileError(std::string(e.what()));
        }
        if (ec) {
            removeParts();
            throw ResultsFileError(p.string() + ": cannot be replaced: " + ec.message());
        }
    }
    // Numbered files of an earlier, longer run with the same name would stand beside this run's
    // files as if they belonged to it: results files are removed, anything else is left and
    // reported.
    for (int k = static_cast<int>(sum.files) + 1;; ++k) {
        const fs::path stale = BatchOutputPath(opt.out, k);
        std::error_code ec;
        if (!fs::exists(stale, ec)) break;
        bool resultsFile = false;
        try {
            ReadResultsFile(stale);
            resultsFile = fs::is_regular_file(stale, ec);
        } catch (const std::exception&) {
        }
        if (resultsFile && fs::remove(stale, ec)) {
            report << stale.string() << ": removed, a results file of an earlier run\n";
        } else {
            report << stale.string()
                   << ": left in place, but it is not a file of this run (not removed)\n";
            sum.staleLeft.push_back(stale);
        }
    }
    return sum;
}

int RunBatchCommand(const BatchOptions& opt, const RowCalculator& calc, std::ostream& out,
                    std::ostream& err) {
    BatchSummary sum;
    try {
        sum = RunBatch(opt, calc, err);
    } catch (const std::exception& e) {
        err << "dovex-calc: " << e.what() << "\n";
        return 1;
    }
    for (long k = 0; k < sum.files; ++k) {
        long rowsIn =
            std::min<long>(ResultsTable::kCapacity, sum.written - k * ResultsTable::kCapacity);
        out << BatchOutputPath(opt.out, static_cast<int>(k + 1)).string() << ": " << rowsIn
            << " rows\n";
    }
    out << sum.written << " of " << sum.rows << " exposures written";
    if (sum.skipped) out << ", " << sum.skipped << " skipped";
    if (sum.notEstimated)
        out << ", " << sum.notEstimated
            << " without the effective dose estimate their exam part asked for";
    out << "\n";
    if (sum.written == 0) err << "dovex-calc: no exposure could be calculated; nothing written\n";
    return sum.skipped == 0 && sum.notEstimated == 0 && sum.written > 0 && sum.staleLeft.empty()
               ? 0
               : 1;
}

nlohmann::ordered_json ResultsToJson(const ResultsFileContents& in) {
    nlohmann::ordered_json j;
    j["comment"] = in.comment;
    if (in.airWOverE)
        j["airWOverE"] = *in.airWOverE;
    else
        j["airWOverE"] = nullptr;
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (int i = 1; i <= std::min(in.table.count(), ResultsTable::kCapacity); ++i) {
        const ResultRow& r = in.table.row(i);
        nlohmann::ordered_json o;
        o["examPart"] = r.examPart;
        o["surfaceShape"] = std::string(SurfaceShapeWord(r.surfaceShape));
        o["surfaceShapeCode"] = static_cast<int>(r.surfaceShape);
        o["cylinderRadius"] = r.cylinderRadius;
        o["ellipseHRadius"] = r.ellipseHRadius;
        o["ellipseVRadius"] = r.ellipseVRadius;
        o["racetrackA"] = r.racetrackA;
        o["racetrackB"] = r.racetrackB;
        o["racetrackL"] = r.racetrackL;
        o["rectification"] = r.rectification;
        o["exposureAt1m"] = r.exposureAt1m;
        o["tubeVoltage"] = r.tubeVoltage;
        o["tubeCurrent"] = r.tubeCurrent;
        o["exposureTime"] = r.exposureTime;
        o["targetAngle"] = r.targetAngle;
        o["inherentFilter"] = r.inherentFilter;
        o["addedAl"] = r.addedAl;
        o["addedCu"] = r.addedCu;
        o["arbitraryFilterName"] = r.arbitraryFilterName;
        o["arbitraryFilterThickness"] = r.arbitraryFilterThickness;
        o["ffd"] = r.ffd;
        o["fsd"] = r.fsd;
        o["subjectThickness"] = r.subjectThickness;
        o["fieldPreset"] = r.fieldPreset;
        o["fieldLong"] = r.fieldLong;
        o["fieldShort"] = r.fieldShort;
        o["hvl1"] = r.hvl1;
        o["hvl2"] = r.hvl2;
        o["effectiveEnergy"] = r.effectiveEnergy;
        o["qualityIndex"] = r.qualityIndex;
        o["bsfSoft"] = r.bsfSoft;
        o["bsfSkin"] = r.bsfSkin;
        o["bsfAir"] = r.bsfAir;
        o["convSoft"] = r.convSoft;
        o["convSkin"] = r.convSkin;
        o["esdSoft"] = r.esdSoft;
        o["esdSkin"] = r.esdSkin;
        o["esdAir"] = r.esdAir;
        o["effectiveDose"] = r.effectiveDose;
        rows.push_back(std::move(o));
    }
    j["rows"] = std::move(rows);
    return j;
}

std::string ResultsToText(const ResultsFileContents& in) {
    std::ostringstream s;
    s << "comment: " << in.comment << "\n";
    s << "rows: " << in.table.count() << "\n";
    s << "airWOverE: " << (in.airWOverE ? PlainNumber(*in.airWOverE) : std::string("-"))
      << " Gy/(C/kg)\n";
    for (int i = 1; i <= std::min(in.table.count(), ResultsTable::kCapacity); ++i) {
        ResultsTable one;
        one.rows[1] = in.table.row(i);
        one.nextRow = 2;
        std::vector<std::string> lines = ResultsFileLines(one, "", in.airWOverE.value_or(0));
        s << "row " << i << "\n";
        for (std::size_t k = 2; k < lines.size(); ++k) {
            const std::string& l = lines[k];
            std::size_t comma = l.find(',');
            std::string value = l.substr(comma + 1);
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
                std::string unq;
                for (std::size_t p = 1; p + 1 < value.size(); ++p) {
                    unq += value[p];
                    if (value[p] == '"') ++p;
                }
                value = unq;
            }
            s << "  " << l.substr(0, comma) << ": " << value << "\n";
        }
    }
    return s.str();
}

int ReadResultsCommand(const std::filesystem::path& file, bool json, std::ostream& out,
                       std::ostream& err) {
    ResultsFileContents in;
    try {
        in = ReadResultsFile(file);
    } catch (const ResultsFileError& e) {
        err << "dovex-calc: " << file.string() << " cannot be read as a results file: " << e.what()
            << "\n";
        return 1;
    }
    if (json)
        out << ResultsToJson(in).dump(2) << "\n";
    else
        out << ResultsToText(in);
    return 0;
}

}  // namespace dovex::batch
