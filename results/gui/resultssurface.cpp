// SPDX-License-Identifier: MIT
#include "results/gui/resultssurface.h"

#include <QPainter>
#include <QPen>
#include <algorithm>

#include "results/gui/fittext.h"
#include "ui/fonts.h"

namespace dovex::ui {
namespace {

// Points per surface unit across (15.3 twips) and down. A unit is 9 twips (0.45 pt) down at the
// surface's natural size; the fonts are sized as if it were 0.62 pt, so that the upper and lower
// line of a row band (24 units apart) stay clear of each other with the tall CJK glyphs.
constexpr double kPtPerUnitX = 15.3 / 20.0;
constexpr double kPtPerUnitY = 0.62;
// Where the baseline of a text line lies below its top, as a fraction of the em: the middle
// line of a band is then centred between the band's rules.
constexpr double kBaselineEm = 0.92;

}  // namespace

double SurfaceFontPixels(double pointSize, const QSizeF& size) {
    const double sx = size.width() / kSurfaceWidth;
    const double sy = size.height() / kSurfaceHeight;
    // One em in surface units, then in pixels by the tighter of the two scales, so that the
    // glyphs keep their shape and fit the columns however the window is stretched.
    return std::max(1.0, std::min(pointSize / kPtPerUnitX * sx, pointSize / kPtPerUnitY * sy));
}

ResultsSurface::ResultsSurface(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ResultsSurface::clear() {
    texts_.clear();
    boxes_.clear();
    order_.clear();
    update();
}

void ResultsSurface::drawText(const PlacedText& t, const QString& face, double pointSize,
                              const QColor& color) {
    texts_.push_back(
        {t.x, t.y, QString::fromStdString(t.text), face, pointSize, color, t.maxWidth});
    order_.push_back({false, texts_.size() - 1});
    update();
}

void ResultsSurface::fillWhiteBox(double x1, double y1, double x2, double y2) {
    boxes_.push_back({x1, y1, x2, y2});
    order_.push_back({true, boxes_.size() - 1});
    update();
}

void ResultsSurface::setFrameVisible(bool on) {
    frame_ = on;
    update();
}

QString ResultsSurface::textAt(double x, double y) const {
    for (auto it = order_.rbegin(); it != order_.rend(); ++it) {
        if (it->box) {
            const BoxItem& b = boxes_[it->index];
            if (x >= b.x1 && x < b.x2 && y >= b.y1 && y < b.y2) return {};
            continue;
        }
        const TextItem& t = texts_[it->index];
        if (t.x == x && t.y == y) return t.text;
    }
    return {};
}

QPointF ResultsSurface::toWidget(double x, double y) const {
    return {x * width() / kSurfaceWidth, y * height() / kSurfaceHeight};
}

void ResultsSurface::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    const QSizeF sz = size();

    for (const Op& op : order_) {
        if (op.box) {
            const BoxItem& b = boxes_[op.index];
            p.fillRect(QRectF(toWidget(b.x1, b.y1), toWidget(b.x2, b.y2)), Qt::white);
            continue;
        }
        const TextItem& t = texts_[op.index];
        QFont f = MappedFont(t.face, t.pointSize);
        const double px = SurfaceFontPixels(t.pointSize, sz);
        f.setPixelSize(std::max(1, static_cast<int>(px + 0.5)));
        p.setFont(f);
        p.setPen(t.color);
        QPointF at = toWidget(t.x, t.y);
        const QPointF base(at.x(), at.y() + kBaselineEm * f.pixelSize());
        // Narrower, or cut, rather than over the next column.
        DrawFittedText(p, base, t.text, t.maxWidth * width() / kSurfaceWidth);
    }
    // The grid lines lie over the drawing, as line controls lie over a picture box.
    if (frame_) {
        const double k = std::min(width() / 1180.0, height() / 545.0);
        for (const PlacedLine& l : SurfaceGridLines()) {
            QPen pen(QColor(l.grey, l.grey, l.grey));
            pen.setWidthF(std::max(1.0, l.width * k));
            pen.setCapStyle(Qt::FlatCap);
            p.setPen(pen);
            p.drawLine(toWidget(l.x1, l.y1), toWidget(l.x2, l.y2));
        }
    }
}

}  // namespace dovex::ui
