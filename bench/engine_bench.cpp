// SPDX-License-Identifier: MIT
// Speed of the engine on the shipped data for the default conditions: spectrum synthesis, the
// dose computation and the whole chain of one calculation.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

#include "calculation/calculation.h"
#include "engine/dose.h"
#include "engine/spectrum.h"
#include "engine/tables.h"
#include "engine/textio.h"

namespace {

const dovex::PhysicsTables& Tables() {
    static dovex::PhysicsTables* t = [] {
        auto* p = new dovex::PhysicsTables;
        dovex::LoadPhysicsTables(*p, DOVEX_SOURCE_DATA_DIR);
        return p;
    }();
    return *t;
}

void BM_SynthesizeSpectrum(benchmark::State& state) {
    dovex::ExposureConditions c;
    c.rectification = static_cast<dovex::Rectification>(state.range(0));
    dovex::ArbitraryFilter f;
    for (auto _ : state) benchmark::DoNotOptimize(dovex::SynthesizeSpectrum(c, Tables(), f));
}
BENCHMARK(BM_SynthesizeSpectrum)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMicrosecond);

void BM_ComputeDoses(benchmark::State& state) {
    dovex::ExposureConditions c;
    dovex::ArbitraryFilter f;
    auto s = dovex::SynthesizeSpectrum(c, Tables(), f);
    c.exposureAt1m = dovex::ComputeExposureAt1m(c, s, Tables());
    for (auto _ : state) benchmark::DoNotOptimize(dovex::ComputeDoses(c, s, Tables()));
}
BENCHMARK(BM_ComputeDoses)->Unit(benchmark::kMicrosecond);

// The program's calculation without the estimate: checks, spectrum, exposure, doses and beam
// quality.
void BM_WholeChain(benchmark::State& state) {
    const std::filesystem::path data = DOVEX_SOURCE_DATA_DIR;
    dovex::KernelFiles kernels(data);
    for (auto _ : state) {
        dovex::calc::CalculationRequest req;
        req.conditions.examPart = "その他";
        dovex::OrganRows rows;
        benchmark::DoNotOptimize(dovex::calc::Calculate(req, {Tables(), data, {}, kernels, rows}));
    }
}
BENCHMARK(BM_WholeChain)->Unit(benchmark::kMicrosecond);

void BM_LoadPhysicsTables(benchmark::State& state) {
    for (auto _ : state) {
        auto* t = new dovex::PhysicsTables;
        dovex::LoadPhysicsTables(*t, DOVEX_SOURCE_DATA_DIR);
        benchmark::DoNotOptimize(t);
        delete t;
    }
}
BENCHMARK(BM_LoadPhysicsTables)->Unit(benchmark::kMillisecond);

// One backscatter file (9600 numbers) read with the quick number route (arg 1) and with the
// general lenient reading only (arg 0).
void BM_ReadBackscatterFile(benchmark::State& state) {
    const std::string bytes = dovex::ReadFileBytes(std::filesystem::path(DOVEX_SOURCE_DATA_DIR) /
                                                   dovex::files::kBsfSoftBody);
    dovex::FieldReader::SetQuickNumbers(state.range(0) != 0);
    auto table = std::make_unique<dovex::BackscatterTable>();
    for (auto _ : state) {
        dovex::ParseBackscatterData(*table, 0, bytes, dovex::files::kBsfSoftBody);
        benchmark::DoNotOptimize(table.get());
    }
    dovex::FieldReader::SetQuickNumbers(true);
    state.SetItemsProcessed(state.iterations() * 300 * 32);
}
BENCHMARK(BM_ReadBackscatterFile)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
