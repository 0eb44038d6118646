#pragma once
// The irradiation conditions of one calculation, in the units the engine computes with
// (lengths in cm, filter thicknesses in cm although they are typed in mm, voltage in kV).
#include <string>

#include "engine/checked.h"

namespace dovex {

struct ExposureConditions {
    double tubeVoltage = 75;              // kV (peak)
    double tubeCurrent = 200;             // mA
    double exposureTime = 0.05;           // s
    double targetAngle = 12;              // degrees
    double inherentFilter = 0.25;         // cm Al equivalent
    double addedAl = 0.1;                 // cm
    double addedCu = 0;                   // cm
    std::string arbitraryFilterName;      // material name, empty = none
    double arbitraryFilterThickness = 0;  // cm
    double ffd = 100;                     // focus to image receptor, cm
    double subjectThickness = 20;         // cm
    double fsd = 80;                      // focus to skin, cm
    std::string fieldPreset = "半切サイズ 縦";
    double fieldLong = 43.2;   // cm at the image receptor (diameter for the circular field)
    double fieldShort = 35.6;  // cm at the image receptor
    int fieldShape = 1;        // 1 rectangular, 2 circular
    int rectification =
        1;  // 1 constant potential/inverter, 2 three-phase 12-pulse, 3 single-phase full-wave
    int exposureSource = 2;   // 1 measured value, 2 default output data
    double exposureAt1m = 0;  // C/kg for the whole exposure
    int phantom = 0;          // 0 body parts other than the head, 1 head
    std::string examPart = "腹部正面";
};

// Linear attenuation coefficient (per cm) of the arbitrary filter material on the fine grid.
using FineArray = Checked<double, 1, 300>;

struct ArbitraryFilter {
    int on = 0;    // 1 when the filter is applied
    FineArray mu;  // arbitraryFilterMu, per cm, bin i = 0.5*i keV
};

// Energy of fine-grid bin i in keV.
constexpr double FineEnergy(long i) { return 0.5 * static_cast<double>(i); }

}  // namespace dovex
