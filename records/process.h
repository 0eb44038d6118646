// SPDX-License-Identifier: MIT
#pragma once
// The path from dose records to doses and a department survey: read (records/reading.h) →
// events → mapped conditions (records/mapping.h) → one calculation per event through the
// program's one calculation (calculation/calculation.h) → the record's own dose beside it →
// the survey per unit and exam part against the reference levels. No Qt: a window follows the
// work through the progress callback and stops it through the cancel flag.
#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "calculation/calculation.h"
#include "calculation/data.h"
#include "engine/drl.h"
#include "records/mapping.h"
#include "records/reading.h"

namespace dovex::records {

// Everything the record path reads from the data folder, loaded once.
// What every calculation reads (calc::LoadData: tables, exam-part list, reference levels), and
// what the records add to it.
struct RecordData : calc::CalculationData {
    std::unique_ptr<KernelFiles> kernels;
    std::vector<StandardPatient> standards;
    std::vector<DeviceProfile> profiles;
    std::vector<ProtocolRule> protocols;
    std::vector<std::string> warnings;  // optional files that could not be read, and why
};
// Loads the calculation's data as every driver does (calc::LoadData), the kernels and the
// standard patients of `dataDir`, and the profile and protocol files when given (an empty
// path: the file of that name in `dataDir` when it exists). Throws DataFileError for a missing
// or malformed required file, or a given profile or protocol file that cannot be read.
void LoadRecordData(RecordData& d, const std::filesystem::path& dataDir,
                    const std::filesystem::path& profileFile = {},
                    const std::filesystem::path& protocolFile = {});

struct ProcessOptions {
    DoseSource source = DoseSource::Model;
    bool estimate = true;  // false: no effective dose estimate (the survey's speed)
};

// The record's entrance air kerma beside the program's (both without backscatter).
struct RecordDose {
    double esakMGy = 0;
    double ratio = 0;  // record / program
    std::string how;
};

struct EventOutcome {
    DoseEvent event;
    MappedEvent mapped;
    std::optional<calc::CalculationResult> result;  // null when refused
    std::optional<RecordDose> recordDose;
    std::optional<EventRefusal> refusal;
};

enum class Stage { Reading, Calculating };
// Called after each file read and each event calculated: stage, items done, items in all.
using Progress = std::function<void(Stage, std::size_t done, std::size_t total)>;

// Maps and calculates one event.
EventOutcome ProcessEvent(const DoseEvent& e, const RecordData& d,
                          const std::filesystem::path& dataDir, const ProcessOptions& options);

// Maps and calculates events in turn; `cancel`, when set, stops between events (the outcomes
// of the events done are returned).
std::vector<EventOutcome> ProcessEvents(const std::vector<DoseEvent>& events, const RecordData& d,
                                        const std::filesystem::path& dataDir,
                                        const ProcessOptions& options,
                                        const Progress& progress = {},
                                        const std::atomic<bool>* cancel = nullptr);

struct RunOutcome {
    ReadOutcome read;
    std::vector<EventOutcome> events;
    bool cancelled = false;
    long computed() const;
    long refused() const;
};

// Reads the paths and processes every radiograph. `cancel`, when set, stops between files and
// between events (what finished is kept, `cancelled` set).
RunOutcome ProcessRecords(const std::vector<std::filesystem::path>& paths, const RecordData& d,
                          const std::filesystem::path& dataDir, const ProcessOptions& options,
                          const Progress& progress = {}, const std::atomic<bool>* cancel = nullptr);

// ---- survey ------------------------------------------------------------------------------

// What the survey takes of one computed event.
struct SurveyInput {
    std::string unit, examPart;
    double esdAirMGy = 0;                 // the reference-level quantity (with backscatter)
    std::optional<double> effectiveDose;  // mSv, when estimated
    std::optional<double> dapGym2;        // as recorded
    double kv = 0, mas = 0;
    std::optional<double> recordRatio;  // the record's air kerma / the program's
};
SurveyInput SurveyInputOf(const EventOutcome& o);

struct Spread {
    long n = 0;
    double q1 = 0, median = 0, q3 = 0;  // quartiles by linear interpolation between ranks
    double min = 0, max = 0;
};
Spread SpreadOf(std::vector<double> values);

struct SurveyRow {
    std::string unit, examPart;
    long events = 0;
    Spread esdAir, effectiveDose, dap, kv, mas;
    // The record's air kerma over the program's: the median is the calibration hint for the
    // unit's output factor in its device profile.
    Spread recordRatio;
    DrlComparison drl;  // the level at the median kV, and the median's percentage of it
};
// Groups by unit and exam part (in name order).
std::vector<SurveyRow> BuildSurvey(const std::vector<SurveyInput>& inputs, const DrlTable* drl);

// The record's air kerma over the program's, per unit, of the computed events that give both:
// the median is the calibration hint for the unit's output factor (a factor already in the
// profile is in the program's kerma, so the hint is that factor × the median).
std::map<std::string, Spread> RecordRatioByUnit(const std::vector<EventOutcome>& events);

// The survey file: cp932 bytes, CR LF.
std::string SurveyFileBytes(const std::vector<SurveyRow>& rows);

// ---- JSON --------------------------------------------------------------------------------

void to_json(nlohmann::ordered_json& j, const EventOutcome& o);
void to_json(nlohmann::ordered_json& j, const SurveyRow& r);
// {events, notRadiographs, skipped, survey (when given), summary}.
nlohmann::ordered_json RunToJson(const RunOutcome& run, const std::vector<SurveyRow>* survey);

}  // namespace dovex::records
