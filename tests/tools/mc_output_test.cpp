// SPDX-License-Identifier: MIT
// Layouts of the generated files, checked with the program's own readers.
#include "tools/mc/mc_output.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "effdose/depthdose.h"
#include "engine/textio.h"

namespace mc = dovex::mc;

namespace {

std::vector<std::vector<double>> SampleColumns() {
    std::vector<std::vector<double>> c(31, std::vector<double>(300));
    for (int m = 0; m < 31; ++m)
        for (int k = 0; k < 300; ++k) c[m][k] = 1e-3 * (m + 1) / (k + 1) + 1e-9 * k;
    return c;
}

TEST(McOutput, BackscatterFileLayout) {
    const auto cols = SampleColumns();
    const std::string text = mc::BsfFileText("header, with a comma", cols);
    const auto lines = dovex::SplitLines(text);
    ASSERT_EQ(lines.size(), 301u);
    EXPECT_EQ(lines[0], "header, with a comma");
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 301);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 301);
    EXPECT_EQ(lines[1].substr(0, 4), "0.1,");
    EXPECT_EQ(lines[300].substr(0, 5), "30.0,");
    EXPECT_EQ(std::count(lines[150].begin(), lines[150].end(), ','), 31);
    // Round trip through the free-format reader: the header is read as one line even though it
    // holds a comma, the first field of each record is skipped.
    const auto back = mc::ParseBsfFile(text, "x.dat");
    for (int m = 0; m < 31; ++m)
        for (int k = 0; k < 300; ++k)
            ASSERT_NEAR(back[m][k], cols[m][k], 1e-6 * cols[m][k]) << m << " " << k;
}

TEST(McOutput, BackscatterFileRefusesBadInput) {
    auto cols = SampleColumns();
    EXPECT_THROW(mc::BsfFileText("h\r\nx", cols), std::invalid_argument);
    EXPECT_THROW(mc::BsfFileText("\xe6\x97\xa5", cols), std::invalid_argument);
    cols[3][7] = std::numeric_limits<double>::infinity();
    EXPECT_THROW(mc::BsfFileText("h", cols), std::runtime_error);
    cols.pop_back();
    EXPECT_THROW(mc::BsfFileText("h", cols), std::invalid_argument);
    // A short file, an extra field and a non-number are reported.
    const std::string good = mc::BsfFileText("h", SampleColumns());
    EXPECT_THROW(mc::ParseBsfFile(good.substr(0, good.size() / 2), "x"), std::runtime_error);
    EXPECT_THROW(mc::ParseBsfFile(good + "1\r\n", "x"), std::runtime_error);
    std::string bad = good;
    bad[bad.find("\r\n") + 2 + 4] = 'x';  // inside the first value of ring 1
    EXPECT_THROW(mc::ParseBsfFile(bad, "x"), std::runtime_error);
}

TEST(McOutput, KernelFileIsReadByTheDepthDoseReader) {
    std::vector<double> k(6400);
    for (int i = 0; i < 6400; ++i) k[i] = 1000.0 * std::exp(-0.001 * i) + i;
    const std::string text = mc::KernelFileText(k);
    const auto lines = dovex::SplitLines(text);
    ASSERT_EQ(lines.size(), 320u);
    for (const auto& l : lines) EXPECT_EQ(std::count(l.begin(), l.end(), ','), 19);
    const auto parsed = dovex::ParseKernel(text, "x.dat");
    for (long layer = 1; layer <= 80; ++layer)
        for (long ring = 1; ring <= 80; ++ring) {
            const double v = k[(layer - 1) * 80 + (ring - 1)];
            ASSERT_NEAR((*parsed)[layer][ring], v, 1e-6 * v);
        }
    EXPECT_EQ(mc::ParseKernelFile(text, "x"), std::vector<double>(mc::ParseKernelFile(text, "x")));
    EXPECT_THROW(mc::KernelFileText(std::vector<double>(6399)), std::invalid_argument);
    EXPECT_THROW(mc::ParseKernelFile(text + "1\r\n", "x"), std::runtime_error);
}

TEST(McOutput, NamesAndGrids) {
    EXPECT_EQ(mc::BsfColumnEnergy(1), 1.0);
    EXPECT_EQ(mc::BsfColumnEnergy(2), 5.0);
    EXPECT_EQ(mc::BsfColumnEnergy(31), 150.0);
    EXPECT_THROW(mc::BsfColumnEnergy(0), std::out_of_range);
    EXPECT_THROW(mc::BsfColumnEnergy(32), std::out_of_range);
    EXPECT_EQ(mc::KernelEnergy(0), 10);
    EXPECT_EQ(mc::KernelEnergy(28), 150);
    EXPECT_THROW(mc::KernelEnergy(29), std::out_of_range);
    // The file names the depth-dose reader builds from the fine-grid bins.
    for (int n = 0; n < mc::kKernelEnergies; ++n)
        EXPECT_EQ(mc::KernelFileName(mc::KernelEnergy(n)),
                  dovex::KernelEnergyLabel(2L * mc::KernelEnergy(n)) + ".dat");
}

TEST(McOutput, CircularFieldSumsTheRingsInsideTheDiameter) {
    std::vector<double> d(300, 0.01);
    // 10 cm diameter: rings 1..50; with an infinitely distant source g = 1.
    EXPECT_NEAR(mc::CircularFieldBsf(d, 10, 1e12), 1.5, 1e-12);
    EXPECT_NEAR(mc::CircularFieldBsf(d, 60, 1e12), 4.0, 1e-12);
    EXPECT_NEAR(mc::CircularFieldBsf(d, 0.1, 1e12), 1.0, 1e-12);
    // The inverse-square weight lowers the outer rings.
    EXPECT_LT(mc::CircularFieldBsf(d, 10, 100), 1.5);
    EXPECT_GT(mc::CircularFieldBsf(d, 10, 100), 1.5 - 0.5 * 25.0 / 1e4);
}

}  // namespace
