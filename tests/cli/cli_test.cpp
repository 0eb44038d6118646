// SPDX-License-Identifier: MIT
// dovex-calc as a user runs it: exit statuses, plain and JSON output, the spectrum file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/calcargs.h"
#include "engine/spectrum.h"
#include "engine/textio.h"
#include "tests/support/synthdata.h"

using dovex::testing::TempDir;

namespace {

struct CalcRun {
    int status = -1;
    std::string out;
};

CalcRun Calc(const std::string& args) {
    CalcRun r;
    std::string cmd = std::string(DOVEX_CALC) + " " + args + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

class CliTest : public ::testing::Test {
  protected:
    void SetUp() override { dovex::testing::WriteSyntheticData(dir.path()); }
    std::string data() const { return "--data-dir " + dir.path().string(); }
    TempDir dir;
};

}  // namespace

TEST_F(CliTest, PlainOutputShowsTheNineResultsInTheirFormats) {
    CalcRun r = Calc(data());
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("照射線量 at １ｍ"), std::string::npos);
    EXPECT_NE(r.out.find("E-"), std::string::npos);
    EXPECT_NE(r.out.find("Gy/C/kg"), std::string::npos);
    EXPECT_NE(r.out.find("実効線量  --- mSv"), std::string::npos);
}

TEST_F(CliTest, JsonEchoesConditionsInEngineUnits) {
    CalcRun r =
        Calc(data() +
             " --json --kv 90 --inherent-al 3 --added-cu 0.1 --field-preset '大四サイズ 横' "
             "--phantom head --rectification 2");
    ASSERT_EQ(r.status, 0) << r.out;
    auto j = nlohmann::json::parse(r.out);
    for (const char* k : {"exposureAt1m", "filtrationRatio", "convSoft", "convSkin", "convAir",
                          "bsfSoft", "bsfSkin", "bsfAir", "esdSoft", "esdSkin", "esdAir"})
        EXPECT_TRUE(j[k].is_number()) << k;
    const auto& c = j["conditions"];
    EXPECT_EQ(c["tubeVoltage"], 90);
    EXPECT_DOUBLE_EQ(c["inherentFilter"].get<double>(), 0.3);
    EXPECT_DOUBLE_EQ(c["addedCu"].get<double>(), 0.01);
    EXPECT_EQ(c["fieldLong"], 28);
    EXPECT_DOUBLE_EQ(c["fieldShort"].get<double>(), 35.6);
    EXPECT_EQ(c["phantom"], 1);
    EXPECT_EQ(c["rectification"], 2);
    EXPECT_NEAR(j["convAir"].get<double>(), 33.97, 1e-9);
}

TEST_F(CliTest, MeasuredExposureInItsUnits) {
    auto exposure = [&](const std::string& a) {
        CalcRun r = Calc(data() + " --json " + a);
        EXPECT_EQ(r.status, 0) << r.out;
        return nlohmann::json::parse(r.out)["exposureAt1m"].get<double>();
    };
    EXPECT_DOUBLE_EQ(exposure("--exposure 2.58E-04"), 0.000258);
    EXPECT_DOUBLE_EQ(exposure("--exposure 1 --exposure-unit R"), 0.000258);
    EXPECT_NEAR(exposure("--exposure 0.001 --exposure-unit Gy"), 2.9438e-5, 1e-9);
    double fromTable = exposure("");
    EXPECT_DOUBLE_EQ(exposure("--exposure -1"), fromTable);  // falls back to the default output
}

TEST_F(CliTest, SpectrumFileIsWritten) {
    TempDir out;
    auto file = out.path() / "spectrum.dat";
    CalcRun r = Calc(data() + " --kv 60 --spectrum " + file.string());
    ASSERT_EQ(r.status, 0) << r.out;
    auto lines = dovex::SplitLines(dovex::testing::ReadBytes(file));
    ASSERT_EQ(lines.size(), 300u);
    EXPECT_EQ(lines[0], "0000.5, 0.00000");
    EXPECT_EQ(lines[299], "0150.0, 0.00000");
    EXPECT_NE(lines[80], "0040.5, 0.00000");
}

TEST_F(CliTest, FailuresAndUsageErrors) {
    EXPECT_EQ(Calc(data() + " --kv 150").status, 2);
    EXPECT_EQ(Calc(data() + " --target-angle 0").status, 2);
    EXPECT_EQ(Calc(data() + " --ffd 0").status, 2);
    CalcRun missing = Calc("--data-dir " + (dir.path() / "nowhere").string());
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.out.find("dBSF-SoftDose-SoftPhantom.dat"), std::string::npos);
    std::filesystem::remove(dir.path() / "default-output.op");
    CalcRun noOutput = Calc(data());
    EXPECT_EQ(noOutput.status, 1);
    EXPECT_NE(noOutput.out.find("default-output.op"), std::string::npos);

    EXPECT_EQ(Calc(data() + " --kv abc").status, 2);
    EXPECT_EQ(Calc(data() + " --rectification 4").status, 2);
    EXPECT_EQ(Calc(data() + " --field 10").status, 2);
    EXPECT_EQ(Calc(data() + " --field-preset nothing").status, 2);
    EXPECT_EQ(Calc(data() + " --field 10x10 --circle 5").status, 2);
    EXPECT_EQ(Calc(data() + " --filter-file Al.ele").status, 2);
    EXPECT_EQ(Calc(data() + " --no-such-option").status, 2);
    CalcRun help = Calc("--help");
    EXPECT_EQ(help.status, 0);
    for (const auto& name : dovex::cli::ConditionOptionNames())
        EXPECT_NE(help.out.find("--" + name), std::string::npos) << name;
}

// The exam-part list is needed as every physical data table is, in a single run and in a batch
// alike (the window does not start without it either).
TEST_F(CliTest, MissingExamPartListIsADataFileFault) {
    std::filesystem::remove(dir.path() / "撮影部位.txt");
    CalcRun single = Calc(data());
    EXPECT_EQ(single.status, 1) << single.out;
    EXPECT_NE(single.out.find("撮影部位.txt"), std::string::npos) << single.out;
    dovex::WriteFileAtomic(dir.path() / "c.csv", "kv\n80\n");
    CalcRun batch = Calc(data() + " --batch " + (dir.path() / "c.csv").string() + " --out " +
                         (dir.path() / "R.csv").string());
    EXPECT_EQ(batch.status, 1) << batch.out;
    EXPECT_NE(batch.out.find("撮影部位.txt"), std::string::npos) << batch.out;
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "R.csv"));
}

TEST_F(CliTest, ArbitraryFilterFromAMaterialFile) {
    std::string mat = "アルミ Al\r\n2.699,0\r\n";
    const double e[] = {0.001, 0.01, 0.1, 1, 10};
    const double mu[] = {1185, 26.2, 0.17, 0.06, 0.02};
    for (int i = 0; i < 5; ++i)
        mat += std::to_string(e[i]) + "," + std::to_string(mu[i]) + ",0,0,0,0\r\n";
    dovex::testing::WriteBytes(dir.path() / "Al.ele", dovex::Utf8ToCp932OrThrow(mat));
    CalcRun plain = Calc(data() + " --json");
    CalcRun filtered = Calc(data() + " --json --filter-file Al.ele --filter-mm 1");
    ASSERT_EQ(filtered.status, 0) << filtered.out;
    auto a = nlohmann::json::parse(plain.out), b = nlohmann::json::parse(filtered.out);
    EXPECT_LT(b["filtrationRatio"].get<double>(), a["filtrationRatio"].get<double>());
    EXPECT_EQ(b["conditions"]["arbitraryFilterName"], "アルミ Al");
    EXPECT_DOUBLE_EQ(b["conditions"]["arbitraryFilterThickness"].get<double>(), 0.1);
    dovex::testing::WriteBytes(dir.path() / "Bad.ele", "bad\r\n1,0\r\n0.005,1,0,0,0,0\r\n");
    CalcRun bad = Calc(data() + " --filter-file Bad.ele --filter-mm 1");
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.out.find("Bad.ele"), std::string::npos);
}

TEST_F(CliTest, BatchWritesResultsFilesThatReadBack) {
    TempDir work;
    std::string cond = "kv,ma,time,ffd,fsd,field\r\n";
    for (int i = 0; i < 17; ++i) cond += std::to_string(60 + i) + ",100,0.1,100,80,30x24\r\n";
    cond += "abc,100,0.1,100,80,30x24\r\n";
    dovex::testing::WriteBytes(work.path() / "cond.csv", cond);
    auto out = work.path() / "res.csv";
    CalcRun b = Calc(data() + " --batch " + (work.path() / "cond.csv").string() + " --out " +
                     out.string() + " --comment 'kV series, 17 rows'");
    EXPECT_EQ(b.status, 1) << b.out;  // one row skipped
    EXPECT_NE(b.out.find("line 19"), std::string::npos) << b.out;
    ASSERT_TRUE(std::filesystem::exists(work.path() / "res-2.csv"));
    CalcRun first = Calc("--read " + out.string() + " --json");
    ASSERT_EQ(first.status, 0) << first.out;
    auto j = nlohmann::json::parse(first.out);
    EXPECT_EQ(j["comment"], "kV series, 17 rows");
    ASSERT_EQ(j["rows"].size(), 15u);
    CalcRun second = Calc("--read " + (work.path() / "res-2.csv").string() + " --json");
    EXPECT_EQ(nlohmann::json::parse(second.out)["rows"].size(), 2u);
    EXPECT_EQ(Calc("--read " + (work.path() / "missing.csv").string()).status, 1);
    EXPECT_EQ(Calc("--out x.csv").status, 2);
}

// On the shipped data: a copper filter given as a material file attenuates as the added copper
// of the attenuation table, and the default conditions give backscatter factors in the published
// range with the head phantom below the body.
TEST(CliShippedData, MaterialFileCopperMatchesAddedCopper) {
    std::string data = std::string("--data-dir ") + DOVEX_SOURCE_DATA_DIR;
    auto get = [&](const std::string& a) {
        CalcRun r = Calc(data + " --json " + a);
        EXPECT_EQ(r.status, 0) << r.out;
        return nlohmann::json::parse(r.out);
    };
    auto file = get("--kv 100 --filter-file Cu.ele --filter-mm 0.1");
    auto table = get("--kv 100 --added-cu 0.1");
    EXPECT_NEAR(file["filtrationRatio"].get<double>(), table["filtrationRatio"].get<double>(),
                0.005 * table["filtrationRatio"].get<double>());
    EXPECT_NEAR(file["esdSoft"].get<double>(), table["esdSoft"].get<double>(),
                0.005 * table["esdSoft"].get<double>());
    auto body = get("");
    auto head = get("--phantom head");
    EXPECT_GT(body["bsfSoft"].get<double>(), 1.3);
    EXPECT_LT(body["bsfSoft"].get<double>(), 1.45);
    EXPECT_LT(head["bsfSoft"].get<double>(), body["bsfSoft"].get<double>());
}

// Without --phantom the exam part chooses it: the head phantom for the views of the head, the
// soft-tissue phantom for every other part; --phantom always wins. The same in batch files.
struct PhantomCase {
    const char* args;
    int phantom;
};
class CliPhantom : public ::testing::TestWithParam<PhantomCase> {};

TEST_P(CliPhantom, ExamPartChoosesThePhantomUnlessGiven) {
    // On the shipped data, whose exam parts have their organ data.
    CalcRun r =
        Calc(std::string("--data-dir ") + DOVEX_SOURCE_DATA_DIR + " --json " + GetParam().args);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(nlohmann::json::parse(r.out)["conditions"]["phantom"], GetParam().phantom);
}

INSTANTIATE_TEST_SUITE_P(Parts, CliPhantom,
                         ::testing::Values(PhantomCase{"--exam-part 頭部正面", 1},
                                           PhantomCase{"--exam-part 頭部側面", 1},
                                           PhantomCase{"--exam-part 胸部正面", 0},
                                           PhantomCase{"--exam-part 頸椎側面", 0},
                                           PhantomCase{"", 0},
                                           PhantomCase{"--exam-part 頭部正面 --phantom body", 0},
                                           PhantomCase{"--exam-part 腹部正面 --phantom head", 1}));

TEST_F(CliTest, HelpSaysTheExamPartChoosesThePhantom) {
    CalcRun r = Calc("--help");
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("head for the head's exam parts"), std::string::npos) << r.out;
}

// Argument sets a user tried: each is refused, as a usage error (2) or a refusal of the
// calculation (1), with a message that names the option and what it allows.
struct Refused {
    const char* args;
    int status;
    const char* message;
};
void PrintTo(const Refused& r, std::ostream* os) { *os << r.args; }

class CliRefuses : public CliTest, public ::testing::WithParamInterface<Refused> {};

TEST_P(CliRefuses, WithTheOptionNamed) {
    CalcRun r = Calc(data() + " " + GetParam().args);
    EXPECT_EQ(r.status, GetParam().status) << r.out;
    EXPECT_NE(r.out.find(GetParam().message), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("mGy"), std::string::npos) << r.out;  // no doses
}

INSTANTIATE_TEST_SUITE_P(
    OddArguments, CliRefuses,
    ::testing::Values(
        Refused{"--thickness 60 --ffd 100 --fsd 80", 1, "greater than FFD - FSD"},
        Refused{"--ffd 100 --fsd 120", 1, "greater than FFD - FSD"},
        Refused{"--ma -200", 2, "--ma: the tube current -200 mA is outside the allowed range"},
        Refused{"--time -0.05", 2, "--time: the exposure time"},
        Refused{"--ma 0", 2, "above 0 mA and at most 2000 mA"}, Refused{"--ma 1e300", 2, "--ma:"},
        Refused{"--field 30x0", 2, "--field:"}, Refused{"--field 0x0", 2, "--field:"},
        Refused{"--field -1x5", 2, "--field:"}, Refused{"--circle 0", 2, "--circle:"},
        Refused{"--kv 0x50", 2, "--kv: \"0x50\" is not a number"},
        Refused{"--kv 1e-320", 2, "--kv: the tube voltage 1e-320 kV is outside"},
        Refused{"--kv 150", 2, "at least 10 kV and below 150 kV"}, Refused{"--ffd -1", 2, "--ffd:"},
        Refused{"--target-angle 150", 2, "at least 1 degrees and at most 45 degrees"},
        Refused{"--target-angle -12", 2, "--target-angle:"},
        Refused{"--added-cu -1", 2, "--added-cu:"},
        Refused{"--exposure 5000 --exposure-unit R", 1, "--exposure: the measured exposure"},
        Refused{"--batch '' --out x.csv", 2, "--batch: needs a file name"},
        Refused{"--read ''", 2, "--read: needs a file name"},
        Refused{"--read x.csv --kv 80", 2, "--kv excludes --read"},
        Refused{"--batch c.csv --out x.csv --fsd 70", 2, "--fsd excludes --batch"}),
    [](const auto& info) {
        std::string name;
        for (char ch : std::string(info.param.args))
            name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        return name + "_" + std::to_string(info.index);
    });

// What goes to standard output and what to standard error, separately.
struct SplitRun {
    int status = -1;
    std::string out, err;
};

SplitRun CalcSplit(const std::string& args, const std::filesystem::path& errFile) {
    SplitRun r;
    CalcRun c = Calc(args + " 2>" + errFile.string() + " #");
    r.status = c.status;
    r.out = c.out;
    r.err = dovex::testing::ReadBytes(errFile);
    return r;
}

TEST_F(CliTest, FailedWritesToStandardOutputAreErrors) {
    TempDir work;
    const auto err = work.path() / "err.txt";
    EXPECT_EQ(Calc(data() + " --json > /dev/full").status, 1);
    EXPECT_NE(CalcSplit(data() + " --json > /dev/full", err).err.find("cannot write"),
              std::string::npos);
    const auto cond = work.path() / "c.csv";
    dovex::testing::WriteBytes(cond, "kv,ma\r\n70,100\r\n");
    CalcRun b = Calc(data() + " --batch " + cond.string() + " --out " +
                     (work.path() / "r.csv").string() + " > /dev/full");
    EXPECT_EQ(b.status, 1) << b.out;
    EXPECT_EQ(Calc("--read " + (work.path() / "r.csv").string() + " > /dev/full").status, 1);
    EXPECT_EQ(CalcSplit("--read " + (work.path() / "r.csv").string(), err).status, 0);
}

TEST_F(CliTest, BatchRefusesAnOutputThatIsItsInput) {
    TempDir work;
    const auto cond = work.path() / "c.csv";
    const std::string text = "kv,ma\r\n70,100\r\n";
    dovex::testing::WriteBytes(cond, text);
    for (const std::string& out : {cond.string(), (work.path() / "." / "c.csv").string()}) {
        CalcRun r = Calc(data() + " --batch " + cond.string() + " --out " + out);
        EXPECT_EQ(r.status, 2) << r.out;
        EXPECT_NE(r.out.find("would overwrite the conditions file"), std::string::npos) << r.out;
        EXPECT_EQ(dovex::testing::ReadBytes(cond), text);
    }
    // The second results file of a run would be the input as well.
    const auto second = work.path() / "r-2.csv";
    dovex::testing::WriteBytes(second, text);
    EXPECT_EQ(
        Calc(data() + " --batch " + second.string() + " --out " + (work.path() / "r.csv").string())
            .status,
        2);
}

TEST_F(CliTest, FilterFileMustBeARegularFile) {
    TempDir work;
    const auto fifo = work.path() / "fifo.ele";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    CalcRun r = Calc(data() + " --material-dir " + work.path().string() + " --filter-file " +
                     fifo.string() + " --filter-mm 1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("not a regular file"), std::string::npos) << r.out;
}

// --filter-file reads from the data folder, or from the folder --material-dir names; a name
// leading elsewhere is a wrong command line, refused before anything is read or calculated.
TEST_F(CliTest, FilterFileOnlyFromTheDataOrMaterialFolder) {
    TempDir work;
    std::string mat = "Al\r\n2.699,0\r\n";
    for (const char* rec : {"0.001,1185", "0.01,26.2", "0.1,0.17", "1,0.06", "10,0.02"})
        mat += std::string(rec) + ",0,0,0,0\r\n";
    dovex::testing::WriteBytes(work.path() / "Mine.ele", mat);
    const std::string file = (work.path() / "Mine.ele").string();
    CalcRun refused = Calc(data() + " --filter-file " + file + " --filter-mm 1");
    EXPECT_EQ(refused.status, 2) << refused.out;
    EXPECT_NE(refused.out.find("leads outside"), std::string::npos) << refused.out;
    EXPECT_NE(refused.out.find("--material-dir"), std::string::npos) << refused.out;
    CalcRun named = Calc(data() + " --material-dir " + work.path().string() +
                         " --filter-file Mine.ele --filter-mm 1");
    EXPECT_EQ(named.status, 0) << named.out;
    CalcRun absolute = Calc(data() + " --material-dir " + work.path().string() + " --filter-file " +
                            file + " --filter-mm 1");
    EXPECT_EQ(absolute.status, 0) << absolute.out;
    CalcRun help = Calc("--help");
    EXPECT_NE(help.out.find("--material-dir"), std::string::npos);
    // The folder must exist.
    EXPECT_EQ(Calc(data() + " --material-dir " + (work.path() / "none").string()).status, 2);
}

// On a copy of the shipped data: an exam part without organ data gives the doses and no
// estimate; a tissue row with bad data stops the estimate, and its message goes to standard error
// as well as into the output.
TEST(CliShippedData, EstimateMessagesGoToStandardError) {
    TempDir work;
    const auto dir = work.path() / "data";
    std::filesystem::copy(DOVEX_SOURCE_DATA_DIR, dir, std::filesystem::copy_options::recursive);
    std::string organ = dovex::testing::ReadBytes(dir / "Organ-data" / u8"腹部正面.csv");
    const auto depths = organ.find(",1,0.03,1,0.114,");
    ASSERT_NE(depths, std::string::npos);
    organ.replace(depths, 16, ",1,0.114,1,0.03,");  // breast: ends above where it starts
    dovex::testing::WriteBytes(dir / "Organ-data" / u8"試験部位.csv", organ);
    const std::string args = "--data-dir " + dir.string();
    const auto err = work.path() / "err.txt";

    SplitRun none = CalcSplit(args + " --exam-part 足関節正面", err);
    EXPECT_EQ(none.status, 0);
    EXPECT_NE(none.out.find("実効線量  --- mSv"), std::string::npos) << none.out;
    EXPECT_NE(none.err.find("no organ data for the exam part"), std::string::npos) << none.err;

    SplitRun bad = CalcSplit(args + " --exam-part 試験部位 --json", err);
    EXPECT_EQ(bad.status, 1);
    auto j = nlohmann::json::parse(bad.out);
    EXPECT_TRUE(j["effectiveDose"].is_null());
    EXPECT_EQ(j["estimateMessage"], "乳房のデータに入力ミスがあります");
    EXPECT_NE(bad.err.find("乳房のデータに入力ミスがあります"), std::string::npos) << bad.err;
}

// The strict number of an option: one decimal number and nothing else (blanks around it aside).
struct StrictCase {
    const char* text;
    bool accepted;
};
void PrintTo(const StrictCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }
class StrictNumber : public ::testing::TestWithParam<StrictCase> {};
TEST_P(StrictNumber, AcceptsOnlyADecimalNumber) {
    const StrictCase& c = GetParam();
    if (c.accepted) {
        EXPECT_EQ(dovex::cli::ParseStrictNumber("kv", c.text), std::strtod(c.text, nullptr));
    } else {
        EXPECT_THROW(dovex::cli::ParseStrictNumber("kv", c.text), dovex::cli::UsageError);
    }
}
INSTANTIATE_TEST_SUITE_P(Texts, StrictNumber,
                         ::testing::Values(StrictCase{"5", true}, StrictCase{"5.", true},
                                           StrictCase{".5", true}, StrictCase{"+5.5e-3", true},
                                           StrictCase{" 7\t", true}, StrictCase{"-1E5", true},
                                           StrictCase{"", false}, StrictCase{".", false},
                                           StrictCase{"e5", false}, StrictCase{"5e", false},
                                           StrictCase{"5e+", false}, StrictCase{"0x50", false},
                                           StrictCase{"inf", false}, StrictCase{"nan", false},
                                           StrictCase{"1..2", false}, StrictCase{"--1", false},
                                           StrictCase{"1 2", false}));
