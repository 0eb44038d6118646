// SPDX-License-Identifier: MIT
// Speed of the results file: writing and reading a full table, and one batch row of the
// calculation (engine, effective dose estimate, append) on the shipped data.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "calculation/calculation.h"
#include "effdose/estimate.h"
#include "engine/dose.h"
#include "engine/tables.h"
#include "results/csvfile.h"
#include "results/model.h"

namespace {

const dovex::PhysicsTables& Tables() {
    static dovex::PhysicsTables* t = [] {
        auto* p = new dovex::PhysicsTables;
        dovex::LoadPhysicsTables(*p, DOVEX_SOURCE_DATA_DIR);
        return p;
    }();
    return *t;
}

dovex::ResultsTable FullTable() {
    dovex::ResultsTable t;
    dovex::ExposureConditions c;
    dovex::DoseResult d;
    d.esdSoft = 1.234;
    d.bsfSoft = 1.35;
    d.effectiveDose = 0.0567;
    for (int i = 0; i < 15; ++i) {
        c.tubeVoltage = 60 + i;
        dovex::AppendCurrentResult(t, c, d, {});
    }
    return t;
}

void BM_ResultsFileWrite(benchmark::State& state) {
    const dovex::ResultsTable t = FullTable();
    for (auto _ : state) benchmark::DoNotOptimize(dovex::ResultsFileBytes(t, "bench", 33.97));
}
BENCHMARK(BM_ResultsFileWrite)->Unit(benchmark::kMicrosecond);

void BM_ResultsFileRead(benchmark::State& state) {
    const std::string bytes = dovex::ResultsFileBytes(FullTable(), "bench", 33.97);
    for (auto _ : state) benchmark::DoNotOptimize(dovex::ParseResultsFile(bytes));
}
BENCHMARK(BM_ResultsFileRead)->Unit(benchmark::kMicrosecond);

// One exposure as the batch mode calculates and keeps it, through the program's calculation;
// arg 1 with the effective dose estimate (kernel files read again, as every calculation does),
// arg 0 without.
void BM_BatchRow(benchmark::State& state) {
    const std::filesystem::path data = DOVEX_SOURCE_DATA_DIR;
    dovex::KernelFiles kernels(data);
    dovex::ResultsTable table;
    for (auto _ : state) {
        dovex::calc::CalculationRequest req;
        req.conditions.examPart = state.range(0) ? "腹部正面" : "その他";
        dovex::OrganRows rows;
        const auto o = dovex::calc::Calculate(req, {Tables(), data, {}, kernels, rows});
        if (table.full()) dovex::ClearResultsTable(table);
        dovex::AppendCurrentResult(table, o.result.conditions, o.result.dose, {});
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BatchRow)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
