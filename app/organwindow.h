// SPDX-License-Identifier: MIT
#pragma once
// "Effective Dose": the organ list window. Each of the 16 tissue rows has a tick box, the depth
// range below the entrance surface, the share inside the irradiated volume, the weighting factor
// and the tissue dose; the footer shows the effective dose. The window is a view of the tissue
// rows: what the user ticks or types goes straight into the rows that the next run reads.
#include <QWidget>
#include <array>

#include "effdose/organrows.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace dovex::app {

class OrganListWindow : public QWidget {
    Q_OBJECT
  public:
    OrganListWindow(OrganRows& rows, QWidget* parent = nullptr);

    // Shows the rows as they now stand.
    void refresh();

    QCheckBox* tick(long row) const { return ui_[std::size_t(row - 1)].tick; }
    QLineEdit* startBox(long row) const { return ui_[std::size_t(row - 1)].start; }
    QLineEdit* endBox(long row) const { return ui_[std::size_t(row - 1)].end; }
    QLineEdit* percentBox(long row) const { return ui_[std::size_t(row - 1)].percent; }
    QLabel* doseLabel(long row) const { return ui_[std::size_t(row - 1)].dose; }
    QLabel* totalLabel() const { return total_; }
    QLabel* examPartLabel() const { return part_; }
    QLabel* thicknessLabel() const { return thickness_; }
    QPushButton* depthDoseButton() const { return depthDose_; }

  signals:
    // "深部線量グラフ": the depth-dose chart of the last estimate is wanted.
    void depthDoseRequested();

  private:
    struct RowUi {
        QCheckBox* tick = nullptr;
        QLineEdit* start = nullptr;
        QLineEdit* end = nullptr;
        QLineEdit* percent = nullptr;
        QLabel* dose = nullptr;
    };
    OrganRows& rows_;
    std::array<RowUi, kTissueRows> ui_{};
    QLabel* part_ = nullptr;
    QLabel* thickness_ = nullptr;
    QLabel* total_ = nullptr;
    QPushButton* depthDose_ = nullptr;
    bool refreshing_ = false;
};

}  // namespace dovex::app
