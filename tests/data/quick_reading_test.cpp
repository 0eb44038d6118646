// SPDX-License-Identifier: MIT
// The quick route for plain decimal numbers against the general lenient reading, on every numeric
// file shipped in data/: the same items, the same values bit for bit, the same tables.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "effdose/depthdose.h"
#include "effdose/organdata.h"
#include "engine/error.h"
#include "engine/material.h"
#include "engine/tables.h"
#include "engine/textio.h"
#include "tests/data/data_support.h"
#include "tests/support/numberitems.h"

namespace dovex {
namespace {

namespace fs = std::filesystem;

// Restores the quick route whatever a test does.
struct GeneralReading {
    GeneralReading() { FieldReader::SetQuickNumbers(false); }
    ~GeneralReading() { FieldReader::SetQuickNumbers(true); }
};

using testing::ItemsAsNumbers;

std::vector<fs::path> NumericDataFiles() {
    std::vector<fs::path> files;
    for (const auto& e : fs::recursive_directory_iterator(datatest::DataDir())) {
        const std::string ext = e.path().extension().string();
        if (e.is_regular_file() &&
            (ext == ".dat" || ext == ".op" || ext == ".ele" || ext == ".mix" || ext == ".csv"))
            files.push_back(e.path());
    }
    return files;
}

TEST(QuickNumbers, EveryItemOfEveryShippedFileReadsAsTheGeneralReadingReadsIt) {
    const auto files = NumericDataFiles();
    ASSERT_GE(files.size(), 70u);  // 6 backscatter, 29 kernels, 13 organ files, materials, ...
    std::size_t numbers = 0;
    for (const fs::path& f : files) {
        const std::string bytes = ReadFileBytes(f);
        const auto quick = ItemsAsNumbers(bytes, f.filename().string());
        std::vector<std::string> general;
        {
            GeneralReading g;
            general = ItemsAsNumbers(bytes, f.filename().string());
        }
        ASSERT_EQ(quick.size(), general.size()) << f;
        for (std::size_t i = 0; i < quick.size(); ++i) {
            ASSERT_EQ(quick[i], general[i]) << f << " item " << i + 1;
            numbers += quick[i].size() == sizeof(double);
        }
    }
    EXPECT_GT(numbers, 250000u);
}

TEST(QuickNumbers, TheLoadedTablesAreTheSameBitForBit) {
    const fs::path dir = datatest::DataDir();
    auto load = [&] {
        auto t = std::make_unique<PhysicsTables>();
        LoadPhysicsTables(*t, dir);
        std::string out(reinterpret_cast<const char*>(t.get()), sizeof *t);
        for (long bin = 20; bin <= 300; bin += 10) {
            const std::string label = KernelEnergyLabel(bin);
            auto k = ParseKernel(ReadFileBytes(dir / "PDS-data" / (label + ".dat")), label);
            out.append(reinterpret_cast<const char*>(k.get()), sizeof *k);
        }
        for (const fs::path& m : ListMaterialFiles(dir)) {
            const MaterialTable t = ReadMaterialFile(m);
            out += t.name;
            for (std::size_t i = 0; i < t.total.size(); ++i) {
                out.append(reinterpret_cast<const char*>(&t.energyMeV[i]), sizeof(double));
                out.append(reinterpret_cast<const char*>(&t.total[i]), sizeof(double));
            }
        }
        for (const auto& e : fs::directory_iterator(dir / "Organ-data")) {
            const OrganDataRecords r = ParseOrganData(ReadFileBytes(e.path()), "organ");
            for (long i = 1; i <= kTissueRows; ++i)
                out += r[i].label + std::to_string(r[i].startValue) +
                       std::to_string(r[i].endValue) + std::to_string(r[i].percentage);
        }
        return out;
    };
    const std::string quick = load();
    GeneralReading g;
    EXPECT_TRUE(quick == load());
}

}  // namespace
}  // namespace dovex
