// SPDX-License-Identifier: MIT
// The user's data folder without the window: first start, update, what an update keeps, what an
// interrupted write left, and where the folder is when the environment does not say.
#include "engine/datafolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <regex>

#include "engine/tables.h"
#include "engine/textio.h"
#include "tests/support/synthdata.h"

namespace dovex {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

// Every regular file below dir, relative, with its bytes.
std::map<fs::path, std::string> Files(const fs::path& dir) {
    std::map<fs::path, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file()) out[fs::relative(e.path(), dir)] = ReadBytes(e.path());
    return out;
}

// A shipped folder as the package installs it: the synthetic data and a stamp.
void Ship(const fs::path& dir, const std::string& version) {
    testing::WriteSyntheticData(dir);
    fs::create_directories(dir / "PDS-data");
    WriteBytes(dir / "PDS-data" / "50.dat", "1,2,3\r\n");
    WriteBytes(dir / kDataStampFile, version + "\n");
}

TEST(DataFolder, FirstStartCopiesEverythingTheProgramReads) {
    TempDir t;
    const fs::path shipped = t.path() / "share" / "dovex", user = t.path() / "home" / "dovex";
    Ship(shipped, "1.0");
    const DataFolderResult r = PrepareUserDataFolder(shipped, user, "9.9");
    ASSERT_TRUE(r.ok) << r.reason;
    EXPECT_EQ(r.action, DataFolderAction::Created);
    auto copied = Files(user);
    EXPECT_EQ(copied.erase(kDataManifestFile), 1u);
    EXPECT_EQ(copied, Files(shipped));
    EXPECT_TRUE(r.keptCopies.empty());
    EXPECT_NO_THROW(LoadAllTables(user));
    EXPECT_EQ(ShippedDataVersion(shipped, "9.9"), "1.0");
}

// A refresh killed midway leaves NAME.tmpNNNNNN files; the next start removes them (when older
// than a minute, so that a write of a second instance running now is not disturbed) and nothing
// else.
TEST(DataFolder, StaleTemporariesOfAnInterruptedWriteAreRemoved) {
    TempDir t;
    const fs::path shipped = t.path() / "shipped", user = t.path() / "user";
    Ship(shipped, "1.0");
    ASSERT_TRUE(PrepareUserDataFolder(shipped, user, "1.0").ok);
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (const fs::path& p : {user / "Primary.dat.tmp123456", user / "PDS-data" / "50.dat.tmp7"}) {
        WriteBytes(p, "half");
        fs::last_write_time(p, old);
    }
    const std::vector<fs::path> kept = {user / "Att_coeff2020.dat.tmp42",  // a minute old at most
                                        user / "notes.tmp", user / "run.tmp1234567"};
    for (const fs::path& p : kept) WriteBytes(p, "mine");
    fs::last_write_time(user / "notes.tmp", old);
    fs::last_write_time(user / "run.tmp1234567", old);

    const DataFolderResult r = PrepareUserDataFolder(shipped, user, "1.0");
    ASSERT_TRUE(r.ok) << r.reason;
    EXPECT_EQ(r.action, DataFolderAction::Used);
    EXPECT_EQ(r.staleTemporariesRemoved, 2);
    EXPECT_FALSE(fs::exists(user / "Primary.dat.tmp123456"));
    EXPECT_FALSE(fs::exists(user / "PDS-data" / "50.dat.tmp7"));
    for (const fs::path& p : kept) EXPECT_TRUE(fs::exists(p)) << p;
}

// The copies kept beside `file`: NAME.user-YYYYMMDD.
std::vector<fs::path> KeptCopies(const fs::path& file) {
    std::vector<fs::path> out;
    const std::regex form(
        std::regex_replace(file.filename().string(), std::regex(R"(\.)"), R"(\.)") +
        R"(\.user-\d{8})");
    for (const auto& e : fs::directory_iterator(file.parent_path()))
        if (std::regex_match(e.path().filename().string(), form)) out.push_back(e.path());
    return out;
}

// An update that starts to ship a file of a name the user already uses, or that changes a
// shipped file the user edited, keeps the user's file as NAME.user-<date> and says so; the
// program's unchanged copies are replaced without copies.
TEST(DataFolder, AnUpdateKeepsTheUsersFilesUnderShippedNames) {
    TempDir t;
    const fs::path shipped = t.path() / "shipped", user = t.path() / "user";
    Ship(shipped, "1.0");
    ASSERT_TRUE(PrepareUserDataFolder(shipped, user, "1.0").ok);
    WriteBytes(user / "Own.ele", "the user's filter\r\n");
    WriteBytes(user / "撮影部位.txt", "edited\r\n");

    WriteBytes(shipped / "Own.ele", "the package's filter\r\n");
    WriteBytes(shipped / "撮影部位.txt", "new list\r\n");
    WriteBytes(shipped / "default-output.op", ReadBytes(shipped / "default-output.op") + "\r\n");
    WriteBytes(shipped / kDataStampFile, "1.1\n");

    const DataFolderResult r = PrepareUserDataFolder(shipped, user, "1.1");
    ASSERT_TRUE(r.ok) << r.reason;
    EXPECT_EQ(r.action, DataFolderAction::Refreshed);
    EXPECT_EQ(r.keptCopies.size(), 2u);
    for (const auto& [name, mine] : std::map<std::string, std::string>{
             {"Own.ele", "the user's filter\r\n"}, {"撮影部位.txt", "edited\r\n"}}) {
        EXPECT_EQ(ReadBytes(user / name), ReadBytes(shipped / name));
        const auto copies = KeptCopies(user / name);
        ASSERT_EQ(copies.size(), 1u) << name;
        EXPECT_EQ(ReadBytes(copies[0]), mine);
    }
    EXPECT_EQ(ReadBytes(user / "default-output.op"), ReadBytes(shipped / "default-output.op"));
    EXPECT_TRUE(KeptCopies(user / "default-output.op").empty());
    // The next update finds the new copies unchanged: nothing more is kept.
    WriteBytes(shipped / "Own.ele", "the package's filter, 1.2\r\n");
    WriteBytes(shipped / kDataStampFile, "1.2\n");
    const DataFolderResult again = PrepareUserDataFolder(shipped, user, "1.2");
    ASSERT_TRUE(again.ok) << again.reason;
    EXPECT_TRUE(again.keptCopies.empty());
    EXPECT_EQ(KeptCopies(user / "Own.ele").size(), 1u);
}

// The XDG and HOME rules are the Linux desktop program's (the window is not built for Windows).
#ifndef _WIN32
// Where the user's data folder is: from XDG_DATA_HOME or HOME, and never the file-system root or
// a folder the environment does not name; without one, a Japanese message naming the folder and
// the reason, with the --data-dir way out.
struct HomeCase {
    const char* name;
    std::optional<std::string> home, xdg;
    bool found;
    const char* said;  // part of the message, or of the folder found
};

class UserFolder : public ::testing::TestWithParam<HomeCase> {};

TEST_P(UserFolder, ComesFromTheEnvironmentOrIsRefused) {
    TempDir t;
    WriteBytes(t.path() / "file", "x");
    const HomeCase& c = GetParam();
    auto expand = [&](const std::optional<std::string>& v) -> std::optional<std::string> {
        if (!v) return std::nullopt;
        std::string s = *v;
        if (const auto p = s.find("@"); p != std::string::npos) s.replace(p, 1, t.path().string());
        return s;
    };
    const auto home = expand(c.home), xdg = expand(c.xdg);
    const UserDataFolderChoice r =
        UserDataFolderFromEnvironment([&](const char* name) -> std::optional<std::string> {
            if (std::string(name) == "HOME") return home;
            if (std::string(name) == "XDG_DATA_HOME") return xdg;
            return std::nullopt;
        });
    if (c.found) {
        EXPECT_EQ(r.dir.generic_string(), *expand(std::string(c.said)));
        EXPECT_TRUE(r.problemJa.empty());
        return;
    }
    EXPECT_TRUE(r.dir.empty()) << r.dir;
    EXPECT_NE(r.problemJa.find(".local/share/dovex"), std::string::npos) << r.problemJa;
    EXPECT_NE(r.problemJa.find("--data-dir"), std::string::npos) << r.problemJa;
    EXPECT_NE(r.problemJa.find(*expand(std::string(c.said))), std::string::npos) << r.problemJa;
}

INSTANTIATE_TEST_SUITE_P(
    Environments, UserFolder,
    ::testing::Values(
        HomeCase{"home_unset", std::nullopt, std::nullopt, false, "HOME が設定されていない"},
        HomeCase{"home_empty", "", std::nullopt, false, "HOME が設定されていない"},
        HomeCase{"home_is_the_root", "/", std::nullopt, false, "ルート"},
        HomeCase{"home_is_a_file", "@/file", std::nullopt, false,
                 "@/file」はフォルダではありません"},
        HomeCase{"home_missing", "@/gone", std::nullopt, false, "@/gone」がありません"},
        HomeCase{"home_relative", "home/me", std::nullopt, false, "絶対パスではありません"},
        HomeCase{"home", "@", std::nullopt, true, "@/.local/share/dovex"},
        HomeCase{"xdg", "@", "@/xdg", true, "@/xdg/dovex"},
        HomeCase{"xdg_relative_is_ignored", "@", "xdg", true, "@/.local/share/dovex"},
        HomeCase{"xdg_root_is_ignored", std::nullopt, "/", false, "HOME が設定されていない"}),
    [](const auto& info) { return std::string(info.param.name); });
#endif  // _WIN32

}  // namespace
}  // namespace dovex
