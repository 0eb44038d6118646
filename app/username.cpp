// SPDX-License-Identifier: MIT
#include "app/username.h"

#include <exception>
#include <vector>

#include "engine/textio.h"

namespace dovex::app {

std::optional<std::string> ReadUserName(const std::filesystem::path& primaryFile) {
    try {
        const std::vector<std::string> lines = SplitLines(ReadFileBytes(primaryFile));
        if (lines.size() <= kEngineLinesOfPrimary) return std::nullopt;
        return Cp932ToUtf8(lines[kEngineLinesOfPrimary]);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

SaveNameResult SaveUserName(const std::filesystem::path& primaryFile, const std::string& name) {
    if (name.find_first_of("\r\n") != std::string::npos)
        return {SaveNameStatus::NotRepresentable, {}};
    const std::optional<std::string> encoded = Utf8ToCp932(name);
    if (!encoded) return {SaveNameStatus::NotRepresentable, {}};

    std::vector<std::string> lines;
    try {
        lines = SplitLines(ReadFileBytes(primaryFile));
    } catch (const std::exception& e) {
        return {SaveNameStatus::FileTooShort, e.what()};
    }
    if (lines.size() < kEngineLinesOfPrimary) return {SaveNameStatus::FileTooShort, {}};
    lines.resize(kEngineLinesOfPrimary);
    lines.push_back(*encoded);
    try {
        WriteFileAtomic(primaryFile, JoinCrLf(lines));
    } catch (const std::exception& e) {
        return {SaveNameStatus::WriteFailed, e.what()};
    }
    return {};
}

}  // namespace dovex::app
