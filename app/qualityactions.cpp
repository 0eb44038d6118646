// SPDX-License-Identifier: MIT
// The main window's beam-quality group: computing and showing the beam quality and the
// reference level after each calculation, the spectrum window and the one-page report.
#include <QDateTime>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>

#include "app/mainwindow.h"
#include "app/qualitypanel.h"
#include "app/report.h"
#include "app/spectrumwindow.h"
#include "engine/beamquality.h"
#include "engine/drl.h"
#include "ui/messenger.h"

#ifndef DOVEX_VERSION
#define DOVEX_VERSION "0"
#endif

namespace dovex::app {

void MainWindow::showBeamQuality() {
    const AppState& s = state_;
    quality_->showQuality(s.quality);
    quality_->showDrl(
        s.drl, s.shown.fluoroscopy ? kFluoroscopyDrlNote : QString::fromStdString(s.drlProblem));
    // An open spectrum window follows every calculation.
    if (spectrumWin_ && spectrumWin_->isVisible())
        spectrumWin_->setSpectrum(s.spectrum, s.shown.conditions, s.quality);
}

void MainWindow::openSpectrum() {
    if (!spectrumWin_) spectrumWin_ = new SpectrumWindow(this);
    spectrumWin_->setSpectrum(state_.spectrum, state_.shown.conditions, state_.quality);
    spectrumWin_->show();
    spectrumWin_->raise();
}

void MainWindow::saveReport(const QString& chosen, const QString& typedComment) {
    // Only the results of the conditions now entered are reported.
    if (!state_.shown.present || state_.shown.stale) return;
    QString path = chosen;
    QString comment = typedComment;
    if (path.isEmpty()) {
        path = QFileDialog::getSaveFileName(this, QStringLiteral("レポート保存 (PDF)"),
                                            QStringLiteral("dovex-report.pdf"),
                                            QStringLiteral("PDF (*.pdf)"));
        if (path.isEmpty()) return;
        if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
            path += QStringLiteral(".pdf");
        // One free line for the user's own note; the report has no field for a patient.
        bool ok = false;
        comment = QInputDialog::getText(
            this, QStringLiteral("レポート保存 (PDF)"),
            QStringLiteral("レポートに添えるコメント（任意）\n"
                           "患者の氏名・ID などの個人情報は入力しないで下さい"),
            QLineEdit::Normal, QString(), &ok);
        if (!ok) return;
    }
    const AppState& s = state_;
    ReportInputs in;
    in.conditions = s.shown.conditions;
    in.spectrum = s.spectrum;
    in.dose = s.dose;
    in.quality = s.quality;
    in.drl = s.drl;
    if (s.shown.fluoroscopy) in.drlNote = kFluoroscopyDrlNote;
    if (s.dose.effectiveDose > 0) {
        in.organs = s.estimator.organTable();
        in.depthDose = s.estimator.depthDosePlot();
    }
    in.comment = comment.simplified();
    in.userName = QString::fromStdString(s.userName);
    in.version = QStringLiteral(DOVEX_VERSION);
    in.when = QDateTime::currentDateTime();
    QString error;
    if (!WriteReportPdf(path, in, &error)) {
        ui::messenger().beep();
        ui::messenger().show(this, QStringLiteral("　レポートを保存できませんでした：") + error,
                             ui::Icon::Exclamation);
    }
}

}  // namespace dovex::app
