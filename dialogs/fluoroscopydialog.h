// SPDX-License-Identifier: MIT
#pragma once
// "  透視モード設定": the average tube current of continuous or pulsed fluoroscopy, which "OK"
// writes into the tube current of the conditions.
#include "dialogs/dialogbase.h"

class QLineEdit;
class QRadioButton;
class QPushButton;

namespace dovex::ui {

class FluoroscopyDialog : public DialogWindow {
    Q_OBJECT
  public:
    explicit FluoroscopyDialog(QWidget* parent = nullptr);

    // Opening from the main window: continuous mode, all four boxes empty, pulse boxes disabled.
    void openFresh();
    // The picture button: fills the average tube current box (or explains what is missing).
    void computeAverage();

    QLineEdit* currentBox() const { return current_; }
    QLineEdit* rateBox() const { return rate_; }
    QLineEdit* widthBox() const { return width_; }
    QLineEdit* averageBox() const { return average_; }
    QRadioButton* continuousOption() const { return continuous_; }
    QRadioButton* pulsedOption() const { return pulsed_; }

  signals:
    // "OK": the number of the average box (0 when it is empty or not a number).
    void tubeCurrentChosen(double mA);

  private:
    void modeChanged();

    QRadioButton* continuous_ = nullptr;
    QRadioButton* pulsed_ = nullptr;
    QLineEdit* current_ = nullptr;
    QLineEdit* rate_ = nullptr;
    QLineEdit* width_ = nullptr;
    QLineEdit* average_ = nullptr;
};

}  // namespace dovex::ui
