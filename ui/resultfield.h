// SPDX-License-Identifier: MIT
#pragma once
// The field a window shows a result in: sunken, white, right-aligned, in メイリオ.
#include <QLabel>

namespace dovex::ui {

// A result field with the object name `name`, in メイリオ of `points`, at least `minWidth`
// pixels wide.
QLabel* ResultField(QWidget* parent, const char* name, double points, int minWidth);

}  // namespace dovex::ui
