// SPDX-License-Identifier: MIT
// Speed of the dose-record path: reading and mapping a report of five radiographs (without the
// calculation), and a department survey of 1 000 such reports without the estimate (read, map,
// calculate, group and take the quartiles).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "records/process.h"
#include "tests/records/fixtures.h"

namespace {

using namespace dovex::records;
using namespace dovex::testing;

// A report of five radiographs of one unit, with the variety of a day's work.
std::string FiveEventReport(int seed) {
    FxReport r;
    static const char* kRegions[] = {"T-D3000", "T-D4000", "T-11503", "T-D6000", "T-11100"};
    for (int k = 0; k < 5; ++k) {
        FxEvent e = FxRadiograph();
        e.nums[0].value = std::to_string(60 + (seed + 7 * k) % 60);
        e.nums.push_back({FxDap(), "0.0000082", "Gy.m2"});
        e.nums.push_back({FxDoseRp(), "0.0000569", "Gy"});
        e.codes = {{FxTargetRegion(), {kRegions[(seed + k) % 5], "SRT", "region"}},
                   {FxImageView(), {"R-10206", "SRT", "antero-posterior"}},
                   {FxReferencePoint(), FxInDetectorPlane()}};
        e.filters = {FxFilter{false, {"C-127F9", "SRT", "Copper"}, "0.1", "0.1"}};
        r.events.push_back(e);
    }
    r.device.station = "ROOM" + std::to_string(seed % 4);
    return WriteReport(r);
}

const RecordData& Data() {
    static RecordData* d = [] {
        auto* p = new RecordData;
        LoadRecordData(*p, DOVEX_SOURCE_DATA_DIR);
        return p;
    }();
    return *d;
}

void BM_ReadAndMapFiveEventReport(benchmark::State& state) {
    const std::string bytes = FiveEventReport(1);
    const MappingContext cx{DOVEX_SOURCE_DATA_DIR, &Data().standards, &Data().profiles,
                            &Data().protocols};
    for (auto _ : state) {
        std::vector<DoseEvent> events;
        std::vector<OtherEvent> others;
        ReadRecordBytes(bytes, "bench.dcm", events, others);
        for (const DoseEvent& e : events) benchmark::DoNotOptimize(MapEvent(e, cx));
    }
    state.SetItemsProcessed(state.iterations() * 5);
}
BENCHMARK(BM_ReadAndMapFiveEventReport)->Unit(benchmark::kMicrosecond);

void BM_SurveyReports(benchmark::State& state) {
    std::vector<std::string> reports;
    for (int i = 0; i < state.range(0); ++i) reports.push_back(FiveEventReport(i));
    const ProcessOptions options{DoseSource::Model, false};
    for (auto _ : state) {
        std::vector<SurveyInput> inputs;
        for (const std::string& bytes : reports) {
            std::vector<DoseEvent> events;
            std::vector<OtherEvent> others;
            ReadRecordBytes(bytes, "bench.dcm", events, others);
            for (const DoseEvent& e : events) {
                const EventOutcome o = ProcessEvent(e, Data(), DOVEX_SOURCE_DATA_DIR, options);
                if (o.result) inputs.push_back(SurveyInputOf(o));
            }
        }
        benchmark::DoNotOptimize(BuildSurvey(inputs, Data().drl ? &*Data().drl : nullptr));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0) * 5);
}
BENCHMARK(BM_SurveyReports)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
