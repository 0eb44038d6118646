#pragma once
// The per-user data folder of an installed program. The data the package ships (share/dovex) are
// read-only; the program runs in a copy of them in the user's own folder, where it writes the
// spectrum file and the user name line of "Primary.dat" and where the user adds material files.
#include <QString>
#include <filesystem>
#include <string>

namespace dovex::app {

// Name of the stamp file that records which version of the shipped data a folder holds.
inline constexpr const char* kDataStampFile = ".dovex-data-version";

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
};

// Makes `userDir` hold the shipped data of `shippedDir`. On the first start every shipped file is
// copied. When the folder's stamp differs from the shipped version (a package update), every
// shipped file is copied again, except that the user name (line 32 of "Primary.dat") is kept
// under the new engine lines; files that the package does not ship (the user's own material files,
// the spectrum file, saved results) are never touched. Each file is written to a temporary name
// and renamed into place; the stamp is written last, so an interrupted copy is redone next time.
DataFolderResult PrepareUserDataFolder(const std::filesystem::path& shippedDir,
                                       const std::filesystem::path& userDir,
                                       const std::string& programVersion);

// The folder of the shipped data: `share/dovex` beside the program's `bin/` when the program is
// installed, else `builtIn` (the source tree's data/ for a program run from its build folder).
QString ShippedDataDir(const QString& applicationDir, const QString& builtIn);

}  // namespace dovex::app
