#include "cli/batch.h"

#include <memory>
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

struct Record {
    long line = 0;
    std::vector<std::string> cells;
    std::string error;  // why the record cannot be used
};

// Splits CSV text into records of cells; quoted cells may hold commas and doubled quotes. A quote
// left open ends at the line end, and its record is marked bad, so that one stray quote cannot
// swallow the rows after it.
std::vector<Record> SplitRecords(const std::string& text) {
    std::vector<Record> out;
    Record rec;
    rec.line = 1;
    std::string cell;
    bool quoted = false, wasQuoted = false;
    long line = 1;
    auto endCell = [&] {
        rec.cells.push_back(wasQuoted ? cell : Trim(cell));
        cell.clear();
        wasQuoted = false;
    };
    auto endRecord = [&] {
        endCell();
        bool blank = true;
        for (const auto& c : rec.cells)
            if (!c.empty()) blank = false;
        if (!blank || rec.cells.size() > 1 || !rec.error.empty()) out.push_back(std::move(rec));
        rec = Record{};
        rec.line = line;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        char ch = text[i];
        if (quoted && (ch == '\r' || ch == '\n')) {
            quoted = false;
            rec.error = "a quote opened in this line is not closed (the row is not read)";
        }
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
        } else if (ch == '\r' || ch == '\n') {
            if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            ++line;
            endRecord();
        } else if (!wasQuoted) {
            cell += ch;
        }
    }
    if (quoted) rec.error = "a quote opened in this line is not closed (the row is not read)";
    if (!cell.empty() || !rec.cells.empty() || wasQuoted) endRecord();
    return out;
}

}  // namespace

ConditionsFile ParseConditionsFile(std::string_view bytes) {
    if (bytes.size() > kMaxResultsFileBytes) throw ResultsFileError("the file is too large");
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    std::string text;
    if (ValidUtf8(bytes)) {
        text = std::string(bytes);
    } else {
        try {
            text = Cp932ToUtf8(bytes);
        } catch (const std::exception&) {
            throw ResultsFileError("the file is neither UTF-8 nor Japanese Shift-JIS text");
        }
    }
    std::vector<Record> recs = SplitRecords(text);
    // Records without any non-blank cell are blank lines.
    std::erase_if(recs, [](const Record& r) {
        if (!r.error.empty()) return false;
        for (const auto& c : r.cells)
            if (!c.empty()) return false;
        return true;
    });
    if (recs.empty()) throw ResultsFileError("the conditions file is empty");
    if (!recs.front().error.empty())
        throw ResultsFileError("line " + std::to_string(recs.front().line) + ": " +
                               recs.front().error);
    ConditionsFile f;
    std::set<std::string> seen;
    for (std::string name : recs.front().cells) {
        if (name.rfind("--", 0) == 0) name = name.substr(2);
        if (name.empty())
            throw ResultsFileError("line " + std::to_string(recs.front().line) +
                                   ": a column of the header has no name");
        if (!seen.insert(name).second)
            throw ResultsFileError("line " + std::to_string(recs.front().line) + ": the column \"" +
                                   name + "\" appears twice");
        f.header.push_back(name);
    }
    for (std::size_t r = 1; r < recs.size(); ++r) {
        ConditionRow row;
        row.line = recs[r].line;
        row.error = recs[r].error;
        const auto& cells = recs[r].cells;
        if (cells.size() < f.header.size())
            row.warning = std::to_string(cells.size()) + " cells where the header has " +
                          std::to_string(f.header.size()) +
                          "; the missing conditions keep their defaults";
        for (std::size_t c = 0; c < cells.size(); ++c) {
            if (cells[c].empty()) continue;
            if (c >= f.header.size()) {
                // Kept under an empty name: the row is reported as bad.
                row.options.emplace_back("", cells[c]);
                continue;
            }
            row.options.emplace_back(f.header[c], cells[c]);
        }
        f.rows.push_back(std::move(row));
    }
    return f;
}

ConditionsFile ReadConditionsFile(const std::filesystem::path& path) {
    std::error_code ec;
    auto size = std::filesystem::file_size(path, ec);
    if (ec) throw ResultsFileError(path.string() + ": " + ec.message());
    if (size > kMaxResultsFileBytes)
        throw ResultsFileError(path.string() + ": the file is too large");
    std::string bytes;
    try {
        bytes = ReadFileBytes(path, path.string(), kMaxResultsFileBytes);
    } catch (const std::exception& e) {
        throw ResultsFileError(e.what());
    }
    try {
        return ParseConditionsFile(bytes);
    } catch (const ResultsFileError& e) {
        throw ResultsFileError(path.string() + ": " + e.what());
    }
}

RowCalculator MakeProgramCalculator(const PhysicsTables& tables,
                                    const std::filesystem::path& dataDir) {
    // One kernel reader for the whole batch: it reads the files again for every row and reuses a
    // parsed kernel only while the file's bytes are unchanged.
    auto kernels = std::make_shared<KernelFiles>(dataDir);
    std::vector<std::string> listed;
    try {
        listed = calc::ReadExamPartList(dataDir / platform::PathFromUtf8(files::kExamParts));
    } catch (const std::exception&) {
        // Without the list every exam part counts as typed.
    }
    return [&tables, dataDir, kernels, listed](const ConditionRow& row) {
        cli::CalcRequest req;
        for (const auto& [name, value] : row.options) {
            if (name.empty())
                throw cli::UsageError("a cell \"" + value + "\" stands beyond the header");
            cli::ApplyConditionOption(req, name, value);
        }
        const calc::CalculationRequest request = cli::PrepareCalc(req, tables, dataDir);
        OrganRows organs;
        const calc::CalculationOutcome o =
            calc::Calculate(request, {tables, dataDir, listed, *kernels, organs});
        if (o.refusal) throw CalcError(o.refusal->messageEn);
        RowCalculation out{o.result.conditions, o.result.dose, o.result.estimateNoteEn};
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

// Writes all files of a run: each to a temporary name beside its place first; only when all are
// written are they renamed into place. On failure no file of the run is in place and every
// temporary file is removed.
void WriteRunFiles(const std::vector<std::pair<std::filesystem::path, std::string>>& files) {
    std::vector<std::filesystem::path> temps;
    auto removeTemps = [&] {
        std::error_code ec;
        for (const auto& t : temps) std::filesystem::remove(t, ec);
    };
    for (const auto& [path, bytes] : files) {
        std::filesystem::path tmp = path;
        tmp += ".part";
        try {
            std::error_code ec;
            std::filesystem::remove(tmp, ec);
            temps.push_back(tmp);
            WriteFileAtomic(tmp, bytes);
        } catch (const std::exception& e) {
            removeTemps();
            throw ResultsFileError(path.string() + ": " + e.what() +
                                   " (no results file of this run was written)");
        }
    }
    for (std::size_t k = 0; k < files.size(); ++k) {
        std::error_code ec;
        std::filesystem::rename(temps[k], files[k].first, ec);
        if (ec) {
            removeTemps();
            throw ResultsFileError(files[k].first.string() +
                                   ": cannot be replaced: " + ec.message());
        }
    }
}

}  // namespace

BatchSummary RunBatch(const BatchOptions& opt, const RowCalculator& calc, std::ostream& report) {
    ConditionsFile file = ReadConditionsFile(opt.conditions);
    BatchSummary sum;
    sum.rows = static_cast<long>(file.rows.size());
    std::vector<std::pair<std::filesystem::path, std::string>> outputs;
    ResultsTable table;
    ClearResultsTable(table);
    auto flush = [&] {
        if (table.empty()) return;
        std::filesystem::path p = BatchOutputPath(opt.out, static_cast<int>(outputs.size()) + 1);
        try {
            outputs.emplace_back(p, ResultsFileBytes(table, opt.comment, opt.airWOverE));
        } catch (const ResultsFileError& e) {
            throw ResultsFileError(p.string() + ": " + e.what());
        }
        ClearResultsTable(table);
    };
    for (const ConditionRow& row : file.rows) {
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
        AppendCurrentResult(table, r.cond, r.dose, CurrentSurface{});
        ++sum.written;
        if (table.full()) flush();
    }
    flush();
    if (outputs.empty()) return sum;
    WriteRunFiles(outputs);
    for (const auto& o : outputs) sum.files.push_back(o.first);
    // Numbered files of an earlier, longer run with the same name would stand beside this run's
    // files as if they belonged to it: results files are removed, anything else is left and
    // reported.
    for (int k = static_cast<int>(outputs.size()) + 1;; ++k) {
        const std::filesystem::path stale = BatchOutputPath(opt.out, k);
        std::error_code ec;
        if (!std::filesystem::exists(stale, ec)) break;
        bool resultsFile = false;
        try {
            ReadResultsFile(stale);
            resultsFile = std::filesystem::is_regular_file(stale, ec);
        } catch (const std::exception&) {
        }
        if (resultsFile && std::filesystem::remove(stale, ec)) {
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
    for (std::size_t k = 0; k < sum.files.size(); ++k) {
        long rowsIn = std::min<long>(ResultsTable::kCapacity,
                                     sum.written - static_cast<long>(k) * ResultsTable::kCapacity);
        out << sum.files[k].string() << ": " << rowsIn << " rows\n";
    }
    out << sum.written << " of " << sum.rows << " exposures written";
    if (sum.skipped) out << ", " << sum.skipped << " skipped";
    out << "\n";
    if (sum.written == 0) err << "dovex-calc: no exposure could be calculated; nothing written\n";
    return sum.skipped == 0 && sum.written > 0 && sum.staleLeft.empty() ? 0 : 1;
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
