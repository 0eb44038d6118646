// The estimator over the effective dose subsystem (effdose/).
#include "app/estimate.h"
#include "app/organwindow.h"
#include "effdose/estimate.h"
#include "effdose/organrows.h"

namespace dovex::app {

struct Estimator::Impl {
    explicit Impl(std::filesystem::path dir) : dataDir(dir), kernels(std::move(dir)) {}
    std::filesystem::path dataDir;
    KernelFiles kernels;  // re-reads the files on every run, reparses only changed ones
    OrganRows rows;
};

Estimator::Estimator(std::filesystem::path dataDir)
    : impl_(std::make_unique<Impl>(std::move(dataDir))) {}
Estimator::~Estimator() = default;

bool Estimator::Available() { return true; }

EstimateOutcome Estimator::Run(ExposureConditions& c, const XraySpectrum& s, DoseResult& dose,
                               const PhysicsTables& t, const std::function<void()>& rowsChanged) {
    EstimateResult r;
    try {
        r = RunEffectiveDoseEstimate(c, s, dose, t, impl_->dataDir, impl_->kernels, impl_->rows);
    } catch (...) {
        if (rowsChanged) rowsChanged();
        throw;
    }
    if (rowsChanged) rowsChanged();
    EstimateOutcome out;
    out.completed = r.estimated;
    out.effectiveDose = r.effectiveDose;
    out.message = QString::fromStdString(r.message);
    return out;
}

QWidget* Estimator::CreateOrganWindow(QWidget* parent) {
    return new OrganListWindow(impl_->rows, parent);
}

void Estimator::RefreshOrganWindow(QWidget* window) {
    if (auto* w = qobject_cast<OrganListWindow*>(window)) w->refresh();
}

}  // namespace dovex::app
