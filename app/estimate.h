#pragma once
// The effective dose estimate of one calculation run: depth dose from the scatter kernels, the
// exam part's organ data into the tissue rows, the rows prepared for the run, and the organ and
// effective doses. The tissue rows live here for the whole run of the program, so that ticks and
// edits in the organ list window survive from run to run.
#include <QString>
#include <filesystem>
#include <functional>
#include <memory>

#include "engine/conditions.h"
#include "engine/dose.h"
#include "engine/spectrum.h"
#include "engine/tables.h"

class QWidget;

namespace dovex::app {

struct EstimateOutcome {
    bool completed = false;    // every tissue row passed; effectiveDose is the estimate
    double effectiveDose = 0;  // mSv
    QString message;           // a tissue row's data message when not completed
};

class Estimator {
  public:
    explicit Estimator(std::filesystem::path dataDir);
    ~Estimator();
    Estimator(const Estimator&) = delete;
    Estimator& operator=(const Estimator&) = delete;

    // False when this build has no effective dose subsystem: every estimate then fails.
    static bool Available();

    // Runs the estimate for a listed exam part: caps the thickness of c at 40 cm, builds the
    // depth dose, fills and prepares the tissue rows and sums the organ doses into
    // dose.effectiveDose (0 when a tissue row's data stopped it). `rowsChanged` tells the organ
    // list window to show the rows. Run-time failures (missing or faulty data files, impossible
    // depths) throw, with dose.effectiveDose 0.
    EstimateOutcome Run(ExposureConditions& c, const XraySpectrum& s, DoseResult& dose,
                        const PhysicsTables& t, const std::function<void()>& rowsChanged);

    // The organ list window over the tissue rows ("Effective Dose"), created hidden; nullptr
    // without the subsystem. The caller owns it.
    QWidget* CreateOrganWindow(QWidget* parent);
    // Shows the rows' current contents in a window made by CreateOrganWindow.
    static void RefreshOrganWindow(QWidget* window);

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace dovex::app
