// SPDX-License-Identifier: MIT
#pragma once
// The effective-dose stage of one calculation, after the entrance surface doses: the exam part
// decides whether an estimate is made; if so the thickness is capped at 40 cm, the depth-dose
// curve is built from the scatter kernels, the exam part's organ data fill the tissue rows, the
// rows are prepared and the organ doses summed into the effective dose.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "effdose/depthdose.h"
#include "effdose/organdose.h"
#include "effdose/organrows.h"
#include "engine/conditions.h"
#include "engine/constants.h"
#include "engine/dose.h"
#include "engine/spectrum.h"
#include "engine/tables.h"

namespace dovex {

inline constexpr const char* kNoEstimateExamPart = "その他";

// False for the exam part "その他" and the empty exam part.
bool ExamPartHasEstimate(const std::string& examPart);

struct EstimateResult {
    bool estimated = false;      // an effective dose was computed and stored
    double effectiveDose = 0;    // mSv; 0 when not estimated
    std::string message;         // message of the tissue row that stopped the estimate
    long failedRow = 0;          // that row (1..16), 0 when none
    double thickness = 0;        // subject thickness the estimate used (after the cap)
    bool curveComputed = false;  // false when no estimate was attempted
    DepthDoseCurve curve;
    OrganDoseOutcome organs;
};

// Runs the stage. An empty exam part becomes "その他" in `c`. For "その他" nothing is computed:
// effectiveDose 0. Otherwise `c.subjectThickness` is capped at 40 cm, and the depth
// dose, LoadOrganData, the row preparation (exam part and thickness labels, blank dose labels
// and total) and ComputeOrganDoses run in this order. When a tissue row's data stop the organ
// doses, the estimate counts as not made: effectiveDose 0, and `message` holds the row's
// message for the caller to show. `dose.effectiveDose` is set to the result's effective dose.
// Failures of the data files or of the computation throw (DataFileError, CalcError); then
// `dose.effectiveDose` is 0 and the rows may be partly filled.
// `stepDone` (optional) is called after the depth dose and after the rows are filled and
// prepared, so that a window can repaint between the steps.
enum class EstimateStep { DepthDose, OrganData };
EstimateResult RunEffectiveDoseEstimate(ExposureConditions& c, const XraySpectrum& spectrum,
                                        DoseResult& dose, const PhysicsTables& tables,
                                        const std::filesystem::path& dataDir, KernelSource& kernels,
                                        OrganRows& rows,
                                        const std::function<void(EstimateStep)>& stepDone = {});

// The organ list as plain text lines: heading, exam part and thickness, one line per tissue
// (tick, caption, weight, depths, percentage, dose in μSv) and the total.
std::vector<std::string> FormatOrganTable(const OrganRows& rows);

}  // namespace dovex
