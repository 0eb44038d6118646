// SPDX-License-Identifier: MIT
#pragma once
// The per-user data folder of an installed program. The data the package ships (share/dovex) are
// read-only; the program runs in a copy of them in the user's own folder, where it writes the
// spectrum file and the user name line of "Primary.dat" and where the user adds material files.
// Plain file operations, no toolkit: the window program calls them at start-up.
#include <cstddef>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace dovex {

// "Primary.dat": lines 1..31 are the engine's primary dose data, line 32 the user's name.
inline constexpr std::size_t kEngineLinesOfPrimary = 31;

// Name of the stamp file that records which version of the shipped data a folder holds.
inline constexpr const char* kDataStampFile = ".dovex-data-version";
// The shipped files as they were copied into the user's folder: one line per file, its digest
// (FNV-1a, 16 hexadecimal digits), a tab and its path relative to the folder. A later update
// tells by it a copy it may replace from a file the user made or changed, which it keeps.
inline constexpr const char* kDataManifestFile = ".dovex-data-files";

// The version of the shipped data: the first line of their stamp file, or `programVersion` (the
// stamp built into the program) when the folder has none (the source tree's data/).
std::string ShippedDataVersion(const std::filesystem::path& shippedDir,
                               const std::string& programVersion);

enum class DataFolderAction {
    Used,       // the folder already held this version of the shipped data
    Created,    // first start: the shipped data were copied
    Refreshed,  // the shipped data are of another version: copied over, the user's parts kept
};

struct DataFolderResult {
    bool ok = false;
    DataFolderAction action = DataFolderAction::Used;
    std::string file;    // on failure: the file or folder that failed
    std::string reason;  // on failure: what went wrong
    // Files of the user that a shipped file replaced, each kept beside it as NAME.user-<date>:
    // (the file, the copy), for the message that says so.
    std::vector<std::pair<std::filesystem::path, std::filesystem::path>> keptCopies;
    int staleTemporariesRemoved = 0;  // NAME.tmpNNNNNN left by an interrupted write
};

// Makes `userDir` hold the shipped data of `shippedDir`. On the first start every shipped file is
// copied. When the folder's stamp differs from the shipped version (a package update), every
// shipped file is copied again, except that the user name (line 32 of "Primary.dat") is kept
// under the new engine lines; files that the package does not ship (the user's own material files,
// the spectrum file, saved results) are never touched. A file under a shipped name that is not
// the program's unchanged copy (the user's own file of a name a later package starts to ship, or
// a shipped file the user edited) is kept as NAME.user-<date> before it is replaced, and listed in
// `keptCopies`. Each file is written to a temporary name and renamed into place; the stamp is
// written last, so an interrupted copy is redone next time. Temporary files that an interrupted
// write of the program left (NAME.tmpNNNNNN, older than a minute) are removed at every start.
// `now` is the time of the start (the date of the copies' names, the age of the temporaries).
DataFolderResult PrepareUserDataFolder(const std::filesystem::path& shippedDir,
                                       const std::filesystem::path& userDir,
                                       const std::string& programVersion,
                                       std::time_t now = std::time(nullptr));

// The user's data folder as the environment names it: $XDG_DATA_HOME/dovex when that is an
// absolute path, else $HOME/.local/share/dovex (on Windows %APPDATA%/dovex). Without a usable
// user folder (HOME unset, empty, relative, the file-system root, or not a folder) there is none:
// `dir` is empty and `problemJa` says in Japanese which folder is missing and why, and how to
// name the data folder instead (--data-dir). Never the file-system root or a folder outside the
// user's own.
struct UserDataFolderChoice {
    std::filesystem::path dir;
    std::string problemJa;
};
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;
UserDataFolderChoice UserDataFolderFromEnvironment(const EnvironmentLookup& env);
// The same from the process environment.
UserDataFolderChoice UserDataFolderFromEnvironment();

}  // namespace dovex
