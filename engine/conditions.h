// SPDX-License-Identifier: MIT
#pragma once
// The irradiation conditions of one calculation, in the units the engine computes with
// (lengths in cm, filter thicknesses in cm although they are typed in mm, voltage in kV).
#include <string>

#include "engine/checked.h"

namespace dovex {

// The kinds of a condition. Their values are the codes the results file, the JSON output and
// dovex-calc's --rectification hold; engine/kinds.h converts between codes, kinds and texts.
enum class Rectification { ConstantPotential = 1, ThreePhase12Pulse = 2, SinglePhaseFullWave = 3 };
enum class FieldShape { Rectangle = 1, Circle = 2 };
enum class ExposureSource { Measured = 1, DefaultOutput = 2 };
enum class Phantom { Body = 0, Head = 1 };

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
    FieldShape fieldShape = FieldShape::Rectangle;
    Rectification rectification = Rectification::ConstantPotential;
    ExposureSource exposureSource = ExposureSource::DefaultOutput;
    double exposureAt1m = 0;          // C/kg for the whole exposure
    Phantom phantom = Phantom::Body;  // the backscatter phantom: body parts other than the head
    std::string examPart = "腹部正面";
};

// Linear attenuation coefficient (per cm) of the arbitrary filter material on the fine grid.
using FineArray = Checked<double, 1, 300>;

struct ArbitraryFilter {
    bool on = false;  // the filter is applied
    FineArray mu;     // arbitraryFilterMu, per cm, bin i = 0.5*i keV
};

// Energy of fine-grid bin i in keV.
constexpr double FineEnergy(long i) { return 0.5 * static_cast<double>(i); }

}  // namespace dovex
