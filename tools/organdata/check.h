// SPDX-License-Identifier: MIT
#pragma once
// Comparison of the estimate with reference organ doses from a voxel-phantom Monte Carlo: the
// program's own chain (spectrum, entrance doses, depth dose from the scatter kernels, organ
// doses) run on given organ records, and the reference figures of
// tools/reference/voxel-organ-doses.md (ICRP 110 AM/AF average, dose per entrance-surface air
// kerma).
#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/conditions.h"
#include "engine/tables.h"
#include "tools/organdata/model.h"

namespace dovex::organdata {

// Organ doses in the order of the 15 tissue weights (skin: both skin rows together).
using WeightedDoses = std::array<double, 15>;

struct PerEsak {
    double esak = 0;        // entrance-surface air kerma free in air, mGy (esdAir / bsfAir)
    WeightedDoses organ{};  // equivalent dose per ESAK of each weighted tissue, mSv/mGy
    double e = 0;           // effective dose per ESAK, mSv/mGy
};

// Runs the estimate for conditions `c` with the organ records `records` (empty: the exam part's
// organ data file in `dataDir`) and the physical data and scatter kernels of `dataDir`.
PerEsak EstimatePerEsak(ExposureConditions c, const std::vector<TissueRecord>& records,
                        const PhysicsTables& tables, const std::filesystem::path& dataDir);

struct VoxelReference {
    std::string name;       // exam part of the list, or the geometry checked ("頭部PA")
    ExposureConditions c;   // conditions of the reference calculation
    WeightedDoses organ{};  // dose per ESAK, mGy/mGy
    double e = 0;           // effective dose per ESAK, mSv/mGy
};

// The reference radiographs: chest PA, abdomen AP, lumbar spine lateral (the calibration set of
// the method constants) and skull PA (the head anatomy).
const std::vector<VoxelReference>& VoxelReferences();

// Conditions of a reference or standard radiograph: total filtration `filterMm` mm Al, no added
// filter, rectangular field at the receptor; the head backscatter phantom for head exams.
ExposureConditions Conditions(const std::string& part, double kv, double mas, double sid,
                              double fsd, double thickness, double longSide, double shortSide,
                              double filterMm);

// Short names of the 15 weighted tissues, for tables.
const char* WeightedTissueName(int index);

}  // namespace dovex::organdata
