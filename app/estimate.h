#pragma once
// What the effective dose estimate keeps for the whole run of the program: the scatter-kernel
// reader and the tissue rows, so that ticks and edits in the organ list window survive from run
// to run, and the organ list window over the rows.
#include <filesystem>
#include <memory>

#include "effdose/depthdose.h"
#include "effdose/organrows.h"

class QWidget;

namespace dovex::app {

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

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace dovex::app
