// SPDX-License-Identifier: MIT
// The name line of "Primary.dat": any file gives a name or none; a name that was read is saved
// and read back unchanged, and saving it leaves the engine's lines as they were.
#include <unistd.h>

#include <filesystem>

#include "app/username.h"
#include "engine/tables.h"
#include "fuzz/fuzz_common.h"

namespace {

std::filesystem::path File() {
    static const std::filesystem::path p = [] {
        std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("dovex-fuzz-name-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        return dir / "Primary.dat";
    }();
    return p;
}

std::string EngineLines(const std::string& bytes) {
    const auto lines = dovex::SplitLines(bytes);
    std::string out;
    for (std::size_t i = 0; i < lines.size() && i < dovex::app::kEngineLinesOfPrimary; ++i)
        out += lines[i] + "\n";
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dovex;
    const std::string bytes = fuzz::Bytes(data, size);
    WriteFileAtomic(File(), bytes);
    const auto name = app::ReadUserName(File());
    if (!name) return 0;
    const auto saved = app::SaveUserName(File(), *name);
    if (saved.status != app::SaveNameStatus::Saved) return 0;  // a name with a line break
    if (app::ReadUserName(File()) != name) fuzz::Finding("the saved name reads back changed");
    if (EngineLines(ReadFileBytes(File())) != EngineLines(bytes))
        fuzz::Finding("saving the name changed the engine's lines");
    return 0;
}
