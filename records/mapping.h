// SPDX-License-Identifier: MIT
#pragma once
// From one event of a dose record to the program's conditions: the values the record gives,
// converted; every value it does not give taken from the unit's device profile, the protocol
// mapping or the standard patient of the exam part, and listed as an assumption with the reason;
// an event whose values cannot describe a radiograph refused with a message naming the file,
// the event and the item.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/conditions.h"
#include "records/reading.h"

namespace dovex::records {

// The standard adult patient of each exam part (thickness, usual field, focus-receptor
// distance, gap between the patient's exit surface and the receptor), from the data folder.
inline constexpr const char* kStandardPatientFile = "標準体格.txt";
struct StandardPatient {
    std::string examPart;
    double thicknessCm = 0;
    double fieldLongCm = 0, fieldShortCm = 0;
    double ffdCm = 0;
    double receptorGapCm = 0;
};
// Parses the file ("#" comment lines, then "exam part,thickness,field long,field short,FFD,gap"
// in cm). Throws DataFileError naming the file and the line.
std::vector<StandardPatient> ParseStandardPatients(const std::string& bytes,
                                                   const std::string& name);
std::vector<StandardPatient> ReadStandardPatients(const std::filesystem::path& file);

// How the unit is used, which decides the gap between the patient and the receptor.
enum class WorkMode { Table, Erect, Mobile };

// One radiography unit's profile (a row of the user's profile file).
struct DeviceProfile {
    std::string name;  // the unit's name in the survey
    std::string deviceUid, manufacturer, model, serial, station;
    std::optional<double> inherentMmAl, addedMmAl, addedMmCu, targetAngle;
    std::optional<Rectification> rectification;
    std::optional<double> gapTableCm, gapErectCm, gapMobileCm;
    std::optional<double> outputFactor;  // the unit's measured output / the default output
};
inline constexpr const char* kProfileFile = "装置プロファイル.csv";
// Parses a profile file (cp932, CR LF or LF): a header row of column captions (ProfileColumns),
// one row per unit; empty cells are not set. Throws DataFileError naming the file and line.
std::vector<DeviceProfile> ParseProfiles(const std::string& bytes, const std::string& name);
std::vector<DeviceProfile> ReadProfiles(const std::filesystem::path& file);
// A cell of the records' CSV files, read back as it is: quoted when it holds a comma, a quote or a
// line break, begins or ends with a blank, or begins with '#'.
std::string CsvCell(const std::string& text);
// The cells of a profile in the order of ProfileColumns (empty for what is not set).
std::vector<std::string> ProfileCells(const DeviceProfile& p);
// The profile file's bytes (cp932, CR LF): the header of every column, then one row per unit.
// Throws DataFileError for a cell that the file cannot hold (a line break, or a character
// outside cp932).
std::string ProfileFileBytes(const std::vector<DeviceProfile>& profiles);
// Writes the profiles to `file` through a temporary file renamed into place, after reading the
// bytes back; the file is left as it was when anything fails (DataFileError or the writing's
// error).
void WriteProfiles(const std::filesystem::path& file, const std::vector<DeviceProfile>& profiles);
// A new profile of a unit seen in the records: what the record says of the device, its name in
// the survey, nothing else set.
DeviceProfile ProfileOfDevice(const DeviceData& device);
// The captions of the profile columns, in the order a new file lists them.
const std::vector<std::string>& ProfileColumns();
// The profile of an event's unit: by device UID, else manufacturer + model + serial number,
// else station name; nullptr when none matches.
const DeviceProfile* MatchProfile(const std::vector<DeviceProfile>& profiles,
                                  const DeviceData& device);

// The department's protocol names and their exam parts (cp932 CSV "protocol,exam part"; '*'
// in a protocol stands for any text; case and surrounding blanks do not count).
inline constexpr const char* kProtocolMapFile = "プロトコル対応.csv";
struct ProtocolRule {
    std::string pattern, examPart;
};
// Throws DataFileError naming the file and the line (also for an exam part outside `examParts`,
// when that list is not empty).
std::vector<ProtocolRule> ParseProtocolMap(const std::string& bytes, const std::string& name,
                                           const std::vector<std::string>& examParts);
std::vector<ProtocolRule> ReadProtocolMap(const std::filesystem::path& file,
                                          const std::vector<std::string>& examParts);
bool ProtocolMatches(const std::string& pattern, const std::string& protocol);

// Which exposure the calculation takes: the program's tube output (model) or the air kerma the
// record itself implies (record; the measured-exposure path).
enum class DoseSource { Model, Record };

struct MappingContext {
    std::filesystem::path dataDir;  // the material files (*.ele) of other filter metals
    const std::vector<StandardPatient>* standards = nullptr;
    const std::vector<DeviceProfile>* profiles = nullptr;
    const std::vector<ProtocolRule>* protocols = nullptr;
};

struct Assumption {
    std::string item, value, why;
    std::string textJa;  // the item, its value and the reason, as the window shows them
};

struct EventRefusal {
    std::string check;  // the item ("kvp", "exposure", "sid", ...) or the calculation's check
    std::string message;
    std::string messageJa;  // the reason alone (the window shows the file and event beside it)
};

// The air kerma the record implies at the patient's entrance (no backscatter), and how.
struct RecordKerma {
    double mGy = 0;
    std::string how;
};

struct MappedEvent {
    ExposureConditions conditions;
    ArbitraryFilter filter;
    std::string profile;  // the matched profile's name, empty for none
    std::string unit;     // the unit's name in the survey
    double outputFactor = 1;
    std::vector<Assumption> assumptions;
    std::optional<EventRefusal> refusal;
    std::optional<RecordKerma> recordKerma;
};

// The exam part of an event from its codes, texts and the protocol mapping, with the
// assumption made when no view was recorded.
std::string ExamPartOf(const DoseEvent& e, const std::vector<ProtocolRule>* protocols,
                       std::vector<Assumption>* assumptions);

// Maps one event. Never throws for a record's values; a refusal is set instead.
MappedEvent MapEvent(const DoseEvent& e, const MappingContext& context);

// The unit's name in the survey: the profile's name, else manufacturer, model and serial
// number, else the station name, else the device UID.
std::string UnitName(const DeviceData& d, const DeviceProfile* profile);

}  // namespace dovex::records
