// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "engine/textio.h"
#include "results/csvfile.h"
#include "sample_rows.h"

namespace dovex {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kTypicalLines = {
    "テスト, 腹部 (1)",
    " 1 ",
    "照射部位,腹部正面",
    "入射面,平面",
    "円柱半径,―",
    "楕円水平半径,―",
    "楕円垂直半径,―",
    "Racetrack a,0",
    "Racetrack b,0",
    "Racetrack L,0",
    "整流方式,定電圧",
    "照射線量 at 1m (C/kg),2.58E-05",
    "管電圧 (kV),75",
    "管電流 (mA),200",
    "時間 (sec),0.05",
    "ﾀｰｹﾞｯﾄ角度(度),12",
    "固有濾過(mmAL),2.5",
    "ｱﾙﾐ付加 (mm),1",
    "銅付加 (mm),0",
    "その他フィルタ,―",
    "　上記厚(mm),0",
    "FFD (cm),100",
    "FSD (cm),80",
    "体厚 (cm),20",
    "照射野 at FFD,半切サイズ 縦",
    "長軸 (cm),43.2",
    "短軸 (cm),35.6",
    "第１半価層 (mmAL),0.000",
    "第２半価層 (mmAL),0.000",
    "実効エネルギー (keV),00.00",
    "線質指標 QI,0.000",
    "後方散乱係数 Soft,1.346",
    "後方散乱係数 Skin,1.332",
    "後方散乱係数 Air,1.299",
    "吸収線量変換係数(Soft) (Gy/C/kg),36.81",
    "吸収線量変換係数(skin) (Gy/C/kg),37.91",
    "吸収線量変換係数(Air) (Gy/C/kg),33.97",
    "入射表面線量 (Soft) (mGy),1.23",
    "入射表面線量 (skin) (mGy),1.27",
    "入射表面線量 (air) (mGy),0.91",
    "実効線量概算値 (mSv),0.123",
};

TEST(ResultsFileWriter, OneRowByteForByte) {
    ResultsTable t = test::TableOf({test::TypicalRow()});
    std::string bytes = ResultsFileBytes(t, "テスト, 腹部 (1)", 33.97);
    std::string expected;
    for (const std::string& l : kTypicalLines) expected += Utf8ToCp932OrThrow(l) + "\r\n";
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(ResultsFileLines(t, "テスト, 腹部 (1)", 33.97), kTypicalLines);
    // No byte-order mark, the row count with its blanks, "―" as 81 5C.
    EXPECT_EQ(bytes.substr(0, 4), Utf8ToCp932OrThrow("テス"));
    EXPECT_NE(bytes.find("\r\n 1 \r\n"), std::string::npos);
    EXPECT_NE(bytes.find(Utf8ToCp932OrThrow("その他フィルタ") + ",\x81\x5c\r\n"),
              std::string::npos);
    EXPECT_NE(bytes.find(Utf8ToCp932OrThrow("実効線量概算値 (mSv)") + ",0.123\r\n"),
              std::string::npos);
}

TEST(ResultsFileWriter, DashesRepeatedValuesAndNoTrailingComma) {
    ResultRow a = test::TypicalRow(), b = a;
    b.effectiveDose = 0;
    b.arbitraryFilterName = "Mo";
    b.arbitraryFilterThickness = 0.003;
    b.rectification = 2;
    ResultsTable t = test::TableOf({a, b});
    auto lines = ResultsFileLines(t, "c", 33.97);
    ASSERT_EQ(lines.size(), 41u);
    EXPECT_EQ(lines[1], " 2 ");
    EXPECT_EQ(lines[4], "円柱半径,―,―");
    EXPECT_EQ(lines[10], "整流方式,定電圧,三相12");
    EXPECT_EQ(lines[19], "その他フィルタ,―,Mo");
    EXPECT_EQ(lines[20], "　上記厚(mm),0,0.03");
    EXPECT_EQ(lines[36], "吸収線量変換係数(Air) (Gy/C/kg),33.97,33.97");
    EXPECT_EQ(lines[40], "実効線量概算値 (mSv),0.123,―");
    for (const auto& l : lines) EXPECT_NE(l.back(), ',') << l;
}

TEST(ResultsFileWriter, ShapesRectificationAndPatterns) {
    ResultRow r = test::TypicalRow();
    r.surfaceShape = SurfaceShape::EllipticCylinder;
    r.ellipseHRadius = 12.5;
    r.ellipseVRadius = 9;
    r.rectification = 7;
    r.hvl1 = 0.28765;
    r.effectiveEnergy = 5.3;
    r.esdSoft = 123.456;
    r.effectiveDose = 12.3456;
    ResultsTable t = test::TableOf({r});
    auto lines = ResultsFileLines(t, "c", 34);
    EXPECT_EQ(lines[3], "入射面,楕円柱面");
    EXPECT_EQ(lines[5], "楕円水平半径,12.5");
    EXPECT_EQ(lines[6], "楕円垂直半径,9");
    EXPECT_EQ(lines[10], "整流方式,単相全波");
    EXPECT_EQ(lines[27], "第１半価層 (mmAL),2.877");
    EXPECT_EQ(lines[29], "実効エネルギー (keV),05.30");
    EXPECT_EQ(lines[36], "吸収線量変換係数(Air) (Gy/C/kg),34.00");
    EXPECT_EQ(lines[37], "入射表面線量 (Soft) (mGy),123.46");
    EXPECT_EQ(lines[40], "実効線量概算値 (mSv),12.346");
}

TEST(ResultsFileWriter, TextsWithSeparatorsAreQuoted) {
    EXPECT_EQ(CsvTextItem("胸部正面"), "胸部正面");
    EXPECT_EQ(CsvTextItem(""), "\"\"");
    EXPECT_EQ(CsvTextItem("a,b"), "\"a,b\"");
    EXPECT_EQ(CsvTextItem("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CsvTextItem("two\nlines"), "\"two\nlines\"");
    EXPECT_EQ(CsvTextItem(" lead"), "\" lead\"");
    EXPECT_EQ(CsvTextItem("半切サイズ 縦"), "半切サイズ 縦");
    ResultRow r = test::TypicalRow();
    r.examPart = "胸部,側面";
    ResultsTable t = test::TableOf({r});
    EXPECT_EQ(ResultsFileLines(t, "c", 33.97)[2], "照射部位,\"胸部,側面\"");
    // The comment stays on line 1 whatever it holds.
    auto lines = ResultsFileLines(t, "a,b\r\nc", 33.97);
    EXPECT_EQ(lines[0], "a,b  c");
    EXPECT_EQ(lines.size(), 41u);
}

TEST(ResultsFileWriter, TextOutsideTheCodePageIsRefused) {
    ResultsTable t = test::TableOf({test::TypicalRow()});
    EXPECT_THROW(ResultsFileBytes(t, "emoji \xF0\x9F\x98\x80", 33.97), ResultsFileError);
}

TEST(ResultsFileWriter, FileNameChecks) {
    EXPECT_FALSE(CheckResultsFileStem("結果 2024-01"));
    EXPECT_FALSE(CheckResultsFileStem("a.b"));
    for (const char* bad : {"", ".", "..", "a/b", "..\\x", "c:x", "a*", "a?", "a\"b", "<a>", "a|b",
                            "tab\there", "trailing ", "trailing.", "CON", "nul.txt", "Com1"})
        EXPECT_TRUE(CheckResultsFileStem(bad)) << bad;
}

class SaveFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("dovex_save_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir_);
    }
    static std::string Slurp(const fs::path& p) {
        std::ifstream f(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(f), {}};
    }
    fs::path dir_;
};

TEST_F(SaveFileTest, ReplacesAnExistingFile) {
    fs::path p = dir_ / u8"結果.csv";
    { std::ofstream(p) << "old contents that are longer than nothing"; }
    ResultsTable t = test::TableOf({test::TypicalRow()});
    SaveResultsFile(p, t, "c", 33.97);
    EXPECT_EQ(Slurp(p), ResultsFileBytes(t, "c", 33.97));
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(SaveFileTest, FailedSaveLeavesTheOldFile) {
    ResultsTable t = test::TableOf({test::TypicalRow()});
    EXPECT_THROW(SaveResultsFile(dir_ / "missing" / "x.csv", t, "c", 33.97), ResultsFileError);
    EXPECT_FALSE(fs::exists(dir_ / "missing"));
    fs::path p = dir_ / "old.csv";
    { std::ofstream(p) << "old"; }
    EXPECT_THROW(SaveResultsFile(p, t, "\xF0\x9F\x98\x80", 33.97), ResultsFileError);
    EXPECT_EQ(Slurp(p), "old");
    // A directory standing where the file goes cannot be replaced: the save fails, the
    // directory stays.
    fs::create_directories(dir_ / "adir.csv" / "inner");
    EXPECT_THROW(SaveResultsFile(dir_ / "adir.csv", t, "c", 33.97), ResultsFileError);
    EXPECT_TRUE(fs::is_directory(dir_ / "adir.csv" / "inner"));
#ifndef _WIN32
    // (A folder without write permission is a POSIX notion; Windows has access lists instead.)
    if (::geteuid() != 0) {
        fs::permissions(dir_, fs::perms::owner_write, fs::perm_options::remove);
        EXPECT_THROW(SaveResultsFile(p, t, "c", 33.97), ResultsFileError);
        EXPECT_EQ(Slurp(p), "old");
    }
#endif
}

}  // namespace
}  // namespace dovex
