// SPDX-License-Identifier: MIT
#include "dialogs/effdoseprompt.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace dovex::ui {

EffectiveDosePrompt::EffectiveDosePrompt(QWidget* parent) : DialogWindow(parent) {
    setWindowTitle(QStringLiteral(" 実効線量"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* question = new QLabel(QStringLiteral("実効線量 (概算値) を計算しますか？"), this);
    auto* yes = new QPushButton(QStringLiteral("計算する"), this);
    yes->setObjectName("Command1");
    yes->setAutoDefault(false);
    auto* no = new QPushButton(QStringLiteral("計算しない"), this);
    no->setObjectName("Command2");
    no->setAutoDefault(false);
    auto* grid = new QGridLayout(this);
    grid->addWidget(question, 0, 0, 1, 2);
    grid->addWidget(yes, 1, 0);
    grid->addWidget(no, 1, 1);
    connect(yes, &QPushButton::clicked, this, [this] {
        hide();
        emit calculateChosen();
    });
    connect(no, &QPushButton::clicked, this, [this] {
        hide();
        emit notCalculatedChosen();
    });
}

void EffectiveDosePrompt::closeEvent(QCloseEvent* e) {
    emit notCalculatedChosen();
    e->accept();
}

}  // namespace dovex::ui
