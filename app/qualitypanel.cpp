// SPDX-License-Identifier: MIT
#include "app/qualitypanel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "calculation/resultfields.h"
#include "engine/numtext.h"
#include "ui/fonts.h"
#include "ui/resultfield.h"

namespace dovex::app {
namespace {

using ui::kFontMeiryo;
using ui::MappedFont;

QLabel* Field(QWidget* parent, const char* name) { return ui::ResultField(parent, name, 12, 90); }

// A beam-quality figure with the panel's pattern from the table of result quantities.
QString PanelText(double value, const char* json) {
    return QualityText(value,
                       calc::ResultQuantityOf(json).patternAt(calc::ResultPlace::QualityPanel));
}

}  // namespace

QString QualityText(double value, const char* pattern) {
    return QString::fromStdString(FormatPattern(value, pattern));
}

QString DrlPercentText(const DrlComparison& c) {
    if (!c.hasLevel) return {};
    return QualityText(c.percent, "##0") + QStringLiteral(" %");
}

QualityPanel::QualityPanel(QWidget* parent) : QGroupBox(QStringLiteral("線質"), parent) {
    setObjectName("QualityPanel");
    setFont(MappedFont(kFontMeiryo, 11));
    hvl1_ = Field(this, "Hvl1");
    hvl2_ = Field(this, "Hvl2");
    effEnergy_ = Field(this, "EffectiveEnergy");
    qi_ = Field(this, "QualityIndex");
    drl_ = Field(this, "DrlValue");
    drlPercent_ = Field(this, "DrlPercent");
    drlItem_ = new QLabel(this);
    drlItem_->setObjectName("DrlItem");
    drlItem_->setFont(MappedFont(kFontMeiryo, 9));
    drlItem_->setWordWrap(true);

    auto* g = new QGridLayout;
    g->setVerticalSpacing(3);
    g->setHorizontalSpacing(6);
    int r = 0;
    auto row = [&](const QString& caption, QLabel* field, const QString& unit, int col) {
        g->addWidget(new QLabel(caption, this), r, col);
        g->addWidget(field, r, col + 1);
        g->addWidget(new QLabel(unit, this), r, col + 2);
    };
    row(QStringLiteral("第１半価層"), hvl1_, QStringLiteral("mmAl"), 0);
    row(QStringLiteral("　実効エネルギー"), effEnergy_, QStringLiteral("keV"), 3);
    ++r;
    row(QStringLiteral("第２半価層"), hvl2_, QStringLiteral("mmAl"), 0);
    row(QStringLiteral("　線質指標 QI"), qi_, QString(), 3);
    ++r;
    auto* drlCaption = new QLabel(QStringLiteral("診断参考レベル"), this);
    drlCaption->setToolTip(
        QStringLiteral("日本の診断参考レベル (2020年版)：空気カーマに基づく入射表面線量と比較"));
    g->addWidget(drlCaption, r, 0);
    g->addWidget(drl_, r, 1);
    g->addWidget(new QLabel(QStringLiteral("mGy"), this), r, 2);
    g->addWidget(new QLabel(QStringLiteral("　対 DRL"), this), r, 3);
    g->addWidget(drlPercent_, r, 4);
    ++r;
    g->addWidget(drlItem_, r, 0, 1, 6);
    g->setColumnStretch(1, 1);
    g->setColumnStretch(4, 1);

    spectrum_ = new QPushButton(QStringLiteral("スペクトル表示"), this);
    spectrum_->setObjectName("SpectrumButton");
    spectrum_->setAutoDefault(false);
    report_ = new QPushButton(QStringLiteral("レポート保存 (PDF)"), this);
    report_->setObjectName("ReportButton");
    report_->setAutoDefault(false);
    connect(spectrum_, &QPushButton::clicked, this, &QualityPanel::spectrumRequested);
    connect(report_, &QPushButton::clicked, this, &QualityPanel::reportRequested);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(spectrum_);
    buttons->addWidget(report_);

    auto* v = new QVBoxLayout(this);
    v->addLayout(g);
    v->addLayout(buttons);
    clear();
}

void QualityPanel::showQuality(const BeamQuality& q) {
    hvl1_->setText(PanelText(q.hvl1MmAl, "hvl1MmAl"));
    hvl2_->setText(PanelText(q.hvl2MmAl, "hvl2MmAl"));
    effEnergy_->setText(PanelText(q.effectiveEnergyKeV, "effectiveEnergyKeV"));
    qi_->setText(PanelText(q.qualityIndex, "qualityIndex"));
    spectrum_->setEnabled(true);
    report_->setEnabled(true);
}

void QualityPanel::showDrl(const DrlComparison& c, const QString& problem) {
    drlPercent_->setStyleSheet(QString());
    if (!problem.isEmpty()) {
        drl_->setText(QStringLiteral("---"));
        drlPercent_->clear();
        drlItem_->setText(problem);
        return;
    }
    if (!c.hasLevel) {
        drl_->setText(QStringLiteral("---"));
        drlPercent_->clear();
        drlItem_->setText(QString::fromStdString(c.examPart) + QStringLiteral("：DRL なし"));
        return;
    }
    drl_->setText(QString::fromStdString(PlainNumber(c.valueMGy)));
    drlPercent_->setText(DrlPercentText(c));
    if (c.exceeds())
        drlPercent_->setStyleSheet(QStringLiteral("color: #c00000; font-weight: bold;"));
    drlItem_->setText(QStringLiteral("DRLs 2020 ") + QString::fromStdString(c.item) +
                      QStringLiteral("：入射表面線量 (空気カーマ) ") +
                      QualityText(c.esdMGy, "#0.00") + QStringLiteral(" mGy"));
}

void QualityPanel::clear() {
    for (QLabel* l : {hvl1_, hvl2_, effEnergy_, qi_, drl_, drlPercent_, drlItem_}) l->clear();
    drlPercent_->setStyleSheet(QString());
    spectrum_->setEnabled(false);
    report_->setEnabled(false);
}

}  // namespace dovex::app
