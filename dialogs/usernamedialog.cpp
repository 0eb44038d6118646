// SPDX-License-Identifier: MIT
#include "dialogs/usernamedialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/fonts.h"
#include "ui/messenger.h"

namespace dovex::ui {
namespace {

QLabel* Caption(QWidget* parent, const char* name, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

}  // namespace

UserNameDialog::UserNameDialog(Mode mode, std::function<bool(const QString&)> accept,
                               QWidget* parent)
    : DialogWindow(parent), mode_(mode), accept_(std::move(accept)) {
    auto* layout = new QVBoxLayout(this);
    name_ = new QLineEdit(this);
    name_->setObjectName("Text1");
    name_->setFont(MappedFont(kFontMeiryo, 12));
    name_->setMinimumWidth(320);
    if (mode == Mode::Registration) {
        setWindowTitle(QStringLiteral("　ユーザー名登録"));
        auto* welcome = Caption(this, "Label2", QStringLiteral("ようこそ Dovex_SE へ"));
        welcome->setFont(MappedFont(kFontMeiryo, 14));
        layout->addWidget(welcome);
        layout->addWidget(Caption(this, "Label1", QStringLiteral("ユーザー名を入力して下さい")));
        name_->setText(QStringLiteral("放射線科 一郎"));
    } else {
        setWindowTitle(QStringLiteral("　ユーザー名変更"));
        layout->addWidget(
            Caption(this, "Label1", QStringLiteral("新しいユーザー名を入力して下さい")));
    }
    layout->addWidget(name_);
    layout->addWidget(
        Caption(this, "Label3", QStringLiteral("漢字，アルファベット，数字，記号 何でも OK")));
    layout->addWidget(
        Caption(this, "Label8", QStringLiteral("本名，ニックネーム，施設名，グループ名 など")));
    if (mode == Mode::Registration) {
        layout->addSpacing(6);
        layout->addWidget(Caption(
            this, "Label6", QStringLiteral("初期画面上右端のマスコット犬をダブルクリックすると")));
        layout->addWidget(Caption(this, "Label5", QStringLiteral("ユーザー名を変更できます")));
    }
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName("Command1");
    ok->setAutoDefault(false);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName("Command2");
    cancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    // Enter in the name box moves on to OK, as in the other dialogs.
    OnEnterKey(name_, [ok] { ok->setFocus(); });
    connect(ok, &QPushButton::clicked, this, [this] { confirm(); });
    connect(cancel, &QPushButton::clicked, this, [this] {
        if (mode_ == Mode::Registration) emit guestChosen();
        hide();
    });
}

void UserNameDialog::confirm() {
    const QString name = name_->text();
    if (name.isEmpty()) {
        messenger().show(this, QStringLiteral("名前が入力されていません"), Icon::Exclamation);
        return;
    }
    if (accept_ && accept_(name)) hide();
}

}  // namespace dovex::ui
