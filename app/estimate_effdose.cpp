// SPDX-License-Identifier: MIT
// The estimator over the effective dose subsystem (effdose/).
#include <QPointer>

#include "app/depthdosewindow.h"
#include "app/estimate.h"
#include "app/organwindow.h"
#include "effdose/estimate.h"
#include "effdose/organrows.h"
#include "engine/numtext.h"

namespace dovex::app {

struct Estimator::Impl {
    explicit Impl(std::filesystem::path dir) : kernels(std::move(dir)) {}
    KernelFiles kernels;  // re-reads the files on every run, reparses only changed ones
    OrganRows rows;
    bool haveCurve = false;  // the last run completed its depth dose and organ doses
    DepthDoseCurve curve;
    double thickness = 0;
    std::string examPart;
    QPointer<DepthDoseWindow> chart;  // the depth-dose chart, once opened
};

Estimator::Estimator(std::filesystem::path dataDir)
    : impl_(std::make_unique<Impl>(std::move(dataDir))) {}
Estimator::~Estimator() = default;

KernelSource& Estimator::kernels() { return impl_->kernels; }
OrganRows& Estimator::rows() { return impl_->rows; }

void Estimator::recordRun(const DepthDoseCurve& curve, double thicknessCm,
                          const std::string& examPart, bool completed) {
    impl_->haveCurve = completed;
    impl_->curve = curve;
    impl_->thickness = thicknessCm;
    impl_->examPart = examPart;
    // An open depth-dose chart follows the runs, as the organ list does.
    if (impl_->chart && impl_->chart->isVisible()) impl_->chart->setPlot(depthDosePlot());
}

QWidget* Estimator::CreateOrganWindow(QWidget* parent) {
    auto* w = new OrganListWindow(impl_->rows, parent);
    // The depth-dose chart, opened from the organ list, shows the tissues ticked at that time.
    QObject::connect(w, &OrganListWindow::depthDoseRequested, w, [this, w] {
        if (!impl_->chart) impl_->chart = new DepthDoseWindow(w);
        impl_->chart->setPlot(depthDosePlot());
        impl_->chart->show();
        impl_->chart->raise();
    });
    return w;
}

void Estimator::RefreshOrganWindow(QWidget* window) {
    if (auto* w = qobject_cast<OrganListWindow*>(window)) w->refresh();
}

DepthDosePlot Estimator::depthDosePlot() const {
    DepthDosePlot p;
    if (!impl_->haveCurve) return p;
    const DepthDoseCurve& c = impl_->curve;
    p.examPart = QString::fromStdString(impl_->examPart);
    p.thicknessCm = impl_->thickness;
    for (long k = 1; k <= c.layers && k <= kDepthLayers; ++k) {
        p.depthCm.push_back(0.5 * (static_cast<double>(k) - 0.5));
        p.primary.push_back(c.primary[k]);
        p.scatter.push_back(c.scatter[k]);
        p.total.push_back(c.total[k]);
    }
    for (long r = 1; r <= kTissueRows; ++r) {
        const TissueRow& row = impl_->rows.rows[r];
        if (row.tick != TickState::Checked) continue;
        if (!row.startDepth || !row.endDepth) continue;
        const double from = *row.startDepth;
        const double to = *row.endDepth;
        if (!(to >= from)) continue;
        // A tissue with next to nothing of it in the field (the brain in an abdominal view) would
        // only crowd the chart: only tissues with at least half a per cent in the field are shown.
        if (!(row.percentage.value_or(0.0) >= 0.5)) continue;
        p.bands.push_back({QString::fromUtf8(TissueInfoOf(r).name), from, to});
    }
    return p;
}

void Estimator::clearEstimate(const std::string& examPart) {
    OrganRows& rows = impl_->rows;
    for (long r = 1; r <= kTissueRows; ++r) rows.rows[r].doseLabel.clear();
    rows.totalLabel.clear();
    rows.examPartLabel = examPart;
}

OrganTable Estimator::organTable() const {
    OrganTable t;
    if (!impl_->haveCurve) return t;
    const OrganRows& rows = impl_->rows;
    auto q = [](const std::string& s) { return QString::fromStdString(s); };
    t.examPart = q(rows.examPartLabel);
    t.thickness = q(rows.thicknessLabel);
    t.total = q(rows.totalLabel);
    for (long r = 1; r <= kTissueRows; ++r) {
        const TissueRow& row = rows.rows[r];
        const TissueInfo& info = TissueInfoOf(r);
        const std::string from = DepthText(row, row.startDepth), to = DepthText(row, row.endDepth);
        const bool dash = from == "-" && to == "-";
        t.rows.push_back({QString::fromUtf8(info.name), QString::fromUtf8(info.weightText),
                          dash ? QStringLiteral("-") : q(from) + QStringLiteral(" ～ ") + q(to),
                          q(PercentageText(row)), q(row.doseLabel),
                          row.tick == TickState::Checked});
    }
    return t;
}

std::vector<std::string> Estimator::organTableLines() const {
    if (!impl_->haveCurve) return {};
    return FormatOrganTable(impl_->rows);
}

}  // namespace dovex::app
