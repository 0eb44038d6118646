// SPDX-License-Identifier: MIT
#pragma once
// "  実測照射線量入力": the exposure at 1 m from the focus as a measured value in C/kg, R or Gy
// (air kerma), replacing the default tube output data.
#include <functional>

#include "dialogs/conversions.h"
#include "dialogs/dialogbase.h"

class QLineEdit;
class QRadioButton;
class QPushButton;

namespace dovex::ui {

class MeasuredExposureDialog : public DialogWindow {
    Q_OBJECT
  public:
    // `airWOverE` gives the current W value of air (a results file read may change it).
    MeasuredExposureDialog(std::function<double()> airWOverE, QWidget* parent = nullptr);

    // Opening from the main window: the box is emptied, the dialog shown and the box focused;
    // the unit keeps the previous choice.
    void openForEntry();

    ExposureUnit unit() const;
    QLineEdit* valueBox() const { return value_; }

  signals:
    // A valid positive value was confirmed, in C/kg.
    void measuredAccepted(double cPerKg);
    // Leaving without a valid value: the calculation goes back to the default output data.
    void defaultOutputRequested();

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    void accept();

    std::function<double()> airWOverE_;
    QLineEdit* value_ = nullptr;
    QRadioButton* unitC_ = nullptr;
    QRadioButton* unitR_ = nullptr;
    QRadioButton* unitGy_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace dovex::ui
