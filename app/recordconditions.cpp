// SPDX-License-Identifier: MIT
// The main window's conditions set from one event of a dose record: every field, option and
// filter as the record and its mapping give them, marked with the file and the event until the
// user changes a condition.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "app/mainwindow.h"
#include "calculation/conditionfields.h"
#include "calculation/resultfields.h"
#include "engine/kinds.h"
#include "engine/numtext.h"
#include "engine/presets.h"

namespace dovex::app {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

void MainWindow::applyRecordConditions(const ExposureConditions& c, const ArbitraryFilter& filter,
                                       const QString& source) {
    AppState& s = state_;
    // The exam part first: choosing it moves the phantom, which the record's conditions set
    // after it.
    combo2_->setEditText(Q(c.examPart));
    s.conditions = c;
    s.fluoroscopyCurrent = false;
    std::map<const QWidget*, std::pair<QString, double>> kept;
    for (const Field& f : fields_) {
        const QString text = Q(PlainNumber(calc::TypedValue(*f.condition, c)));
        f.edit->setText(text);
        kept[f.edit] = {text, c.*(f.condition->member)};
    }
    // The field: the record's sides, no preset.
    const bool circle = c.fieldShape == FieldShape::Circle;
    const int preset = combo1_->findText(circle ? QString::fromUtf8(kPresetCircle)
                                                : QString::fromUtf8(kPresetOther));
    if (preset >= 0) combo1_->setCurrentIndex(preset);
    longCaption_->setText(circle ? QStringLiteral("  照射野サイズ（直径）")
                                 : QStringLiteral("　長軸方向サイズ"));
    // A filter of another metal than aluminium and copper.
    const calc::ConditionField& thickness = *calc::FindConditionField("filter-mm");
    s.filter = filter;
    if (filter.on) {
        filterName_->setText(Q(c.arbitraryFilterName));
        const QString text = Q(PlainNumber(calc::TypedValue(thickness, c)));
        filterThickness_->setText(text);
        kept[filterThickness_] = {text, c.arbitraryFilterThickness};
    } else {
        s.filter.on = false;
        s.conditions.arbitraryFilterName.clear();
        s.conditions.arbitraryFilterThickness = 0;
        filterName_->clear();
        filterThickness_->clear();
    }
    for (int i = 0; i < 3; ++i)
        if (RectificationOf(i + 1) == c.rectification) rect_[i]->setChecked(true);
    partPhantom_ = DefaultPhantomOf(c.examPart);
    phantom_[static_cast<int>(c.phantom)]->setChecked(true);
    // The unit's own output (its profile's output factor) is a measured exposure at 1 m.
    if (c.exposureSource == ExposureSource::Measured) {
        optMeasured_->setChecked(true);
        label78_->setText(
            Q(FormatPattern(c.exposureAt1m, calc::ResultQuantityOf("exposureAt1m").pattern)));
    } else {
        optDefault_->setChecked(true);
        label78_->clear();
    }
    conditionsChanged();
    recordValues_ = std::move(kept);
    recordNote_->setText(QStringLiteral("線量記録から：") + source);
    recordNote_->setToolTip(
        QStringLiteral("条件は線量記録の事象から設定されました。条件を変更すると消えます"));
    recordNote_->show();
    text5_->setFocus(Qt::OtherFocusReason);
}

QString MainWindow::recordSource() const { return recordNote_->text(); }

}  // namespace dovex::app
