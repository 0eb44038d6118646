// SPDX-License-Identifier: MIT
#include "effdose/organdata.h"

#include <gtest/gtest.h>

#include "engine/error.h"
#include "engine/textio.h"
#include "testdata.h"

namespace dovex {
namespace {

// An organ data file: record i gets the given line, the others are ignored records.
std::string OrganFile(const std::vector<std::pair<long, std::string>>& lines, long records = 16) {
    std::vector<std::string> out;
    for (long i = 1; i <= records; ++i) {
        std::string line = "組織" + std::to_string(i) + ",0,0,0,0,0,0";
        for (const auto& [row, text] : lines) {
            if (row == i) line = text;
        }
        out.push_back(Utf8ToCp932OrThrow(line));
    }
    return JoinCrLf(out);
}

TEST(DepthFromMode, ThreeModes) {
    EXPECT_DOUBLE_EQ(DepthFromMode(0, 3.5, 20), 3.5);
    EXPECT_DOUBLE_EQ(DepthFromMode(1, 0.5, 20), 10.0);
    EXPECT_DOUBLE_EQ(DepthFromMode(2, 2, 20), 18.0);
    EXPECT_THROW(DepthFromMode(3, 2, 20), CalcError);
}

TEST(LoadOrganData, FillsFlaggedRowsByTheirModes) {
    const auto dir = test::ScratchDir("organ-fill");
    test::WriteBytes(
        dir / "Organ-data" / u8"腹部正面.csv",
        OrganFile(
            {{1, "乳房,1,1,0.5,2,2,12.5"}, {4, "肺,1,0,3,0,18,50"}, {7, "甲状腺,0,0,1,0,2,100"}}));
    OrganRows rows;
    rows.rows[7].tick = TickState::Checked;  // ticked by an earlier run for another exam part
    rows.rows[7].startDepth = 1.5;
    rows.rows[7].endDepth = 2.5;
    rows.rows[7].percentage = 30.0;
    LoadOrganData("腹部正面", 20, dir, rows);
    EXPECT_EQ(rows.rows[1].tick, TickState::Checked);
    EXPECT_EQ(rows.rows[1].startDepth, 10.0);
    EXPECT_EQ(DepthText(rows.rows[1], rows.rows[1].startDepth), "10.0");
    EXPECT_EQ(rows.rows[1].endDepth, 18.0);
    EXPECT_EQ(DepthText(rows.rows[1], rows.rows[1].endDepth), "18.0");
    EXPECT_EQ(rows.rows[1].percentage, 12.5);
    EXPECT_EQ(PercentageText(rows.rows[1]), "12.5");
    EXPECT_EQ(rows.rows[4].startDepth, 3.0);
    EXPECT_EQ(DepthText(rows.rows[4], rows.rows[4].startDepth), "3.0");
    EXPECT_EQ(rows.rows[4].endDepth, 18.0);
    EXPECT_EQ(DepthText(rows.rows[4], rows.rows[4].endDepth), "18.0");
    EXPECT_EQ(rows.rows[4].percentage, 50.0);
    EXPECT_EQ(PercentageText(rows.rows[4]), "50");
    // Flag 0 leaves the row as it stood.
    EXPECT_EQ(rows.rows[7].tick, TickState::Checked);
    EXPECT_EQ(rows.rows[7].startDepth, 1.5);
    EXPECT_EQ(DepthText(rows.rows[7], rows.rows[7].startDepth), "1.5");
    EXPECT_EQ(rows.rows[7].percentage, 30.0);
    EXPECT_EQ(PercentageText(rows.rows[7]), "30");
    EXPECT_EQ(rows.rows[2].tick, TickState::Unchecked);
    EXPECT_FALSE(rows.rows[2].startDepth.has_value());
    EXPECT_EQ(DepthText(rows.rows[2], rows.rows[2].startDepth), "");
    // Modes 1 and 2 follow the thickness.
    LoadOrganData("腹部正面", 40, dir, rows);
    EXPECT_EQ(rows.rows[1].startDepth, 20.0);
    EXPECT_EQ(DepthText(rows.rows[1], rows.rows[1].startDepth), "20.0");
    EXPECT_EQ(rows.rows[1].endDepth, 38.0);
    EXPECT_EQ(DepthText(rows.rows[1], rows.rows[1].endDepth), "38.0");
    std::filesystem::remove_all(dir);
}

TEST(LoadOrganData, APercentageOutsideZeroToHundredIsRefusedWithItsLine) {
    const auto dir = test::ScratchDir("organ-percent");
    for (const char* bad : {"結腸,1,1,0.2,1,0.5,150", "結腸,1,1,0.2,1,0.5,-3"}) {
        test::WriteBytes(dir / "Organ-data" / "p.csv", OrganFile({{3, bad}}));
        OrganRows rows;
        try {
            LoadOrganData("p", 20, dir, rows);
            FAIL() << bad;
        } catch (const DataFileError& e) {
            const std::string what = e.what();
            EXPECT_EQ(what.rfind("Organ-data/p.csv: 3 行目の割合", 0), 0u) << what;
            EXPECT_NE(what.find("must lie within 0 to 100"), std::string::npos) << what;
        }
    }
    std::filesystem::remove_all(dir);
}

TEST(LoadOrganData, MissingShortOrMalformedFilesFail) {
    const auto dir = test::ScratchDir("organ-bad");
    OrganRows rows;
    EXPECT_THROW(LoadOrganData("胸部正面", 20, dir, rows), DataFileError);
    test::WriteBytes(dir / "Organ-data" / "short.csv", OrganFile({}, 15));
    try {
        LoadOrganData("short", 20, dir, rows);
        FAIL() << "short organ file accepted";
    } catch (const DataFileError& e) {
        EXPECT_NE(std::string(e.what()).find("112"), std::string::npos) << e.what();
    }
    // The 16th record lacks its percentage.
    std::string partial = OrganFile({}, 15) + Utf8ToCp932OrThrow("x,1,0,0,0,1\r\n");
    test::WriteBytes(dir / "Organ-data" / "partial.csv", partial);
    EXPECT_THROW(LoadOrganData("partial", 20, dir, rows), DataFileError);
    test::WriteBytes(dir / "Organ-data" / "mode.csv", OrganFile({{3, "結腸,1,7,0,0,1,10"}}));
    EXPECT_THROW(LoadOrganData("mode", 20, dir, rows), DataFileError);
    // Nothing was written into the rows by the failed loads.
    for (long i = 1; i <= kTissueRows; ++i) EXPECT_EQ(rows.rows[i].tick, TickState::Unchecked);
    // Anything after the 16th record is not read.
    test::WriteBytes(dir / "Organ-data" / "long.csv",
                     OrganFile({{16, "残り,1,0,1,0,2,5"}}, 16) + "garbage,here\r\n");
    LoadOrganData("long", 20, dir, rows);
    EXPECT_EQ(rows.rows[16].percentage, 5.0);
    EXPECT_EQ(PercentageText(rows.rows[16]), "5");
    std::filesystem::remove_all(dir);
}

TEST(LoadOrganData, ExamPartNeverLeavesTheOrganDataFolder) {
    const auto dir = test::ScratchDir("organ-escape");
    const std::string good = OrganFile({{1, "乳房,1,0,1,0,2,10"}});
    test::WriteBytes(dir / "evil.csv", good);
    test::WriteBytes(dir / "Organ-data" / "sub" / "x.csv", good);
    OrganRows rows;
    for (const char* name : {"../evil", "..", "sub/x", "sub\\x", "/etc/passwd", "C:evil", "a\nb"}) {
        EXPECT_FALSE(IsSafeExamPartName(name)) << name;
        EXPECT_THROW(LoadOrganData(name, 20, dir, rows), DataFileError) << name;
    }
    EXPECT_EQ(rows.rows[1].tick, TickState::Unchecked);
    EXPECT_TRUE(IsSafeExamPartName("胸部正面"));
    EXPECT_TRUE(IsSafeExamPartName("股関節正面 (右)"));
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace dovex
