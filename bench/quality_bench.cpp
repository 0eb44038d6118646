// SPDX-License-Identifier: MIT
// Speed of the beam-quality computation (two half-value layers, mean and effective energy) for
// the default conditions and a hard beam, and of the reference-level lookup.
#include <benchmark/benchmark.h>

#include "engine/beamquality.h"
#include "engine/drl.h"
#include "engine/spectrum.h"
#include "engine/tables.h"

namespace {

const dovex::PhysicsTables& QualityTables() {
    static const dovex::PhysicsTables t = dovex::LoadAllTables(DOVEX_SOURCE_DATA_DIR);
    return t;
}

void BM_ComputeBeamQuality(benchmark::State& state) {
    dovex::ExposureConditions c;
    c.tubeVoltage = static_cast<double>(state.range(0));
    const auto s = dovex::SynthesizeSpectrum(c, QualityTables(), dovex::ArbitraryFilter{});
    for (auto _ : state)
        benchmark::DoNotOptimize(dovex::ComputeBeamQuality(s, QualityTables(), c.tubeVoltage));
}
BENCHMARK(BM_ComputeBeamQuality)->Arg(75)->Arg(140)->Unit(benchmark::kMicrosecond);

void BM_CompareWithDrl(benchmark::State& state) {
    const dovex::DrlTable t =
        dovex::ReadDrlTable(std::filesystem::path(DOVEX_SOURCE_DATA_DIR) / dovex::kDrlFileName);
    for (auto _ : state) benchmark::DoNotOptimize(dovex::CompareWithDrl(t, "骨盤正面", 80, 1.2));
}
BENCHMARK(BM_CompareWithDrl);

}  // namespace
