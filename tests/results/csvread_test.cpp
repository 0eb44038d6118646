// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <limits>

#include "engine/textio.h"
#include "results/csvfile.h"
#include "sample_rows.h"

namespace dovex {
namespace {

namespace fs = std::filesystem;

ResultsTable VariedTable(int n) {
    ResultsTable t;
    ClearResultsTable(t);
    for (int i = 1; i <= n; ++i) {
        ResultRow r = test::TypicalRow();
        r.examPart = i % 3 == 0 ? "胸部,側面 \"PA\"" : "腰椎側面";
        r.surfaceShape = SurfaceShapeFromCode(i % 5);
        if (r.surfaceShape == SurfaceShape::Cylinder) r.cylinderRadius = 10 + i;
        if (r.surfaceShape == SurfaceShape::EllipticCylinder) {
            r.ellipseHRadius = 15.5;
            r.ellipseVRadius = 10.25;
        }
        if (r.surfaceShape == SurfaceShape::Racetrack) {
            r.racetrackA = 3;
            r.racetrackB = 4.5;
            r.racetrackL = 20;
        }
        r.rectification = 1 + i % 3;
        r.tubeVoltage = 50 + 5 * i;
        r.exposureTime = 0.01 * i;
        r.inherentFilter = 0.25;
        r.addedAl = 0.05 * i;
        r.addedCu = i % 2 ? 0.01 : 0;
        if (i % 4 == 0) {
            r.arbitraryFilterName = "ｲｯﾄﾘｳﾑ Y";
            r.arbitraryFilterThickness = 0.002;
        }
        r.fieldPreset = i == 5 ? "その他" : "四ツ切サイズ 横";
        r.fieldLong = 30.5;
        r.fieldShort = 25.4;
        r.hvl1 = 0.275;  // written "2.750" in mm
        r.hvl2 = 0.6;
        r.effectiveEnergy = 32.25;
        r.qualityIndex = 0.625;
        r.exposureAt1m = 1.5e-5;
        r.bsfSoft = 1.375;
        r.bsfSkin = 1.25;
        r.bsfAir = 1.125;
        r.convSoft = 36.75;
        r.convSkin = 37.25;
        r.esdSoft = 1.25 * i;
        r.esdSkin = 1.5 * i;
        r.esdAir = 0.75 * i;
        r.effectiveDose = i % 2 ? 0 : 0.125 * i;
        t.rows[i] = r;
    }
    t.nextRow = n + 1;
    return t;
}

std::string FileOf(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += Utf8ToCp932OrThrow(l) + "\r\n";
    return out;
}

TEST(ResultsFileReader, RoundTripGivesTheSameRows) {
    for (int n : {1, 2, 7, 15}) {
        ResultsTable t = VariedTable(n);
        std::string bytes = ResultsFileBytes(t, "コメント, with commas", 33.97);
        ResultsFileContents in = ParseResultsFile(bytes);
        EXPECT_EQ(in.comment, "コメント, with commas");
        ASSERT_EQ(in.table.nextRow, n + 1);
        ASSERT_TRUE(in.airWOverE);
        EXPECT_EQ(*in.airWOverE, 33.97);
        EXPECT_TRUE(in.hasEffectiveDoseLine);
        for (int i = 1; i <= n; ++i) {
            const ResultRow& a = t.row(i);
            const ResultRow& b = in.table.row(i);
            EXPECT_EQ(b.examPart, a.examPart);
            EXPECT_EQ(b.surfaceShape, a.surfaceShape);
            EXPECT_EQ(b.cylinderRadius, a.cylinderRadius);
            EXPECT_EQ(b.ellipseHRadius, a.ellipseHRadius);
            EXPECT_EQ(b.ellipseVRadius, a.ellipseVRadius);
            EXPECT_EQ(b.racetrackL, a.racetrackL);
            EXPECT_EQ(b.rectification, a.rectification);
            EXPECT_EQ(b.arbitraryFilterName, a.arbitraryFilterName);
            EXPECT_EQ(b.fieldPreset, a.fieldPreset);
            // Lengths in mm come back in cm.
            EXPECT_DOUBLE_EQ(b.inherentFilter, a.inherentFilter);
            EXPECT_DOUBLE_EQ(b.addedAl, a.addedAl);
            EXPECT_DOUBLE_EQ(b.addedCu, a.addedCu);
            EXPECT_DOUBLE_EQ(b.arbitraryFilterThickness, a.arbitraryFilterThickness);
            EXPECT_DOUBLE_EQ(b.hvl1, a.hvl1);
            EXPECT_DOUBLE_EQ(b.hvl2, a.hvl2);
            EXPECT_EQ(b.tubeVoltage, a.tubeVoltage);
            EXPECT_EQ(b.exposureTime, a.exposureTime);
            EXPECT_EQ(b.exposureAt1m, a.exposureAt1m);
            EXPECT_EQ(b.effectiveEnergy, a.effectiveEnergy);
            EXPECT_EQ(b.qualityIndex, a.qualityIndex);
            EXPECT_EQ(b.bsfSkin, a.bsfSkin);
            EXPECT_EQ(b.convSkin, a.convSkin);
            EXPECT_EQ(b.esdSoft, a.esdSoft);
            EXPECT_EQ(b.esdAir, a.esdAir);
            EXPECT_EQ(b.effectiveDose, a.effectiveDose);
            EXPECT_EQ(b.fieldLong, a.fieldLong);
        }
        // Writing what was read gives the same file.
        EXPECT_EQ(ResultsFileBytes(in.table, in.comment, *in.airWOverE), bytes);
    }
}

TEST(ResultsFileReader, EmptyTextsInTheLastColumn) {
    ResultRow a = test::TypicalRow(), b = a;
    b.examPart = "";
    b.fieldPreset = "";
    ResultsTable t = test::TableOf({a, b});
    auto lines = ResultsFileLines(t, "c", 33.97);
    EXPECT_EQ(lines[2], "照射部位,腹部正面,\"\"");
    ResultsFileContents in = ParseResultsFile(FileOf(lines));
    EXPECT_EQ(in.table.row(2).examPart, "");
    EXPECT_EQ(in.table.row(2).fieldPreset, "");
    EXPECT_EQ(in.table.row(2).tubeVoltage, 75);
}

TEST(ResultsFileReader, WordsAndConstants) {
    ResultsTable t = test::TableOf({test::TypicalRow(), test::TypicalRow()});
    auto lines = ResultsFileLines(t, "c", 33.97);
    lines[3] = "入射面,頭平面,球面";
    lines[10] = "整流方式,三相12,インバータ";
    lines[36] = "吸収線量変換係数(Air) (Gy/C/kg),33.97,34.00";
    lines[40] = "実効線量概算値 (mSv),―,0.5abc";
    ResultsFileContents in = ParseResultsFile(FileOf(lines));
    EXPECT_EQ(in.table.row(1).surfaceShape, SurfaceShape::HeadPlane);
    EXPECT_EQ(in.table.row(2).surfaceShape, SurfaceShape::Racetrack);
    EXPECT_EQ(in.table.row(1).rectification, 2);
    EXPECT_EQ(in.table.row(2).rectification, 3);
    EXPECT_EQ(*in.airWOverE, 34);
    EXPECT_EQ(in.table.row(1).effectiveDose, 0);
    EXPECT_EQ(in.table.row(2).effectiveDose, 0.5);
    EXPECT_EQ(in.table.row(1).cylinderRadius, 0);  // "―"
}

TEST(ResultsFileReader, FileEndingAfterTheDoseLinesHasNoEstimates) {
    ResultsTable t = VariedTable(4);
    auto lines = ResultsFileLines(t, "c", 33.97);
    lines.pop_back();
    ResultsFileContents in = ParseResultsFile(FileOf(lines));
    EXPECT_FALSE(in.hasEffectiveDoseLine);
    EXPECT_EQ(in.table.count(), 4);
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(in.table.row(i).effectiveDose, 0);
}

TEST(ResultsFileReader, OnlyTheOrderOfItemsMatters) {
    ResultsTable t = VariedTable(3);
    std::string bytes = ResultsFileBytes(t, "c", 33.97);
    // Put every item of the field lines on its own line, with blanks before items.
    std::string head = bytes.substr(0, bytes.find("\r\n", bytes.find("\r\n") + 2) + 2);
    std::string rest = bytes.substr(head.size());
    std::string reshaped = head;
    bool inQuote = false;
    for (char c : rest) {
        if (c == '"') inQuote = !inQuote;
        if (c == ',' && !inQuote)
            reshaped += "\r\n   ";
        else
            reshaped += c;
    }
    ResultsFileContents in = ParseResultsFile(reshaped);
    EXPECT_EQ(in.table.count(), 3);
    EXPECT_EQ(in.table.row(3).examPart, t.row(3).examPart);
    EXPECT_EQ(in.table.row(2).effectiveDose, t.row(2).effectiveDose);
}

TEST(ResultsFileReader, ZeroRowsIsAnEmptyTable) {
    ResultsTable t;
    ResultsFileContents in = ParseResultsFile(ResultsFileBytes(t, "none", 33.97));
    EXPECT_EQ(in.table.nextRow, 1);
    EXPECT_FALSE(in.airWOverE);
}

// Every malformed file ends in ResultsFileError, never in a crash or a partial table.
TEST(ResultsFileReader, TruncatedAtEveryLine) {
    ResultsTable t = VariedTable(3);
    auto lines = ResultsFileLines(t, "c", 33.97);
    for (std::size_t keep = 0; keep < 40; ++keep) {
        std::vector<std::string> cut(lines.begin(), lines.begin() + keep);
        EXPECT_THROW(ParseResultsFile(FileOf(cut)), ResultsFileError) << keep << " lines";
        // Also cut inside the next line.
        std::string half = FileOf(cut) + Utf8ToCp932OrThrow(lines[keep]).substr(0, 3);
        if (keep >= 1) {
            EXPECT_THROW(ParseResultsFile(half), ResultsFileError) << keep;
        }
    }
    EXPECT_NO_THROW(ParseResultsFile(FileOf({lines.begin(), lines.begin() + 40})));
    // Line 41 with fewer items than rows.
    std::vector<std::string> shortLast(lines.begin(), lines.end());
    shortLast.back() = "実効線量概算値 (mSv),―";
    EXPECT_THROW(ParseResultsFile(FileOf(shortLast)), ResultsFileError);
}

TEST(ResultsFileReader, TruncatedAtEveryByte) {
    std::string bytes = ResultsFileBytes(VariedTable(2), "c", 33.97);
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        try {
            ResultsFileContents in = ParseResultsFile(std::string_view(bytes).substr(0, n));
            EXPECT_EQ(in.table.count(), 2) << n;
        } catch (const ResultsFileError&) {
        }
    }
}

TEST(ResultsFileReader, BadRowCounts) {
    auto lines = ResultsFileLines(VariedTable(15), "c", 33.97);
    for (const char* count : {" 16 ", "-1", "abc", "2.5", "", "1e9", " 15x"}) {
        auto bad = lines;
        bad[1] = count;
        EXPECT_THROW(ParseResultsFile(FileOf(bad)), ResultsFileError) << count;
    }
    // Sixteen columns but a count of 15 still reads 15 rows item by item: the extra item is
    // taken as the next heading and the numbers shift, which ends in a failure.
    auto extra = lines;
    extra[12] += ",99";
    EXPECT_THROW(ParseResultsFile(FileOf(extra)), ResultsFileError);
}

TEST(ResultsFileReader, NonNumericItemsWhereNumbersBelong) {
    auto lines = ResultsFileLines(VariedTable(2), "c", 33.97);
    // Lines (0-based) of numbers read strictly: exposure, voltage ... doses, the air line.
    for (std::size_t li : {11u, 12u, 13u, 14u, 15u, 16u, 17u, 18u, 20u, 21u, 22u, 23u, 25u, 26u,
                           27u, 28u, 29u, 30u, 31u, 32u, 33u, 34u, 35u, 36u, 37u, 38u, 39u}) {
        for (const char* item : {"abc", "", "1.5mm", "―", "1e999", "--1"}) {
            auto bad = lines;
            bad[li] = bad[li].substr(0, bad[li].rfind(',') + 1) + item;
            EXPECT_THROW(ParseResultsFile(FileOf(bad)), ResultsFileError)
                << "line " << li + 1 << " item " << item;
        }
    }
}

TEST(ResultsFileReader, InvalidCodePageBytes) {
    std::string bytes = ResultsFileBytes(VariedTable(2), "c", 33.97);
    for (std::size_t at : {std::size_t{0}, std::size_t{10}, bytes.size() / 2, bytes.size() - 3}) {
        std::string bad = bytes;
        bad[at] = '\x81';  // a lead byte followed by what cannot trail it
        bad[at + 1] = '\x0a';
        EXPECT_THROW(ParseResultsFile(bad), ResultsFileError) << at;
        bad[at] = '\xff';
        EXPECT_THROW(ParseResultsFile(bad), ResultsFileError) << at;
    }
}

TEST(ResultsFileReader, EmptyAndBinaryFiles) {
    EXPECT_THROW(ParseResultsFile(""), ResultsFileError);
    EXPECT_THROW(ParseResultsFile("\r\n"), ResultsFileError);
    EXPECT_THROW(ParseResultsFile(std::string(1000, '\0')), ResultsFileError);
    EXPECT_THROW(ParseResultsFile(std::string(5000, ',')), ResultsFileError);
    EXPECT_THROW(ParseResultsFile(std::string(5000, '"')), ResultsFileError);
    EXPECT_THROW(ParseResultsFile("c\r\n 1 \r\n\x1a"), ResultsFileError);
}

class ReadFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("dovex_read_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(ReadFileTest, HundredMegabyteFileIsRefused) {
    fs::path p = dir_ / "big.csv";
    {
        std::ofstream f(p, std::ios::binary);
        f << ResultsFileBytes(VariedTable(1), "c", 33.97);
    }
    fs::resize_file(p, 100u << 20);  // sparse: no 100 MB on disk
    EXPECT_THROW(ReadResultsFile(p), ResultsFileError);
    EXPECT_FALSE(ReadResultsComment(p));
}

TEST_F(ReadFileTest, MissingFileAndPreview) {
    EXPECT_THROW(ReadResultsFile(dir_ / "none.csv"), ResultsFileError);
    EXPECT_THROW(ReadResultsFile(dir_), ResultsFileError);
    EXPECT_FALSE(ReadResultsComment(dir_ / "none.csv"));
    fs::path p = dir_ / "r.txt";  // the extension is not examined
    SaveResultsFile(p, VariedTable(2), "一行目, カンマ入り", 33.97);
    EXPECT_EQ(*ReadResultsComment(p), "一行目, カンマ入り");
    EXPECT_EQ(ReadResultsFile(p).table.count(), 2);
    { std::ofstream(dir_ / "empty.csv"); }
    EXPECT_FALSE(ReadResultsComment(dir_ / "empty.csv"));
    EXPECT_THROW(ReadResultsFile(dir_ / "empty.csv"), ResultsFileError);
}

TEST(StrictNumberTest, WholeItemMustBeANumber) {
    EXPECT_EQ(*StrictNumber(" 2.58E-05 "), 2.58e-5);
    EXPECT_EQ(*StrictNumber("-3"), -3);
    EXPECT_EQ(*StrictNumber(".5"), 0.5);
    EXPECT_EQ(*StrictNumber("5."), 5);
    for (const char* bad : {"", " ", "abc", "1.5mm", "1e", "1e+", "+", ".", "1,5", "nan", "inf",
                            "1e400", "&H1F", "1 2"})
        EXPECT_FALSE(StrictNumber(bad)) << bad;
}

// A results file opened in a spreadsheet program and saved again: each line padded with empty
// cells to the widest line ("4,,,," for the row count), and, for "CSV UTF-8", Unicode text behind
// a byte-order mark. The rows read back as they were written.
struct SpreadsheetSave {
    const char* name;
    bool padded;
    bool utf8Bom;
};

class SpreadsheetSaved : public ::testing::TestWithParam<SpreadsheetSave> {};

std::string SavedBySpreadsheet(const std::vector<std::string>& lines, const SpreadsheetSave& how,
                               std::size_t width) {
    std::string out = how.utf8Bom ? "\xEF\xBB\xBF" : "";
    for (std::string l : lines) {
        if (how.padded) {
            // The cells of the line, counted outside quotes.
            std::size_t cells = 1;
            bool quoted = false;
            for (char c : l) {
                if (c == '"') quoted = !quoted;
                if (c == ',' && !quoted) ++cells;
            }
            for (; cells < width; ++cells) l += ',';
        }
        out += (how.utf8Bom ? l : Utf8ToCp932OrThrow(l)) + "\r\n";
    }
    return out;
}

TEST_P(SpreadsheetSaved, ReadsBackTheSameRows) {
    for (int n : {1, 4, 15}) {
        const ResultsTable t = VariedTable(n);
        const auto lines = ResultsFileLines(t, "コメント", 33.97);
        const std::string bytes = SavedBySpreadsheet(lines, GetParam(), std::size_t(n) + 1);
        if (GetParam().padded && n == 4) {
            EXPECT_NE(bytes.find(" 4 ,,,,\r\n"), std::string::npos);
        }
        ResultsFileContents in;
        ASSERT_NO_THROW(in = ParseResultsFile(bytes)) << n;
        EXPECT_EQ(in.comment, "コメント");
        ASSERT_EQ(in.table.count(), n);
        EXPECT_TRUE(in.hasEffectiveDoseLine);
        // Written again, the file is the program's own, byte for byte.
        EXPECT_EQ(ResultsFileBytes(in.table, in.comment, *in.airWOverE),
                  ResultsFileBytes(t, "コメント", 33.97));
    }
}

// Real damage is still refused, with the line where it is found.
TEST_P(SpreadsheetSaved, DamageIsStillRefusedWithItsLine) {
    auto lines = ResultsFileLines(VariedTable(4), "c", 33.97);
    lines[12] = lines[12].substr(0, lines[12].rfind(','));  // a value missing: the row short
    try {
        ParseResultsFile(SavedBySpreadsheet(lines, GetParam(), 5));
        ADD_FAILURE() << "a short line was read";
    } catch (const ResultsFileError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("line ", 0), 0u) << e.what();
    }
    lines = ResultsFileLines(VariedTable(4), "c", 33.97);
    lines[14] = lines[14].substr(0, lines[14].rfind(',') + 1) + "abc";
    try {
        ParseResultsFile(SavedBySpreadsheet(lines, GetParam(), 5));
        ADD_FAILURE() << "a word where a number belongs was read";
    } catch (const ResultsFileError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("line 15:", 0), 0u) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Saves, SpreadsheetSaved,
                         ::testing::Values(SpreadsheetSave{"padded", true, false},
                                           SpreadsheetSave{"utf8Bom", false, true},
                                           SpreadsheetSave{"utf8BomPadded", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ResultsFileReader, ByteOrderMarkBeforeTextThatIsNotUtf8) {
    const std::string cp932 = ResultsFileBytes(VariedTable(2), "コメント", 33.97);
    try {
        ParseResultsFile("\xEF\xBB\xBF" + cp932);
        ADD_FAILURE() << "Shift-JIS bytes behind a UTF-8 mark were read";
    } catch (const ResultsFileError& e) {
        EXPECT_NE(std::string(e.what()).find("line 1:"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace dovex

// A row holding the largest double in every number field: the file the writer makes is read back,
// and reading it, writing it again and reading that gives the same file.
TEST(ResultsRoundTrip, TheLargestNumbersReadBack) {
    const double big = std::numeric_limits<double>::max();
    dovex::ResultRow r = dovex::test::TypicalRow();
    for (double* v :
         {&r.exposureAt1m, &r.tubeVoltage, &r.tubeCurrent, &r.exposureTime, &r.ffd, &r.fsd,
          &r.subjectThickness, &r.fieldLong, &r.hvl1, &r.effectiveEnergy, &r.qualityIndex,
          &r.bsfSoft, &r.convSoft, &r.esdSoft, &r.esdAir, &r.effectiveDose, &r.racetrackA})
        *v = big;
    r.addedAl = big / 10;  // held in cm, written in mm: the largest a file can give
    r.hvl1 = big / 10;
    const std::string bytes = dovex::ResultsFileBytes(dovex::test::TableOf({r}), "max", 33.97);
    dovex::ResultsFileContents in;
    ASSERT_NO_THROW(in = dovex::ParseResultsFile(bytes));
    EXPECT_EQ(in.table.row(1).tubeVoltage, big);
    const std::string again = dovex::ResultsFileBytes(in.table, in.comment, *in.airWOverE);
    EXPECT_EQ(dovex::ResultsFileBytes(dovex::ParseResultsFile(again).table, "max", 33.97), again);
}
