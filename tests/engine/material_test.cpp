// SPDX-License-Identifier: MIT
#include "engine/material.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/error.h"
#include "engine/textio.h"
#include "tests/support/synthdata.h"

using namespace dovex;
using dovex::testing::TempDir;
using dovex::testing::WriteBytes;

namespace {

struct Rec {
    double e, total;
};

// A material file: name, density, an ignored field, records of six fields.
std::string MaterialText(const std::string& name, double density, const std::vector<Rec>& recs) {
    std::string s = Utf8ToCp932OrThrow(name) + "\r\n" + std::to_string(density) + ",0\r\n";
    char buf[200];
    for (const Rec& r : recs) {
        std::snprintf(buf, sizeof buf, "%.6E,%.6E,%.6E,%.6E,0,0\r\n", r.e, r.total * 0.1,
                      r.total * 0.3, r.total * 0.6);
        s += buf;
    }
    return s;
}

// Power law mu/rho = 5 (E / 10 keV)^-3 with a K edge at 20 keV (jump 6), up to 10 MeV.
std::vector<Rec> PowerLawRecords(double firstMeV = 0.001) {
    std::vector<Rec> r;
    auto mu = [](double e, bool above) { return 5 * std::pow(e / 0.01, -3) * (above ? 6 : 1); };
    for (double e : {firstMeV, 0.002, 0.005, 0.01, 0.015}) r.push_back({e, mu(e, false)});
    r.push_back({0.02, mu(0.02, false)});
    r.push_back({0.02, mu(0.02, true)});
    for (double e : {0.03, 0.05, 0.08, 0.1, 0.15, 0.2, 1.0, 10.0}) r.push_back({e, mu(e, true)});
    return r;
}

std::string ErrorOf(const std::filesystem::path& f) {
    try {
        ReadMaterialFile(f);
    } catch (const DataFileError& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(Material, ReadsNameDensityAndTotals) {
    TempDir d;
    WriteBytes(d.path() / "Sn.ele", MaterialText("スズ Sn", 7.31, PowerLawRecords()));
    EXPECT_EQ(ReadMaterialName(d.path() / "Sn.ele"), "スズ Sn");
    MaterialTable m = ReadMaterialFile(d.path() / "Sn.ele");
    EXPECT_EQ(m.name, "スズ Sn");
    EXPECT_DOUBLE_EQ(m.density, 7.31);
    ASSERT_EQ(m.energyMeV.size(), 15u);
    EXPECT_NEAR(m.total[0], 5 * 1000, 1e-6);
    EXPECT_EQ(m.energyMeV.back(), 10.0);
}

TEST(Material, InterpolationIsExactForAPowerLawAndKeepsTheEdge) {
    TempDir d;
    WriteBytes(d.path() / "x.ele", MaterialText("x", 2.0, PowerLawRecords()));
    FineArray mu = BuildArbitraryFilterMu(ReadMaterialFile(d.path() / "x.ele"));
    auto expect = [](double keV) { return 2.0 * 5 * std::pow(keV / 10, -3) * (keV >= 20 ? 6 : 1); };
    for (long k : {1L, 3L, 7L, 10L, 19L, 20L, 21L, 60L, 150L})
        EXPECT_NEAR(mu[2 * k], expect(k), 1e-6 * expect(k)) << k;
    // Just below the edge the lower pair, at the edge the pair above.
    EXPECT_LT(mu[38], mu[40]);
    EXPECT_DOUBLE_EQ(mu[39], 0.5 * (mu[38] + mu[40]));
    EXPECT_DOUBLE_EQ(mu[1], mu[2]);
}

TEST(Material, MalformedFilesAreRefusedWithTheReason) {
    TempDir d;
    auto f = d.path() / "bad.mix";
    WriteBytes(f, MaterialText("bad", 1.0, PowerLawRecords(0.0015)));
    EXPECT_NE(ErrorOf(f).find("0.001 MeV"), std::string::npos);

    std::vector<Rec> many;
    for (int i = 0; i < 101; ++i) many.push_back({0.001 * std::pow(1.05, i), 1.0});
    WriteBytes(f, MaterialText("many", 1.0, many));
    EXPECT_NE(ErrorOf(f).find("more than 100 records"), std::string::npos);

    auto recs = PowerLawRecords();
    recs.pop_back();  // ends before 10 MeV
    WriteBytes(f, MaterialText("short", 1.0, recs));
    EXPECT_NE(ErrorOf(f).find("before a record at 10 MeV"), std::string::npos);

    recs = PowerLawRecords();
    std::swap(recs[2], recs[3]);
    WriteBytes(f, MaterialText("unsorted", 1.0, recs));
    EXPECT_NE(ErrorOf(f).find("must rise"), std::string::npos);

    WriteBytes(f, MaterialText("dense", 0, PowerLawRecords()));
    EXPECT_NE(ErrorOf(f).find("density"), std::string::npos);

    WriteBytes(f, "");
    EXPECT_NE(ErrorOf(f).find("empty"), std::string::npos);
    WriteBytes(f, "name\r\n1.0,0\r\n0.001,abc,1,1,0,0\r\n");
    EXPECT_NE(ErrorOf(f).find("not a number"), std::string::npos);
    EXPECT_NE(ErrorOf(d.path() / "none.ele").find("not found"), std::string::npos);
}

TEST(Material, ListsElementAndMixtureFiles) {
    TempDir d;
    for (const char* n : {"b.mix", "a.ele", "c.txt", "D.ELE"}) WriteBytes(d.path() / n, "x");
    auto files = ListMaterialFiles(d.path());
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].filename(), "D.ELE");
    EXPECT_EQ(files[1].filename(), "a.ele");
}

// A file named by mistake may hold anything (a password file, private notes): a message about a
// malformed material file names the file, the line and the fault, and never repeats its bytes.
struct Leak {
    const char* what;
    std::string bytes;   // the file
    const char* secret;  // text of the file no message may show
    const char* line;    // "line N" the message names
};

void PrintTo(const Leak& l, std::ostream* os) { *os << l.what; }

class MaterialMessages : public ::testing::TestWithParam<Leak> {};

TEST_P(MaterialMessages, NameTheLineButNotTheContent) {
    TempDir d;
    const auto f = d.path() / "private.ele";
    WriteBytes(f, GetParam().bytes);
    const std::string msg = ErrorOf(f);
    ASSERT_FALSE(msg.empty()) << GetParam().what;
    EXPECT_NE(msg.find("private.ele"), std::string::npos) << msg;
    EXPECT_NE(msg.find(GetParam().line), std::string::npos) << msg;
    EXPECT_EQ(msg.find(GetParam().secret), std::string::npos) << msg;
}

const std::string kRecords = "0.001,1,0,0,0,0\r\n10,1,0,0,0,0\r\n";

INSTANTIATE_TEST_SUITE_P(
    Material, MaterialMessages,
    ::testing::Values(Leak{"text for the density",
                           "root:x:0:0\r\nhunter2-Zq9vXw-SECRET:19000:0:99999:7:::\r\n" + kRecords,
                           "Zq9vXw", "line 2"},
                      Leak{"text with control bytes for a coefficient",
                           "name\r\n1,0\r\n0.001,\x01Zq9vXw-token\x02,0,0,0,0\r\n10,1,0,0,0,0\r\n",
                           "Zq9vXw", "line 3"},
                      Leak{"a long text for an energy",
                           "name\r\n1,0\r\nZq9vXw" + std::string(60, 'k') + ",1,0,0,0,0\r\n",
                           "Zq9vXw", "line 3"},
                      Leak{"a density that is a secret number",
                           "name\r\n-31415926535,0\r\n" + kRecords, "31415926535", "line 2"},
                      Leak{"a negative coefficient",
                           "name\r\n1,0\r\n0.001,-27182818284,0,0,0,0\r\n", "27182818284",
                           "line 3"},
                      Leak{"energies out of order",
                           "name\r\n1,0\r\n0.001,1,0,0,0,0\r\n0.0161803398,1,0,0,0,0\r\n"
                           "0.0014142135,1,0,0,0,0\r\n10,1,0,0,0,0\r\n",
                           "14142135", "line 5"}));
