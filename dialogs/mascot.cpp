// SPDX-License-Identifier: MIT
#include "dialogs/mascot.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace dovex::ui {

QPixmap MascotPixmap(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 100.0, size / 100.0);
    const QColor fur(222, 178, 120), dark(120, 78, 40), outline(70, 45, 25);
    p.setPen(QPen(outline, 2));
    // Ears.
    p.setBrush(dark);
    p.drawEllipse(QRectF(8, 18, 26, 46));
    p.drawEllipse(QRectF(66, 18, 26, 46));
    // Head.
    p.setBrush(fur);
    p.drawEllipse(QRectF(20, 14, 60, 66));
    // Muzzle.
    p.setBrush(QColor(250, 236, 210));
    p.drawEllipse(QRectF(32, 48, 36, 28));
    // Eyes and nose.
    p.setPen(Qt::NoPen);
    p.setBrush(outline);
    p.drawEllipse(QRectF(36, 36, 8, 10));
    p.drawEllipse(QRectF(56, 36, 8, 10));
    p.drawEllipse(QRectF(44, 50, 12, 8));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(39, 38, 3, 3));
    p.drawEllipse(QRectF(59, 38, 3, 3));
    // Mouth and tongue.
    p.setPen(QPen(outline, 2));
    p.setBrush(Qt::NoBrush);
    QPainterPath mouth;
    mouth.moveTo(40, 62);
    mouth.quadTo(45, 68, 50, 62);
    mouth.quadTo(55, 68, 60, 62);
    p.drawPath(mouth);
    p.setBrush(QColor(235, 110, 120));
    p.drawEllipse(QRectF(46, 64, 8, 9));
    // Collar.
    p.setBrush(QColor(200, 40, 40));
    p.drawRoundedRect(QRectF(30, 80, 40, 8), 3, 3);
    p.setBrush(QColor(250, 210, 60));
    p.drawEllipse(QRectF(46, 85, 9, 9));
    return pm;
}

MascotLabel::MascotLabel(int size, QWidget* parent) : QLabel(parent) {
    setPixmap(MascotPixmap(size));
    setFixedSize(size, size);
}

void MascotLabel::mouseDoubleClickEvent(QMouseEvent* e) {
    emit doubleClicked();
    e->accept();
}

}  // namespace dovex::ui
