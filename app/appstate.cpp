#include "app/appstate.h"

#include "app/username.h"
#include "calculation/calculation.h"
#include "engine/error.h"
#include "engine/platform.h"
#include "engine/textio.h"

namespace dovex::app {

AppState::AppState(std::filesystem::path dir) : dataDir(std::move(dir)), estimator(dataDir) {
    ClearResultsTable(table);
}

std::vector<std::string> ReadExamParts(const std::filesystem::path& file) {
    return calc::ReadExamPartList(file);
}

void LoadStartupData(AppState& s) {
    LoadPhysicsTables(s.tables, s.dataDir);
    s.examParts = ReadExamParts(s.dataDir / platform::PathFromUtf8(files::kExamParts));
    if (auto name = ReadUserName(s.primaryFile())) {
        s.userName = *name;
        s.named = true;
    } else {
        s.userName.clear();
        s.named = false;
    }
    try {
        s.drlTable = ReadDrlTable(s.dataDir / platform::PathFromUtf8(kDrlFileName));
        s.drlProblem.clear();
    } catch (const DataFileError& e) {
        s.drlTable = DrlTable{};
        s.drlProblem = e.what();
    }
}

}  // namespace dovex::app
