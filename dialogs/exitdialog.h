// SPDX-License-Identifier: MIT
#pragma once
// "END": the exit confirmation. "はい" ends the program at once without saving anything;
// "いいえ" returns to the main window.
#include "dialogs/dialogbase.h"

namespace dovex::ui {

class ExitDialog : public DialogWindow {
    Q_OBJECT
  public:
    explicit ExitDialog(QWidget* parent = nullptr);

  signals:
    void exitConfirmed();  // "はい"
    void exitDeclined();   // "いいえ" (the dialog hides itself first)
    void closedByCloseBox();

  protected:
    void closeEvent(QCloseEvent* e) override;
};

}  // namespace dovex::ui
