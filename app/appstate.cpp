#include "app/appstate.h"

#include "app/username.h"
#include "engine/error.h"
#include "engine/textio.h"

namespace dovex::app {

AppState::AppState(std::filesystem::path dir) : dataDir(std::move(dir)), estimator(dataDir) {
    ClearResultsTable(table);
}

std::vector<std::string> ReadExamParts(const std::filesystem::path& file) {
    const std::string name = files::kExamParts;
    const std::string bytes = ReadFileBytes(file, name);
    std::vector<std::string> parts;
    for (const std::string& line : SplitLines(bytes)) {
        try {
            parts.push_back(Cp932ToUtf8(line));
        } catch (const std::exception&) {
            throw DataFileError(name,
                                "Shift-JIS の文字として読めない行があります (not valid "
                                "Shift-JIS text)");
        }
    }
    return parts;
}

void LoadStartupData(AppState& s) {
    LoadPhysicsTables(s.tables, s.dataDir);
    s.examParts = ReadExamParts(s.dataDir / files::kExamParts);
    if (auto name = ReadUserName(s.primaryFile())) {
        s.userName = *name;
        s.named = true;
    } else {
        s.userName.clear();
        s.named = false;
    }
}

}  // namespace dovex::app
