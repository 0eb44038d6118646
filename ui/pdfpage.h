// SPDX-License-Identifier: MIT
#pragma once
// One A4 page of PDF made in memory (the caller writes it with the program's one file writer),
// and a chart drawn onto any page as vector graphics: the printed report and the survey page.
#include <QByteArray>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <functional>

class QGraphicsWidget;
class QPaintDevice;
class QPainter;

namespace dovex::ui {

// An A4 portrait page at 300 dpi with `marginMm` on every side, drawn by `paint` in the
// coordinates of the printable area (`page` starts at 0, 0); the PDF's bytes.
QByteArray PdfPage(const QString& title, const QString& creator, double marginMm,
                   const std::function<void(QPainter&, QPaintDevice&, const QRectF& page)>& paint);

// Lays `chart` (a chart or any graphics widget; this call takes it over) out at `size` and draws
// it into `target`, keeping its proportions.
void DrawChart(QPainter& painter, QGraphicsWidget* chart, const QRectF& target, const QSizeF& size);

}  // namespace dovex::ui
