// SPDX-License-Identifier: MIT
#pragma once
// One calculation of the program, the same for the main window, dovex-calc and its batch mode:
// the checks of the conditions, the spectrum, the exposure at 1 m, the entrance surface doses
// and, for an exam part with organ data, the effective dose estimate, in this order. A request
// goes in; either a refusal (a check that failed, nothing computed) or a result comes out. A
// run-time failure after the checks (a missing or faulty data file, a computation the model
// cannot make) is reported the same way, with the steps that finished kept in the result.
// No Qt: the window repaints through the progress callback.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "calculation/data.h"
#include "effdose/depthdose.h"
#include "effdose/estimate.h"
#include "effdose/organdose.h"
#include "effdose/organrows.h"
#include "engine/beamquality.h"
#include "engine/conditions.h"
#include "engine/dose.h"
#include "engine/drl.h"
#include "engine/spectrum.h"
#include "engine/tables.h"

namespace dovex::calc {

// What the caller may set beside the conditions.
struct CalculationRequest {
    // The conditions as entered (lengths in cm, filters in cm). examPart "" or "その他" asks
    // for no estimate.
    ExposureConditions conditions;
    ArbitraryFilter filter;  // the arbitrary filter; filter.on false for none
    // Where to write the spectrum file ("X_SPCTL.dat" format); empty = not written.
    std::filesystem::path spectrumFile;
};

// What the program has loaded once and keeps between calculations.
struct CalculationContext {
    const PhysicsTables& tables;
    std::filesystem::path dataDir;  // the organ data folder is read from here
    // The exam parts of the list file. A part outside the list for which no organ data file
    // exists gets no estimate (a typed part); a listed part without its file is a failure.
    std::vector<std::string> listedExamParts;
    KernelSource& kernels;  // the scatter kernels (read again for every estimate)
    OrganRows& rows;        // the tissue rows the estimate fills, reads and writes
    // The national reference levels; nullptr when they could not be read (no comparison).
    const DrlTable* drlTable = nullptr;
};

// The context of a calculation over the loaded data.
inline CalculationContext ContextOf(const CalculationData& data, KernelSource& kernels,
                                    OrganRows& rows) {
    return {data.tables, data.dataDir, data.examParts, kernels, rows, data.drlTable()};
}

// The checks, in the order they are made.
enum class Check {
    TargetAngle,
    InherentFilter,
    AddedAl,
    AddedCu,
    ArbitraryFilterThickness,
    TubeVoltage,
    TubeCurrent,
    ExposureTime,
    Ffd,
    Fsd,
    SubjectThickness,
    FieldLong,
    FieldShort,
    Rectification,
    Phantom,
    FieldShape,
    ExposureSource,
    MeasuredExposure,
    DefaultOutputRange,  // the default output data give no output at this voltage
    Geometry,            // subject thickness above FFD - FSD
    RunFailed,           // a run-time failure after the checks
};

// The steps of a calculation, reported to the progress callback after each has finished.
enum class Step {
    Checked,
    Spectrum,
    ExposureAt1m,
    Doses,
    ExamPart,  // the exam-part decision; result.estimate tells whether an estimate follows
    DepthDose,
    OrganData,  // the tissue rows are filled and prepared (labels set, dose labels empty)
    OrganDoses,
};

struct Refusal {
    Check check = Check::RunFailed;
    std::optional<Step> failedAfter;  // for RunFailed: the last step that finished, if any
    std::string messageJa;            // the window's message box text (may hold two lines)
    std::string messageEn;            // dovex-calc's text; names the option and allowed range
    // The message reports a calculation that could not be made (a voltage outside the data, no
    // default output, a run-time failure) rather than an entry out of its range.
    bool calculationFailed = false;
};

enum class EstimateStatus {
    NotAsked,     // exam part "その他" (or empty): "---"
    NoOrganData,  // an exam part outside the list without organ data: "---" and a note
    Made,         // the effective dose was estimated
    StoppedByRow  // a tissue row's data stopped the organ doses: "---" and the row's message
};

struct CalculationResult {
    // The conditions as calculated: exposure at 1 m from the default output data, exam part
    // resolved ("" becomes "その他"), thickness capped at 40 cm for an estimate.
    ExposureConditions conditions;
    XraySpectrum spectrum;
    DoseResult dose;      // effectiveDose 0 unless estimated; hvl1..qualityIndex from `quality`
    BeamQuality quality;  // of the spectrum, with the doses
    DrlComparison drl;    // the exam part's reference level and esdAir against it
    EstimateStatus estimate = EstimateStatus::NotAsked;
    std::string estimateNoteJa;  // the note or tissue-row message of a missing estimate
    std::string estimateNoteEn;
    DepthDoseCurve curve;  // when an estimate ran
    OrganDoseOutcome organs;
    OrganRows organRows;          // the tissue rows as the estimate left them
    std::optional<Step> reached;  // the last step that finished
};

struct CalculationOutcome {
    std::optional<Refusal> refusal;  // set when the calculation was refused or failed
    CalculationResult result;        // every step that finished
    bool ok() const { return !refusal; }
};

using Progress = std::function<void(Step, const CalculationResult&)>;

// The one entry point.
CalculationOutcome Calculate(const CalculationRequest& request, const CalculationContext& context,
                             const Progress& progress = {});

// Only the checks, as Calculate makes them before it computes anything.
std::optional<Refusal> CheckConditions(const CalculationRequest& request,
                                       const PhysicsTables& tables);

// The bound of a condition a user enters, in the unit the user types (filters in mm).
struct Bound {
    Check check;
    const char* option;  // dovex-calc's option name without dashes
    double low;
    bool lowIncluded;
    double high;
    bool highIncluded;
    const char* unitJa;  // "kV", "mA", "sec", "度", "mm", "cm"
    const char* unitEn;  // "kV", "mA", "s", "degrees", "mm", "cm"
    const char* nameJa;  // "管電流"
    const char* nameEn;  // "tube current"
};
const std::vector<Bound>& Bounds();
const Bound& BoundOf(Check check);
// True when the value (in the bound's unit) lies inside the bound.
bool Within(const Bound& b, double value);
// "above 0 and at most 2000 mA" and "0 より大きく 2000 mA 以下".
std::string RangeTextEn(const Bound& b);
std::string RangeTextJa(const Bound& b);

// The message a failed calculation begins with, and the geometry warning.
inline constexpr const char* kCalcFailedJa = "　???  正しく計算できませんでした  ???   ";
inline constexpr const char* kGeometryJa = "  被写体厚が (FFD-FSD) より大きくなっています  ";

}  // namespace dovex::calc
