// SPDX-License-Identifier: MIT
#include "app/appstate.h"

#include "app/username.h"
#include "calculation/calculation.h"
#include "engine/platform.h"

namespace dovex::app {

AppState::AppState(std::filesystem::path dir) : dataDir(std::move(dir)), estimator(dataDir) {
    ClearResultsTable(table);
}

std::vector<std::string> ReadExamParts(const std::filesystem::path& file) {
    return calc::ReadExamPartList(file);
}

void LoadStartupData(AppState& s) {
    calc::CalculationData d = calc::LoadData(s.dataDir);
    s.tables = std::move(d.tables);
    s.examParts = std::move(d.examParts);
    if (auto name = ReadUserName(s.primaryFile())) {
        s.userName = *name;
        s.named = true;
    } else {
        s.userName.clear();
        s.named = false;
    }
    s.drlTable = d.drl.value_or(DrlTable{});
    s.drlProblem = d.drl ? std::string() : d.drlProblem;
}

}  // namespace dovex::app
