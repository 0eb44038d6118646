// SPDX-License-Identifier: MIT
#pragma once
// The project's own DICOM dose records, written with DCMTK: X-ray radiation dose reports with
// their irradiation events, and DX/CR image headers, with the quirks real units write (units
// outside UCUM, the retired exposure-time code, empty numeric values, "No Filter" containers,
// SNOMED 3 codes, filter lists joined by commas, decimal strings where integers belong).
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace dovex::testing {

struct FxCode {
    std::string value, scheme, meaning;
};

// Codes of the dose-report template, as DCMTK defines them.
FxCode FxKvp();
FxCode FxTubeCurrent();
FxCode FxExposureTime();
FxCode FxExposureTimeRetired();
FxCode FxExposure();
FxCode FxDap();
FxCode FxDoseRp();
FxCode FxSid();
FxCode FxSourceToIsocenter();
FxCode FxFieldHeight();
FxCode FxFieldWidth();
FxCode FxFieldArea();
FxCode FxEquivalentThickness();
FxCode FxTargetRegion();
FxCode FxImageView();
FxCode FxReferencePoint();
FxCode FxProtocol();
FxCode FxStationary();
FxCode FxInDetectorPlane();

struct FxNum {
    FxCode name;
    std::string value;  // empty: an empty measured value sequence
    std::string unit;
};

struct FxFilter {
    bool noFilter = false;
    FxCode material;
    std::optional<std::string> minMm, maxMm;
};

struct FxEvent {
    FxCode type = FxStationary();
    std::string uid;
    std::vector<FxNum> nums;
    std::vector<std::pair<FxCode, FxCode>> codes;       // concept name, value
    std::vector<std::pair<FxCode, std::string>> texts;  // concept name, text
    std::vector<FxFilter> filters;
    std::string started;  // DateTime Started ("YYYYMMDDhhmmss"), none when empty
};

// A radiograph's event with the usual values: 80 kV, 250 mA, 20 ms, 5000 uA.s, SID 1100 mm.
FxEvent FxRadiograph();

struct FxPatient {
    std::string name = "Yamada^Taro", id = "PID-987654", birthDate = "19700102";
    std::string sex = "M", age = "054Y", size = "1.70", weight = "65";
};

struct FxDevice {
    std::string manufacturer = "ACME", model = "RadOne", serial = "SN42", station = "ROOM1";
    std::string observerUid = "1.2.826.0.1.3680043.10.543.7";
};

struct FxReport {
    FxPatient patient;
    FxDevice device;
    std::vector<FxEvent> events;
    std::string sopClass;   // empty: X-ray radiation dose SR
    bool ctReport = false;  // a CT dose report's acquisition instead of projection events
    std::string studyDate = "20261201";
};

// The bytes of a report; with the 128-byte preamble and meta header, or the bare data set.
std::string WriteReport(const FxReport& r, bool preamble = true);

struct FxImage {
    FxPatient patient;
    FxDevice device;
    std::string sopClass;  // empty: DX for presentation
    // Attributes by (group, element) and their text (multi values joined by backslashes).
    std::vector<std::pair<std::pair<unsigned, unsigned>, std::string>> attributes;
};
std::string WriteImage(const FxImage& img, bool preamble = true);

// The standard attributes of a DX chest PA: 110 kV, 320 mA, 10 ms, 3.2 mAs, SID 1800 mm.
FxImage FxChestImage();

}  // namespace dovex::testing
