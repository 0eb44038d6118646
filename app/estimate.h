// SPDX-License-Identifier: MIT
#pragma once
// What the effective dose estimate keeps for the whole run of the program: the scatter-kernel
// reader and the tissue rows, so that ticks and edits in the organ list window survive from run
// to run, and the organ list window over the rows.
#include <QString>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "effdose/depthdose.h"
#include "effdose/organrows.h"

class QWidget;

namespace dovex::app {

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

// The organ list of the last estimate as the report tabulates it: one row per tissue.
struct OrganTable {
    struct Row {
        QString name;     // "乳房"
        QString weight;   // the tissue weighting factor as shown, "0.12"
        QString depth;    // "3.0 ～ 17.0" cm, or "-"
        QString percent;  // share inside the irradiated volume, per cent
        QString dose;     // weighted contribution to the effective dose, μSv, or "-"
        bool ticked = false;
    };
    QString examPart;
    QString thickness;  // "被写体厚 = 20 cm"
    QString total;      // effective dose, mSv
    std::vector<Row> rows;
    bool empty() const { return rows.empty(); }
};

class Estimator {
  public:
    explicit Estimator(std::filesystem::path dataDir);
    ~Estimator();
    Estimator(const Estimator&) = delete;
    Estimator& operator=(const Estimator&) = delete;

    // The scatter kernels (read again for every estimate, reparsed only when changed) and the
    // tissue rows that the calculation fills and the organ list window shows.
    KernelSource& kernels();
    OrganRows& rows();

    // The organ list window over the tissue rows ("Effective Dose"), created hidden. The caller
    // owns it.
    QWidget* CreateOrganWindow(QWidget* parent);
    // Shows the rows' current contents in a window made by CreateOrganWindow.
    static void RefreshOrganWindow(QWidget* window);

    // The depth dose of the last completed run with the tissues ticked now (empty before a run
    // or after a failed one), and the organ list as text lines (empty likewise).
    DepthDosePlot depthDosePlot() const;
    // Records the depth dose of a finished run (completed: the estimate was made) and redraws an
    // open depth-dose chart with it.
    void recordRun(const DepthDoseCurve& curve, double thicknessCm, const std::string& examPart,
                   bool completed);
    std::vector<std::string> organTableLines() const;
    OrganTable organTable() const;
    // A calculation of `examPart` made no estimate: the tissue doses and the effective dose of an
    // earlier one are removed from the rows (the ticks and depths the user set stay).
    void clearEstimate(const std::string& examPart);

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace dovex::app
