// SPDX-License-Identifier: MIT
#pragma once
// "線質": the beam quality of the last calculation (first and second half-value layers,
// effective energy, quality index) and the national diagnostic reference level of its exam part
// with this exposure's entrance surface dose as a percentage of it. The group also carries the
// commands that show the spectrum and save the one-page report.
#include <QGroupBox>

#include "engine/beamquality.h"
#include "engine/drl.h"

class QLabel;
class QPushButton;

namespace dovex::app {

class QualityPanel : public QGroupBox {
    Q_OBJECT
  public:
    explicit QualityPanel(QWidget* parent = nullptr);

    // Fills the fields after a calculation and enables the commands.
    void showQuality(const BeamQuality& q);
    // The reference-level line: the level and the percentage (red above 100 %), "DRL なし" for
    // an exam part without a level, or `problem` when the reference-level file could not be read.
    void showDrl(const DrlComparison& c, const QString& problem = {});
    // Empties every field and disables the commands, as the other result fields are emptied.
    void clear();

    QLabel* hvl1Label() const { return hvl1_; }
    QLabel* hvl2Label() const { return hvl2_; }
    QLabel* effectiveEnergyLabel() const { return effEnergy_; }
    QLabel* qualityIndexLabel() const { return qi_; }
    QLabel* drlLabel() const { return drl_; }
    QLabel* drlPercentLabel() const { return drlPercent_; }
    QPushButton* spectrumButton() const { return spectrum_; }
    QPushButton* reportButton() const { return report_; }

  signals:
    void spectrumRequested();
    void reportRequested();

  private:
    QLabel* hvl1_ = nullptr;
    QLabel* hvl2_ = nullptr;
    QLabel* effEnergy_ = nullptr;
    QLabel* qi_ = nullptr;
    QLabel* drlItem_ = nullptr;
    QLabel* drl_ = nullptr;
    QLabel* drlPercent_ = nullptr;
    QPushButton* spectrum_ = nullptr;
    QPushButton* report_ = nullptr;
};

// Texts of the values as the panel and the report show them.
QString QualityText(double value, const char* pattern);
QString DrlPercentText(const DrlComparison& c);

}  // namespace dovex::app
