// SPDX-License-Identifier: MIT
// The seams to the operating system, as they must behave on Linux and on Windows alike: the same
// cp932 table, Japanese file and folder names, files taken and written byte for byte.
#include "engine/platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/error.h"
#include "engine/textio.h"
#include "tests/support/synthdata.h"

namespace dovex {
namespace {

namespace fs = std::filesystem;

struct CodePair {
    const char* utf8;
    const char* cp932;
};

class Cp932Table : public ::testing::TestWithParam<CodePair> {};

// Characters where Microsoft's code page 932 differs from JIS X 0208 Shift_JIS or extends it
// (NEC special characters, IBM extensions, full-width signs), with their bytes from Microsoft's
// published table (CP932.TXT); plain kana, kanji and ASCII for the common case.
TEST_P(Cp932Table, BothWays) {
    const CodePair& p = GetParam();
    std::string out;
    ASSERT_TRUE(platform::Utf8ToCp932(p.utf8, &out)) << p.utf8;
    EXPECT_EQ(out, p.cp932) << p.utf8;
    ASSERT_TRUE(platform::Cp932ToUtf8(p.cp932, &out)) << p.utf8;
    EXPECT_EQ(out, p.utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Characters, Cp932Table,
    ::testing::Values(CodePair{"日本", "\x93\xFA\x96\x7B"}, CodePair{"～", "\x81\x60"},
                      CodePair{"∥", "\x81\x61"}, CodePair{"－", "\x81\x7C"},
                      CodePair{"￠", "\x81\x91"}, CodePair{"￡", "\x81\x92"},
                      CodePair{"￢", "\x81\xCA"}, CodePair{"①", "\x87\x40"},
                      CodePair{"㎡", "\x87\x75"}, CodePair{"髙", "\xFB\xFC"},
                      CodePair{"μ", "\x83\xCA"}, CodePair{"ｱｰ", "\xB1\xB0"}, CodePair{"\\~", "\\~"},
                      CodePair{"", ""}, CodePair{"腹部正面", "\x95\xA0\x95\x94\x90\xB3\x96\xCA"}));

TEST(Cp932Conversion, RefusalLeavesTheOutputAlone) {
    std::string out = "kept";
    EXPECT_FALSE(platform::Utf8ToCp932("\xF0\x9F\x98\x80", &out));  // no cp932 form
    EXPECT_FALSE(platform::Utf8ToCp932("\xC3", &out));              // truncated UTF-8
    EXPECT_FALSE(platform::Cp932ToUtf8("\x82", &out));              // truncated lead byte
    EXPECT_FALSE(platform::Cp932ToUtf8("\x81\x0A", &out));          // no trail byte
    EXPECT_EQ(out, "kept");
}

// A data folder and a user's file with Japanese names: created, written, listed and read back
// under the names given in UTF-8.
TEST(JapaneseNames, FolderAndFileWrittenListedAndRead) {
    testing::TempDir d;
    const fs::path folder = d.path() / platform::PathFromUtf8("線量データ");
    fs::create_directories(folder);
    const fs::path file = folder / platform::PathFromUtf8("腹部正面の結果.csv");
    const std::string bytes = "一行目\r\nline 2\n\x1a after the old end-of-file mark\r\n";
    WriteFileAtomic(file, bytes);
    EXPECT_EQ(ReadFileBytes(file), bytes);  // binary: no line ends changed, nothing cut
    int found = 0;
    for (const auto& e : fs::directory_iterator(folder)) {
        EXPECT_EQ(platform::PathToUtf8(e.path().filename()), "腹部正面の結果.csv");
        ++found;
    }
    EXPECT_EQ(found, 1);
    EXPECT_EQ(platform::PathToUtf8(file.parent_path().filename()), "線量データ");
    // A missing file is named as the user wrote it.
    try {
        ReadFileBytes(folder / platform::PathFromUtf8("撮影部位.txt"));
        FAIL();
    } catch (const DataFileError& e) {
        EXPECT_EQ(e.file(), "撮影部位.txt");
    }
}

TEST(FileStamp, ChangesWhenTheFileIsReplaced) {
    testing::TempDir d;
    const fs::path f = d.path() / platform::PathFromUtf8("散乱.dat");
    EXPECT_FALSE(platform::StampOf(f).regular);
    WriteFileAtomic(f, "1");
    const platform::FileStamp a = platform::StampOf(f);
    EXPECT_TRUE(a.regular);
    EXPECT_EQ(a.size, 1);
    EXPECT_EQ(platform::StampOf(f), a);
    WriteFileAtomic(f, "2");  // a new file renamed over the old one
    EXPECT_NE(platform::StampOf(f), a);
    EXPECT_FALSE(platform::StampOf(d.path()).regular);
}

}  // namespace
}  // namespace dovex
