// SPDX-License-Identifier: MIT
#include "engine/tables.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/error.h"
#include "engine/textio.h"
#include "tests/support/synthdata.h"

using namespace dovex;
namespace fs = std::filesystem;
using dovex::testing::ReadBytes;
using dovex::testing::TempDir;
using dovex::testing::WriteBytes;

namespace {

struct Loaded {
    TempDir dir;
    PhysicsTables t;
    Loaded() {
        dovex::testing::WriteSyntheticData(dir.path());
        LoadPhysicsTables(t, dir.path());
    }
};

std::string ErrorOf(const fs::path& dir) {
    try {
        PhysicsTables t;
        LoadPhysicsTables(t, dir);
    } catch (const DataFileError& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(Tables, GridsAndConstants) {
    Loaded l;
    EXPECT_EQ(l.t.bsfEnergyGrid[1], 1.0);
    EXPECT_EQ(l.t.bsfEnergyGrid[2], 5.0);
    EXPECT_EQ(l.t.bsfEnergyGrid[31], 150.0);
    EXPECT_EQ(l.t.airWOverE, 33.97);
    EXPECT_EQ(l.t.piValue, 3.14159);
    double w = 0;
    for (long i = 1; i <= 15; ++i) w += l.t.tissueWeights[i];
    EXPECT_NEAR(w, 1.0, 1e-12);
}

TEST(Tables, FiltrationsAreHeldInCm) {
    Loaded l;
    EXPECT_DOUBLE_EQ(l.t.output.refAl[1], 0.25);
    EXPECT_DOUBLE_EQ(l.t.output.refCu[3], 0.0);
    EXPECT_DOUBLE_EQ(l.t.output.outputKv[12], 150);
}

TEST(Tables, IcruEnergiesInKeV) {
    Loaded l;
    EXPECT_EQ(l.t.icruSoftRows, 30);
    EXPECT_NEAR(l.t.icruSoft[1].energyKeV, 7.0, 1e-9);
    // A row written as 0.1 MeV is stored as 100 keV.
    TempDir d;
    dovex::testing::WriteSyntheticData(d.path());
    WriteBytes(d.path() / "ICRUSoft.dat", "2,0\r\n0.01,0.2,0.2,5\r\n0.1,0.006,0.18,0.003\r\n");
    PhysicsTables t;
    LoadDoseConstants(t, d.path());
    EXPECT_DOUBLE_EQ(t.icruSoft[2].energyKeV, 100);
    EXPECT_DOUBLE_EQ(t.icruSoft[2].c3, 0.003);
}

TEST(Tables, PrimaryInterpolation) {
    Loaded l;
    const auto& t = l.t;
    EXPECT_DOUBLE_EQ(t.primaryFine[30], t.primaryCoarse[3]);  // 15 keV
    EXPECT_DOUBLE_EQ(t.primaryFine[300], t.primaryCoarse[30]);
    EXPECT_NEAR(t.primaryFine[40], t.primaryCoarse[4], 1e-9 * t.primaryCoarse[4]);
    // 10.5 keV lies between the 10 and 15 keV points on the log scale.
    double expect = std::exp(std::log(t.primaryCoarse[2]) +
                             0.1 * (std::log(t.primaryCoarse[3]) - std::log(t.primaryCoarse[2])));
    EXPECT_NEAR(t.primaryFine[21], expect, 1e-9 * expect);
    EXPECT_EQ(t.primaryFine[20], 0);
}

TEST(Tables, IgnoredFieldsAndLineLayoutDoNotMatter) {
    TempDir a, b;
    dovex::testing::WriteSyntheticData(a.path());
    dovex::testing::WriteSyntheticData(b.path());
    // Rewrite one backscatter file with different first fields and one field per line.
    std::string text = ReadBytes(a.path() / "dBSF-SoftDose-SoftPhantom.dat");
    auto firstEnd = text.find("\r\n");
    std::string header = text.substr(0, firstEnd + 2);
    std::string body = text.substr(firstEnd + 2);
    std::string out = header;
    std::size_t field = 0, p = 0;
    while (p < body.size()) {
        auto e = body.find_first_of(",\r", p);
        std::string item = body.substr(p, e - p);
        if (!item.empty()) {
            out += (field % 32 == 0 ? std::string("999") : item) + "\r\n";
            ++field;
        }
        p = e + (body[e] == '\r' ? 2 : 1);
    }
    WriteBytes(b.path() / "dBSF-SoftDose-SoftPhantom.dat", out);
    PhysicsTables ta, tb;
    LoadPhysicsTables(ta, a.path());
    LoadPhysicsTables(tb, b.path());
    for (long m = 1; m <= 31; ++m)
        for (long k = 1; k <= 300; k += 7)
            EXPECT_EQ(ta.dbsfSoft.at(0, m, k), tb.dbsfSoft.at(0, m, k));
}

TEST(Tables, MissingAndShortFilesAreNamedWithCounts) {
    TempDir d;
    dovex::testing::WriteSyntheticData(d.path());
    fs::remove(d.path() / "dBSF-AirDose-Soft_Head.dat");
    const std::string missing = ErrorOf(d.path());
    EXPECT_EQ(missing.rfind("dBSF-AirDose-Soft_Head.dat: ファイルがありません", 0), 0u) << missing;
    EXPECT_NE(missing.find("(file not found)"), std::string::npos);

    dovex::testing::WriteSyntheticData(d.path());
    std::string att = ReadBytes(d.path() / "Att_coeff2020.dat");
    WriteBytes(d.path() / "Att_coeff2020.dat", att.substr(0, att.size() / 2));
    std::string err = ErrorOf(d.path());
    EXPECT_NE(err.find("Att_coeff2020.dat"), std::string::npos);
    EXPECT_NE(err.find("expected 2100 fields, found"), std::string::npos);

    dovex::testing::WriteSyntheticData(d.path());
    WriteBytes(d.path() / "default-output.op", "");
    EXPECT_NE(ErrorOf(d.path()).find("default-output.op"), std::string::npos);

    dovex::testing::WriteSyntheticData(d.path());
    WriteBytes(d.path() / "ICRUSoft.dat", "38,0\r\n");
    EXPECT_NE(ErrorOf(d.path()).find("ICRUSoft.dat: 行数 38 は 2 から 37 の整数"),
              std::string::npos);

    dovex::testing::WriteSyntheticData(d.path());
    WriteBytes(d.path() / "Primary.dat", "10,1\r\n15,0\r\n");
    EXPECT_NE(ErrorOf(d.path()).find("Primary.dat"), std::string::npos);
}

TEST(Tables, NonPositivePrimaryFactorIsReported) {
    TempDir d;
    dovex::testing::WriteSyntheticData(d.path());
    std::string s;
    for (int k = 2; k <= 30; ++k)
        s += std::to_string(5 * k) + "," + (k == 7 ? "0" : std::to_string(5 * k * 4807)) + "\r\n";
    WriteBytes(d.path() / "Primary.dat", s);
    const std::string err = ErrorOf(d.path());
    EXPECT_NE(err.find("Primary.dat: 6 行目の値 0 は一次線量係数として正でなければなりません"),
              std::string::npos)
        << err;
}

namespace {

// A damaged data file: one field of one line changed. The load must fail and name the file, the
// line and the value.
struct Damage {
    const char* file;
    int line;   // 1-based
    int field;  // 1-based, comma-separated
    std::string (*change)(const std::string&);
    const char* reason;  // part of the message
};

std::string Times1e300(const std::string& v) { return std::to_string(std::stod(v)) + "E+300"; }
std::string Negated(const std::string& v) { return "-" + v; }
std::string Zero(const std::string&) { return "0"; }
std::string Lower(const std::string&) { return "35"; }
std::string Tiny(const std::string&) { return "0.001"; }
std::string WithNul(const std::string& v) {
    return v.substr(0, 2) + std::string(1, '\0') + v.substr(2);
}

class DamagedTable : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedTable, IsRefusedWithFileLineAndValue) {
    const Damage& d = GetParam();
    TempDir dir;
    dovex::testing::WriteSyntheticData(dir.path());
    auto lines = SplitLines(ReadBytes(dir.path() / d.file));
    std::string& line = lines.at(static_cast<std::size_t>(d.line - 1));
    std::size_t begin = 0;
    for (int f = 1; f < d.field; ++f) begin = line.find(',', begin) + 1;
    const std::size_t end = std::min(line.find(',', begin), line.size());
    const std::string changed = d.change(line.substr(begin, end - begin));
    line = line.substr(0, begin) + changed + line.substr(end);
    WriteBytes(dir.path() / d.file, JoinCrLf(lines));
    const std::string err = ErrorOf(dir.path());
    EXPECT_EQ(err.rfind(std::string(d.file) + ": " + std::to_string(d.line) + " 行目", 0), 0u)
        << err;
    EXPECT_NE(err.find("line " + std::to_string(d.line)), std::string::npos) << err;
    EXPECT_NE(err.find(d.reason), std::string::npos) << err;
}

INSTANTIATE_TEST_SUITE_P(
    PhysicsRequires, DamagedTable,
    ::testing::Values(
        Damage{"dBSF-SkinDose-SoftPhantom.dat", 40, 12, Times1e300, "must lie within 0 to 1"},
        Damage{"dBSF-SoftDose-Soft_Head.dat", 7, 9, Negated, "must lie within 0 to 1"},
        Damage{"Att_coeff2020.dat", 10, 2, Zero, "must be positive as an attenuation"},
        Damage{"Att_coeff2020.dat", 250, 6, Negated, "must be positive as an energy-absorption"},
        Damage{"Att_coeff2020.dat", 7, 3, WithNul, "is not a number"},
        Damage{"default-output.op", 2, 3, Lower, "must be above the voltage before it, 50 kV"},
        Damage{"default-output.op", 3, 5, Times1e300, "is too large for a tube output"},
        Damage{"default-output.op", 7, 1, Negated, "must be positive as a tube output"},
        Damage{"ICRUSoft.dat", 4, 3, Negated, "must be positive as an attenuation"},
        Damage{"ICRUSoft.dat", 6, 1, Tiny, "must be above the energy of the row before"},
        Damage{"Primary.dat", 3, 2, Negated, "must be positive as a primary dose factor"}));

}  // namespace
