// SPDX-License-Identifier: MIT
#pragma once
// Pieces shared by the auxiliary dialogs: a non-modal dialog window and key hooks.
#include <QObject>
#include <QWidget>
#include <functional>

namespace dovex::ui {

// A non-modal dialog window. The buttons of a dialog hide it, so its controls keep their state
// until the opener resets them; the close box closes it, and the opener may then drop it
// (WA_DeleteOnClose) so that the next opening starts afresh.
class DialogWindow : public QWidget {
    Q_OBJECT
  public:
    explicit DialogWindow(QWidget* parent = nullptr);
    // Shows the window, raises it and gives it the keyboard; while another of the program's
    // dialogs is open, that one is brought to the front instead (ui/soledialog.h).
    void present();

  protected:
    // The exit confirmation opens over any other dialog: ending the program is always possible.
    bool opensOverOthers_ = false;
};

// Calls `action` when Enter (Return or the keypad Enter) is pressed in `w`; the key is consumed.
void OnEnterKey(QWidget* w, std::function<void()> action);
// Calls `action` for every key pressed in `w`; the key is consumed.
void OnAnyKey(QWidget* w, std::function<void()> action);
// Calls `action` when `w` loses the keyboard focus.
void OnFocusOut(QWidget* w, std::function<void()> action);

// True for the Enter keys (Return on the main block, Enter on the keypad).
bool IsEnterKey(int key);

}  // namespace dovex::ui
