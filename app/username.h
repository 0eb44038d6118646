// SPDX-License-Identifier: MIT
#pragma once
// The user's display name: the 32nd line of "Primary.dat", whose first 31 lines are the
// engine's primary dose data.
#include <filesystem>
#include <optional>
#include <string>

#include "engine/datafolder.h"

namespace dovex::app {

using dovex::kEngineLinesOfPrimary;

// Line 32 of the file (UTF-8); std::nullopt when the file cannot be read, has fewer than 32
// lines or the line is not valid cp932 — all of which mean that no name is registered.
std::optional<std::string> ReadUserName(const std::filesystem::path& primaryFile);

enum class SaveNameStatus {
    Saved,
    NotRepresentable,  // the name has a character that cp932 cannot hold, or a line break
    FileTooShort,      // the file cannot be read to its 31st line
    WriteFailed,       // the new file could not be written; the old one is untouched
};

struct SaveNameResult {
    SaveNameStatus status = SaveNameStatus::Saved;
    std::string detail;  // the reason from the file system, for the message
};

// Rewrites the file as its first 31 lines followed by the name, each ending in CR LF; lines
// after the 31st are dropped. The new content goes to a temporary file that is renamed into
// place, so the engine's lines are never lost, whatever fails.
SaveNameResult SaveUserName(const std::filesystem::path& primaryFile, const std::string& name);

}  // namespace dovex::app
