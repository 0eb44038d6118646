// SPDX-License-Identifier: MIT
#include "effdose/depthdose.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/error.h"
#include "engine/textio.h"
#include "testdata.h"

namespace dovex {
namespace {

using test::FlatSpectrum;
using test::FunctionKernels;
using test::SyntheticTables;

constexpr double kPi = 3.14159;

// Exact share of ring j inside the rectangle |x| <= a, |y| <= b, by integrating the radial
// extent inside the rectangle over the quadrant's angle.
double ExactRingShare(long j, double a, double b) {
    const double r1 = 0.5 * (j - 1), r2 = 0.5 * j;
    const int steps = 200000;
    const double h = (M_PI / 2) / steps;
    double area = 0;
    for (int s = 0; s < steps; ++s) {
        const double th = (s + 0.5) * h;
        const double rmax = std::min(a / std::cos(th), b / std::sin(th));
        const double hi = std::min(r2, rmax);
        if (hi > r1) area += 0.5 * (hi * hi - r1 * r1) * h;
    }
    return area / ((M_PI / 4) * (r2 * r2 - r1 * r1));
}

TEST(DepthLayerCount, FollowsTheThickness) {
    EXPECT_EQ(DepthLayerCount(20), 40);
    EXPECT_EQ(DepthLayerCount(20.06), 41);
    EXPECT_EQ(DepthLayerCount(20.04), 40);
    EXPECT_EQ(DepthLayerCount(40), 80);
    EXPECT_EQ(DepthLayerCount(45), 80);
    EXPECT_EQ(DepthLayerCount(0.5), 1);
    EXPECT_EQ(DepthLayerCount(0), 0);
    EXPECT_EQ(DepthLayerCount(-3), 0);
}

TEST(KernelEnergyLabel, PlainKeV) {
    EXPECT_EQ(KernelEnergyLabel(20), "10");
    EXPECT_EQ(KernelEnergyLabel(190), "95");
    EXPECT_EQ(KernelEnergyLabel(200), "100");
    EXPECT_EQ(KernelEnergyLabel(300), "150");
    EXPECT_THROW(KernelEnergyLabel(25), CalcError);
    EXPECT_THROW(KernelEnergyLabel(310), CalcError);
}

TEST(RingFraction, CasesOnTheFifteenByTwelveField) {
    const double a = 15, b = 12;
    EXPECT_EQ(RingFraction(24, a, b, kPi).caseNo, 1);
    EXPECT_DOUBLE_EQ(RingFraction(24, a, b, kPi).fraction, 1.0);
    EXPECT_EQ(RingFraction(25, a, b, kPi).caseNo, 2);
    EXPECT_EQ(RingFraction(30, a, b, kPi).caseNo, 3);
    EXPECT_EQ(RingFraction(31, a, b, kPi).caseNo, 5);
    EXPECT_EQ(RingFraction(38, a, b, kPi).caseNo, 6);
    EXPECT_EQ(RingFraction(39, a, b, kPi).caseNo, 7);
    EXPECT_EQ(RingFraction(40, a, b, kPi).caseNo, 8);
    EXPECT_EQ(RingFraction(40, a, b, kPi).fraction, 0.0);
}

TEST(RingFraction, CaseFourOnANarrowField) {
    // Ring 2 (0.5..1) crosses both edges of a 0.8 x 0.6 half-side field.
    EXPECT_EQ(RingFraction(2, 0.8, 0.6, kPi).caseNo, 4);
}

TEST(RingFraction, EqualsTheExactShareForRingsInsideTheCorner) {
    const double fields[][2] = {{15, 12}, {10, 3}, {7.3, 7.3}, {20.2, 0.7}, {4.1, 3.95}};
    for (const auto& f : fields) {
        const double a = f[0], b = f[1];
        const double corner = std::hypot(a, b);
        for (long j = 1; 0.5 * j <= corner; ++j) {
            const auto r = RingFraction(j, a, b, kPi);
            // Cases 4 and 5 subtract both edges independently; they are exact while the ring
            // stays inside the corner distance, which the loop ensures.
            EXPECT_NEAR(r.fraction, ExactRingShare(j, a, b), 2e-5)
                << "field " << a << " x " << b << " ring " << j << " case " << r.caseNo;
        }
    }
}

TEST(RingFraction, CornerRingMatchesTheExactShare) {
    // Case 7 is exact too (both edge pieces lie inside the ring's outer circle).
    const auto r = RingFraction(39, 15, 12, kPi);
    EXPECT_NEAR(r.fraction, ExactRingShare(39, 15, 12), 2e-5);
}

ExposureConditions Geometry(double kv, double thickness, double longSide, double shortSide) {
    ExposureConditions c;
    c.tubeVoltage = kv;
    c.subjectThickness = thickness;
    c.ffd = 100;
    c.fsd = 100;  // the field at the receptor is the field at the skin
    c.fieldLong = longSide;
    c.fieldShort = shortSide;
    c.fieldShape = shortSide == 0
                       ? FieldShape::Circle
                       : FieldShape::Rectangle;  // a zero short side stands for a circle here
    return c;
}

TEST(ComputeDepthDose, NormalisedToTheFirstLayerAndSumsParts) {
    const auto t = SyntheticTables(2.0);
    const auto s = FlatSpectrum(21, 160);
    FunctionKernels kernels([](long bin, long k, long j) {
        return 0.05 * std::exp(-0.15 * k) * std::exp(-0.1 * j) * (1 + bin / 300.0);
    });
    auto c = Geometry(80, 20, 30, 24);
    const auto curve = ComputeDepthDose(c, s, t, kernels);
    EXPECT_EQ(curve.layers, 40);
    EXPECT_DOUBLE_EQ(curve.total[1], 100.0);
    for (long k = 1; k <= curve.layers; ++k) {
        EXPECT_NEAR(curve.primary[k] + curve.scatter[k], curve.total[k], 1e-10) << k;
        EXPECT_GT(curve.scatter[k], 0) << k;
    }
    for (long k = curve.layers + 1; k <= kDepthLayers; ++k) EXPECT_EQ(curve.total[k], 0);
    EXPECT_EQ(kernels.requests, 29);
    EXPECT_EQ(kernels.lastBin, 300);
}

TEST(ComputeDepthDose, PrimaryIsInverseSquareTimesAttenuation) {
    // Scatter kernels zero: every kernel-energy value is replaced by 1, so a spectrum with one
    // photon bin between kernel energies gives a scatter of exactly 1 in every layer.
    const double p = 3.0;
    const auto t = SyntheticTables(p);
    const long bin = 117;  // 58.5 keV
    const auto s = FlatSpectrum(bin, bin);
    FunctionKernels kernels([](long, long, long) { return 0.0; });
    auto c = Geometry(60, 10, 20, 20);
    c.fsd = 80;
    const auto curve = ComputeDepthDose(c, s, t, kernels);
    const double mu = test::SyntheticMu(58.5);
    auto prim = [&](long k) {
        const double z = 0.5 * k - 0.25;
        return p * std::exp(-mu * z) * 80.0 * 80.0 / ((80.0 + z) * (80.0 + z));
    };
    const double d0 = prim(1) + 1.0;
    for (long k = 1; k <= 20; ++k) {
        EXPECT_NEAR(curve.primary[k], 100 * prim(k) / d0, 1e-9) << k;
        EXPECT_NEAR(curve.scatter[k], 100 * 1.0 / d0, 1e-9) << k;
    }
}

TEST(ComputeDepthDose, ZeroKernelValueIsReplacedByOneAtKernelEnergies) {
    // Only the kernel energy 60 keV (bin 120) carries photons. Its kernel is zero; the bins
    // below it interpolate from it, which replaces its zero by 1, and that 1 is what the sum
    // over the spectrum then takes.
    const auto t = SyntheticTables(1e-30);
    const auto s = FlatSpectrum(120, 120);
    FunctionKernels kernels([](long bin, long, long) { return bin == 120 ? 0.0 : 0.5; });
    auto c = Geometry(60, 5, 10, 10);
    const auto curve = ComputeDepthDose(c, s, t, kernels);
    for (long k = 1; k <= curve.layers; ++k) EXPECT_NEAR(curve.scatter[k], 100.0, 1e-9) << k;

    // Below 60 kV the photon bin lies beyond the tube voltage: nothing is summed, D0 = 0 fails.
    auto c59 = Geometry(59.5, 5, 10, 10);
    const auto s119 = FlatSpectrum(120, 120);
    EXPECT_THROW(ComputeDepthDose(c59, s119, t, kernels), CalcError);
}

TEST(ComputeDepthDose, CircularFieldCountsWholeRingsUpToTheEdge) {
    // Unit kernels: the scatter of a layer is the inverse-square factor times the ring count.
    const auto t = SyntheticTables(1e-30);
    const auto s = FlatSpectrum(21, 100);
    FunctionKernels kernels([](long, long, long) { return 1.0; });
    auto c = Geometry(50, 20, 10.2, 0);  // radius 5.1 cm at the skin
    const auto curve = ComputeDepthDose(c, s, t, kernels);
    auto expected = [&](long k) {
        const double z = 0.5 * k - 0.25;
        const double g = 100.0 * 100.0 / ((100.0 + z) * (100.0 + z));
        const double radius = 5.1 * (100.0 + z) / 100.0;
        return g * (std::floor(2 * radius) + 1);
    };
    EXPECT_EQ(std::floor(2 * 5.1 * 100.25 / 100) + 1, 11);  // 11 rings fully in layer 1
    for (long k = 1; k <= curve.layers; ++k) {
        EXPECT_NEAR(curve.scatter[k], 100 * expected(k) / expected(1), 1e-8) << k;
    }
}

TEST(ComputeDepthDose, RectangularFieldWeighsRingsByTheirShareInside) {
    // Kernel = ring area: the scatter is the inverse-square factor times the field area.
    const auto t = SyntheticTables(1e-30);
    const auto s = FlatSpectrum(21, 100);
    FunctionKernels kernels([](long, long, long j) {
        const double r1 = 0.5 * (j - 1), r2 = 0.5 * j;
        return M_PI * (r2 * r2 - r1 * r1);
    });
    auto c = Geometry(50, 10, 30, 24);  // half-sides 15 and 12 at the skin
    const auto curve = ComputeDepthDose(c, s, t, kernels);
    auto expected = [&](long k) {
        const double z = 0.5 * k - 0.25;
        const double scale = (100.0 + z) / 100.0;
        const double g = 1.0 / (scale * scale);
        return g * (30 * scale) * (24 * scale);  // = constant area at the skin
    };
    for (long k = 1; k <= curve.layers; ++k) {
        EXPECT_NEAR(curve.scatter[k], 100 * expected(k) / expected(1), 1e-3) << k;
    }
}

TEST(ComputeDepthDose, FailuresAreReported) {
    const auto t = SyntheticTables();
    const auto s = FlatSpectrum(21, 300);
    FunctionKernels kernels([](long, long, long) { return 1.0; });
    auto over = Geometry(151, 20, 30, 24);
    EXPECT_THROW(ComputeDepthDose(over, s, t, kernels), CalcError);
    // Attenuation table ending at 80 keV and a 100 kV beam.
    const auto shortTable = SyntheticTables(1.0, 80);
    auto c100 = Geometry(100, 20, 30, 24);
    EXPECT_THROW(ComputeDepthDose(c100, s, shortTable, kernels), CalcError);
    // A field whose corner distance reaches 40 cm needs more than 80 rings.
    auto wide = Geometry(80, 20, 60, 50);
    EXPECT_THROW(ComputeDepthDose(wide, s, t, kernels), CalcError);
    // No photons: first-layer dose zero.
    const XraySpectrum empty;
    auto c80 = Geometry(80, 20, 30, 24);
    EXPECT_THROW(ComputeDepthDose(c80, empty, t, kernels), CalcError);
    // Negative kernel values cannot be interpolated on a log scale.
    FunctionKernels negative([](long, long, long) { return -1.0; });
    EXPECT_THROW(ComputeDepthDose(c80, s, t, negative), CalcError);
    // Zero or negative focus distances.
    auto nofsd = Geometry(80, 20, 30, 24);
    nofsd.fsd = 0;
    EXPECT_THROW(ComputeDepthDose(nofsd, s, t, kernels), CalcError);
    auto noffd = Geometry(80, 20, 30, 24);
    noffd.ffd = 0;
    EXPECT_THROW(ComputeDepthDose(noffd, s, t, kernels), CalcError);
    // Zero or negative thickness leaves no layer.
    auto thin = Geometry(80, 0, 30, 24);
    EXPECT_THROW(ComputeDepthDose(thin, s, t, kernels), CalcError);
}

TEST(KernelFiles, ReadsAndRereadsChangedFiles) {
    const auto dir = test::ScratchDir("kernels");
    for (long bin = 20; bin <= 300; bin += 10) {
        test::WriteBytes(dir / "PDS-data" / (KernelEnergyLabel(bin) + ".dat"),
                         test::KernelText([&](long k, long j) { return bin + k * 0.001 + j; }));
    }
    KernelFiles files(dir);
    EXPECT_DOUBLE_EQ(files.Kernel(100)[3][7], 100 + 0.003 + 7);
    EXPECT_DOUBLE_EQ(files.Kernel(300)[80][80], 300 + 0.08 + 80);
    // The same file again, then a changed file: the new values are used.
    EXPECT_DOUBLE_EQ(files.Kernel(100)[3][7], 100 + 0.003 + 7);
    test::WriteBytes(dir / "PDS-data" / "50.dat", test::KernelText([](long, long) { return 2.5; }));
    EXPECT_DOUBLE_EQ(files.Kernel(100)[3][7], 2.5);
    // A short file and a missing file are reported with the file's name.
    test::WriteBytes(dir / "PDS-data" / "55.dat",
                     test::KernelText([](long, long) { return 1; }, 6399));
    try {
        files.Kernel(110);
        FAIL() << "short kernel file accepted";
    } catch (const DataFileError& e) {
        EXPECT_NE(std::string(e.what()).find("55.dat"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("6400"), std::string::npos) << e.what();
    }
    std::filesystem::remove(dir / "PDS-data" / "60.dat");
    EXPECT_THROW(files.Kernel(120), DataFileError);
    // A removed file is not served from memory.
    std::filesystem::remove(dir / "PDS-data" / "50.dat");
    EXPECT_THROW(files.Kernel(100), DataFileError);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace dovex

namespace dovex {
namespace {

// Plain numbers are read by a quick route; every value must equal what the general lenient
// reading gives, and any other layout must still be read by the general reading.
TEST(ParseKernel, PlainAndGeneralLayoutsGiveTheSameValues) {
    std::vector<double> values;
    unsigned x = 12345;
    for (int i = 0; i < 6400; ++i) {
        x = x * 1103515245u + 12345u;
        values.push_back(std::ldexp(static_cast<double>(x % 1000003u) + 0.123456789, -(i % 40)));
    }
    auto text = [&](const char* sep, const char* fmt) {
        std::string s;
        char buf[64];
        for (int i = 0; i < 6400; ++i) {
            std::snprintf(buf, sizeof buf, fmt, values[i]);
            s += buf;
            s += (i % 20 == 19) ? "\r\n" : sep;
        }
        return s;
    };
    const std::string plain = text(",", "%.6E");
    const std::string blanks = text(" , ", "%.6E");
    const auto a = ParseKernel(plain, "plain");
    const auto b = ParseKernel(blanks, "blanks");
    FieldReader::SetQuickNumbers(false);
    const auto general = ParseKernel(plain, "general");
    FieldReader::SetQuickNumbers(true);
    for (long k = 1; k <= kDepthLayers; ++k) {
        for (long j = 1; j <= kKernelRings; ++j) {
            const double expected = (*general)[k][j];
            ASSERT_EQ((*a)[k][j], expected) << k << " " << j;
            ASSERT_EQ((*b)[k][j], expected) << k << " " << j;
        }
    }
    // A Fortran-style exponent is not plain: the general reader takes it.
    std::string fortran = plain;
    const auto pos = fortran.find('E');
    fortran[pos] = 'D';
    const auto c = ParseKernel(fortran, "fortran");
    EXPECT_EQ((*c)[1][1], (*a)[1][1]);
    EXPECT_EQ((*c)[80][80], (*a)[80][80]);
    // Short files fail either way.
    EXPECT_THROW(ParseKernel(plain.substr(0, plain.size() / 2), "short"), DataFileError);
}

// A file is read again only when it was replaced or its size or modification time changed.
TEST(KernelFiles, RereadsOnlyFilesWhoseSizeOrTimeChanged) {
    namespace fs = std::filesystem;
    const auto dir = test::ScratchDir("kernel-times");
    for (long bin = 20; bin <= 300; bin += 10)
        test::WriteBytes(dir / "PDS-data" / (KernelEnergyLabel(bin) + ".dat"),
                         test::KernelText([](long, long) { return 1.5; }));
    // A modification time of whole seconds, which every system can set back exactly.
    const fs::path f = dir / "PDS-data" / "50.dat";
    const auto time = std::chrono::floor<std::chrono::seconds>(fs::last_write_time(f));
    fs::last_write_time(f, time);
    KernelFiles files(dir);
    for (long bin = 20; bin <= 300; bin += 10) files.Kernel(bin);
    for (long bin = 20; bin <= 300; bin += 10) files.Kernel(bin);
    EXPECT_EQ(files.fileReads(), 29);
    // Same size, same time: the parsed kernel stands (the file is not read).
    test::WriteBytes(f, test::KernelText([](long, long) { return 2.5; }));
    fs::last_write_time(f, time);
    EXPECT_EQ(files.Kernel(100)[1][1], 1.5);
    EXPECT_EQ(files.fileReads(), 29);
    // A new modification time: read again.
    fs::last_write_time(f, time + std::chrono::seconds(1));
    EXPECT_EQ(files.Kernel(100)[1][1], 2.5);
    EXPECT_EQ(files.fileReads(), 30);
    fs::remove_all(dir);
}

TEST(ParseKernel, ValuesOutsideWhatScatterAllowsAreRefusedWithLineAndValue) {
    for (const char* bad : {"-0.5", "4.4E+304"}) {
        std::string text = test::KernelText([](long, long) { return 1.0; });
        const auto line3 = text.find('\n', text.find('\n') + 1) + 1;
        text.replace(line3, text.find(',', line3) - line3, bad);
        try {
            ParseKernel(text, "PDS-data/50.dat");
            FAIL() << bad;
        } catch (const DataFileError& e) {
            const std::string what = e.what();
            EXPECT_EQ(what.rfind("PDS-data/50.dat: 3 行目の値", 0), 0u) << what;
            EXPECT_NE(what.find("as a scatter dose"), std::string::npos) << what;
        }
    }
}

}  // namespace
}  // namespace dovex
