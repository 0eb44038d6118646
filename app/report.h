// SPDX-License-Identifier: MIT
#pragma once
// "レポート保存 (PDF)": one A4 page with the conditions, the results with their units, the beam
// quality, the comparison with the diagnostic reference level, the organ doses and effective
// dose (when estimated), the spectrum and depth-dose charts, the user name, the date and the
// program version. Written through QPdfWriter; no printer is needed.
#include <QDateTime>
#include <QString>
#include <string>
#include <vector>

#include "app/estimate.h"
#include "engine/beamquality.h"
#include "engine/conditions.h"
#include "engine/dose.h"
#include "engine/drl.h"
#include "engine/spectrum.h"

namespace dovex::app {

struct ReportInputs {
    ExposureConditions conditions;
    XraySpectrum spectrum;
    DoseResult dose;
    BeamQuality quality;
    DrlComparison drl;
    QString drlNote;          // why no comparison is made (a fluoroscopy dose); empty otherwise
    OrganTable organs;        // empty without an estimate
    DepthDosePlot depthDose;  // empty without an estimate
    QString comment;          // the user's free comment line (never a patient's name or ID)
    QString userName;
    QString version;
    QDateTime when;
};

// The page as HTML (the text part, above the charts).
QString ReportHtml(const ReportInputs& in);

// Writes the one-page PDF to a temporary file beside `path` and renames it into place. False
// with `error` set when the file cannot be written.
bool WriteReportPdf(const QString& path, const ReportInputs& in, QString* error);

}  // namespace dovex::app
