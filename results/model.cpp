// SPDX-License-Identifier: MIT
#include "results/model.h"

#include <algorithm>

#include "engine/kinds.h"

namespace dovex {

std::string_view SurfaceShapeWord(SurfaceShape s) {
    switch (s) {
        case SurfaceShape::Plane:
            return "平面";
        case SurfaceShape::Cylinder:
            return "円柱面";
        case SurfaceShape::EllipticCylinder:
            return "楕円柱面";
        case SurfaceShape::HeadPlane:
            return "頭平面";
        case SurfaceShape::Racetrack:
            break;
    }
    return "Racetrack";
}

SurfaceShape SurfaceShapeFromWord(std::string_view word) {
    if (word == "平面") return SurfaceShape::Plane;
    if (word == "頭平面") return SurfaceShape::HeadPlane;
    if (word == "円柱面") return SurfaceShape::Cylinder;
    if (word == "楕円柱面") return SurfaceShape::EllipticCylinder;
    return SurfaceShape::Racetrack;
}

SurfaceShape SurfaceShapeFromCode(int code) {
    if (code >= 0 && code <= 3) return static_cast<SurfaceShape>(code);
    return SurfaceShape::Racetrack;
}

void ClearResultsTable(ResultsTable& table) {
    for (long i = 1; i <= ResultsTable::kCapacity; ++i) table.rows[i] = ResultRow{};
    table.nextRow = 1;
}

ResultRow MakeResultRow(const ExposureConditions& c, const DoseResult& d, const CurrentSurface& s,
                        const ResultRow& slot) {
    ResultRow r = slot;
    r.examPart = c.examPart;
    r.surfaceShape = s.shape;
    switch (s.shape) {
        case SurfaceShape::Plane:
        case SurfaceShape::HeadPlane:
            r.cylinderRadius = 0;
            r.ellipseHRadius = 0;
            r.ellipseVRadius = 0;
            break;
        case SurfaceShape::Cylinder:
            r.cylinderRadius = s.cylinderRadius;
            r.ellipseHRadius = 0;
            r.ellipseVRadius = 0;
            break;
        case SurfaceShape::EllipticCylinder:
            r.cylinderRadius = 0;
            r.ellipseHRadius = s.ellipseHRadius;
            r.ellipseVRadius = s.ellipseVRadius;
            break;
        case SurfaceShape::Racetrack:
            // The radii stay as the slot holds them; only a racetrack writes its three lengths.
            r.racetrackA = s.racetrackA;
            r.racetrackB = s.racetrackB;
            r.racetrackL = s.racetrackL;
            break;
    }
    r.rectification = CodeOf(c.rectification);
    r.exposureAt1m = c.exposureAt1m;
    r.tubeVoltage = c.tubeVoltage;
    r.tubeCurrent = c.tubeCurrent;
    r.exposureTime = c.exposureTime;
    r.targetAngle = c.targetAngle;
    r.inherentFilter = c.inherentFilter;
    r.addedAl = c.addedAl;
    r.addedCu = c.addedCu;
    r.arbitraryFilterName = c.arbitraryFilterName;
    r.arbitraryFilterThickness = c.arbitraryFilterThickness;
    r.ffd = c.ffd;
    r.fsd = c.fsd;
    r.subjectThickness = c.subjectThickness;
    r.fieldPreset = c.fieldPreset;
    r.fieldLong = c.fieldLong;
    r.fieldShort = c.fieldShort;
    r.hvl1 = d.hvl1;
    r.hvl2 = d.hvl2;
    r.effectiveEnergy = d.effectiveEnergy;
    r.qualityIndex = d.qualityIndex;
    r.bsfSoft = d.bsfSoft;
    r.bsfSkin = d.bsfSkin;
    r.bsfAir = d.bsfAir;
    r.convSoft = d.convSoft;
    r.convSkin = d.convSkin;
    r.esdSoft = d.esdSoft;
    r.esdSkin = d.esdSkin;
    r.esdAir = d.esdAir;
    r.effectiveDose = d.effectiveDose;
    return r;
}

AppendOutcome AppendCurrentResult(ResultsTable& table, const ExposureConditions& c,
                                  const DoseResult& d, const CurrentSurface& s) {
    if (table.nextRow < 1 || table.full()) return AppendOutcome::Refused;
    ResultRow& slot = table.rows[table.nextRow];
    slot = MakeResultRow(c, d, s, slot);
    ++table.nextRow;
    return table.full() ? AppendOutcome::StoredAndFull : AppendOutcome::Stored;
}

void LoadRowIntoCurrent(const ResultRow& r, ExposureConditions& c, DoseResult& d,
                        CurrentSurface& s) {
    c.examPart = r.examPart;
    s.shape = r.surfaceShape;
    s.cylinderRadius = r.cylinderRadius;
    s.ellipseHRadius = r.ellipseHRadius;
    s.ellipseVRadius = r.ellipseVRadius;
    s.racetrackA = r.racetrackA;
    s.racetrackB = r.racetrackB;
    s.racetrackL = r.racetrackL;
    c.rectification = RectificationOrSinglePhase(r.rectification);
    c.exposureAt1m = r.exposureAt1m;
    c.tubeVoltage = r.tubeVoltage;
    c.tubeCurrent = r.tubeCurrent;
    c.exposureTime = r.exposureTime;
    c.targetAngle = r.targetAngle;
    c.inherentFilter = r.inherentFilter;
    c.addedAl = r.addedAl;
    c.addedCu = r.addedCu;
    c.arbitraryFilterName = r.arbitraryFilterName;
    c.arbitraryFilterThickness = r.arbitraryFilterThickness;
    c.ffd = r.ffd;
    c.fsd = r.fsd;
    c.subjectThickness = r.subjectThickness;
    c.fieldPreset = r.fieldPreset;
    c.fieldLong = r.fieldLong;
    c.fieldShort = r.fieldShort;
    d.hvl1 = r.hvl1;
    d.hvl2 = r.hvl2;
    d.effectiveEnergy = r.effectiveEnergy;
    d.qualityIndex = r.qualityIndex;
    d.bsfSoft = r.bsfSoft;
    d.bsfSkin = r.bsfSkin;
    d.bsfAir = r.bsfAir;
    d.convSoft = r.convSoft;
    d.convSkin = r.convSkin;
    d.esdSoft = r.esdSoft;
    d.esdSkin = r.esdSkin;
    d.esdAir = r.esdAir;
    d.effectiveDose = r.effectiveDose;
}

ColumnTotals ComputeColumnTotals(const ResultsTable& table) {
    ColumnTotals t;
    const int n = std::min(table.count(), ResultsTable::kCapacity);
    for (int i = 1; i <= n; ++i) {
        const ResultRow& r = table.row(i);
        t.esdSoft += r.esdSoft;
        t.esdSkin += r.esdSkin;
        t.esdAir += r.esdAir;
        t.effectiveDose += r.effectiveDose;
    }
    return t;
}

}  // namespace dovex
