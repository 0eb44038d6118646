// SPDX-License-Identifier: MIT
#include "engine/textio.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/error.h"
#include "tests/support/numberitems.h"
#include "tests/support/synthdata.h"

using namespace dovex;
using dovex::testing::TempDir;

TEST(Cp932, HorizontalBarIs815CAndRoundTrips) {
    auto bytes = Utf8ToCp932("―");
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, std::string("\x81\x5C"));
    EXPECT_EQ(Cp932ToUtf8("\x81\x5C"), "―");
    const std::string jp = "照射部位　胸部正面 ～ ﾀｰｹﾞｯﾄ角度(度) μSv";
    auto enc = Utf8ToCp932(jp);
    ASSERT_TRUE(enc);
    EXPECT_EQ(Cp932ToUtf8(*enc), jp);
}

TEST(Cp932, RefusesWhatItCannotRepresent) {
    EXPECT_FALSE(Utf8ToCp932("emoji 😀"));
    EXPECT_THROW(Utf8ToCp932OrThrow("한국어"), std::runtime_error);
    EXPECT_THROW(Cp932ToUtf8("\x81"), std::runtime_error);          // truncated lead byte
    EXPECT_THROW(Cp932ToUtf8("\xA0\xFF\xFD"), std::runtime_error);  // not cp932
}

TEST(FieldReader, CommasAndLineBreaksSeparateFields) {
    FieldReader r("header, with comma\r\n1,2\r\n3\r\n 4 , 5,6\r\n", "f.dat");
    EXPECT_EQ(*r.ReadLine(), "header, with comma");
    double sum = 0;
    for (int i = 0; i < 6; ++i) sum += r.NextNumber(6);
    EXPECT_DOUBLE_EQ(sum, 21);
    EXPECT_TRUE(r.AtEnd());
    try {
        r.NextNumber(7);
        FAIL();
    } catch (const DataFileError& e) {
        EXPECT_EQ(e.file(), "f.dat");
        EXPECT_NE(std::string(e.what()).find("expected 7 fields, found 6"), std::string::npos);
    }
}

TEST(FieldReader, QuotedItemsKeepCommasAndQuotes) {
    FieldReader r("\"a,b\",\"say \"\"hi\"\"\",plain text ,\r\n\"x\"\r\n", "f.csv");
    EXPECT_EQ(*r.NextItem(), "a,b");
    EXPECT_EQ(*r.NextItem(), "say \"hi\"");
    EXPECT_EQ(*r.NextItem(), "plain text");
    EXPECT_EQ(*r.NextItem(), "x");  // line ends before an item are skipped
    EXPECT_FALSE(r.NextItem());
}

TEST(FieldReader, NonNumericFieldIsNamed) {
    FieldReader r("1,2\r\nxyz,4\r\n", "data.dat");
    r.NextNumber(4);
    r.NextNumber(4);
    try {
        r.NextNumber(4);
        FAIL();
    } catch (const DataFileError& e) {
        std::string w = e.what();
        EXPECT_NE(w.find("data.dat"), std::string::npos);
        EXPECT_NE(w.find("line 2"), std::string::npos);
        EXPECT_NE(w.find("field 3"), std::string::npos);
        // The place identifies the fault; the field's bytes are not repeated.
        EXPECT_EQ(w.find("xyz"), std::string::npos);
    }
}

TEST(AtomicWrite, ReplacesWholeOrNothing) {
    TempDir dir;
    auto file = dir.path() / "out.txt";
    WriteFileAtomic(file, "old");
    WriteFileAtomic(file, "new contents");
    EXPECT_EQ(dovex::testing::ReadBytes(file), "new contents");
    // A folder that does not exist: an error, and nothing left behind.
    EXPECT_THROW(WriteFileAtomic(dir.path() / "missing" / "x.txt", "x"), std::runtime_error);
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.path())) files += e.is_regular_file();
    EXPECT_EQ(files, 1);
}

// Pipes, devices and symbolic links are the POSIX file system's; the Windows build has none of
// them to refuse or follow.
#ifndef _WIN32
// What stands under the name a writer is given, and what must become of it.
struct SpecialTarget {
    const char* name;
    // Makes the entry `target` in `dir`; returns the path it leads to, if any, to check after.
    std::function<void(const std::filesystem::path& dir, const std::filesystem::path& target)> make;
    const char* said;  // part of the refusal
};

class AtomicWriteRefuses : public ::testing::TestWithParam<SpecialTarget> {};

// A writer must not rename a regular file over a pipe, a device or a folder (as root, a spectrum
// written to /dev/null would replace the system's device); the entry stays as it was.
TEST_P(AtomicWriteRefuses, WhatIsNotARegularFile) {
    TempDir d;
    const auto target = d.path() / "X_SPCTL.dat";
    GetParam().make(d.path(), target);
    const auto before = std::filesystem::symlink_status(target).type();
    try {
        WriteFileAtomic(target, "spectrum");
        FAIL() << "written over " << GetParam().name;
    } catch (const std::runtime_error& e) {
        const std::string m = e.what();
        EXPECT_NE(m.find(target.string()), std::string::npos) << m;
        EXPECT_NE(m.find(GetParam().said), std::string::npos) << m;
    }
    EXPECT_EQ(std::filesystem::symlink_status(target).type(), before);
    EXPECT_EQ(std::filesystem::status("/dev/null").type(), std::filesystem::file_type::character);
    // Nothing of the attempt is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(d.path()),
                            std::filesystem::directory_iterator{}),
              1);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, AtomicWriteRefuses,
    ::testing::Values(
        SpecialTarget{"a named pipe",
                      [](const auto&, const auto& t) { ASSERT_EQ(::mkfifo(t.c_str(), 0600), 0); },
                      "named pipe"},
        SpecialTarget{"a folder",
                      [](const auto&, const auto& t) { std::filesystem::create_directory(t); },
                      "folder"},
        SpecialTarget{
            "a link to a device",
            [](const auto&, const auto& t) { std::filesystem::create_symlink("/dev/null", t); },
            "character device"},
        SpecialTarget{"a link to nothing",
                      [](const auto& dir, const auto& t) {
                          std::filesystem::create_symlink(dir / "gone.dat", t);
                      },
                      "does not exist"}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (char& c : n)
            if (c == ' ') c = '_';
        return n;
    });

// A link to a regular file is written through: the link stays, the file it leads to (in another
// folder) gets the bytes, and no temporary is left in either folder.
TEST(AtomicWrite, WritesThroughALinkToARegularFile) {
    TempDir d;
    std::filesystem::create_directories(d.path() / "real");
    std::filesystem::create_directories(d.path() / "work");
    const auto file = d.path() / "real" / "report.csv", link = d.path() / "work" / "report.csv";
    dovex::testing::WriteBytes(file, "old");
    std::filesystem::create_symlink(file, link);
    WriteFileAtomic(link, "new");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(std::filesystem::read_symlink(link), file);
    EXPECT_EQ(dovex::testing::ReadBytes(file), "new");
    EXPECT_EQ(WriteTarget(link), std::filesystem::canonical(file));
    for (const char* sub : {"real", "work"})
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(d.path() / sub),
                                std::filesystem::directory_iterator{}),
                  1)
            << sub;
}
#endif  // _WIN32

TEST(Lines, SplitAndJoin) {
    auto lines = SplitLines("a\r\nb\nc");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "b");
    EXPECT_EQ(JoinCrLf({"x", "y"}), "x\r\ny\r\n");
}

// Reading must never wait on a pipe or a device: anything but a regular file is refused at once.
TEST(ReadFileBytes, RefusesWhatIsNotARegularFile) {
    TempDir d;
#ifdef _WIN32
    // The null device, a character device as the console is.
    const std::filesystem::path fifo = "NUL";
#else
    const auto fifo = d.path() / "pipe.ele";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
#endif
    try {
        ReadFileBytes(fifo);
        FAIL();
    } catch (const DataFileError& e) {
        EXPECT_NE(std::string(e.what()).find("not a regular file"), std::string::npos);
    }
    EXPECT_THROW(ReadFileBytes(d.path()), DataFileError);
#ifndef _WIN32
    EXPECT_THROW(ReadFileBytes("/dev/null"), DataFileError);
#endif
}

// The quick route reads exactly what the general reading reads, including the forms it leaves
// to the general reading (long exponents, many digits, underflow, other exponent letters).
TEST(FieldReader, QuickRouteAgreesWithTheGeneralReading) {
    const std::string text =
        "1.5,-2.5E-4,+3,.5,5.,0,-0,1E0000000005,1e99999999999,1.5D3,123456789012345678901234,"
        "0.000000000000000000000000000000000000000001234,4.9E-324,1e-400,2.2250738585072014E-308,"
        "9007199254740993,1.7976931348623157E+308,12abc,7 ,8\t,9\r\n10\n"
        // the generators' layout and its neighbours
        "1.072114E-04,0.000000E+00,9.999999E+22,9.999999E-23,1.000000E+100,1.5000000E-03,"
        "2.5E-04,3.000000E+05\r\n4.000000E-05\n5.000000E+01 ,6.000000E+01";
    auto read = [&](bool quick) {
        FieldReader::SetQuickNumbers(quick);
        auto out = dovex::testing::ItemsAsNumbers(text, "t.dat");
        FieldReader::SetQuickNumbers(true);
        return out;
    };
    const auto quick = read(true);
    EXPECT_EQ(quick, read(false));
    EXPECT_EQ(quick.size(), 33u);
}
