// SPDX-License-Identifier: MIT
#pragma once
// Dose records read from DICOM files: the irradiation events of X-ray radiation dose reports
// (the projection X-ray template, one "Irradiation Event X-Ray Data" container per exposure)
// and of DX and CR image headers, with every value converted to one unit by the unit code the
// record gives. Patient names, IDs and birth dates are never read; of the patient only sex, age,
// size, weight and thickness are kept.
#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace dovex::records {

// A coded value of the record: scheme designator, code value and meaning.
struct Code {
    std::string scheme, value, meaning;
    bool empty() const { return value.empty() && meaning.empty(); }
};

enum class EventKind {
    Radiograph,  // a stationary acquisition, or a DX/CR image
    Fluoroscopy,
    Other  // stepping, rotational or an unknown event type
};

enum class RecordKind { DoseReport, Image };

// Where the record places its Dose (RP).
enum class ReferencePoint {
    Unknown,             // none given, or a point whose distance from the source is not known here
    DetectorPlane,       // "In Detector Plane"
    Entrance,            // a point on the patient's entrance surface
    IsocenterMinus15cm,  // "15cm from Isocenter toward Source"
    Other,
};

struct RecordFilter {
    std::string material;  // element symbol ("Al", "Cu", "Mo", ...), or the record's text
    double mm = 0;         // (minimum + maximum) / 2
};

struct PatientData {
    std::string sex;  // "M", "F", "O" or empty
    std::optional<double> ageYears, sizeM, weightKg;
    std::optional<double> thicknessCm;            // body part thickness (0018,11A0)
    std::optional<double> equivalentThicknessCm;  // Patient Equivalent Thickness
};

struct DeviceData {
    std::string manufacturer, model, serial, station, deviceUid;
};

// One irradiation event with the values the record gives (absent values empty).
struct DoseEvent {
    std::string file;  // as given (path text)
    std::string sopInstanceUid, eventUid;
    // The day of the exposure, "YYYY-MM-DD": the event's start, else the header's acquisition,
    // content or study date; empty when none is recorded or readable.
    std::string date;
    int index = 0;  // 1-based position among the events of its file
    RecordKind record = RecordKind::DoseReport;
    EventKind kind = EventKind::Radiograph;
    std::string kindText;  // the event type's meaning as recorded
    DeviceData device;
    std::optional<double> kvp, tubeCurrentMa, exposureTimeMs, exposureMAs;
    std::optional<double> dapGym2, doseRpMGy;
    std::optional<double> entranceDoseMGy;  // an image header's entrance dose
    ReferencePoint referencePoint = ReferencePoint::Unknown;
    std::string referencePointText;
    std::optional<double> sidCm, sourceToIsocenterCm, sourceToReferencePointCm, sourceToEntranceCm,
        sourceToPatientCm;
    std::optional<double> fieldAreaCm2, fieldHeightCm, fieldWidthCm;
    // The collimator edges times the pixel spacing (image headers), cm at the receptor.
    std::optional<double> collimatorLongCm, collimatorShortCm;
    bool filtersRecorded = false;  // a filter item or "No Filter" was present
    std::vector<RecordFilter> filters;
    std::vector<std::string> unknownFilters;  // filter items that could not be read
    Code region, view;
    std::string bodyPart, viewPosition, protocol;
    PatientData patient;
    // What the reading had to decide about the record's own values ("unit Gym2 read as Gy.m2").
    std::vector<std::string> readNotes;
};

struct SkippedFile {
    std::string file;
    std::string reason;
};

// Events that are not radiographs (fluoroscopy and others): counted and listed.
struct OtherEvent {
    std::string file;
    int index = 0;
    std::string kindText;
};

struct ReadOutcome {
    long filesRead = 0;             // files that gave at least one event or were dose reports
    std::vector<DoseEvent> events;  // radiographs only
    std::vector<OtherEvent> others;
    std::vector<SkippedFile> skipped;
};

// A file that cannot be used: not DICOM, truncated, not a dose record, no dose attributes.
class RecordError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The events of one DICOM file's bytes (with or without the 128-byte preamble); `name` is the
// file name the events and messages carry. Radiographs go to `events`, other events to `others`.
// Throws RecordError with the reason when the bytes are no dose record.
void ReadRecordBytes(const std::string& bytes, const std::string& name,
                     std::vector<DoseEvent>& events, std::vector<OtherEvent>& others);

// Called after each file with the number of files done and found.
using ReadProgress = std::function<void(std::size_t done, std::size_t total)>;

// Reads files and folders (recursively, in name order). A file that cannot be used is listed in
// `skipped` with its reason and the reading goes on. `cancel`, when set, stops between files.
ReadOutcome ReadRecords(const std::vector<std::filesystem::path>& paths,
                        const ReadProgress& progress = {},
                        const std::atomic<bool>* cancel = nullptr);

// The files that ReadRecords would read for `paths`, in order.
std::vector<std::filesystem::path> ListRecordFiles(const std::vector<std::filesystem::path>& paths,
                                                   std::vector<SkippedFile>& missing);

const char* EventKindWord(EventKind k);
const char* ReferencePointWord(ReferencePoint p);

}  // namespace dovex::records
