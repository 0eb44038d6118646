// SPDX-License-Identifier: MIT
#include "results/model.h"

#include <gtest/gtest.h>

#include "engine/numtext.h"
#include "sample_rows.h"

namespace dovex {
namespace {

struct Current {
    ExposureConditions c;
    DoseResult d;
    CurrentSurface s;
};

Current SomeCalculation() {
    Current cur;
    cur.c.exposureAt1m = 2.5e-5;
    cur.c.arbitraryFilterName = "モリブデン";
    cur.c.arbitraryFilterThickness = 0.003;
    cur.d.convSoft = 36.5;
    cur.d.convSkin = 37.2;
    cur.d.convAir = 33.9;
    cur.d.bsfSoft = 1.35;
    cur.d.bsfSkin = 1.33;
    cur.d.bsfAir = 1.30;
    cur.d.esdSoft = 1.1;
    cur.d.esdSkin = 1.2;
    cur.d.esdAir = 0.9;
    cur.d.effectiveDose = 0.2;
    cur.d.hvl1 = 0.28;
    cur.d.effectiveEnergy = 31.5;
    return cur;
}

TEST(ResultsTableModel, ClearedTableIsEmptyWithZeroSlots) {
    ResultsTable t = test::TableOf({test::TypicalRow(), test::TypicalRow()});
    ClearResultsTable(t);
    EXPECT_EQ(t.nextRow, 1);
    EXPECT_TRUE(t.empty());
    for (int i = 1; i <= 15; ++i) EXPECT_EQ(t.row(i), ResultRow{}) << i;
}

TEST(ResultsTableModel, AppendCopiesConditionsAndResults) {
    ResultsTable t;
    Current cur = SomeCalculation();
    EXPECT_EQ(AppendCurrentResult(t, cur.c, cur.d, cur.s), AppendOutcome::Stored);
    EXPECT_EQ(t.nextRow, 2);
    const ResultRow& r = t.row(1);
    EXPECT_EQ(r.examPart, "腹部正面");
    EXPECT_EQ(r.tubeVoltage, 75);
    EXPECT_EQ(r.inherentFilter, 0.25);
    EXPECT_EQ(r.arbitraryFilterName, "モリブデン");
    EXPECT_EQ(r.arbitraryFilterThickness, 0.003);
    EXPECT_EQ(r.fieldPreset, "半切サイズ 縦");
    EXPECT_EQ(r.exposureAt1m, 2.5e-5);
    EXPECT_EQ(r.convSkin, 37.2);
    EXPECT_EQ(r.bsfSkin, 1.33);
    EXPECT_EQ(r.esdAir, 0.9);
    EXPECT_EQ(r.effectiveDose, 0.2);
    EXPECT_EQ(r.hvl1, 0.28);
    EXPECT_EQ(r.effectiveEnergy, 31.5);
    EXPECT_EQ(r.rectification, 1);
}

TEST(ResultsTableModel, ShapeDecidesWhichDimensionsAreStored) {
    ResultsTable t;
    Current cur = SomeCalculation();
    cur.s = {SurfaceShape::Cylinder, 12, 7, 8, 1, 2, 3};
    AppendCurrentResult(t, cur.c, cur.d, cur.s);
    cur.s.shape = SurfaceShape::EllipticCylinder;
    AppendCurrentResult(t, cur.c, cur.d, cur.s);
    cur.s.shape = SurfaceShape::HeadPlane;
    AppendCurrentResult(t, cur.c, cur.d, cur.s);
    cur.s.shape = SurfaceShape::Racetrack;
    AppendCurrentResult(t, cur.c, cur.d, cur.s);

    EXPECT_EQ(t.row(1).cylinderRadius, 12);
    EXPECT_EQ(t.row(1).ellipseHRadius, 0);
    EXPECT_EQ(t.row(1).racetrackA, 0);  // only a racetrack writes its lengths
    EXPECT_EQ(t.row(2).cylinderRadius, 0);
    EXPECT_EQ(t.row(2).ellipseHRadius, 7);
    EXPECT_EQ(t.row(2).ellipseVRadius, 8);
    EXPECT_EQ(t.row(3).cylinderRadius, 0);
    EXPECT_EQ(t.row(3).ellipseVRadius, 0);
    EXPECT_EQ(t.row(3).surfaceShape, SurfaceShape::HeadPlane);
    // A racetrack leaves the radii of the cleared slot at 0.
    EXPECT_EQ(t.row(4).cylinderRadius, 0);
    EXPECT_EQ(t.row(4).racetrackA, 1);
    EXPECT_EQ(t.row(4).racetrackB, 2);
    EXPECT_EQ(t.row(4).racetrackL, 3);
}

TEST(ResultsTableModel, FifteenthRowIsStoredAndReportsFull) {
    ResultsTable t;
    Current cur = SomeCalculation();
    for (int i = 1; i <= 14; ++i) {
        cur.c.tubeVoltage = 50 + i;
        ASSERT_EQ(AppendCurrentResult(t, cur.c, cur.d, cur.s), AppendOutcome::Stored);
    }
    cur.c.tubeVoltage = 99;
    EXPECT_EQ(AppendCurrentResult(t, cur.c, cur.d, cur.s), AppendOutcome::StoredAndFull);
    EXPECT_EQ(t.nextRow, 16);
    EXPECT_TRUE(t.full());
    EXPECT_EQ(t.row(15).tubeVoltage, 99);
    EXPECT_EQ(t.row(1).tubeVoltage, 51);
    // A full table refuses a sixteenth row instead of writing past its slots.
    EXPECT_EQ(AppendCurrentResult(t, cur.c, cur.d, cur.s), AppendOutcome::Refused);
    EXPECT_EQ(t.nextRow, 16);
}

TEST(ResultsTableModel, CorruptCounterIsRefused) {
    ResultsTable t;
    Current cur = SomeCalculation();
    t.nextRow = 0;
    EXPECT_EQ(AppendCurrentResult(t, cur.c, cur.d, cur.s), AppendOutcome::Refused);
    t.nextRow = 40;
    EXPECT_EQ(AppendCurrentResult(t, cur.c, cur.d, cur.s), AppendOutcome::Refused);
}

TEST(ResultsTableModel, RowLoadsBackIntoCurrentValues) {
    ResultRow r = test::TypicalRow();
    r.surfaceShape = SurfaceShape::EllipticCylinder;
    r.ellipseHRadius = 11;
    r.ellipseVRadius = 9;
    r.hvl2 = 0.61;
    r.qualityIndex = 0.7;
    r.rectification = 3;
    Current cur;
    cur.c.phantom = Phantom::Head;
    cur.d.convAir = 33.5;
    LoadRowIntoCurrent(r, cur.c, cur.d, cur.s);
    EXPECT_EQ(cur.s.shape, SurfaceShape::EllipticCylinder);
    EXPECT_EQ(cur.s.ellipseVRadius, 9);
    EXPECT_EQ(cur.d.hvl2, 0.61);
    EXPECT_EQ(cur.c.rectification, Rectification::SinglePhaseFullWave);
    EXPECT_EQ(cur.c.phantom, Phantom::Head);  // not held by a row
    EXPECT_EQ(cur.d.convAir, 33.5);           // not held by a row
    // Appending the loaded values gives the row again.
    EXPECT_EQ(MakeResultRow(cur.c, cur.d, cur.s), r);
}

TEST(ResultsTableModel, TotalsSumTheDoses) {
    ResultRow a = test::TypicalRow(), b = a, c = a;
    a.esdSoft = 1.234;
    b.esdSoft = 2.000;
    c.esdSoft = 0.5;
    b.effectiveDose = 0;
    ResultsTable t = test::TableOf({a, b, c});
    ColumnTotals tot = ComputeColumnTotals(t);
    EXPECT_EQ(FormatPattern(tot.esdSoft, "#0.00"), "3.73");
    EXPECT_DOUBLE_EQ(tot.esdSkin, 3 * 1.271);
    EXPECT_DOUBLE_EQ(tot.effectiveDose, 2 * 0.1234);
    // A corrupt counter never reads beyond the slots.
    t.nextRow = 99;
    EXPECT_NO_THROW(ComputeColumnTotals(t));
}

TEST(ResultsTableModel, ShapeWords) {
    for (int code = 0; code <= 4; ++code) {
        SurfaceShape s = SurfaceShapeFromCode(code);
        EXPECT_EQ(SurfaceShapeFromWord(SurfaceShapeWord(s)), s);
    }
    EXPECT_EQ(SurfaceShapeFromWord("球面"), SurfaceShape::Racetrack);
    EXPECT_EQ(SurfaceShapeFromCode(-3), SurfaceShape::Racetrack);
}

}  // namespace
}  // namespace dovex
