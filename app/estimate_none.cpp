// The estimator of a build without the effective dose subsystem: an estimate cannot be made,
// so a listed exam part ends in the calculation run's failure message.
#include "app/estimate.h"
#include "engine/error.h"

namespace dovex::app {

struct Estimator::Impl {};

Estimator::Estimator(std::filesystem::path) : impl_(std::make_unique<Impl>()) {}
Estimator::~Estimator() = default;

bool Estimator::Available() { return false; }

EstimateOutcome Estimator::Run(ExposureConditions& c, const XraySpectrum&, DoseResult& dose,
                               const PhysicsTables&, const std::function<void()>&) {
    if (c.subjectThickness > 40) c.subjectThickness = 40;
    dose.effectiveDose = 0;
    throw CalcError("effective dose estimate not available in this build");
}

QWidget* Estimator::CreateOrganWindow(QWidget*) { return nullptr; }
void Estimator::RefreshOrganWindow(QWidget*) {}
DepthDosePlot Estimator::depthDosePlot() const { return {}; }
std::vector<std::string> Estimator::organTableLines() const { return {}; }

}  // namespace dovex::app
