// SPDX-License-Identifier: MIT
// The committed backscatter and kernel files: layout, sanity, and what the engine makes of them.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "effdose/depthdose.h"
#include "engine/dose.h"
#include "engine/spectrum.h"
#include "engine/tables.h"
#include "engine/textio.h"
#include "tools/mc/mc_output.h"

namespace mc = dovex::mc;

namespace {

std::filesystem::path DataDir() { return DOVEX_MC_DATA_DIR; }

std::vector<std::vector<double>> ReadBsf(const char* file) {
    return mc::ParseBsfFile(dovex::ReadFileBytes(DataDir() / file, file), file);
}

TEST(McCommittedFiles, BackscatterFilesAreCompleteAndPlausible) {
    std::vector<std::vector<std::vector<double>>> t;
    for (const auto& f : mc::kBsfFiles) {
        const std::string bytes = dovex::ReadFileBytes(DataDir() / f.file, f.file);
        const auto lines = dovex::SplitLines(bytes);
        ASSERT_EQ(lines.size(), 301u) << f.file;
        EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\r'), 301) << f.file;
        for (unsigned char ch : bytes) ASSERT_LT(ch, 0x80) << f.file;
        const auto cols = mc::ParseBsfFile(bytes, f.file);
        for (const auto& c : cols)
            for (double v : c) ASSERT_GE(v, 0.0) << f.file;
        t.push_back(cols);
    }
    for (int m = 2; m <= 31; ++m) {
        const double e = mc::BsfColumnEnergy(m);
        for (std::size_t f = 0; f < t.size(); ++f) {
            const double sum = mc::CircularFieldBsf(t[f][m - 1], 60, 1e12) - 1.0;
            // Integrated factor of the whole 30 cm radius: grows from about 0.1 at 20 keV to
            // 0.6-0.8 around 50-70 keV, then falls slowly.
            if (e >= 20) {
                EXPECT_GT(sum, 0.05) << mc::kBsfFiles[f].file << " " << e;
                EXPECT_LT(sum, 0.9) << mc::kBsfFiles[f].file << " " << e;
            }
            // Neighbouring columns lie on a smooth curve: a column departs from the mean of its
            // two neighbours by less than 10 %.
            if (e >= 30 && m < 31) {
                const double prev = mc::CircularFieldBsf(t[f][m - 2], 60, 1e12) - 1.0;
                const double next = mc::CircularFieldBsf(t[f][m], 60, 1e12) - 1.0;
                EXPECT_NEAR(sum / (0.5 * (prev + next)), 1.0, 0.1)
                    << mc::kBsfFiles[f].file << " " << e;
            }
        }
        // The skull under 5 mm of soft tissue absorbs the backscatter of the brain.
        if (e >= 30) {
            EXPECT_LT(mc::CircularFieldBsf(t[3][m - 1], 30, 100),
                      mc::CircularFieldBsf(t[0][m - 1], 30, 100))
                << e;
        }
    }
    // The differential factor falls off with the ring radius at 60 keV.
    EXPECT_GT(t[0][12][9], t[0][12][99]);
    EXPECT_GT(t[0][12][99], t[0][12][299]);
}

TEST(McCommittedFiles, KernelFilesAreCompleteAndFallWithDepthAndRadius) {
    for (int n = 0; n < mc::kKernelEnergies; ++n) {
        const std::string name = "PDS-data/" + mc::KernelFileName(mc::KernelEnergy(n));
        const std::string bytes = dovex::ReadFileBytes(DataDir() / name, name);
        ASSERT_EQ(dovex::SplitLines(bytes).size(), 320u) << name;
        EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\r'), 320) << name;
        const auto k = mc::ParseKernelFile(bytes, name);
        for (double v : k) ASSERT_GE(v, 0.0) << name;
        EXPECT_GT(k[0], 0.0) << name;
        // Summed over rings, the scatter dose of layer 1 exceeds that of layer 40 (20 cm).
        double s1 = 0, s40 = 0;
        for (int j = 0; j < 80; ++j) {
            s1 += k[j];
            s40 += k[39 * 80 + j];
        }
        EXPECT_GT(s1, s40) << name;
    }
}

// What the program shows with these files on its default conditions: backscatter factors in
// the range published for such beams, the head below the body.
TEST(McCommittedFiles, EngineDefaultConditionsGivePublishedRangeOfBackscatter) {
    ASSERT_TRUE(std::filesystem::exists(DataDir() / dovex::files::kAttenuation))
        << "reference data files not present in " << DataDir();
    const dovex::PhysicsTables t = dovex::LoadAllTables(DataDir());
    dovex::ExposureConditions c;  // 75 kV, 43.2 x 35.6 cm at 100 cm, FSD 80 cm
    const dovex::ArbitraryFilter none;
    const auto spectrum = dovex::SynthesizeSpectrum(c, t, none);
    c.phantom = dovex::Phantom::Body;
    const auto body = dovex::ComputeDoses(c, spectrum, t);
    c.phantom = dovex::Phantom::Head;
    const auto head = dovex::ComputeDoses(c, spectrum, t);
    EXPECT_GT(body.bsfSoft, 1.3);
    EXPECT_LT(body.bsfSoft, 1.5);
    EXPECT_GT(body.bsfAir, 1.3);
    EXPECT_LT(body.bsfAir, 1.5);
    EXPECT_LT(head.bsfSoft, body.bsfSoft);
    EXPECT_GT(head.bsfSoft, 1.1);
    // The engine reads the tables exactly as written.
    const auto cols = ReadBsf(mc::kBsfFiles[0].file);
    for (int m : {1, 13, 31})
        for (int k : {1, 150, 300}) EXPECT_DOUBLE_EQ(t.dbsfSoft.at(0, m, k), cols[m - 1][k - 1]);
}

}  // namespace
