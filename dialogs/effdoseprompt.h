// SPDX-License-Identifier: MIT
#pragma once
// " 実効線量": asks whether an effective dose estimate is wanted. No step of the calculation
// opens it; it is kept for a flow that offers the estimate as a separate step.
#include "dialogs/dialogbase.h"

namespace dovex::ui {

class EffectiveDosePrompt : public DialogWindow {
    Q_OBJECT
  public:
    explicit EffectiveDosePrompt(QWidget* parent = nullptr);

  signals:
    void calculateChosen();      // "計算する" (the prompt hides itself first)
    void notCalculatedChosen();  // "計算しない" or the close box

  protected:
    void closeEvent(QCloseEvent* e) override;
};

}  // namespace dovex::ui
