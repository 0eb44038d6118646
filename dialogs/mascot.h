// SPDX-License-Identifier: MIT
#pragma once
// The mascot dog of the main window and the exit confirmation, drawn rather than loaded so that
// the program needs no image files.
#include <QLabel>
#include <QPixmap>

namespace dovex::ui {

// The mascot at the given edge length in pixels.
QPixmap MascotPixmap(int size);

// A picture label showing the mascot that reports double clicks.
class MascotLabel : public QLabel {
    Q_OBJECT
  public:
    explicit MascotLabel(int size, QWidget* parent = nullptr);
  signals:
    void doubleClicked();

  protected:
    void mouseDoubleClickEvent(QMouseEvent* e) override;
};

}  // namespace dovex::ui
