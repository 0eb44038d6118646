// SPDX-License-Identifier: MIT
#include "cli/batch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <sstream>

#include "cli/calcargs.h"
#include "engine/error.h"
#include "engine/platform.h"
#include "engine/textio.h"
#include "tests/support/synthdata.h"

namespace dovex::batch {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

TEST(ConditionsFileTest, HeaderRowsQuotesAndBlankCells) {
    ConditionsFile f = ParseConditionsFile(
        "\xEF\xBB\xBFkv, --ma ,exam-part,field-preset\r\n"
        "80,200,胸部正面,\"半切サイズ 縦\"\r\n"
        "\r\n"
        " 90 ,,\"a,\"\"b\"\"\",\n"
        "100");
    ASSERT_EQ(f.header, (std::vector<std::string>{"kv", "ma", "exam-part", "field-preset"}));
    ASSERT_EQ(f.rows.size(), 3u);
    EXPECT_EQ(f.rows[0].line, 2);
    EXPECT_EQ(f.rows[0].options.size(), 4u);
    EXPECT_EQ(f.rows[0].options[3].second, "半切サイズ 縦");
    EXPECT_EQ(f.rows[1].line, 4);
    ASSERT_EQ(f.rows[1].options.size(), 2u);  // the empty ma cell keeps its default
    EXPECT_EQ(f.rows[1].options[0], (std::pair<std::string, std::string>{"kv", "90"}));
    EXPECT_EQ(f.rows[1].options[1].second, "a,\"b\"");
    EXPECT_EQ(f.rows[2].line, 5);
}

TEST(ConditionsFileTest, Cp932TextAndBadHeaders) {
    ConditionsFile f = ParseConditionsFile(Utf8ToCp932OrThrow("exam-part,kv\r\n腰椎側面,85\r\n"));
    EXPECT_EQ(f.rows[0].options[0].second, "腰椎側面");
    EXPECT_THROW(ParseConditionsFile(""), ResultsFileError);
    EXPECT_THROW(ParseConditionsFile("\r\n  \r\n"), ResultsFileError);
    EXPECT_THROW(ParseConditionsFile("kv,,ma\n1,2,3"), ResultsFileError);
    EXPECT_THROW(ParseConditionsFile("kv,kv\n1,2"), ResultsFileError);
    EXPECT_THROW(ParseConditionsFile("kv\n\x81\x0a"), ResultsFileError);
    // A cell beyond the header stays with the row, under no name, for the row to be refused.
    ConditionsFile g = ParseConditionsFile("kv\n80,5\n");
    ASSERT_EQ(g.rows[0].options.size(), 2u);
    EXPECT_EQ(g.rows[0].options[1].first, "");
}

TEST(BatchOutputPathTest, NumberedFiles) {
    EXPECT_EQ(BatchOutputPath("out/RESULTS.csv", 1), fs::path("out/RESULTS.csv"));
    EXPECT_EQ(BatchOutputPath("out/RESULTS.csv", 3), fs::path("out/RESULTS-3.csv"));
    EXPECT_EQ(BatchOutputPath("r", 2), fs::path("r-2"));
}

// A calculator that stores the option values so that the files can be checked.
RowCalculation EchoRow(const ConditionRow& row) {
    RowCalculation r;
    for (const auto& [k, v] : row.options) {
        if (k == "kv") r.cond.tubeVoltage = std::stod(v);
        if (k == "exam-part") r.cond.examPart = v;
        if (k == "bad") throw CalcError("cannot be calculated");
    }
    r.dose.esdSoft = r.cond.tubeVoltage / 100;
    return r;
}

TEST(BatchTest, FifteenRowsPerFileAndBadRowsSkipped) {
    TempDir dir;
    std::string csv = "kv,exam-part,bad\r\n";
    for (int i = 1; i <= 33; ++i) {
        csv +=
            std::to_string(40 + i) + ",部位" + std::to_string(i) + (i == 7 ? ",x" : ",") + "\r\n";
    }
    WriteBytes(dir.path() / "cond.csv", csv);
    BatchOptions opt{dir.path() / "cond.csv", dir.path() / "RESULTS.csv", "batch, run 1", 33.97};
    std::ostringstream out, err;
    EXPECT_EQ(RunBatchCommand(opt, EchoRow, out, err), 1);  // one row was skipped
    EXPECT_NE(err.str().find("line 8: cannot be calculated"), std::string::npos) << err.str();
    EXPECT_NE(out.str().find("32 of 33 exposures written, 1 skipped"), std::string::npos);

    ResultsFileContents a = ReadResultsFile(dir.path() / "RESULTS.csv");
    ResultsFileContents b = ReadResultsFile(dir.path() / "RESULTS-2.csv");
    ResultsFileContents c = ReadResultsFile(dir.path() / "RESULTS-3.csv");
    EXPECT_FALSE(fs::exists(dir.path() / "RESULTS-4.csv"));
    EXPECT_EQ(a.comment, "batch, run 1");
    EXPECT_EQ(a.table.count(), 15);
    EXPECT_EQ(b.table.count(), 15);
    EXPECT_EQ(c.table.count(), 2);
    EXPECT_EQ(a.table.row(6).examPart, "部位6");
    EXPECT_EQ(a.table.row(7).examPart, "部位8");  // row 7 of the file was skipped
    EXPECT_EQ(c.table.row(2).tubeVoltage, 73);
    EXPECT_EQ(c.table.row(2).esdSoft, 0.73);
}

TEST(BatchTest, NothingWrittenWhenNoRowWorks) {
    TempDir dir;
    WriteBytes(dir.path() / "c.csv", "kv,bad\n80,x\n");
    BatchOptions opt{dir.path() / "c.csv", dir.path() / "R.csv", "c", 33.97};
    std::ostringstream out, err;
    EXPECT_EQ(RunBatchCommand(opt, EchoRow, out, err), 1);
    EXPECT_FALSE(fs::exists(dir.path() / "R.csv"));
    opt.conditions = dir.path() / "missing.csv";
    EXPECT_EQ(RunBatchCommand(opt, EchoRow, out, err), 1);
    // An output folder that does not exist: reported, exit status 1.
    WriteBytes(dir.path() / "ok.csv", "kv\n80\n");
    opt.conditions = dir.path() / "ok.csv";
    opt.out = dir.path() / "no" / "R.csv";
    std::ostringstream err2;
    EXPECT_EQ(RunBatchCommand(opt, EchoRow, out, err2), 1);
    EXPECT_NE(err2.str().find("R.csv"), std::string::npos);
}

TEST(BatchTest, ProgramCalculatorOnSyntheticData) {
    TempDir dir;
    testing::WriteSyntheticData(dir.path());
    const calc::CalculationData data = calc::LoadData(dir.path());
    RowCalculator calc = MakeProgramCalculator(data);

    ConditionsFile f = ParseConditionsFile(
        "kv,ma,time,ffd,fsd,thickness,field-preset,added-al,exposure,exposure-unit\n"
        "75,200,0.05,100,80,20,四切サイズ 縦,1,,\n"
        "75,200,0.05,100,85,20,,,,\n"          // thickness above FFD - FSD
        "75,200,0.05,100,80,20,,,1e-4,C/kg\n"  // measured exposure
        "75,abc,0.05,100,80,20,,,,\n"          // not a number
        "75,200,0.05,100,80,20,,,,,extra\n");
    RowCalculation r = calc(f.rows[0]);
    EXPECT_EQ(r.cond.examPart, "その他");  // no exam part: no estimate
    EXPECT_EQ(r.cond.fieldPreset, "四切サイズ 縦");
    EXPECT_DOUBLE_EQ(r.cond.addedAl, 0.1);
    EXPECT_GT(r.cond.exposureAt1m, 0);
    EXPECT_GT(r.dose.esdSoft, 0);
    EXPECT_TRUE(std::isfinite(r.dose.esdAir));
    EXPECT_EQ(r.dose.effectiveDose, 0);
    EXPECT_THROW(calc(f.rows[1]), CalcError);
    RowCalculation m = calc(f.rows[2]);
    EXPECT_EQ(m.cond.exposureAt1m, 1e-4);
    EXPECT_EQ(m.cond.exposureSource, ExposureSource::Measured);
    EXPECT_THROW(calc(f.rows[3]), std::exception);
    EXPECT_THROW(calc(f.rows[4]), std::exception);
    // A typed exam part without organ data: the doses, no estimate, and a note why.
    ConditionsFile g = ParseConditionsFile("exam-part\n存在しない部位\n");
    RowCalculation typed = calc(g.rows[0]);
    EXPECT_EQ(typed.cond.examPart, "存在しない部位");
    EXPECT_GT(typed.dose.esdSoft, 0);
    EXPECT_EQ(typed.dose.effectiveDose, 0);
    EXPECT_NE(typed.note.find("no organ data"), std::string::npos) << typed.note;
}

// Batch rows are compared with the reference levels as every calculation is: a row above its
// exam part's level is reported, a row below it is not.
TEST(BatchTest, RowsAboveTheirReferenceLevelAreReported) {
    TempDir dir;
    testing::WriteSyntheticData(dir.path());
    WriteBytes(dir.path() / platform::PathFromUtf8(kDrlFileName),
               Utf8ToCp932OrThrow("# levels of this test\r\n"
                                  "低い部位,,,0.001,低い部位の水準\r\n"
                                  "高い部位,,,1000,高い部位の水準\r\n"));
    const calc::CalculationData data = calc::LoadData(dir.path());
    ASSERT_EQ(data.drlState, calc::DrlFileState::Read) << data.drlProblem;
    WriteBytes(dir.path() / "c.csv", "exam-part\n低い部位\n高い部位\n");
    BatchOptions opt{dir.path() / "c.csv", dir.path() / "R.csv", "c", data.tables.airWOverE};
    std::ostringstream report;
    const BatchSummary sum = RunBatch(opt, MakeProgramCalculator(data), report);
    EXPECT_EQ(sum.written, 2);
    EXPECT_NE(report.str().find("line 2: the entrance air kerma"), std::string::npos)
        << report.str();
    EXPECT_NE(report.str().find("(低い部位の水準)"), std::string::npos) << report.str();
    EXPECT_EQ(report.str().find("line 3: the entrance air kerma"), std::string::npos)
        << report.str();
}

TEST(ReadCommandTest, TextAndJson) {
    TempDir dir;
    ResultsTable t;
    ClearResultsTable(t);
    ExposureConditions c;
    c.examPart = "胸部,正面";
    c.inherentFilter = 0.25;
    DoseResult d;
    d.esdSoft = 1.5;
    d.effectiveDose = 0.25;
    CurrentSurface s;
    s.shape = SurfaceShape::Cylinder;
    s.cylinderRadius = 12;
    AppendCurrentResult(t, c, d, s);
    SaveResultsFile(dir.path() / "r.csv", t, "コメント", 34);

    std::ostringstream js, err;
    ASSERT_EQ(ReadResultsCommand(dir.path() / "r.csv", true, js, err), 0);
    auto j = nlohmann::json::parse(js.str());
    EXPECT_EQ(j["comment"], "コメント");
    EXPECT_EQ(j["airWOverE"], 34.0);
    ASSERT_EQ(j["rows"].size(), 1u);
    EXPECT_EQ(j["rows"][0]["examPart"], "胸部,正面");
    EXPECT_EQ(j["rows"][0]["surfaceShape"], "円柱面");
    EXPECT_EQ(j["rows"][0]["cylinderRadius"], 12.0);
    EXPECT_NEAR(j["rows"][0]["inherentFilter"].get<double>(), 0.25, 1e-12);  // cm
    EXPECT_EQ(j["rows"][0]["effectiveDose"], 0.25);

    std::ostringstream text;
    ASSERT_EQ(ReadResultsCommand(dir.path() / "r.csv", false, text, err), 0);
    EXPECT_NE(text.str().find("照射部位: 胸部,正面"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("固有濾過(mmAL): 2.5"), std::string::npos);

    WriteBytes(dir.path() / "bad.csv", "c\r\n 16 \r\n");
    std::ostringstream out2, err2;
    EXPECT_EQ(ReadResultsCommand(dir.path() / "bad.csv", true, out2, err2), 1);
    EXPECT_TRUE(out2.str().empty());
    EXPECT_NE(err2.str().find("row count"), std::string::npos);
}

TEST(ConditionsFileTest, UnclosedQuoteFailsOnlyItsLine) {
    // The quote in line 3 is never closed: line 3 is refused with its number, the rows after it
    // are read as rows.
    ConditionsFile f =
        ParseConditionsFile("kv,exam-part\n80,a\n85,\"open\n90,b\n95,c\n100,d\n105,e\n");
    ASSERT_EQ(f.rows.size(), 6u);
    EXPECT_EQ(f.rows[1].line, 3);
    EXPECT_NE(f.rows[1].error.find("quote"), std::string::npos);
    for (std::size_t r : {0u, 2u, 3u, 4u, 5u}) EXPECT_EQ(f.rows[r].error, "") << r;
    EXPECT_EQ(f.rows[5].line, 7);
    EXPECT_EQ(f.rows[5].options[1].second, "e");

    TempDir dir;
    WriteBytes(dir.path() / "c.csv", "kv,exam-part\n80,a\n85,\"open\n90,b\n");
    BatchOptions opt{dir.path() / "c.csv", dir.path() / "R.csv", "c", 33.97};
    std::ostringstream out, err;
    EXPECT_EQ(RunBatchCommand(opt, EchoRow, out, err), 1);
    EXPECT_NE(err.str().find("line 3: a quote"), std::string::npos) << err.str();
    EXPECT_EQ(ReadResultsFile(dir.path() / "R.csv").table.count(), 2);
    EXPECT_THROW(ParseConditionsFile("kv,\"exam\n80,a\n"), ResultsFileError);  // in the header
}

TEST(ConditionsFileTest, RowWithFewerCellsThanTheHeaderIsNamed) {
    TempDir dir;
    WriteBytes(dir.path() / "c.csv", "kv,exam-part,ma\n80,a,100\n85\n");
    BatchOptions opt{dir.path() / "c.csv", dir.path() / "R.csv", "c", 33.97};
    std::ostringstream out, err;
    EXPECT_EQ(RunBatchCommand(opt, EchoRow, out, err), 0);
    EXPECT_NE(err.str().find("line 3: 1 cells where the header has 3"), std::string::npos)
        << err.str();
    EXPECT_EQ(err.str().find("line 2"), std::string::npos) << err.str();
}

TEST(BatchTest, FilesOfAnEarlierLongerRunAreRemoved) {
    TempDir dir;
    auto rows = [](int n) {
        std::string csv = "kv\n";
        for (int i = 0; i < n; ++i) csv += std::to_string(50 + i) + "\n";
        return csv;
    };
    BatchOptions opt{dir.path() / "c.csv", dir.path() / "r.csv", "c", 33.97};
    std::ostringstream out, err;
    WriteBytes(dir.path() / "c.csv", rows(40));
    ASSERT_EQ(RunBatchCommand(opt, EchoRow, out, err), 0);
    ASSERT_TRUE(fs::exists(dir.path() / "r-3.csv"));
    WriteBytes(dir.path() / "c.csv", rows(20));
    std::ostringstream err2;
    EXPECT_EQ(RunBatchCommand(opt, EchoRow, out, err2), 0);
    EXPECT_EQ(ReadResultsFile(dir.path() / "r-2.csv").table.count(), 5);
    EXPECT_FALSE(fs::exists(dir.path() / "r-3.csv"));
    EXPECT_NE(err2.str().find("r-3.csv: removed"), std::string::npos) << err2.str();
    // A file of that name that is no results file is not removed, and the run says so.
    WriteBytes(dir.path() / "r-3.csv", "my notes\n");
    std::ostringstream err3;
    EXPECT_EQ(RunBatchCommand(opt, EchoRow, out, err3), 1);
    EXPECT_TRUE(fs::exists(dir.path() / "r-3.csv"));
    EXPECT_NE(err3.str().find("r-3.csv: left in place"), std::string::npos) << err3.str();
}

TEST(BatchTest, AFailedRunLeavesNoFileOfIt) {
    TempDir dir;
    std::string csv = "kv\n";
    for (int i = 0; i < 20; ++i) csv += std::to_string(50 + i) + "\n";
    WriteBytes(dir.path() / "c.csv", csv);
    WriteBytes(dir.path() / "s.csv", "old results\n");
    // The second file's place is taken by a folder: it cannot be written, so the first file is
    // not replaced either and no temporary file stays.
    fs::create_directories(dir.path() / "s-2.csv.part" / "x");
    BatchOptions opt{dir.path() / "c.csv", dir.path() / "s.csv", "c", 33.97};
    std::ostringstream out, err;
    EXPECT_EQ(RunBatchCommand(opt, EchoRow, out, err), 1);
    EXPECT_EQ(ReadBytes(dir.path() / "s.csv"), "old results\n");
    EXPECT_FALSE(fs::exists(dir.path() / "s-2.csv"));
    EXPECT_FALSE(fs::exists(dir.path() / "s.csv.part"));
    EXPECT_NE(err.str().find("no results file of this run was written"), std::string::npos)
        << err.str();
}

// A UTF-8 file with one row pasted in Shift-JIS: each row is read in its own encoding (the odd one
// with a warning), so that no garbled exam part is calculated or written; blanks, the full-width
// space included, around an exam part are dropped.
TEST(ConditionsFileTest, MixedEncodingsAreReadLineByLine) {
    const std::string bytes = "exam-part,kv\r\n腰椎側面,80\r\n" + Utf8ToCp932OrThrow("腹部正面") +
                              ",85\r\n\"　胸部正面 \",90\r\n";
    ConditionsFile f = ParseConditionsFile(bytes);
    ASSERT_EQ(f.rows.size(), 3u);
    EXPECT_EQ(f.rows[0].options[0].second, "腰椎側面");
    EXPECT_EQ(f.rows[0].warning, "");
    EXPECT_EQ(f.rows[1].options[0].second, "腹部正面");
    EXPECT_NE(f.rows[1].warning.find("Shift-JIS"), std::string::npos) << f.rows[1].warning;
    EXPECT_EQ(f.rows[2].options[0].second, "胸部正面");
    // A file wholly in Shift-JIS, or wholly in UTF-8, is read without warnings.
    for (const std::string& whole : {Utf8ToCp932OrThrow("exam-part\r\n腹部正面\r\nｱｲｳ\r\n"),
                                     std::string("exam-part\n腹部正面\n")})
        for (const ConditionRow& r : ParseConditionsFile(whole).rows) EXPECT_EQ(r.warning, "");

    TempDir dir;
    WriteBytes(dir.path() / "c.csv", bytes);
    BatchOptions opt{dir.path() / "c.csv", dir.path() / "R.csv", "c", 33.97};
    std::ostringstream out, err;
    EXPECT_EQ(RunBatchCommand(opt, EchoRow, out, err), 0);
    EXPECT_NE(err.str().find("line 3: this line is Shift-JIS"), std::string::npos) << err.str();
    const ResultsFileContents r = ReadResultsFile(dir.path() / "R.csv");
    ASSERT_EQ(r.table.count(), 3);
    EXPECT_EQ(r.table.row(2).examPart, "腹部正面");
    EXPECT_EQ(r.table.row(3).examPart, "胸部正面");
}

// A row whose exam part asks for an estimate that cannot be made (no organ data) is counted in
// the closing line, and the exit status says that not everything asked for was made.
TEST(BatchTest, RowsWithoutTheEstimateTheyAskedForAreCounted) {
    TempDir dir;
    testing::WriteSyntheticData(dir.path() / "data");
    const calc::CalculationData data = calc::LoadData(dir.path() / "data");
    RowCalculator calc = MakeProgramCalculator(data);
    WriteBytes(dir.path() / "c.csv", "exam-part,kv\n存在しない部位,80\n,80\n");
    BatchOptions opt{dir.path() / "c.csv", dir.path() / "R.csv", "c", 33.97};
    std::ostringstream out, err;
    EXPECT_EQ(RunBatchCommand(opt, calc, out, err), 1);
    EXPECT_NE(out.str().find("2 of 2 exposures written, 1 without the effective dose estimate"),
              std::string::npos)
        << out.str();
    WriteBytes(dir.path() / "c.csv", "exam-part,kv\n,80\nその他,90\n");
    std::ostringstream out2, err2;
    EXPECT_EQ(RunBatchCommand(opt, calc, out2, err2), 0) << err2.str();
    EXPECT_EQ(out2.str().find("without"), std::string::npos) << out2.str();
}

// Conditions are read as a stream: a file above the old 4 MiB limit is read like any other.
TEST(BatchTest, NoLimitOnTheSizeOfTheConditionsFile) {
    TempDir dir;
    std::string csv = "kv,exam-part\r\n80,a\r\n";
    csv += std::string(5u << 20, '\n');  // blank lines
    csv += "81,b\r\n";
    WriteBytes(dir.path() / "c.csv", csv);
    BatchOptions opt{dir.path() / "c.csv", dir.path() / "R.csv", "c", 33.97};
    std::ostringstream out, err;
    EXPECT_EQ(RunBatchCommand(opt, EchoRow, out, err), 0) << err.str();
    const ResultsFileContents r = ReadResultsFile(dir.path() / "R.csv");
    ASSERT_EQ(r.table.count(), 2);
    EXPECT_EQ(r.table.row(2).examPart, "b");
    // A line beyond 64 KiB is a bad row, reported with its number; the others are calculated.
    WriteBytes(dir.path() / "c.csv", "kv,exam-part\n80," + std::string(70000, 'x') + "\n81,c\n");
    std::ostringstream out2, err2;
    EXPECT_EQ(RunBatchCommand(opt, EchoRow, out2, err2), 1);
    EXPECT_NE(err2.str().find("line 2: the line is longer than"), std::string::npos) << err2.str();
    EXPECT_EQ(ReadResultsFile(dir.path() / "R.csv").table.row(1).examPart, "c");
}

// Pipes and symbolic links are the POSIX file system's: the Windows build has none to refuse or
// follow.
#ifndef _WIN32
// Where the results go is checked before the first row is calculated: a missing folder or a name
// that is no regular file (a pipe, a folder) stops the run at once, and the entry is left alone;
// a link to a results file is written through.
TEST(BatchTest, TheOutputIsCheckedBeforeCalculating) {
    TempDir dir;
    WriteBytes(dir.path() / "c.csv", "kv\n80\n81\n");
    long calculated = 0;
    RowCalculator counting = [&](const ConditionRow& row) {
        ++calculated;
        return EchoRow(row);
    };
    ASSERT_EQ(::mkfifo((dir.path() / "pipe.csv").c_str(), 0600), 0);
    fs::create_directories(dir.path() / "folder.csv");
    for (const fs::path& target :
         {dir.path() / "no" / "R.csv", dir.path() / "pipe.csv", dir.path() / "folder.csv"}) {
        BatchOptions opt{dir.path() / "c.csv", target, "c", 33.97};
        std::ostringstream out, err;
        EXPECT_EQ(RunBatchCommand(opt, counting, out, err), 1);
        EXPECT_EQ(calculated, 0) << target;
        EXPECT_NE(err.str().find(target.string()), std::string::npos) << err.str();
    }
    EXPECT_EQ(fs::symlink_status(dir.path() / "pipe.csv").type(), fs::file_type::fifo);
    EXPECT_TRUE(fs::is_directory(dir.path() / "folder.csv"));

    fs::create_directories(dir.path() / "kept");
    WriteBytes(dir.path() / "kept" / "R.csv", "old\n");
    fs::create_symlink(dir.path() / "kept" / "R.csv", dir.path() / "link.csv");
    BatchOptions opt{dir.path() / "c.csv", dir.path() / "link.csv", "c", 33.97};
    std::ostringstream out, err;
    EXPECT_EQ(RunBatchCommand(opt, counting, out, err), 0) << err.str();
    EXPECT_TRUE(fs::is_symlink(dir.path() / "link.csv"));
    EXPECT_EQ(ReadResultsFile(dir.path() / "kept" / "R.csv").table.count(), 2);
}

// A row's filter-file is read only from the data folder or the folder given as the material
// folder: a name leading anywhere else is refused before the file is opened, whatever the
// file holds.
struct FilterPlace {
    const char* what;
    const char* name;  // the cell; {ROOT} stands for the test's folder
    bool withMaterialDir;
    bool accepted;
};

void PrintTo(const FilterPlace& p, std::ostream* os) { *os << p.what << ": " << p.name; }

class FilterFilePlaces : public ::testing::TestWithParam<FilterPlace> {};

// A material file that reads well: Al-like, 1 keV to 10 MeV.
std::string GoodMaterial(const std::string& name) {
    return name +
           "\r\n2.699,0\r\n0.001,1185,0,0,0,0\r\n0.01,26.2,0,0,0,0\r\n0.1,0.17,0,0,0,0\r\n"
           "1,0.06,0,0,0,0\r\n10,0.02,0,0,0,0\r\n";
}

TEST_P(FilterFilePlaces, OnlyTheDataAndMaterialFoldersAreRead) {
    const FilterPlace& c = GetParam();
    TempDir root;
    const fs::path data = root.path() / "data", mine = root.path() / "mine",
                   outside = root.path() / "outside";
    testing::WriteSyntheticData(data);
    fs::create_directories(data / "sub");
    fs::create_directories(mine);
    fs::create_directories(outside);
    WriteBytes(data / "Al.ele", GoodMaterial("inside"));
    WriteBytes(mine / "Mine.ele", GoodMaterial("mine"));
    WriteBytes(outside / "Out.ele", GoodMaterial("outside"));
    fs::create_symlink(outside / "Out.ele", data / "link.ele");
    fs::create_symlink(outside, data / "linkdir");
    fs::create_symlink(data / "Al.ele", data / "sub" / "alias.ele");

    std::string name = c.name;
    if (auto at = name.find("{ROOT}"); at != std::string::npos)
        name.replace(at, 6, root.path().string());
    const calc::CalculationData loaded = calc::LoadData(data);
    RowCalculator calc = MakeProgramCalculator(loaded, c.withMaterialDir ? mine : fs::path());
    ConditionsFile f = ParseConditionsFile("filter-file,filter-mm\n" + name + ",1\n");
    ASSERT_EQ(f.rows.size(), 1u);
    if (c.accepted) {
        RowCalculation r = calc(f.rows[0]);
        EXPECT_NE(r.cond.arbitraryFilterName, "outside") << c.what;
        EXPECT_DOUBLE_EQ(r.cond.arbitraryFilterThickness, 0.1) << c.what;
    } else {
        try {
            calc(f.rows[0]);
            ADD_FAILURE() << c.what << ": " << name << " was read";
        } catch (const cli::UsageError& e) {
            const std::string msg = e.what();
            EXPECT_NE(msg.find("--filter-file"), std::string::npos) << msg;
            EXPECT_NE(msg.find("leads outside"), std::string::npos) << msg;
            EXPECT_NE(msg.find("--material-dir"), std::string::npos) << msg;
        } catch (const std::exception& e) {
            ADD_FAILURE() << c.what << ": not refused by the rule but by: " << e.what();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Batch, FilterFilePlaces,
    ::testing::Values(
        FilterPlace{"a name in the data folder", "Al.ele", false, true},
        FilterPlace{"an absolute path into the data folder", "{ROOT}/data/Al.ele", false, true},
        FilterPlace{"\"..\" that stays inside", "sub/../Al.ele", false, true},
        FilterPlace{"a link inside to a file inside", "sub/alias.ele", false, true},
        FilterPlace{"an absolute path elsewhere", "{ROOT}/outside/Out.ele", false, false},
        FilterPlace{"a \"..\" escape", "../outside/Out.ele", false, false},
        FilterPlace{"a symbolic link out", "link.ele", false, false},
        FilterPlace{"a linked folder out", "linkdir/Out.ele", false, false},
        FilterPlace{"a system file", "/etc/passwd", false, false},
        FilterPlace{"a name in the material folder", "Mine.ele", true, true},
        FilterPlace{"the data folder with a material folder", "Al.ele", true, true},
        FilterPlace{"an absolute path into the material folder", "{ROOT}/mine/Mine.ele", true,
                    true},
        FilterPlace{"elsewhere with a material folder", "{ROOT}/outside/Out.ele", true, false},
        FilterPlace{"a \"..\" escape from the material folder", "../outside/Out.ele", true,
                    false}));
#endif  // _WIN32

// A malformed material file named by a row: the row's report names the file, the line and the
// fault, and none of the file's text.
TEST(BatchTest, AMalformedMaterialFileIsReportedWithoutItsContent) {
    TempDir dir;
    const fs::path data = dir.path() / "data";
    testing::WriteSyntheticData(data);
    WriteBytes(data / "Notes.ele",
               "memo\r\npassphrase=Kq7-PLUM-orbit-551\r\n0.001,1,0,0,0,0\r\n10,1,0,0,0,0\r\n");
    const calc::CalculationData loaded = calc::LoadData(data);
    RowCalculator calc = MakeProgramCalculator(loaded);
    WriteBytes(dir.path() / "c.csv", "kv,filter-file,filter-mm\n80,Notes.ele,1\n80,,\n");
    BatchOptions opt{dir.path() / "c.csv", dir.path() / "R.csv", "c", 33.97};
    std::ostringstream out, err;
    EXPECT_EQ(RunBatchCommand(opt, calc, out, err), 1);
    const std::string report = out.str() + err.str();
    EXPECT_NE(report.find("Notes.ele"), std::string::npos) << report;
    EXPECT_NE(report.find("line 2"), std::string::npos) << report;
    EXPECT_EQ(report.find("PLUM"), std::string::npos) << report;
    EXPECT_EQ(report.find("passphrase"), std::string::npos) << report;
}

}  // namespace
}  // namespace dovex::batch
