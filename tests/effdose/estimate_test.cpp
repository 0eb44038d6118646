// SPDX-License-Identifier: MIT
#include "effdose/estimate.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/error.h"
#include "engine/numtext.h"
#include "engine/textio.h"
#include "testdata.h"

namespace dovex {
namespace {

std::string Organs(const std::vector<std::string>& records) {
    std::vector<std::string> lines;
    for (const auto& r : records) lines.push_back(Utf8ToCp932OrThrow(r));
    return JoinCrLf(lines);
}

std::vector<std::string> AbdomenRecords() {
    std::vector<std::string> r(16, "x,0,0,0,0,0,0");
    r[2] = "結腸,1,1,0.2,1,0.6,80";
    r[4] = "胃,1,1,0.25,1,0.55,60";
    r[11] = "入射皮膚面,1,0,0,0,0,5";
    r[12] = "射出皮膚面,1,2,0,2,0,5";
    return r;
}

class EstimateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = test::ScratchDir("estimate");
        test::WriteBytes(dir / "Organ-data" / u8"腹部正面.csv", Organs(AbdomenRecords()));
        auto bad = AbdomenRecords();
        bad[4] = "胃,1,1,0.55,1,0.25,50";  // ends before it starts
        test::WriteBytes(dir / "Organ-data" / "bad.csv", Organs(bad));
        c.tubeVoltage = 80;
        c.fsd = 80;
        c.ffd = 100;
        c.fieldLong = 43.2;
        c.fieldShort = 35.6;
        c.subjectThickness = 20;
        c.examPart = "腹部正面";
        dose.esdSoft = 2.0;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::filesystem::path dir;
    ExposureConditions c;
    DoseResult dose;
    PhysicsTables t = test::SyntheticTables(1.0);
    XraySpectrum s = test::FlatSpectrum(40, 160);
    test::FunctionKernels kernels = test::FunctionKernels(
        [](long, long k, long j) { return 0.002 * std::exp(-0.2 * k - 0.05 * j); });
    OrganRows rows;
};

TEST_F(EstimateTest, RunsTheStepsAndStoresTheEffectiveDose) {
    const auto r = RunEffectiveDoseEstimate(c, s, dose, t, dir, kernels, rows);
    ASSERT_TRUE(r.estimated);
    EXPECT_GT(r.effectiveDose, 0);
    EXPECT_EQ(dose.effectiveDose, r.effectiveDose);
    EXPECT_EQ(rows.totalLabel, FormatPattern(r.effectiveDose, "##0.000"));
    EXPECT_EQ(rows.examPartLabel, "腹部正面");
    EXPECT_EQ(rows.thicknessLabel, "被写体厚 = 20 cm");
    EXPECT_EQ(rows.rows[3].startDepth, 4.0);
    EXPECT_EQ(DepthText(rows.rows[3], rows.rows[3].startDepth), "4.0");
    EXPECT_EQ(rows.rows[13].startDepth, 20.0);
    EXPECT_EQ(DepthText(rows.rows[13], rows.rows[13].startDepth), "20.0");
    EXPECT_DOUBLE_EQ(r.curve.total[1], 100);
    EXPECT_EQ(r.curve.layers, 40);
    // Entrance skin: 0.01 x 5 % x 100 % x ESD.
    EXPECT_NEAR(*r.organs.doseMicroSv[12], 1000 * 0.01 * 0.05 * 1.0 * 2.0, 1e-9);
    const auto lines = FormatOrganTable(rows);
    EXPECT_EQ(lines.size(), 19u);
    EXPECT_EQ(lines.back(),
              "合計（実効線量）= " + FormatPattern(r.effectiveDose, "##0.000") + " mSv");
}

TEST_F(EstimateTest, ThicknessAboveFortyIsCappedBeforeTheEstimate) {
    c.subjectThickness = 45;
    c.fieldLong = 20;
    c.fieldShort = 20;
    const auto r = RunEffectiveDoseEstimate(c, s, dose, t, dir, kernels, rows);
    EXPECT_EQ(c.subjectThickness, 40);
    EXPECT_EQ(r.thickness, 40);
    EXPECT_EQ(r.curve.layers, 80);
    EXPECT_EQ(rows.thicknessLabel, "被写体厚 = 40 cm");
    EXPECT_EQ(rows.rows[13].startDepth, 40.0);
    EXPECT_EQ(DepthText(rows.rows[13], rows.rows[13].startDepth), "40.0");
}

TEST_F(EstimateTest, OtherOrEmptyExamPartMakesNoEstimate) {
    for (const char* part : {"その他", ""}) {
        c.examPart = part;
        c.subjectThickness = 45;
        dose.effectiveDose = 0.5;  // from an earlier calculation
        const auto r = RunEffectiveDoseEstimate(c, s, dose, t, dir / "nothing", kernels, rows);
        EXPECT_FALSE(r.estimated);
        EXPECT_EQ(r.effectiveDose, 0);
        EXPECT_EQ(FormatOrganTable(rows).back(), "合計（実効線量）= --- mSv");
        EXPECT_EQ(dose.effectiveDose, 0);
        EXPECT_EQ(c.examPart, "その他");
        EXPECT_EQ(c.subjectThickness, 45);  // no cap without an estimate
        EXPECT_FALSE(r.curveComputed);
    }
    EXPECT_EQ(kernels.requests, 0);
}

TEST_F(EstimateTest, AbortedEstimateClearsTheEarlierEffectiveDose) {
    const auto first = RunEffectiveDoseEstimate(c, s, dose, t, dir, kernels, rows);
    ASSERT_TRUE(first.estimated);
    ASSERT_GT(dose.effectiveDose, 0);
    c.examPart = "bad";
    const auto r = RunEffectiveDoseEstimate(c, s, dose, t, dir, kernels, rows);
    EXPECT_FALSE(r.estimated);
    EXPECT_EQ(r.failedRow, 5);
    EXPECT_EQ(r.message, "胃のデータに入力ミスがあります");
    EXPECT_EQ(dose.effectiveDose, 0);
    EXPECT_EQ(r.effectiveDose, 0);
    EXPECT_EQ(FormatOrganTable(rows).back(), "合計（実効線量）= --- mSv");
    EXPECT_EQ(rows.totalLabel, "");
    EXPECT_EQ(rows.rows[16].doseLabel, "");  // after the bad row: blank, as prepared
}

TEST_F(EstimateTest, MissingDataFailsAndLeavesNoEffectiveDose) {
    dose.effectiveDose = 0.5;
    c.examPart = "頭部正面";  // no organ data file here
    EXPECT_THROW(RunEffectiveDoseEstimate(c, s, dose, t, dir, kernels, rows), DataFileError);
    EXPECT_EQ(dose.effectiveDose, 0);
    c.examPart = "../Organ-data/腹部正面";
    EXPECT_THROW(RunEffectiveDoseEstimate(c, s, dose, t, dir, kernels, rows), DataFileError);
    KernelFiles noKernels(dir);
    c.examPart = "腹部正面";
    EXPECT_THROW(RunEffectiveDoseEstimate(c, s, dose, t, dir, noKernels, rows), DataFileError);
}

}  // namespace
}  // namespace dovex
