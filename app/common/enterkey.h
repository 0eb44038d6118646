#pragma once
// Enter on a focused command button presses it. A button of a dialog box does that by itself; a
// button of a plain window (every window of this program is one) ignores Enter and passes it on
// to its window, where this hook catches it.
class QWidget;

namespace dovex::ui {

// Makes Enter (Return or the keypad Enter) on any focused, enabled push button of `window` click
// it. Enter in an entry box still goes to the entry's own handling first.
void EnterPressesFocusedButtons(QWidget* window);

}  // namespace dovex::ui
