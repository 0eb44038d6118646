// SPDX-License-Identifier: MIT
#include "dialogs/arbitraryfilterdialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "engine/error.h"
#include "engine/material.h"
#include "engine/numtext.h"
#include "ui/fonts.h"
#include "ui/messenger.h"
#include "ui/numberentry.h"
#include "ui/soledialog.h"

namespace dovex::ui {
namespace {

QString FromPath(const std::filesystem::path& p) {
    const std::u8string s = p.u8string();
    return QString::fromUtf8(reinterpret_cast<const char*>(s.data()), qsizetype(s.size()));
}

std::filesystem::path ToPath(const QString& s) {
    const QByteArray u = s.toUtf8();
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(u.constData()), std::size_t(u.size())));
}

void Complain(QWidget* parent, const QString& text) {
    messenger().beep();
    messenger().show(parent, text, Icon::Exclamation);
}

}  // namespace

ArbitraryFilterDialog::ArbitraryFilterDialog(std::filesystem::path folder, QWidget* parent)
    : DialogWindow(parent), folder_(std::move(folder)) {
    setWindowTitle(QStringLiteral("  任意フィルター設定"));

    auto* listHead = new QLabel(QStringLiteral("フィルター材質の選択"), this);
    listHead->setObjectName("Label1");
    files_ = new QListWidget(this);
    files_->setObjectName("File1");
    files_->setMinimumSize(170, 200);

    auto* materialHead = new QLabel(QStringLiteral("材質"), this);
    materialHead->setObjectName("Label4");
    material_ = new QLabel(this);
    material_->setObjectName("Label5");
    material_->setFrameShape(QFrame::Panel);
    material_->setFrameShadow(QFrame::Sunken);
    material_->setMinimumWidth(170);
    material_->setFont(MappedFont(kFontMeiryo, 11));
    auto* thickHead = new QLabel(QStringLiteral("厚さ"), this);
    thickHead->setObjectName("Label2");
    thickness_ = new QLineEdit(this);
    thickness_->setObjectName("Text2");
    thickness_->setFont(MappedFont(kFontMeiryo, 11));
    thickness_->setFixedWidth(90);
    thickness_->setAlignment(Qt::AlignRight);
    auto* mm = new QLabel(QStringLiteral("mm"), this);
    mm->setObjectName("Label3");

    auto* apply = new QPushButton(QStringLiteral("設 定"), this);
    apply->setObjectName("Command1");
    apply->setAutoDefault(false);
    applyButton_ = apply;
    auto* remove = new QPushButton(QStringLiteral("解 除"), this);
    remove->setObjectName("Command2");
    remove->setToolTip(QStringLiteral("任意フィルターの設定を解除します"));
    remove->setAutoDefault(false);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName("Command3");
    cancel->setAutoDefault(false);

    auto* note = new QVBoxLayout;
    const char* noteNames[] = {"Label6", "Label7", "Label8", "Label9"};
    const QString noteTexts[] = {QStringLiteral("左のリストに含まれていない物質を"),
                                 QStringLiteral("付加フィルターに使用する方法は"),
                                 QStringLiteral("”はじめにお読み下さい.txt” "),
                                 QStringLiteral("に記載してあります。")};
    for (int i = 0; i < 4; ++i) {
        auto* l = new QLabel(noteTexts[i], this);
        l->setObjectName(noteNames[i]);
        l->setFont(MappedFont(kFontMeiryo, 9));
        note->addWidget(l);
    }

    auto* grid = new QGridLayout(this);
    grid->addWidget(listHead, 0, 0);
    grid->addWidget(files_, 1, 0, 6, 1);
    grid->addWidget(materialHead, 1, 1);
    grid->addWidget(material_, 1, 2, 1, 2);
    grid->addWidget(thickHead, 2, 1);
    grid->addWidget(thickness_, 2, 2);
    grid->addWidget(mm, 2, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(apply);
    buttons->addWidget(remove);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 3, 1, 1, 3);
    grid->addLayout(note, 4, 1, 2, 3);
    grid->setRowStretch(6, 1);

    // A file is chosen by selecting it (click, or the arrow keys). The list's own focus handling
    // makes its first entry current without selecting it when it first gets the keyboard; that
    // is no choice of the user's.
    connect(files_, &QListWidget::itemSelectionChanged, this, [this] { fileChosen(); });
    OnEnterKey(thickness_, [this] {
        if (!thickness_->text().isEmpty()) applyButton_->setFocus();
    });
    connect(apply, &QPushButton::clicked, this, [this] { applyCommand(); });
    connect(remove, &QPushButton::clicked, this, [this] { removeCommand(); });
    connect(cancel, &QPushButton::clicked, this, [this] { hide(); });
    EscapeCancels(this, [cancel] { cancel->click(); });
}

void ArbitraryFilterDialog::openFresh() {
    material_->clear();
    thickness_->clear();
    present();
    refreshList();
}

void ArbitraryFilterDialog::refreshList() {
    const QSignalBlocker block(files_);
    files_->clear();
    try {
        for (const auto& p : ListMaterialFiles(folder_)) files_->addItem(FromPath(p.filename()));
    } catch (const std::exception&) {
        // An unreadable folder shows an empty list.
    }
    files_->clearSelection();
    files_->setCurrentRow(-1);
}

std::filesystem::path ArbitraryFilterDialog::selectedFile() const {
    const QList<QListWidgetItem*> chosen = files_->selectedItems();
    if (chosen.isEmpty()) return {};
    return folder_ / ToPath(chosen.front()->text());
}

void ArbitraryFilterDialog::fileChosen() {
    const auto file = selectedFile();
    if (file.empty()) return;
    try {
        material_->setText(QString::fromStdString(ReadMaterialName(file)));
    } catch (const std::exception& e) {
        material_->clear();
        Complain(this, QStringLiteral("　フィルター材質ファイルを読み込めません　\n") +
                           QString::fromUtf8(e.what()));
        return;
    }
    thickness_->setFocus();
}

void ArbitraryFilterDialog::applyCommand() {
    const auto file = selectedFile();
    if (file.empty()) {
        Complain(this, QStringLiteral("　フィルター材質が未選択です　"));
        return;
    }
    const NumberEntry typed = ReadNumberEntry(thickness_->text());
    if (typed.problem == NumberEntry::Problem::TextAfter) {
        Complain(this, NumberEntryMessage(typed, QStringLiteral("フィルターの厚さ")));
        return;
    }
    const double mm = typed.value;
    if (!typed.ok() || !(mm > 0) || !std::isfinite(mm)) {
        Complain(this, QStringLiteral("　フィルターの厚さを入力して下さい　"));
        return;
    }
    Choice c;
    try {
        const MaterialTable table = ReadMaterialFile(file);
        c.materialName = QString::fromStdString(table.name);
        c.mu = BuildArbitraryFilterMu(table);
    } catch (const std::exception& e) {
        // A faulty material file is refused; the filter stays as it was.
        Complain(this, QStringLiteral("　フィルター材質ファイルに誤りがあります　\n") +
                           QString::fromUtf8(e.what()));
        return;
    }
    c.thicknessText = typed.text;
    c.thicknessCm = mm * 0.1;
    material_->setText(c.materialName);
    if (onSet) onSet(c);
    hide();
}

void ArbitraryFilterDialog::removeCommand() {
    if (onRemove) onRemove();
    hide();
}

}  // namespace dovex::ui
