// SPDX-License-Identifier: MIT
// Speed of the effective-dose estimate on the shipped data for the abdomen AP defaults: the
// depth dose with the 29 kernel files parsed every run, the same with the parsed kernels reused
// (the files are still read and compared every run), and the whole estimate stage.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "calculation/calculation.h"
#include "effdose/estimate.h"
#include "engine/tables.h"

namespace {

struct Setup {
    bool ok = false;
    std::string error;
    dovex::PhysicsTables tables;
    dovex::ExposureConditions c;
    dovex::calc::CalculationResult engine;  // the spectrum and doses, without the estimate
};

const Setup& Data() {
    static Setup* s = [] {
        auto* p = new Setup;
        try {
            dovex::LoadPhysicsTables(p->tables, DOVEX_SOURCE_DATA_DIR);
            p->c.examPart = "腹部正面";
            dovex::calc::CalculationRequest req;
            req.conditions = p->c;
            req.conditions.examPart = dovex::kNoEstimateExamPart;
            dovex::KernelFiles kernels(DOVEX_SOURCE_DATA_DIR);
            dovex::OrganRows none;
            const auto o =
                dovex::calc::Calculate(req, {p->tables, DOVEX_SOURCE_DATA_DIR, {}, kernels, none});
            if (o.refusal) throw std::runtime_error(o.refusal->messageEn);
            p->engine = o.result;
            p->c.exposureAt1m = o.result.conditions.exposureAt1m;
            dovex::KernelFiles probe(DOVEX_SOURCE_DATA_DIR);
            probe.Kernel(20);
            p->ok = true;
        } catch (const std::exception& e) {
            p->error = e.what();
        }
        return p;
    }();
    return *s;
}

void BM_DepthDoseParsingKernels(benchmark::State& state) {
    const Setup& d = Data();
    if (!d.ok) {
        state.SkipWithError(d.error.c_str());
        return;
    }
    for (auto _ : state) {
        dovex::KernelFiles kernels(DOVEX_SOURCE_DATA_DIR);
        benchmark::DoNotOptimize(
            dovex::ComputeDepthDose(d.c, d.engine.spectrum, d.tables, kernels));
    }
}
BENCHMARK(BM_DepthDoseParsingKernels)->Unit(benchmark::kMillisecond);

void BM_DepthDoseReusingKernels(benchmark::State& state) {
    const Setup& d = Data();
    if (!d.ok) {
        state.SkipWithError(d.error.c_str());
        return;
    }
    dovex::KernelFiles kernels(DOVEX_SOURCE_DATA_DIR);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            dovex::ComputeDepthDose(d.c, d.engine.spectrum, d.tables, kernels));
    }
}
BENCHMARK(BM_DepthDoseReusingKernels)->Unit(benchmark::kMillisecond);

void BM_EstimateStage(benchmark::State& state) {
    const Setup& d = Data();
    if (!d.ok) {
        state.SkipWithError(d.error.c_str());
        return;
    }
    dovex::KernelFiles kernels(DOVEX_SOURCE_DATA_DIR);
    dovex::OrganRows rows;
    for (auto _ : state) {
        dovex::ExposureConditions c = d.c;
        dovex::DoseResult dose = d.engine.dose;
        benchmark::DoNotOptimize(dovex::RunEffectiveDoseEstimate(
            c, d.engine.spectrum, dose, d.tables, DOVEX_SOURCE_DATA_DIR, kernels, rows));
    }
}
BENCHMARK(BM_EstimateStage)->Unit(benchmark::kMillisecond);

}  // namespace
