// SPDX-License-Identifier: MIT
#include "engine/dose.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/error.h"
#include "tests/support/synthdata.h"
#include "tests/support/tablesfixture.h"

using namespace dovex;

namespace {

class DoseTest : public dovex::testing::SyntheticTablesTest {};

ExposureConditions WithField(double lng, double shrt, double ffd = 100, double fsd = 80) {
    ExposureConditions c;
    c.fieldLong = lng;
    c.fieldShort = shrt;
    c.ffd = ffd;
    c.fsd = fsd;
    return c;
}

// Share of ring k (radii 0.1(k-1)..0.1k) inside the rectangle of half-sides a, b, by sampling.
double SampledShare(double a, double b, long k) {
    const int n = 4000;
    int inside = 0;
    double r1 = 0.1 * (k - 1), r2 = 0.1 * k;
    for (int i = 0; i < n; ++i) {
        double r = std::sqrt(r1 * r1 + (r2 * r2 - r1 * r1) * (i + 0.5) / n);
        double phi = 1.5707963267948966 * std::fmod(i * 0.6180339887498949, 1.0);
        inside += r * std::cos(phi) <= a && r * std::sin(phi) <= b;
    }
    return static_cast<double>(inside) / n;
}

}  // namespace

TEST(SkinField, RingCountsOfTheDefaultField) {
    SkinField f = ProjectFieldToSkin(WithField(43.2, 35.6));
    EXPECT_NEAR(f.a, 17.28, 1e-9);
    EXPECT_NEAR(f.b, 14.24, 1e-9);
    EXPECT_EQ(f.na, 172);
    EXPECT_EQ(f.nb, 142);
    EXPECT_EQ(f.nd, 223);
    // The long and short entries may be given either way round.
    SkinField g = ProjectFieldToSkin(WithField(35.6, 43.2));
    EXPECT_EQ(g.na, 172);
    EXPECT_EQ(g.nb, 142);
}

TEST(SkinField, ClampsLargeAndSmallFields) {
    SkinField big = ProjectFieldToSkin(WithField(62.5, 62.5));  // 50 x 50 cm on the skin
    EXPECT_EQ(big.na, 200);
    EXPECT_EQ(big.nb, 200);
    EXPECT_EQ(big.nd, 282);
    SkinField small = ProjectFieldToSkin(WithField(0.625, 0.625));  // 0.5 x 0.5 cm
    EXPECT_EQ(small.na, 5);
    EXPECT_EQ(small.nb, 5);
    EXPECT_EQ(small.nd, 7);
    SkinField empty = ProjectFieldToSkin(WithField(0, 0));  // empty size fields read as 0
    EXPECT_EQ(empty.na, 5);
    EXPECT_THROW(ProjectFieldToSkin(WithField(10, 10, 0)), CalcError);
}

TEST(SkinField, CircularField) {
    ExposureConditions c = WithField(10, 0);
    c.fieldShape = FieldShape::Circle;
    SkinField f = ProjectFieldToSkin(c);
    EXPECT_TRUE(f.circular);
    EXPECT_EQ(f.n, 40);
    c.fieldLong = 100;  // 80 cm on the skin, clamped to 40
    EXPECT_EQ(ProjectFieldToSkin(c).n, 200);
}

TEST(SkinField, RingFractionsFollowTheRectangle) {
    SkinField f = ProjectFieldToSkin(WithField(43.2, 35.6));
    EXPECT_EQ(RectangleRingFraction(f, 1), 1.0);
    EXPECT_EQ(RectangleRingFraction(f, 142), 1.0);
    EXPECT_EQ(RectangleRingFraction(f, 224), 0.0);
    // Ring 173 (radius 17.25 cm) starts the corner range but lies inside the long half-side
    // 17.28 cm: it adds nothing.
    EXPECT_EQ(RectangleRingFraction(f, 173), 0.0);
    for (long k : {143L, 150L, 172L, 174L, 190L, 215L}) {
        double want = SampledShare(f.a, f.b, k);
        EXPECT_NEAR(RectangleRingFraction(f, k), want, 0.02) << "ring " << k;
    }
    // A ring whose representative radius lies below b although its index is above Int(10 b).
    ExposureConditions c = WithField(10, 2.14, 100, 100);  // half-sides 5 and 1.07 cm
    SkinField g = ProjectFieldToSkin(c);
    EXPECT_EQ(g.nb, 10);
    EXPECT_EQ(RectangleRingFraction(g, 11), 0.0);
    EXPECT_GT(RectangleRingFraction(g, 12), 0.0);
}

TEST_F(DoseTest, ExposureFromTheDefaultOutput) {
    ExposureConditions c;
    c.addedAl = 0;  // reference filtration: ratio 1
    c.tubeVoltage = 80;
    XraySpectrum s = SynthesizeSpectrum(c, *tables_, noFilter);
    double per = tables_->output.outputPerMas[5][1];
    EXPECT_NEAR(ComputeExposureAt1m(c, s, *tables_), per * 200 * 0.05, 1e-15);
    c.tubeVoltage = 85;
    s = SynthesizeSpectrum(c, *tables_, noFilter);
    double mid = 0.5 * (tables_->output.outputPerMas[5][1] + tables_->output.outputPerMas[6][1]);
    EXPECT_NEAR(ComputeExposureAt1m(c, s, *tables_), mid * 10 * s.filtrationRatio, 1e-15);
    // Below the first voltage the first interval is extrapolated.
    c.tubeVoltage = 35;
    c.rectification = Rectification::SinglePhaseFullWave;
    s = SynthesizeSpectrum(c, *tables_, noFilter);
    const auto& o = tables_->output;
    double extra = o.outputPerMas[1][3] - 0.5 * (o.outputPerMas[2][3] - o.outputPerMas[1][3]);
    EXPECT_NEAR(ComputeExposureAt1m(c, s, *tables_), extra * 10 * s.filtrationRatio, 1e-15);
}

namespace {

// The engine's steps of one calculation in the calculation's order: the spectrum, the exposure at
// 1 m from the default output data (kept in c unless measured) and the doses.
struct EngineOutput {
    XraySpectrum spectrum;
    DoseResult dose;
};
EngineOutput RunEngine(ExposureConditions& c, const PhysicsTables& t,
                       const ArbitraryFilter& filter) {
    EngineOutput out;
    out.spectrum = SynthesizeSpectrum(c, t, filter);
    if (c.exposureSource == ExposureSource::DefaultOutput)
        c.exposureAt1m = ComputeExposureAt1m(c, out.spectrum, t);
    out.dose = ComputeDoses(c, out.spectrum, t);
    return out;
}

}  // namespace

TEST_F(DoseTest, DefaultConditionsGivePlausibleDoses) {
    ExposureConditions c;
    EngineOutput out = RunEngine(c, *tables_, noFilter);
    const DoseResult& d = out.dose;
    EXPECT_GT(c.exposureAt1m, 0);
    EXPECT_NEAR(d.convAir, 33.97, 1e-9);  // no kerma below 2.5 keV
    EXPECT_GT(d.bsfSoft, 1.0);
    EXPECT_GT(d.bsfAir, 1.0);
    double p = c.exposureAt1m * 10000 / (80 * 80);
    EXPECT_NEAR(d.esdSoft, p * d.convSoft * d.bsfSoft * 1000, 1e-12);
    EXPECT_NEAR(d.esdAir, p * 33.97 * d.bsfAir * 1000, 1e-12);
    EXPECT_EQ(d.effectiveDose, 0);
}

TEST_F(DoseTest, PhantomChangesBackscatterOnly) {
    ExposureConditions body;
    ExposureConditions head;
    head.phantom = Phantom::Head;
    EngineOutput b = RunEngine(body, *tables_, noFilter);
    EngineOutput h = RunEngine(head, *tables_, noFilter);
    EXPECT_EQ(b.dose.convSoft, h.dose.convSoft);
    EXPECT_LT(h.dose.bsfSoft, b.dose.bsfSoft);
}

TEST_F(DoseTest, InverseSquare) {
    ExposureConditions near;
    near.exposureSource = ExposureSource::Measured;
    near.exposureAt1m = 2.58e-5;
    ExposureConditions far = near;
    far.fsd = 160;
    far.ffd = 200;
    double dn = RunEngine(near, *tables_, noFilter).dose.esdAir;
    double df = RunEngine(far, *tables_, noFilter).dose.esdAir;
    EXPECT_NEAR(dn / df, 4.0, 0.2);
    EXPECT_EQ(near.exposureAt1m, 2.58e-5);  // a measured value is not replaced
}

TEST_F(DoseTest, FailuresAreReportedNotComputed) {
    for (double kv : {0.0, -5.0, 150.0, 151.0}) {
        ExposureConditions c;
        c.tubeVoltage = kv;
        EXPECT_THROW(RunEngine(c, *tables_, noFilter), CalcError) << kv;
    }
    ExposureConditions c;
    c.ffd = 0;
    EXPECT_THROW(RunEngine(c, *tables_, noFilter), CalcError);
    c = ExposureConditions{};
    c.fsd = 0;
    c.exposureSource = ExposureSource::Measured;
    c.exposureAt1m = 1e-5;
    EXPECT_THROW(RunEngine(c, *tables_, noFilter), CalcError);
    c = ExposureConditions{};
    c.tubeVoltage = 10;  // extrapolated default output below zero
    EXPECT_THROW(RunEngine(c, *tables_, noFilter), CalcError);
    c = ExposureConditions{};
    c.fieldLong = std::nan("");
    EXPECT_THROW(RunEngine(c, *tables_, noFilter), CalcError);
    c = ExposureConditions{};
    c.phantom = static_cast<Phantom>(2);
    EXPECT_THROW(RunEngine(c, *tables_, noFilter), CalcError);
}

TEST_F(DoseTest, EmptyFieldSizesUseTheClamps) {
    ExposureConditions c;
    c.fieldLong = 0;
    c.fieldShort = 0;
    DoseResult d = RunEngine(c, *tables_, noFilter).dose;
    EXPECT_TRUE(std::isfinite(d.esdSoft));
    EXPECT_GT(d.bsfSoft, 1.0);
    ExposureConditions wide;
    EXPECT_LT(d.bsfSoft, RunEngine(wide, *tables_, noFilter).dose.bsfSoft);
}
