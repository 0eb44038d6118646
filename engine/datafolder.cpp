// SPDX-License-Identifier: MIT
#include "engine/datafolder.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <map>
#include <system_error>

#include "engine/textio.h"

namespace dovex {

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

// FNV-1a, 64 bits, as 16 hexadecimal digits: the same on every platform and compiler.
std::string Digest(std::string_view bytes) {
    std::uint64_t h = 14695981039346656037ULL;
    for (char c : bytes) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ULL;
    }
    static const char hex[] = "0123456789abcdef";
    std::string out(16, '0');
    for (int i = 15; i >= 0; --i, h >>= 4) out[static_cast<std::size_t>(i)] = hex[h & 15];
    return out;
}

// The manifest of the folder: relative path (generic form) to digest; std::nullopt when the
// folder has none (made by an earlier version of the program).
std::optional<std::map<std::string, std::string>> ReadManifest(const fs::path& userDir) {
    std::error_code ec;
    const fs::path file = userDir / kDataManifestFile;
    if (!fs::is_regular_file(file, ec)) return std::nullopt;
    std::map<std::string, std::string> m;
    try {
        for (const std::string& line : SplitLines(ReadFileBytes(file, file.string(), 16u << 20))) {
            const std::size_t tab = line.find('\t');
            if (tab == 16) m[line.substr(17)] = line.substr(0, 16);
        }
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return m;
}

// A temporary file of the program's atomic writes: NAME.tmp followed by one to six digits.
bool IsOwnTemporary(const std::string& name) {
    const std::size_t p = name.rfind(".tmp");
    if (p == std::string::npos || p == 0) return false;
    const std::size_t digits = name.size() - p - 4;
    if (digits < 1 || digits > 6) return false;
    return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(p + 4), name.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

// Removes what interrupted writes left: the program's temporaries, older than a minute (a
// younger one may belong to a write of a second instance that is running now).
int RemoveStaleTemporaries(const fs::path& userDir) {
    int removed = 0;
    std::error_code ec;
    if (!fs::is_directory(userDir, ec)) return 0;
    const auto now = fs::file_time_type::clock::now();
    for (auto it = fs::recursive_directory_iterator(
             userDir, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::end(it); it.increment(ec)) {
        std::error_code e2;
        if (!it->is_regular_file(e2) || !IsOwnTemporary(it->path().filename().string())) continue;
        const auto written = fs::last_write_time(it->path(), e2);
        if (e2 || now - written < std::chrono::minutes(1)) continue;
        if (fs::remove(it->path(), e2)) ++removed;
    }
    return removed;
}

// NAME.user-YYYYMMDD beside `file` (with -2, -3, ... when that name is taken).
fs::path KeptCopyName(const fs::path& file, std::time_t now) {
    char date[16] = "00000000";
    if (const std::tm* t = std::localtime(&now)) std::strftime(date, sizeof date, "%Y%m%d", t);
    fs::path base = file;
    base += std::string(".user-") + date;
    fs::path p = base;
    std::error_code ec;
    for (int k = 2; fs::exists(fs::symlink_status(p, ec)); ++k) {
        p = base;
        p += "-" + std::to_string(k);
    }
    return p;
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
                                       const std::string& programVersion, std::time_t now) {
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
    r.staleTemporariesRemoved = RemoveStaleTemporaries(userDir);
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
    const auto manifest = ReadManifest(userDir);
    // Whether a file found under a shipped name is the user's: not the program's unchanged copy
    // by the manifest; without a manifest, any file found before the first copy. (A folder of an
    // earlier version without a manifest holds the program's copies.)
    auto usersOwn = [&](const std::string& rel, const std::string& bytes) {
        if (manifest) {
            const auto it = manifest->find(rel);
            return it == manifest->end() || it->second != Digest(bytes);
        }
        return r.action == DataFolderAction::Created;
    };

    std::string list;
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
            if (!it->is_regular_file() || rel == fs::path(kDataStampFile) ||
                rel == fs::path(kDataManifestFile))
                continue;
            std::string bytes = ReadFileBytes(it->path(), it->path().string());
            const bool isPrimary = rel == fs::path("Primary.dat");
            if (isPrimary && name) {
                std::vector<std::string> lines = SplitLines(bytes);
                lines.resize(std::min(lines.size(), kEngineLinesOfPrimary));
                lines.push_back(*name);
                bytes = JoinCrLf(lines);
            }
            const std::string key = rel.generic_string();
            list += Digest(bytes) + "\t" + key + "\n";
            if (fs::is_regular_file(current, ec)) {
                const std::string present = ReadFileBytes(current, current.string());
                if (present == bytes) continue;
                // The name line of Primary.dat is carried over; its engine lines are the
                // program's.
                if (!isPrimary && usersOwn(key, present)) {
                    const fs::path copy = KeptCopyName(current, now);
                    WriteFileAtomic(copy, present);
                    r.keptCopies.emplace_back(current, copy);
                }
            }
            WriteFileAtomic(current, bytes);
        }
        current = userDir / kDataManifestFile;
        WriteFileAtomic(current, list);
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

UserDataFolderChoice UserDataFolderFromEnvironment(const EnvironmentLookup& env) {
    const std::string hint =
        "\n起動するときに --data-dir でデータフォルダを指定してください "
        "(例: dovex --data-dir /path/to/dovex-data)。";
#ifdef _WIN32
    const auto appData = env("APPDATA");
    if (appData && !appData->empty() && fs::path(*appData).is_absolute())
        return {fs::path(*appData) / "dovex", {}};
    return {{},
            "利用者のデータフォルダ (%APPDATA%\\dovex) が分かりません: 環境変数 APPDATA "
            "が設定されていません。" +
                hint};
#else
    if (const auto xdg = env("XDG_DATA_HOME"); xdg && !xdg->empty()) {
        const fs::path x(*xdg);
        if (x.is_absolute() && x.lexically_normal() != x.root_path()) return {x / "dovex", {}};
    }
    const auto home = env("HOME");
    const std::string folder =
        "利用者のデータフォルダ ($HOME/.local/share/dovex) を用意できません: ";
    if (!home || home->empty())
        return {{},
                folder + "環境変数 HOME が設定されていないため、利用者のフォルダが分かりません。" +
                    hint};
    const fs::path h(*home);
    if (!h.is_absolute())
        return {{}, folder + "環境変数 HOME「" + *home + "」が絶対パスではありません。" + hint};
    if (h.lexically_normal() == h.root_path())
        return {{},
                folder + "環境変数 HOME「" + *home +
                    "」がファイルシステムのルートで、利用者のフォルダではありません。" + hint};
    std::error_code ec;
    const fs::file_status st = fs::status(h, ec);
    if (st.type() == fs::file_type::not_found)
        return {{}, folder + "HOME のフォルダ「" + *home + "」がありません。" + hint};
    if (st.type() != fs::file_type::directory)
        return {{}, folder + "HOME「" + *home + "」はフォルダではありません。" + hint};
    return {h / ".local" / "share" / "dovex", {}};
#endif
}

UserDataFolderChoice UserDataFolderFromEnvironment() {
    return UserDataFolderFromEnvironment([](const char* name) -> std::optional<std::string> {
        const char* v = std::getenv(name);
        if (!v) return std::nullopt;
        return std::string(v);
    });
}

}  // namespace dovex
