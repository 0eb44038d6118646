// SPDX-License-Identifier: MIT
#pragma once
// A text kept inside its table cell, on the window's surface and on the printed page alike.
#include <QPointF>
#include <QString>

class QPainter;

namespace dovex::ui {

// The narrowest a text is drawn before it is cut: below this its glyphs become hard to read.
inline constexpr double kNarrowestStretch = 0.7;

// Draws `text` in the painter's font with its baseline starting at `base`, within `room` pixels
// (0: no limit). A text that does not fit is drawn narrower, down to kNarrowestStretch of its
// width; one that still does not fit is cut and ends with "…".
void DrawFittedText(QPainter& p, QPointF base, const QString& text, double room);

}  // namespace dovex::ui
