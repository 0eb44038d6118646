// SPDX-License-Identifier: MIT
// Which calculation the main window's results belong to: a change of any condition after a
// calculation leaves the results of the previous conditions on screen, greyed and marked, and
// they can be neither added to the table nor reported until the next calculation.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app/mainwindow.h"
#include "app/qualitypanel.h"
#include "engine/kinds.h"
#include "ui/messenger.h"

namespace dovex::app {

void MainWindow::watchConditionChanges() {
    // Only what the user does: texts the window sets itself are changes it reports itself.
    for (const Field& f : fields_)
        connect(f.edit, &QLineEdit::textEdited, this, [this] { conditionsChanged(); });
    // A current typed by hand is no longer the fluoroscopy dialog's average.
    connect(text6_, &QLineEdit::textEdited, this, [this] { state_.fluoroscopyCurrent = false; });
    connect(combo2_, &QComboBox::editTextChanged, this, [this](const QString& part) {
        examPartChanged(part);
        conditionsChanged();
    });
    connect(combo1_, &QComboBox::activated, this, [this] { conditionsChanged(); });
    for (QRadioButton* o : {rect_[0], rect_[1], rect_[2], phantom_[0], phantom_[1], optDefault_})
        connect(o, &QRadioButton::clicked, this, [this] { conditionsChanged(); });
}

void MainWindow::examPartChanged(const QString& part) {
    const Phantom p = DefaultPhantomOf(part.toStdString());
    if (p == partPhantom_) return;
    partPhantom_ = p;
    phantom_[static_cast<int>(p)]->setChecked(true);
    state_.conditions.phantom = p;
}

void MainWindow::conditionsChanged() {
    recordNote_->hide();
    recordNote_->clear();
    recordValues_.clear();
    ShownCalculation& shown = state_.shown;
    if (!shown.present || shown.stale) return;
    shown.stale = true;
    showResultState();
}

void MainWindow::fluoroscopyWithMeasuredExposure() {
    if (!state_.fluoroscopyCurrent || state_.conditions.exposureSource != ExposureSource::Measured)
        return;
    selectDefaultOutput();
    ui::messenger().show(this, kFluoroscopyUsesDefaultOutput, ui::Icon::Information);
}

void MainWindow::showResultState() {
    const ShownCalculation& shown = state_.shown;
    const bool stale = shown.present && shown.stale;
    staleNote_->setVisible(stale);
    // Greyed: every value and caption of the results group and of the beam-quality group.
    for (QLabel* l : label68_->parentWidget()->findChildren<QLabel*>())
        if (l != staleNote_) l->setEnabled(!stale);
    for (QLabel* l : quality_->findChildren<QLabel*>()) l->setEnabled(!stale);
    if (state_.conditions.exposureSource != ExposureSource::Measured)
        label78_->setEnabled(!stale);
    else
        label78_->setEnabled(true);
    if (stale) {
        command3_->setEnabled(false);
        quality_->reportButton()->setEnabled(false);
    }
}

}  // namespace dovex::app
