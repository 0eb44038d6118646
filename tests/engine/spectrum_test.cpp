// SPDX-License-Identifier: MIT
#include "engine/spectrum.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/error.h"
#include "engine/numtext.h"
#include "engine/textio.h"
#include "tests/support/synthdata.h"
#include "tests/support/tablesfixture.h"

using namespace dovex;

namespace {

class SpectrumTest : public dovex::testing::SyntheticTablesTest {};

double Sum(const FineArray& a, long from, long to) {
    double s = 0;
    for (long i = from; i <= to; ++i) s += a[i];
    return s;
}

}  // namespace

TEST(Waveform, PhaseAnglesAndWeights) {
    EXPECT_EQ(PhaseAngles(static_cast<Rectification>(1)), std::vector<double>{90});
    auto three = PhaseAngles(static_cast<Rectification>(2));
    ASSERT_EQ(three.size(), 16u);
    EXPECT_EQ(three.front(), 75);
    EXPECT_EQ(three.back(), 90);
    auto single = PhaseAngles(static_cast<Rectification>(3));
    ASSERT_EQ(single.size(), 45u);
    EXPECT_EQ(single.front(), 2);
    EXPECT_EQ(single.back(), 90);
    EXPECT_THROW(PhaseAngles(static_cast<Rectification>(4)), CalcError);
    for (double p : three) EXPECT_EQ(TubeCurrentWeight(static_cast<Rectification>(2), p), 1.0);
    EXPECT_NEAR(TubeCurrentWeight(static_cast<Rectification>(3), 30), std::pow(0.5 / 0.75, 1.5),
                1e-5);                                                     // about 0.544
    EXPECT_EQ(TubeCurrentWeight(static_cast<Rectification>(3), 50), 1.0);  // sin 50 > 0.75
    EXPECT_LT(TubeCurrentWeight(static_cast<Rectification>(3), 48), 1.0);  // sin 48 < 0.75
    EXPECT_NEAR(80 * std::sin(75 * 3.14159 / 180), 77.27, 0.01);
}

TEST(Waveform, KLineFraction) {
    EXPECT_NEAR(KLineFraction(75), 0.794, 0.001);
    EXPECT_EQ(KLineFraction(70), 0.0);
    EXPECT_GT(KLineFraction(70.01), 0.0);
}

TEST_F(SpectrumTest, NormalisedSpectraAndReferenceRatio) {
    ExposureConditions c;  // 2.5 mm inherent + 1 mm added
    for (int rect = 1; rect <= 3; ++rect) {
        c.rectification = static_cast<Rectification>(rect);
        XraySpectrum s = SynthesizeSpectrum(c, *tables_, noFilter);
        EXPECT_NEAR(Sum(s.fluence, 2, 150), 1.0, 1e-8);
        EXPECT_NEAR(Sum(s.airKerma, 2, 150), 1.0, 1e-12);
        EXPECT_EQ(s.fluence[1], 0);
        for (long i = 151; i <= 300; ++i) EXPECT_EQ(s.fluence[i], 0);
        EXPECT_LT(s.filtrationRatio, 1.0);  // more aluminium than the reference
    }
    c.addedAl = 0;  // 2.5 mm total: the reference filtration of every column
    for (int rect = 1; rect <= 3; ++rect) {
        c.rectification = static_cast<Rectification>(rect);
        EXPECT_NEAR(SynthesizeSpectrum(c, *tables_, noFilter).filtrationRatio, 1.0, 1e-12);
    }
}

TEST_F(SpectrumTest, KLinesOnlyAbove70kV) {
    ExposureConditions c;
    c.tubeVoltage = 70;
    XraySpectrum at70 = SynthesizeSpectrum(c, *tables_, noFilter);
    // Without lines the 59.5 keV bin sits on the smooth continuum between its neighbours.
    EXPECT_NEAR(at70.fluence[119], 0.5 * (at70.fluence[118] + at70.fluence[120]),
                0.05 * at70.fluence[119]);
    c.tubeVoltage = 80;
    XraySpectrum at80 = SynthesizeSpectrum(c, *tables_, noFilter);
    EXPECT_GT(at80.fluence[119], 1.5 * at80.fluence[120]);
    EXPECT_GT(at80.fluence[116], 1.2 * at80.fluence[115]);
}

TEST_F(SpectrumTest, RippleSoftensTheSpectrum) {
    ExposureConditions c;
    auto meanEnergy = [&](int rect) {
        c.rectification = static_cast<Rectification>(rect);
        XraySpectrum s = SynthesizeSpectrum(c, *tables_, noFilter);
        double e = 0;
        for (long i = 2; i <= 150; ++i) e += s.fluence[i] * FineEnergy(i);
        return e;
    };
    double cp = meanEnergy(1), three = meanEnergy(2), single = meanEnergy(3);
    EXPECT_GT(cp, three);
    EXPECT_GT(three, single);
}

TEST_F(SpectrumTest, ArbitraryFilter) {
    ExposureConditions c;
    ArbitraryFilter f;
    f.on = true;
    f.mu.fill(2.0);
    c.arbitraryFilterThickness = 0;
    XraySpectrum plain = SynthesizeSpectrum(c, *tables_, noFilter);
    XraySpectrum zero = SynthesizeSpectrum(c, *tables_, f);
    for (long i = 1; i <= 300; ++i) EXPECT_EQ(plain.fluence[i], zero.fluence[i]);
    EXPECT_EQ(plain.filtrationRatio, zero.filtrationRatio);
    // A grey filter (same mu at every energy) keeps the shape and lowers the output.
    c.arbitraryFilterThickness = 0.05;
    XraySpectrum grey = SynthesizeSpectrum(c, *tables_, f);
    EXPECT_NEAR(grey.filtrationRatio, plain.filtrationRatio * std::exp(-0.1), 1e-12);
    EXPECT_NEAR(grey.fluence[100], plain.fluence[100], 1e-12);
}

TEST_F(SpectrumTest, SpectrumFileLines) {
    ExposureConditions c;
    XraySpectrum s = SynthesizeSpectrum(c, *tables_, noFilter);
    std::string text = SpectrumFileText(s);
    auto lines = SplitLines(text);
    ASSERT_EQ(lines.size(), 300u);
    EXPECT_EQ(text.substr(0, 17), "0000.5, 0.00000\r\n");
    EXPECT_EQ(lines[299], "0150.0, 0.00000");
    EXPECT_EQ(lines[119], "0060.0, " + FormatPattern(s.fluence[120], "0.00000"));
    s.fluence[120] = 0.0123456;
    EXPECT_EQ(SplitLines(SpectrumFileText(s))[119], "0060.0, 0.01235");
    c.tubeVoltage = 40;
    auto low = SplitLines(SpectrumFileText(SynthesizeSpectrum(c, *tables_, noFilter)));
    ASSERT_EQ(low.size(), 300u);
    EXPECT_EQ(low[200], "0100.5, 0.00000");
}

TEST_F(SpectrumTest, ConditionsOutsideTheModelFail) {
    ExposureConditions c;
    for (double kv : {0.0, -5.0, 151.0, std::nan(""), 0.2}) {
        c.tubeVoltage = kv;
        EXPECT_THROW(SynthesizeSpectrum(c, *tables_, noFilter), CalcError) << kv;
    }
    c = ExposureConditions{};
    c.targetAngle = 0;
    EXPECT_THROW(SynthesizeSpectrum(c, *tables_, noFilter), CalcError);
    c = ExposureConditions{};
    c.addedCu = 1e4;  // nothing passes 100 m of copper
    EXPECT_THROW(SynthesizeSpectrum(c, *tables_, noFilter), CalcError);
    c = ExposureConditions{};
    c.rectification = static_cast<Rectification>(0);
    EXPECT_THROW(SynthesizeSpectrum(c, *tables_, noFilter), CalcError);
}

TEST_F(SpectrumTest, FilteredFluenceIsTheUnfilteredSpectrumThroughTheFilters) {
    ExposureConditions c;
    c.tubeVoltage = 90;
    FineArray raw = UnfilteredSpectrum(c, *tables_);
    XraySpectrum s = SynthesizeSpectrum(c, *tables_, noFilter);
    const auto& a = tables_->att;
    double norm = 0;
    for (long i = 2; i <= 180; ++i) norm += raw[i] * std::exp(-a.muAl[i] * 0.35) / FineEnergy(i);
    for (long i : {20L, 60L, 119L, 170L}) {
        double want = raw[i] * std::exp(-a.muAl[i] * 0.35) / FineEnergy(i) / norm;
        EXPECT_NEAR(s.fluence[i], want, 1e-12 + 1e-9 * want) << i;
    }
}

TEST_F(SpectrumTest, SelfAttenuationLowersEveryBinAndNeverLeavesAFiniteRange) {
    // The attenuation in the target is built up step by step from the surface inwards; an opaque
    // target must end in zeros, not in a product of zero and infinity.
    for (double scale : {10.0, 1e4, 1e12}) {
        PhysicsTables denser = *tables_;
        for (long i = 1; i <= 300; ++i) denser.att.muW[i] *= scale;
        for (int rect : {1, 3})
            for (double angle : {1.0, 12.0, 45.0}) {
                ExposureConditions c;
                c.tubeVoltage = 150;
                c.rectification = static_cast<Rectification>(rect);
                c.targetAngle = angle;
                const FineArray plain = UnfilteredSpectrum(c, *tables_);
                const FineArray dense = UnfilteredSpectrum(c, denser);
                for (long i = 2; i <= 300; ++i) {
                    ASSERT_TRUE(std::isfinite(dense[i])) << scale << " " << angle << " " << i;
                    ASSERT_GE(dense[i], 0) << scale << " " << angle << " " << i;
                    ASSERT_LE(dense[i], plain[i] * (1 + 1e-12))
                        << scale << " " << angle << " " << i;
                }
            }
    }
}
