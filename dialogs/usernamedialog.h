// SPDX-License-Identifier: MIT
#pragma once
// The user name dialogs: "　ユーザー名登録" (opened by the welcome button in the unnamed state;
// "Cancel" chooses the guest name) and "　ユーザー名変更" (opened by double-clicking the mascot).
#include <functional>

#include "dialogs/dialogbase.h"

class QLineEdit;

namespace dovex::ui {

inline const QString kGuestName = QStringLiteral("ゲストユーザー");

class UserNameDialog : public DialogWindow {
    Q_OBJECT
  public:
    enum class Mode { Registration, Change };
    // `accept` stores a non-empty name (writes the name file, updates the windows) and returns
    // true when it did; on false it has told the user why and the dialog stays open.
    UserNameDialog(Mode mode, std::function<bool(const QString&)> accept,
                   QWidget* parent = nullptr);

    Mode mode() const { return mode_; }
    QLineEdit* nameBox() const { return name_; }
    // "OK".
    void confirm();

  signals:
    // Registration "Cancel".
    void guestChosen();

  private:
    Mode mode_;
    std::function<bool(const QString&)> accept_;
    QLineEdit* name_ = nullptr;
};

}  // namespace dovex::ui
