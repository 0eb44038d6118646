// SPDX-License-Identifier: MIT
// The dose-record window on a department's month: 1000 dose reports of five radiographs each,
// read and calculated by the window itself, offscreen, without the effective dose estimate (as a
// survey is; argument 0) and with it (1). Reports the time from the command to the listed events, and how the window's event
// loop fared meanwhile: the ticks of a 20 ms timer and the longest wait between two of them.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "records/gui/recordswindow.h"
#include "tests/records/fixtures.h"

namespace {

using namespace dovex;
namespace fs = std::filesystem;

// The window alone: what it would hand to the main window and the results table is dropped.
struct NoProgram : ui::RecordsContext {
    void applyRecordConditions(const ExposureConditions&, const ArbitraryFilter&,
                               const QString&) override {}
    int resultsRoom() const override { return 0; }
    bool appendRecordResult(const ExposureConditions&, const DoseResult&) override { return false; }
    QString recordsUserName() const override { return {}; }
};

void WindowReadsAMonth(benchmark::State& state) {
    QTemporaryDir tmp;
    const fs::path dir = fs::path(tmp.path().toStdString());
    testing::FxReport r;
    for (int k = 0; k < 5; ++k) {
        testing::FxEvent e = testing::FxRadiograph();
        e.codes.push_back({testing::FxTargetRegion(), {"T-D3000", "SRT", "Chest"}});
        e.codes.push_back({testing::FxImageView(), {"R-10214", "SRT", "postero-anterior"}});
        r.events.push_back(e);
    }
    const std::string bytes = testing::WriteReport(r);
    for (int k = 0; k < 1000; ++k)
        std::ofstream(dir / ("r" + std::to_string(k) + ".dcm"), std::ios::binary) << bytes;
    NoProgram program;
    for (auto _ : state) {
        ui::RecordsWindow w(program, DOVEX_SOURCE_DATA_DIR);
        w.findChild<QCheckBox*>("Estimate")->setChecked(state.range(0) != 0);
        w.show();
        QEventLoop loop;
        QObject::connect(&w, &ui::RecordsWindow::runFinished, &loop, &QEventLoop::quit);
        QElapsedTimer clock, sinceTick;
        qint64 longest = 0;
        long ticks = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            longest = std::max(longest, sinceTick.restart());
            ++ticks;
        });
        clock.start();
        sinceTick.start();
        tick.start(20);
        w.readPaths({tmp.path()});
        loop.exec();
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) * 1e-9);
        state.counters["events"] = static_cast<double>(w.run().computed());
        state.counters["ticks"] = static_cast<double>(ticks);
        state.counters["longest_wait_ms"] = static_cast<double>(longest);
    }
}
BENCHMARK(WindowReadsAMonth)->Arg(0)->Arg(1)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
