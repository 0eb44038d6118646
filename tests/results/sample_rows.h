// SPDX-License-Identifier: MIT
#pragma once
// Rows for the results tests: a typical calculation and variations of it.
#include "results/model.h"

namespace dovex::test {

inline ResultRow TypicalRow() {
    ResultRow r;
    r.examPart = "腹部正面";
    r.surfaceShape = SurfaceShape::Plane;
    r.rectification = 1;
    r.exposureAt1m = 0.0000258;
    r.tubeVoltage = 75;
    r.tubeCurrent = 200;
    r.exposureTime = 0.05;
    r.targetAngle = 12;
    r.inherentFilter = 0.25;
    r.addedAl = 0.1;
    r.addedCu = 0;
    r.ffd = 100;
    r.fsd = 80;
    r.subjectThickness = 20;
    r.fieldPreset = "半切サイズ 縦";
    r.fieldLong = 43.2;
    r.fieldShort = 35.6;
    r.bsfSoft = 1.3456;
    r.bsfSkin = 1.3321;
    r.bsfAir = 1.2987;
    r.convSoft = 36.812;
    r.convSkin = 37.906;
    r.esdSoft = 1.234;
    r.esdSkin = 1.271;
    r.esdAir = 0.912;
    r.effectiveDose = 0.1234;
    return r;
}

inline ResultsTable TableOf(std::initializer_list<ResultRow> rows) {
    ResultsTable t;
    ClearResultsTable(t);
    int n = 1;
    for (const ResultRow& r : rows) t.rows[n++] = r;
    t.nextRow = n;
    return t;
}

}  // namespace dovex::test
