// SPDX-License-Identifier: MIT
#pragma once
// The central-axis depth dose of the last estimate: primary, scatter and total (%) against depth
// (cm), with the depth ranges of the ticked tissues shaded and labelled.
#include "app/chartwindow.h"
#include "app/estimate.h"

namespace dovex::app {

// A new chart of the depth dose (the caller owns it).
QChart* MakeDepthDoseChart(const DepthDosePlot& p);

class DepthDoseWindow : public ChartWindow {
    Q_OBJECT
  public:
    explicit DepthDoseWindow(QWidget* parent = nullptr);
    void setPlot(const DepthDosePlot& p);
};

}  // namespace dovex::app
