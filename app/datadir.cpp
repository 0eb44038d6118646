#include "app/datadir.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <exception>
#include <optional>
#include <system_error>
#include <vector>

#include "app/username.h"
#include "engine/textio.h"

namespace dovex::app {

namespace fs = std::filesystem;

namespace {

std::string FirstLine(const fs::path& file) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) return {};
    const std::vector<std::string> lines = SplitLines(ReadFileBytes(file, file.string(), 4096));
    return lines.empty() ? std::string() : lines.front();
}

// The user's name line of "Primary.dat" (raw cp932 bytes), when the file has one.
std::optional<std::string> NameLine(const fs::path& primary) {
    std::error_code ec;
    if (!fs::is_regular_file(primary, ec)) return std::nullopt;
    try {
        const std::vector<std::string> lines = SplitLines(ReadFileBytes(primary));
        if (lines.size() <= kEngineLinesOfPrimary) return std::nullopt;
        return lines[kEngineLinesOfPrimary];
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace

std::string ShippedDataVersion(const fs::path& shippedDir, const std::string& programVersion) {
    try {
        std::string v = FirstLine(shippedDir / kDataStampFile);
        if (!v.empty()) return v;
    } catch (const std::exception&) {
    }
    return programVersion;
}

DataFolderResult PrepareUserDataFolder(const fs::path& shippedDir, const fs::path& userDir,
                                       const std::string& programVersion) {
    DataFolderResult r;
    std::error_code ec;
    if (!fs::is_directory(shippedDir, ec)) {
        r.file = shippedDir.string();
        r.reason = "the shipped data folder does not exist";
        return r;
    }
    if (fs::equivalent(shippedDir, userDir, ec)) {  // nothing to copy onto itself
        r.ok = true;
        return r;
    }
    const std::string version = ShippedDataVersion(shippedDir, programVersion);
    const fs::path stamp = userDir / kDataStampFile;
    const fs::path primary = userDir / "Primary.dat";
    std::string held;
    try {
        held = FirstLine(stamp);
    } catch (const std::exception&) {
    }
    if (held == version && fs::is_regular_file(primary, ec)) {
        r.ok = true;
        return r;
    }
    r.action = fs::exists(stamp, ec) || fs::exists(primary, ec) ? DataFolderAction::Refreshed
                                                                : DataFolderAction::Created;
    const std::optional<std::string> name = NameLine(primary);

    fs::path current = userDir;
    try {
        fs::create_directories(userDir);
        for (auto it = fs::recursive_directory_iterator(shippedDir); it != fs::end(it); ++it) {
            const fs::path rel = fs::relative(it->path(), shippedDir);
            current = userDir / rel;
            if (it->is_directory()) {
                fs::create_directories(current);
                continue;
            }
            if (!it->is_regular_file() || rel == fs::path(kDataStampFile)) continue;
            std::string bytes = ReadFileBytes(it->path(), it->path().string());
            if (rel == fs::path("Primary.dat") && name) {
                std::vector<std::string> lines = SplitLines(bytes);
                lines.resize(std::min(lines.size(), kEngineLinesOfPrimary));
                lines.push_back(*name);
                bytes = JoinCrLf(lines);
            }
            WriteFileAtomic(current, bytes);
        }
        current = stamp;
        WriteFileAtomic(stamp, version + "\n");
    } catch (const std::exception& e) {
        r.file = current.string();
        r.reason = e.what();
        return r;
    }
    r.ok = true;
    return r;
}

QString ShippedDataDir(const QString& applicationDir, const QString& builtIn) {
    const QString installed =
        QDir(applicationDir).absoluteFilePath(QStringLiteral("../share/dovex"));
    if (QFileInfo::exists(installed + QStringLiteral("/Primary.dat")))
        return QDir::cleanPath(installed);
    return builtIn;
}

}  // namespace dovex::app
