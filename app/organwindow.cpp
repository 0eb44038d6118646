// SPDX-License-Identifier: MIT
#include "app/organwindow.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <optional>
#include <string>

#include "ui/enterkey.h"
#include "ui/fonts.h"

namespace dovex::app {
namespace {

using ui::kFontMeiryo;
using ui::MappedFont;

// Control names of the rows, top to bottom: tick box, start, end, percentage, dose label; and
// the tick box's caption, with the blanks and dashes that line the captions up.
struct RowNames {
    const char* check;
    const char* start;
    const char* end;
    const char* percent;
    const char* dose;
    const char* caption;
};
constexpr RowNames kRowNames[kTissueRows] = {
    {"Check1", "Text1", "Text2", "Text31", "Label41", " 乳房　 ―"},
    {"Check2", "Text3", "Text4", "Text32", "Label42", "骨髄(赤色) "},
    {"Check3", "Text5", "Text6", "Text33", "Label43", " 結腸　 ―"},
    {"Check4", "Text7", "Text8", "Text34", "Label44", "　肺 　 ―"},
    {"Check5", "Text9", "Text10", "Text35", "Label45", "　胃 　 ―"},
    {"Check6", "Text11", "Text12", "Text36", "Label46", "生殖腺  ―"},
    {"Check7", "Text13", "Text14", "Text37", "Label47", "甲状腺  ―"},
    {"Check8", "Text15", "Text16", "Text38", "Label48", " 食道　 ―"},
    {"Check9", "Text17", "Text18", "Text39", "Label49", " 肝臓　 ―"},
    {"Check10", "Text19", "Text20", "Text40", "Label50", " 膀胱　 ―"},
    {"Check11", "Text21", "Text22", "Text41", "Label51", "骨表面  ―"},
    {"Check12", "Text23", "Text24", "Text42", "Label52", "入射皮膚面"},
    {"Check16", "Text46", "Text47", "Text48", "Label29", "射出皮膚面"},
    {"Check13", "Text25", "Text26", "Text43", "Label53", "　脳 　 ―"},
    {"Check14", "Text27", "Text28", "Text44", "Label54", "唾液腺  ―"},
    {"Check15", "Text29", "Text30", "Text45", "Label55", "残りの組織"},
};

QLabel* Heading(QWidget* parent, const char* name, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setAlignment(Qt::AlignCenter);
    return l;
}

QLineEdit* Box(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setFixedWidth(64);
    e->setAlignment(Qt::AlignRight);
    return e;
}

std::optional<double> BoxValue(const QString& text) { return ReadTissueBox(text.toStdString()); }

// Shows a row's value in its box; a text a user typed that reads as that value stays as typed.
void ShowBox(QLineEdit* box, const std::optional<double>& value, const std::string& shown) {
    const std::optional<double> now = BoxValue(box->text());
    const bool same =
        value ? now && *now == *value : !now && !box->text().isEmpty() && shown.empty();
    if (!same) box->setText(QString::fromStdString(shown));
}

Qt::CheckState ToCheck(TickState t) {
    switch (t) {
        case TickState::Checked:
            return Qt::Checked;
        case TickState::Grey:
            return Qt::PartiallyChecked;
        case TickState::Unchecked:
            break;
    }
    return Qt::Unchecked;
}

TickState FromCheck(Qt::CheckState s) {
    switch (s) {
        case Qt::Checked:
            return TickState::Checked;
        case Qt::PartiallyChecked:
            return TickState::Grey;
        case Qt::Unchecked:
            break;
    }
    return TickState::Unchecked;
}

}  // namespace

OrganListWindow::OrganListWindow(OrganRows& rows, QWidget* parent)
    : QWidget(parent, Qt::Window), rows_(rows) {
    setWindowTitle(QStringLiteral("Effective Dose"));
    setFont(MappedFont(kFontMeiryo, 10));
    ui::EnterPressesFocusedButtons(this);

    auto* heading = new QLabel(QStringLiteral("実効線量の概算 (参考データ) "), this);
    heading->setObjectName("Label60");
    heading->setFont(MappedFont(kFontMeiryo, 14));
    part_ = new QLabel(QStringLiteral("撮影部位"), this);
    part_->setObjectName("Label71");
    part_->setFont(MappedFont(kFontMeiryo, 12));
    thickness_ = new QLabel(QStringLiteral("被射体厚"), this);
    thickness_->setObjectName("Label72");
    thickness_->setFont(MappedFont(kFontMeiryo, 12));
    auto* top = new QHBoxLayout;
    top->addWidget(heading);
    top->addSpacing(24);
    top->addWidget(part_);
    top->addSpacing(24);
    top->addWidget(thickness_);
    top->addStretch();

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);
    // Column headings.
    grid->addWidget(Heading(this, "Label1", QStringLiteral("組織・臓器")), 0, 0, 2, 1);
    grid->addWidget(Heading(this, "Label61", QStringLiteral("組織・臓器の厚さ")), 0, 1, 1, 3);
    grid->addWidget(Heading(this, "Label33", QStringLiteral("表面からの深さ cm")), 1, 1, 1, 3);
    auto* share = new QVBoxLayout;
    share->setSpacing(0);
    const char* shareNames[] = {"Label36", "Label37", "Label38", "Label39"};
    const QString shareTexts[] = {QStringLiteral("対象組織のうち"), QStringLiteral("照射容積に"),
                                  QStringLiteral("含まれる"), QStringLiteral("割合 %")};
    for (int i = 0; i < 4; ++i) share->addWidget(Heading(this, shareNames[i], shareTexts[i]));
    grid->addLayout(share, 0, 4, 2, 1);
    grid->addWidget(Heading(this, "Label2", QStringLiteral("組織荷重")), 0, 5);
    grid->addWidget(Heading(this, "Label34", QStringLiteral("係数 W")), 1, 5);
    // Each row's value is its tissue's weighted share of the effective dose (w × H).
    grid->addWidget(Heading(this, "Label40", QStringLiteral("実効線量への寄与")), 0, 6);
    grid->addWidget(Heading(this, "Label56", QStringLiteral("w×H  μSv")), 1, 6);
    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    grid->addWidget(rule, 2, 0, 1, 7);

    for (long r = 1; r <= kTissueRows; ++r) {
        const RowNames& n = kRowNames[r - 1];
        const TissueInfo& info = TissueInfoOf(r);
        RowUi& u = ui_[std::size_t(r - 1)];
        const int gr = int(r) + 2;
        u.tick = new QCheckBox(QString::fromUtf8(n.caption), this);
        u.tick->setObjectName(n.check);
        u.start = Box(this, n.start);
        u.end = Box(this, n.end);
        u.percent = Box(this, n.percent);
        u.dose = new QLabel(this);
        u.dose->setObjectName(n.dose);
        u.dose->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        u.dose->setMinimumWidth(90);
        u.dose->setFrameShape(QFrame::Panel);
        u.dose->setFrameShadow(QFrame::Sunken);
        auto* weight = new QLabel(QString::fromUtf8(info.weightText), this);
        weight->setAlignment(Qt::AlignCenter);
        grid->addWidget(u.tick, gr, 0);
        grid->addWidget(u.start, gr, 1);
        grid->addWidget(new QLabel(QStringLiteral("～"), this), gr, 2, Qt::AlignCenter);
        grid->addWidget(u.end, gr, 3);
        grid->addWidget(u.percent, gr, 4, Qt::AlignCenter);
        grid->addWidget(weight, gr, 5);
        grid->addWidget(u.dose, gr, 6);

        connect(u.tick, &QCheckBox::stateChanged, this, [this, r](int state) {
            if (!refreshing_) rows_.rows[r].tick = FromCheck(Qt::CheckState(state));
        });
        connect(u.start, &QLineEdit::textChanged, this, [this, r](const QString& t) {
            if (!refreshing_) rows_.rows[r].startDepth = BoxValue(t);
        });
        connect(u.end, &QLineEdit::textChanged, this, [this, r](const QString& t) {
            if (!refreshing_) rows_.rows[r].endDepth = BoxValue(t);
        });
        connect(u.percent, &QLineEdit::textChanged, this, [this, r](const QString& t) {
            if (!refreshing_) rows_.rows[r].percentage = BoxValue(t);
        });
    }

    auto* totalCaption = new QLabel(QStringLiteral("合計（実効線量）="), this);
    totalCaption->setObjectName("Label58");
    totalCaption->setFont(MappedFont(kFontMeiryo, 12));
    total_ = new QLabel(this);
    total_->setObjectName("Label57");
    total_->setFont(MappedFont(kFontMeiryo, 12));
    total_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    total_->setMinimumWidth(110);
    total_->setFrameShape(QFrame::Panel);
    total_->setFrameShadow(QFrame::Sunken);
    auto* unit = new QLabel(QStringLiteral("mSv"), this);
    unit->setObjectName("Label67");
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    close->setObjectName("Command1");
    connect(close, &QPushButton::clicked, this, [this] { hide(); });
    depthDose_ = new QPushButton(QStringLiteral("深部線量グラフ"), this);
    depthDose_->setObjectName("DepthDoseButton");
    connect(depthDose_, &QPushButton::clicked, this, &OrganListWindow::depthDoseRequested);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(close);
    bottom->addWidget(depthDose_);
    bottom->addStretch();
    bottom->addWidget(totalCaption);
    bottom->addWidget(total_);
    bottom->addWidget(unit);

    auto* outer = new QVBoxLayout(this);
    outer->addLayout(top);
    outer->addLayout(grid);
    outer->addSpacing(6);
    outer->addLayout(bottom);
    refresh();
}

void OrganListWindow::refresh() {
    refreshing_ = true;
    for (long r = 1; r <= kTissueRows; ++r) {
        const TissueRow& m = rows_.rows[r];
        RowUi& u = ui_[std::size_t(r - 1)];
        u.tick->setTristate(m.tick == TickState::Grey);
        u.tick->setCheckState(ToCheck(m.tick));
        ShowBox(u.start, m.startDepth, DepthText(m, m.startDepth));
        ShowBox(u.end, m.endDepth, DepthText(m, m.endDepth));
        ShowBox(u.percent, m.percentage, PercentageText(m));
        u.dose->setText(QString::fromStdString(m.doseLabel));
    }
    if (!rows_.examPartLabel.empty()) part_->setText(QString::fromStdString(rows_.examPartLabel));
    if (!rows_.thicknessLabel.empty())
        thickness_->setText(QString::fromStdString(rows_.thicknessLabel));
    total_->setText(QString::fromStdString(rows_.totalLabel));
    refreshing_ = false;
}

}  // namespace dovex::app
