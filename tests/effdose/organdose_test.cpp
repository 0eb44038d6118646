// SPDX-License-Identifier: MIT
#include "effdose/organdose.h"

#include <gtest/gtest.h>

#include "engine/error.h"

namespace dovex {
namespace {

// A curve whose total % in layer k is 100 - k + 1 (100 in layer 1), so the mean over a layer
// range names the range: mean = 101 - (i1 + i2) / 2.
DepthDoseCurve RampCurve(long layers) {
    DepthDoseCurve c;
    c.layers = layers;
    for (long k = 1; k <= layers; ++k) {
        c.total[k] = 101.0 - k;
        c.primary[k] = 0.5 * c.total[k];
        c.scatter[k] = 0.5 * c.total[k];
    }
    return c;
}

double RampMean(long i1, long i2) { return 0.01 * (101.0 - 0.5 * (i1 + i2)); }

void Tick(OrganRows& rows, long i, const char* d1, const char* d2, const char* pct) {
    rows.rows[i].tick = TickState::Checked;
    rows.rows[i].startDepth = ReadTissueBox(d1);
    rows.rows[i].endDepth = ReadTissueBox(d2);
    rows.rows[i].percentage = ReadTissueBox(pct);
}

const TissueWeights kW = DefaultTissueWeights();

TEST(TissueLayerRange, PartExamples) {
    EXPECT_EQ(TissueLayerRange(kRowEntranceSkin, 0, 0).first, 1);
    EXPECT_EQ(TissueLayerRange(kRowEntranceSkin, 0, 0).last, 1);
    EXPECT_EQ(TissueLayerRange(kRowExitSkin, 20, 20).first, 40);
    EXPECT_EQ(TissueLayerRange(kRowExitSkin, 20, 20).last, 40);
    // Lung 3 to 18 evaluated to 3 + 0.3 * 15 = 7.5 cm: layers 7..15.
    EXPECT_EQ(TissueLayerRange(kRowLung, 3, 7.5).first, 7);
    EXPECT_EQ(TissueLayerRange(kRowLung, 3, 7.5).last, 15);
    EXPECT_EQ(TissueLayerRange(kRowBreast, 10.5, 12.5).first, 22);
    EXPECT_EQ(TissueLayerRange(kRowBreast, 10.5, 12.5).last, 25);
    // A start just above the surface still uses layer 1; a thin tissue one layer.
    EXPECT_EQ(TissueLayerRange(2, -0.4, 0.2).first, 1);
    EXPECT_EQ(TissueLayerRange(2, -0.4, 0.2).last, 1);
    EXPECT_EQ(TissueLayerRange(2, 5.1, 5.2).last, 11);
    EXPECT_THROW(TissueLayerRange(2, -0.6, 1), CalcError);
    EXPECT_THROW(TissueLayerRange(kRowExitSkin, -0.1, 1), CalcError);
    EXPECT_THROW(TissueLayerRange(2, -1e300, 1), CalcError);
}

TEST(ComputeOrganDoses, SkinRowsUseTheirLayers) {
    OrganRows rows;
    Tick(rows, kRowEntranceSkin, "0", "0", "10");
    Tick(rows, kRowExitSkin, "20.0", "20.0", "10");
    const auto out = ComputeOrganDoses(rows, RampCurve(40), 2.0, 20, "腹部正面", kW);
    ASSERT_TRUE(out.completed);
    const double entrance = 0.01 * 0.1 * 1.00 * 2.0;
    const double exit = 0.01 * 0.1 * RampMean(40, 40) * 2.0;
    EXPECT_NEAR(*out.doseMicroSv[kRowEntranceSkin], 1000 * entrance, 1e-12);
    EXPECT_NEAR(*out.doseMicroSv[kRowExitSkin], 1000 * exit, 1e-12);
    EXPECT_NEAR(out.effectiveDose, entrance + exit, 1e-15);
    EXPECT_EQ(rows.rows[kRowEntranceSkin].doseLabel, "2.0");
    EXPECT_EQ(rows.totalLabel, "0.003");
    // Unticked rows show "-" everywhere.
    EXPECT_EQ(rows.rows[1].doseLabel, "-");
    EXPECT_FALSE(rows.rows[1].startDepth.has_value());
    EXPECT_FALSE(rows.rows[1].percentage.has_value());
    EXPECT_EQ(DepthText(rows.rows[1], rows.rows[1].startDepth), "-");
    EXPECT_EQ(DepthText(rows.rows[1], rows.rows[1].endDepth), "-");
    EXPECT_EQ(PercentageText(rows.rows[1]), "-");
    EXPECT_FALSE(out.doseMicroSv[1].has_value());
}

TEST(ComputeOrganDoses, LungAndBreastCorrectionsForChestPa) {
    OrganRows rows;
    Tick(rows, kRowBreast, "15", "17", "100");
    Tick(rows, kRowLung, "3", "18", "100");
    Tick(rows, kRowExitSkin, "20", "20", "100");
    const auto out = ComputeOrganDoses(rows, RampCurve(40), 1.0, 20, "胸部正面", kW);
    ASSERT_TRUE(out.completed);
    // Lw = 0.3 * 15 = 4.5: breast at 10.5..12.5 cm, layers 22..25.
    EXPECT_NEAR(*out.doseMicroSv[kRowBreast], 1000 * 0.12 * RampMean(22, 25), 1e-9);
    EXPECT_NEAR(*out.doseMicroSv[kRowLung], 1000 * 0.12 * RampMean(7, 15), 1e-9);
    // Exit skin at 15.5 cm: layer Int(31) = 31.
    EXPECT_NEAR(*out.doseMicroSv[kRowExitSkin], 1000 * 0.01 * RampMean(31, 31), 1e-9);
    // The lung boxes are not rewritten by the correction.
    EXPECT_EQ(rows.rows[kRowLung].endDepth, 18.0);
}

TEST(ComputeOrganDoses, ChestLateralCorrectsExitSkinOnly) {
    OrganRows rows;
    Tick(rows, kRowBreast, "15", "17", "100");
    Tick(rows, kRowLung, "3", "18", "100");
    Tick(rows, kRowExitSkin, "20", "20", "100");
    const auto out = ComputeOrganDoses(rows, RampCurve(40), 1.0, 20, "胸部側面", kW);
    ASSERT_TRUE(out.completed);
    EXPECT_NEAR(*out.doseMicroSv[kRowBreast], 1000 * 0.12 * RampMean(31, 34), 1e-9);
    EXPECT_NEAR(*out.doseMicroSv[kRowExitSkin], 1000 * 0.01 * RampMean(31, 31), 1e-9);
    // Other exam parts: no correction at all.
    OrganRows other = rows;
    const auto plain = ComputeOrganDoses(other, RampCurve(40), 1.0, 20, "腹部正面", kW);
    EXPECT_NEAR(*plain.doseMicroSv[kRowExitSkin], 1000 * 0.01 * RampMean(40, 40), 1e-9);
}

TEST(ComputeOrganDoses, ExitSkinCorrectionReadsAnUntickedLungAsZero) {
    OrganRows rows;
    rows.rows[kRowLung].startDepth = 3.0;  // left from an earlier run, but unticked
    rows.rows[kRowLung].endDepth = 18.0;
    Tick(rows, kRowExitSkin, "20", "20", "100");
    const auto out = ComputeOrganDoses(rows, RampCurve(40), 1.0, 20, "胸部正面", kW);
    ASSERT_TRUE(out.completed);
    EXPECT_NEAR(*out.doseMicroSv[kRowExitSkin], 1000 * 0.01 * RampMean(40, 40), 1e-9);
}

TEST(ComputeOrganDoses, BadRowDataStopWithTheRowMessage) {
    struct Case {
        long row;
        const char *d1, *d2, *pct;
        const char* message;
    };
    const Case cases[] = {
        {3, "2", "10", "150", "結腸のデータに入力ミスがあります"},
        {5, "2", "20.5", "50", "胃のデータに入力ミスがあります"},
        {14, "12", "10", "50", "脳の深さに入力ミスがあります"},
        {13, "0", "1", "-1", "皮膚のデータに入力ミスがあります"},
        {2, "1e999", "1e999", "10", "骨髄のデータに入力ミスがあります"},
    };
    for (const auto& c : cases) {
        OrganRows rows;
        Tick(rows, 1, "0", "1", "10");
        Tick(rows, c.row, c.d1, c.d2, c.pct);
        Tick(rows, 16, "0", "1", "10");
        rows.rows[16].doseLabel = "";
        rows.totalLabel = "";
        const auto out = ComputeOrganDoses(rows, RampCurve(40), 1.0, 20, "腹部正面", kW);
        EXPECT_FALSE(out.completed) << c.row;
        EXPECT_EQ(out.failedRow, c.row);
        EXPECT_EQ(out.message, c.message);
        EXPECT_EQ(out.effectiveDose, 0);
        EXPECT_NE(rows.rows[1].doseLabel, "");   // processed before the bad row
        EXPECT_EQ(rows.rows[16].doseLabel, "");  // not reached
        EXPECT_EQ(rows.totalLabel, "");
    }
}

TEST(ComputeOrganDoses, PercentageDashReadsAsZeroAndGreyIsNotTicked) {
    OrganRows rows;
    Tick(rows, 9, "3", "8", "-");
    Tick(rows, 10, "3", "8", "100");
    rows.rows[10].tick = TickState::Grey;
    const auto out = ComputeOrganDoses(rows, RampCurve(40), 1.0, 20, "腹部正面", kW);
    ASSERT_TRUE(out.completed);
    EXPECT_EQ(rows.rows[9].doseLabel, "0.0");
    EXPECT_EQ(rows.rows[10].doseLabel, "-");
    EXPECT_EQ(rows.totalLabel, "0.000");
}

TEST(ComputeOrganDoses, AllUntickedGivesZero) {
    OrganRows rows;
    const auto out = ComputeOrganDoses(rows, RampCurve(40), 5.0, 20, "腹部正面", kW);
    ASSERT_TRUE(out.completed);
    EXPECT_EQ(out.effectiveDose, 0);
    EXPECT_EQ(rows.totalLabel, "0.000");
}

TEST(ComputeOrganDoses, LayersBeyondTheCurveAreAFailure) {
    // Start depth at the full 40 cm thickness: the range lies above layer 80.
    OrganRows rows;
    Tick(rows, 9, "40", "40", "10");
    EXPECT_THROW(ComputeOrganDoses(rows, RampCurve(80), 1.0, 40, "腹部正面", kW), CalcError);
    // On a 20 cm subject the layer after the last one computed is not read either.
    OrganRows rows20;
    Tick(rows20, 9, "20", "20", "10");
    EXPECT_THROW(ComputeOrganDoses(rows20, RampCurve(40), 1.0, 20, "腹部正面", kW), CalcError);
    // A start depth below -0.5 cm.
    OrganRows neg;
    Tick(neg, 9, "-1", "2", "10");
    EXPECT_THROW(ComputeOrganDoses(neg, RampCurve(40), 1.0, 20, "腹部正面", kW), CalcError);
}

TEST(ComputeOrganDoses, WeightsAndSumMatchTheTissueDoses) {
    OrganRows rows;
    for (long i = 1; i <= kTissueRows; ++i) Tick(rows, i, "2", "6", "50");
    const auto out = ComputeOrganDoses(rows, RampCurve(40), 3.0, 20, "腹部正面", kW);
    ASSERT_TRUE(out.completed);
    double sum = 0;
    for (long i = 1; i <= kTissueRows; ++i) sum += *out.doseMicroSv[i];
    EXPECT_NEAR(sum / 1000, out.effectiveDose, 1e-12);
    // Weights sum to 1.01 over the rows (both skin rows count 0.01). Lung: effective end
    // 2 + 0.3 x 4 = 3.2 cm (layers 5..6); exit skin starts in layer Int(4) = 4.
    const double expected =
        0.5 * 3.0 * (0.88 * RampMean(5, 12) + 0.12 * RampMean(5, 6) + 0.01 * RampMean(4, 12));
    EXPECT_NEAR(out.effectiveDose, expected, 1e-12);
}

}  // namespace
}  // namespace dovex
