// The estimator over the effective dose subsystem (effdose/).
#include "app/estimate.h"
#include "app/organwindow.h"
#include "effdose/organrows.h"

namespace dovex::app {

struct Estimator::Impl {
    explicit Impl(std::filesystem::path dir) : kernels(std::move(dir)) {}
    KernelFiles kernels;  // re-reads the files on every run, reparses only changed ones
    OrganRows rows;
};

Estimator::Estimator(std::filesystem::path dataDir)
    : impl_(std::make_unique<Impl>(std::move(dataDir))) {}
Estimator::~Estimator() = default;

KernelSource& Estimator::kernels() { return impl_->kernels; }
OrganRows& Estimator::rows() { return impl_->rows; }

QWidget* Estimator::CreateOrganWindow(QWidget* parent) {
    return new OrganListWindow(impl_->rows, parent);
}

void Estimator::RefreshOrganWindow(QWidget* window) {
    if (auto* w = qobject_cast<OrganListWindow*>(window)) w->refresh();
}

}  // namespace dovex::app
