// SPDX-License-Identifier: MIT
#include "results/gui/fittext.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>

namespace dovex::ui {

void DrawFittedText(QPainter& p, QPointF base, const QString& text, double room) {
    const QFontMetricsF fm(p.font());
    double width = fm.horizontalAdvance(text);
    if (room <= 0 || width <= room) {
        p.drawText(base, text);
        return;
    }
    QString shown = text;
    if (width * kNarrowestStretch > room) {
        shown = fm.elidedText(text, Qt::ElideRight, room / kNarrowestStretch);
        width = fm.horizontalAdvance(shown);
    }
    p.save();
    p.translate(base);
    p.scale(std::min(1.0, room / std::max(width, 1.0)), 1);
    p.drawText(QPointF(0, 0), shown);
    p.restore();
}

}  // namespace dovex::ui
