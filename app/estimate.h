#pragma once
// The effective dose estimate of one calculation run: depth dose from the scatter kernels, the
// exam part's organ data into the tissue rows, the rows prepared for the run, and the organ and
// effective doses. The tissue rows live here for the whole run of the program, so that ticks and
// edits in the organ list window survive from run to run.
#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

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

// The central-axis depth dose of the last estimate as the depth-dose chart and the report draw
// it: layer centres (cm) with primary, scatter and total in per cent of the first layer's total,
// and the depth ranges of the ticked tissues.
struct DepthDosePlot {
    struct Band {
        QString name;
        double fromCm = 0, toCm = 0;
    };
    QString examPart;
    double thicknessCm = 0;
    std::vector<double> depthCm, primary, scatter, total;
    std::vector<Band> bands;
    bool empty() const { return depthCm.empty(); }
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

    // The depth dose of the last completed run with the tissues ticked now (empty before a run
    // or after a failed one), and the organ list as text lines (empty likewise).
    DepthDosePlot depthDosePlot() const;
    std::vector<std::string> organTableLines() const;

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace dovex::app
