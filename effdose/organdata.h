// SPDX-License-Identifier: MIT
#pragma once
// Organ data files: one per exam part, "<dataDir>/Organ-data/<exam part>.csv", 16 records of 7
// fields (label, applies flag, start mode, start value, end mode, end value, percentage), cp932.
// Loading one fills the tissue rows whose flag is 1 and leaves the other rows as they stand.
#include <filesystem>
#include <string>
#include <string_view>

#include "effdose/organrows.h"
#include "engine/checked.h"

namespace dovex {

struct OrganDataRecord {
    std::string label;   // free label (raw bytes of the file), not used
    double applies = 0;  // 1: the record applies
    int startMode = 0;   // 0 depth in cm, 1 fraction of the thickness, 2 cm back from the exit
    double startValue = 0;
    int endMode = 0;
    double endValue = 0;
    double percentage = 0;
};

using OrganDataRecords = Checked<OrganDataRecord, 1, kTissueRows>;

// Parses the 16 records; anything after them is not read. Throws DataFileError naming the file
// when fewer than 112 fields are present, a numeric field is not a number or a depth mode is
// not 0, 1 or 2.
OrganDataRecords ParseOrganData(const std::string& bytes, const std::string& fileName);

// Depth in cm below the entrance surface of a value read by its mode for thickness T.
double DepthFromMode(int mode, double value, double thickness);

// A tissue depth as the rows hold it: to 0.1 cm (halves away from zero), the steps of the organ
// data and of the boxes in which they are shown.
double TissueDepth(double depthCm);

// True when the exam part can name a file inside the organ data folder: not empty, no path
// separator ('/' or '\'), no drive colon, no "..", no control character.
bool IsSafeExamPartName(std::string_view examPart);

// "<dataDir>/Organ-data/<examPart>.csv". Throws DataFileError (no data for the exam part) when
// the name is not safe to use as a file name stem.
std::filesystem::path OrganDataPath(const std::filesystem::path& dataDir,
                                    std::string_view examPart);

// Reads the exam part's organ data file and fills the rows whose applies flag is 1: tick,
// start and end depth (by their modes for the thickness, to 0.1 cm) and the percentage. A missing,
// unreadable or short file throws DataFileError and leaves the rows unchanged.
void LoadOrganData(std::string_view examPart, double subjectThickness,
                   const std::filesystem::path& dataDir, OrganRows& rows);

}  // namespace dovex
