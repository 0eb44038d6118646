// SPDX-License-Identifier: MIT
#include "ui/pdfpage.h"

#include <QBuffer>
#include <QGraphicsScene>
#include <QGraphicsWidget>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

namespace dovex::ui {

QByteArray PdfPage(const QString& title, const QString& creator, double marginMm,
                   const std::function<void(QPainter&, QPaintDevice&, const QRectF& page)>& paint) {
    QByteArray bytes;
    QBuffer file(&bytes);
    file.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&file);
        pdf.setResolution(300);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(marginMm, marginMm, marginMm, marginMm),
                                      QPageLayout::Millimeter));
        pdf.setTitle(title);
        pdf.setCreator(creator);
        QPainter painter(&pdf);
        paint(painter, pdf, QRectF(QPointF(0, 0), QSizeF(pdf.width(), pdf.height())));
        painter.end();
    }
    file.close();
    return bytes;
}

void DrawChart(QPainter& painter, QGraphicsWidget* chart, const QRectF& target,
               const QSizeF& size) {
    QGraphicsScene scene;
    scene.addItem(chart);  // the scene owns the chart from here
    chart->resize(size);
    scene.setSceneRect(QRectF(QPointF(0, 0), size));
    scene.render(&painter, target, scene.sceneRect(), Qt::KeepAspectRatio);
}

}  // namespace dovex::ui
