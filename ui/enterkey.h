// SPDX-License-Identifier: MIT
#pragma once
// Enter on a focused command button presses it. A button of a dialog box does that by itself; a
// button of a plain window (every window of this program is one) would ignore Enter.
class QWidget;

namespace dovex::ui {

// Makes Enter (Return or the keypad Enter) on any focused, enabled push button of `window` click
// it, also on buttons added later. Enter in an entry box keeps the entry's own meaning.
void EnterPressesFocusedButtons(QWidget* window);

}  // namespace dovex::ui
