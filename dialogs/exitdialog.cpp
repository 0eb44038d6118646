// SPDX-License-Identifier: MIT
#include "dialogs/exitdialog.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "dialogs/mascot.h"
#include "ui/fonts.h"
#include "ui/soledialog.h"

namespace dovex::ui {

ExitDialog::ExitDialog(QWidget* parent) : DialogWindow(parent) {
    setWindowTitle(QStringLiteral("END"));
    opensOverOthers_ = true;
    auto* question = new QLabel(QStringLiteral("Dovex_SE を終了しますか ？"), this);
    question->setObjectName("Label1");
    question->setFont(MappedFont(kFontMeiryo, 12));
    auto* picture = new MascotLabel(72, this);
    picture->setObjectName("Picture1");
    auto* yes = new QPushButton(QStringLiteral("はい"), this);
    yes->setObjectName("Command1");
    yes->setAutoDefault(false);
    auto* no = new QPushButton(QStringLiteral("いいえ"), this);
    no->setObjectName("Command2");
    no->setAutoDefault(false);

    auto* grid = new QGridLayout(this);
    grid->addWidget(picture, 0, 0, 2, 1);
    grid->addWidget(question, 0, 1, 1, 2);
    grid->addWidget(yes, 1, 1);
    grid->addWidget(no, 1, 2);

    connect(yes, &QPushButton::clicked, this, [this] { emit exitConfirmed(); });
    connect(no, &QPushButton::clicked, this, [this] {
        hide();
        emit exitDeclined();
    });
    EscapeCancels(this, [no] { no->click(); });
}

void ExitDialog::closeEvent(QCloseEvent* e) {
    e->accept();
    hide();
    emit closedByCloseBox();
}

}  // namespace dovex::ui
