// SPDX-License-Identifier: MIT
#pragma once
// The program's dialogs (data save and read, arbitrary filter, fluoroscopy, measured exposure,
// user name, exit confirmation) as a user works them with the keyboard: Escape is Cancel, and
// only one of them is open at a time, so that no two of them change the same conditions at once.
#include <functional>

class QWidget;

namespace dovex::ui {

// Escape pressed anywhere in `dialog` does what its Cancel does.
void EscapeCancels(QWidget* dialog, std::function<void()> cancel);

// Makes `dialog` one of the dialogs of which only one is open at a time.
void JoinSoleDialogs(QWidget* dialog);

// Whether `dialog` may be shown now: no other of the joined dialogs is open. When one is, it is
// brought to the front instead (with a beep) and false is returned.
bool MayOpenSoleDialog(QWidget* dialog);

}  // namespace dovex::ui
