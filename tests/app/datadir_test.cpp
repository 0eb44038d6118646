// SPDX-License-Identifier: MIT
// The user's data folder of an installed program: first start, package update, and what the
// update must keep (the name line, the user's own files).
#include "app/datadir.h"

#include <QDir>
#include <QtTest>
#include <filesystem>
#include <map>

#include "app/appstate.h"
#include "app/username.h"
#include "engine/textio.h"
#include "tests/app/appdata.h"
#include "tests/support/synthdata.h"

using namespace dovex;
using namespace dovex::app;
namespace fs = std::filesystem;
using dovex::testing::ReadBytes;
using dovex::testing::TempDir;
using dovex::testing::WriteBytes;

namespace {

// Every regular file below dir, relative, with its bytes.
std::map<fs::path, std::string> Files(const fs::path& dir) {
    std::map<fs::path, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file()) out[fs::relative(e.path(), dir)] = ReadBytes(e.path());
    return out;
}

// A shipped folder as the package installs it: the synthetic data without a name, and a stamp.
void Ship(const fs::path& dir, const std::string& version) {
    apptest::AppDataOptions opt;
    opt.withUserName = false;
    apptest::WriteAppTestData(dir, opt);
    WriteBytes(dir / kDataStampFile, version + "\n");
}

bool StartsUp(const fs::path& dir) {
    AppState s(dir);
    try {
        LoadStartupData(s);
    } catch (const std::exception& e) {
        qWarning("%s", e.what());
        return false;
    }
    return true;
}

}  // namespace

class DataDirTest : public QObject {
    Q_OBJECT
  private slots:
    void firstStartCopiesEverything();
    void updateRefreshesPhysicsAndKeepsTheUsersParts_data();
    void updateRefreshesPhysicsAndKeepsTheUsersParts();
    void sameVersionLeavesTheFolderAlone();
    void failuresNameTheFolder();
    void shippedFolderOfAnInstalledProgram();
};

void DataDirTest::firstStartCopiesEverything() {
    TempDir t;
    const fs::path shipped = t.path() / "share" / "dovex", user = t.path() / "home" / "dovex";
    Ship(shipped, "1.0");
    const DataFolderResult r = PrepareUserDataFolder(shipped, user, "9.9");
    QVERIFY2(r.ok, r.reason.c_str());
    QCOMPARE(r.action, DataFolderAction::Created);
    auto copied = Files(user);
    QCOMPARE(copied.erase(kDataManifestFile), std::size_t(1));  // the list of the copies
    QVERIFY(copied == Files(shipped));  // organ data, kernels, Japanese file names included
    QVERIFY(!ReadUserName(user / "Primary.dat"));
    QVERIFY(StartsUp(user));
    // The stamp comes from the shipped folder; without one the program's version stands.
    QCOMPARE(ShippedDataVersion(shipped, "9.9"), std::string("1.0"));
    fs::remove(shipped / kDataStampFile);
    QCOMPARE(ShippedDataVersion(shipped, "9.9"), std::string("9.9"));
}

void DataDirTest::updateRefreshesPhysicsAndKeepsTheUsersParts_data() {
    QTest::addColumn<bool>("named");
    QTest::addColumn<bool>("stamped");  // false: a folder made before stamps, or by hand
    QTest::newRow("named") << true << true;
    QTest::newRow("unnamed") << false << true;
    QTest::newRow("named, no stamp") << true << false;
}

void DataDirTest::updateRefreshesPhysicsAndKeepsTheUsersParts() {
    QFETCH(bool, named);
    QFETCH(bool, stamped);
    TempDir t;
    const fs::path shipped = t.path() / "shipped", user = t.path() / "user";
    Ship(shipped, "1.0");
    QVERIFY(PrepareUserDataFolder(shipped, user, "1.0").ok);
    if (!stamped) fs::remove(user / kDataStampFile);
    // The user's run: a name, a spectrum, an own material file, an edited exam-part list.
    if (named)
        QCOMPARE(SaveUserName(user / "Primary.dat", "山田 花子").status, SaveNameStatus::Saved);
    WriteBytes(user / "X_SPCTL.dat", "spectrum\r\n");
    const std::string own = apptest::MaterialFileText("自作フィルタ", 2.5);
    WriteBytes(user / "Own.ele", own);

    // The package update: new engine lines in Primary.dat, a changed physics file.
    auto primary = SplitLines(ReadBytes(shipped / "Primary.dat"));
    primary[0] += " ";
    WriteBytes(shipped / "Primary.dat", JoinCrLf(primary));
    const std::string output = ReadBytes(shipped / "default-output.op") + "\r\n";
    WriteBytes(shipped / "default-output.op", output);
    WriteBytes(shipped / kDataStampFile, "1.1\n");

    const DataFolderResult r = PrepareUserDataFolder(shipped, user, "1.1");
    QVERIFY2(r.ok, r.reason.c_str());
    QCOMPARE(r.action, DataFolderAction::Refreshed);
    QCOMPARE(ReadBytes(user / "default-output.op"), output);
    auto now = SplitLines(ReadBytes(user / "Primary.dat"));
    QCOMPARE(now.size(), named ? std::size_t(32) : std::size_t(31));
    QCOMPARE(now[0], primary[0]);
    if (named) QCOMPARE(*ReadUserName(user / "Primary.dat"), std::string("山田 花子"));
    QCOMPARE(ReadBytes(user / "Own.ele"), own);
    QCOMPARE(ReadBytes(user / "X_SPCTL.dat"), std::string("spectrum\r\n"));
    QCOMPARE(ReadBytes(user / kDataStampFile), std::string("1.1\n"));
    QVERIFY(StartsUp(user));
}

void DataDirTest::sameVersionLeavesTheFolderAlone() {
    TempDir t;
    const fs::path shipped = t.path() / "shipped", user = t.path() / "user";
    Ship(shipped, "1.0");
    QVERIFY(PrepareUserDataFolder(shipped, user, "1.0").ok);
    // A file the user changed on purpose stays as it is while the version does not change.
    WriteBytes(user / "撮影部位.txt", "腹部正面\r\n");
    const DataFolderResult r = PrepareUserDataFolder(shipped, user, "1.0");
    QVERIFY(r.ok);
    QCOMPARE(r.action, DataFolderAction::Used);
    QCOMPARE(ReadBytes(user / "撮影部位.txt"), std::string("腹部正面\r\n"));
    // The shipped folder itself is used as it is.
    QVERIFY(PrepareUserDataFolder(shipped, shipped, "1.0").ok);
}

void DataDirTest::failuresNameTheFolder() {
    TempDir t;
    const fs::path shipped = t.path() / "shipped";
    DataFolderResult r = PrepareUserDataFolder(shipped, t.path() / "user", "1.0");
    QVERIFY(!r.ok);
    QCOMPARE(r.file, shipped.string());
    // The user's folder cannot be made: a file stands where a folder must go.
    Ship(shipped, "1.0");
    WriteBytes(t.path() / "blocked", "x");
    r = PrepareUserDataFolder(shipped, t.path() / "blocked" / "dovex", "1.0");
    QVERIFY(!r.ok);
    QVERIFY(r.file.find("blocked") != std::string::npos);
    QVERIFY(!r.reason.empty());
}

void DataDirTest::shippedFolderOfAnInstalledProgram() {
    TempDir t;
    const QString root = QString::fromStdString(t.path().string());
    fs::create_directories(t.path() / "usr" / "bin");
    const QString bin = root + "/usr/bin";
    QCOMPARE(ShippedDataDir(bin, "/src/data"), QString("/src/data"));
    Ship(t.path() / "usr" / "share" / "dovex", "1.0");
    QCOMPARE(ShippedDataDir(bin, "/src/data"), root + "/usr/share/dovex");
}

QTEST_MAIN(DataDirTest)
#include "datadir_test.moc"
