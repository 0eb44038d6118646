// SPDX-License-Identifier: MIT
#include "calculation/data.h"

#include "engine/error.h"
#include "engine/platform.h"
#include "engine/textio.h"

namespace dovex::calc {

CalculationData LoadData(const std::filesystem::path& dataDir) {
    CalculationData d;
    d.dataDir = dataDir;
    LoadPhysicsTables(d.tables, dataDir);
    d.examParts = ReadExamPartList(dataDir / platform::PathFromUtf8(files::kExamParts));
    const std::filesystem::path drlFile = dataDir / platform::PathFromUtf8(kDrlFileName);
    std::error_code ec;
    const bool present = std::filesystem::exists(drlFile, ec);
    try {
        d.drl = ReadDrlTable(drlFile);
        d.drlState = DrlFileState::Read;
    } catch (const DataFileError& e) {
        d.drlState = present ? DrlFileState::Faulty : DrlFileState::Absent;
        d.drlProblem = e.what();
    }
    return d;
}

std::vector<std::string> ReadExamPartList(const std::filesystem::path& file) {
    const std::string name = file.filename().string();
    const std::string bytes = ReadFileBytes(file, name);
    std::vector<std::string> parts;
    for (const std::string& line : SplitLines(bytes)) {
        try {
            parts.push_back(Cp932ToUtf8(line));
        } catch (const std::exception& e) {
            throw DataFileError(
                name,
                std::string(
                    "Shift-JIS の文字として読めない行があります (not valid Shift-JIS text: ") +
                    e.what() + ")");
        }
    }
    return parts;
}

}  // namespace dovex::calc
