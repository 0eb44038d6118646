// SPDX-License-Identifier: MIT
#include "ui/resultfield.h"

#include "ui/fonts.h"

namespace dovex::ui {

QLabel* ResultField(QWidget* parent, const char* name, double points, int minWidth) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setFont(MappedFont(kFontMeiryo, points));
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setMinimumWidth(minWidth);
    l->setAutoFillBackground(true);
    QPalette p = l->palette();
    p.setColor(QPalette::Window, Qt::white);
    l->setPalette(p);
    return l;
}

}  // namespace dovex::ui
