// SPDX-License-Identifier: MIT
#pragma once
// Batch calculation and results-file reading for the command line: a conditions file (a header
// row of option names, one exposure per row) is calculated row by row and written as results
// files of 15 rows each; a results file is read back and listed as text or JSON.
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "calculation/data.h"
#include "engine/conditions.h"
#include "engine/constants.h"
#include "engine/dose.h"
#include "engine/drl.h"
#include "engine/tables.h"
#include "results/csvfile.h"

namespace dovex::batch {

// One exposure of a conditions file: its line in the file and its (option name, value) pairs in
// column order. Empty cells are left out, so the option keeps its default.
struct ConditionRow {
    long line = 0;
    std::vector<std::pair<std::string, std::string>> options;
    std::string error;    // the row cannot be read (an unclosed quote): reported and skipped
    std::string warning;  // fewer cells than the header, a line in the file's other encoding:
                          // reported, the row is calculated
};

struct ConditionsFile {
    std::vector<std::string> header;
    std::vector<ConditionRow> rows;
};

// Parses a conditions file: comma-separated, double-quoted cells may hold commas and doubled
// quotes (a quote left open ends at the line end and marks its row bad), CR LF, LF or CR line
// ends, blank lines skipped, blanks around cells dropped (around an exam part the full-width
// space too), a leading "--" of a header name dropped. The encoding is decided for the whole
// file: UTF-8 (a byte-order mark is dropped) when every line is, Shift-JIS (cp932) when no line
// is UTF-8, and line by line, with a warning on each Shift-JIS row, when both occur. Throws
// ResultsFileError for an empty file, an empty or repeated header name and a line that is
// neither UTF-8 nor Shift-JIS. A line above 64 KiB is a bad row. The batch reads files through
// the same reader row by row; this whole-file form serves tests and fuzzing.
ConditionsFile ParseConditionsFile(std::string_view bytes);

// Conditions and results of one exposure, as the add command would store them.
struct RowCalculation {
    ExposureConditions cond;
    DoseResult dose;
    std::string note;              // a remark for the report (for example why no estimate was made)
    bool estimateMissing = false;  // the exam part asked for an estimate that was not made
    DrlComparison drl;             // the exam part's reference level; a row above it is reported
};
// Calculates one row; throws (any std::exception) when the row is bad or its calculation fails.
using RowCalculator = std::function<RowCalculation(const ConditionRow&)>;

// The calculation run of the program for one row of dovex-calc option names: the options are
// applied over the start-up defaults, the arbitrary filter and a measured exposure resolved, the
// thickness checked against FFD - FSD, the engine run, and, for an exam part with organ data,
// the effective dose estimated (a row without "exam-part" gets no estimate, as dovex-calc).
// The kernel files are read again for every row, as every calculation of the program does. The
// data must outlive the calculator. A row's filter-file is read only from the data folder or
// `materialDir` (see cli::ResolveMaterialFile).
RowCalculator MakeProgramCalculator(const calc::CalculationData& data,
                                    const std::filesystem::path& materialDir = {});

// Writes calculated rows as results files of 15 rows each (`out`, then -2, -3, ... files): all
// to temporary names first and renamed into place only when all are written. Returns the files
// written (none for no rows). Throws ResultsFileError naming the file that could not be written.
std::vector<std::filesystem::path> WriteResultsRows(const std::filesystem::path& out,
                                                    const std::vector<RowCalculation>& rows,
                                                    const std::string& comment, double airWOverE);

struct BatchOptions {
    std::filesystem::path conditions;
    std::filesystem::path out;      // RESULTS.csv; further files RESULTS-2.csv, RESULTS-3.csv, ...
    std::string comment;            // line 1 of every results file
    double airWOverE = kAirWOverE;  // written in line 37
};

struct BatchSummary {
    long rows = 0;          // data rows in the conditions file
    long written = 0;       // rows written to results files
    long skipped = 0;       // bad rows, reported and left out
    long notEstimated = 0;  // rows written without the effective dose their exam part asked for
    long files = 0;         // results files written: BatchOutputPath(out, 1..files)
    std::vector<std::filesystem::path> staleLeft;  // numbered files of another run, not removed
};

// The k-th results file (k = 1, 2, ...): RESULTS.csv, RESULTS-2.csv, ...
std::filesystem::path BatchOutputPath(const std::filesystem::path& out, int k);

// Calculates every row and writes the results files. The output folder and the first file's
// place are checked before a row is read; the conditions are read row by row, and every full
// table is written at once to a ".part" file beside its place, so memory does not grow with the
// file. Only when all are written are they renamed into place, so a failure leaves no file of this
// run. A bad row is reported on `report` as "line N: reason" and skipped; a row with a warning,
// or whose entrance air kerma lies above its exam part's reference level, is reported and
// calculated. Numbered files beyond this run's last (RESULTS-4.csv after a run of
// three files) are removed when they are results files, reported otherwise. Throws
// ResultsFileError when the conditions file cannot be read or a results file cannot be written.
BatchSummary RunBatch(const BatchOptions& opt, const RowCalculator& calc, std::ostream& report);

// dovex-calc --batch: runs the batch, prints a summary line per file and a closing line on `out`
// ("N of M exposures written, K skipped, E without the effective dose estimate their exam part
// asked for") and the row reports on `err`. Exit status 0 when every row was written with every
// estimate it asked for; 1 when a row was skipped, an estimate was not made, a numbered file of
// another run was left, no row could be calculated or a file could not be read or written.
int RunBatchCommand(const BatchOptions& opt, const RowCalculator& calc, std::ostream& out,
                    std::ostream& err);

// A results file as JSON: {"comment", "airWOverE" (null for a file of 0 rows), "rows": [...]},
// one object per row with the ResultRow fields (lengths and filters in cm, the surface shape as
// its word and code).
nlohmann::ordered_json ResultsToJson(const ResultsFileContents& contents);
// The same as readable text: the comment, the constant and one block per row.
std::string ResultsToText(const ResultsFileContents& contents);

// dovex-calc --read: reads the file with the results-file reader and prints it. Exit status 0,
// or 1 with the reason on `err` when the file cannot be read.
int ReadResultsCommand(const std::filesystem::path& file, bool json, std::ostream& out,
                       std::ostream& err);

}  // namespace dovex::batch
