// SPDX-License-Identifier: MIT
#pragma once
// The results table: up to 15 kept calculations, each a ResultRow, in slots 1 to 15 of a table
// whose counter nextRow names the next free slot (1 for an empty table, 16 for a full one).
// The model knows nothing of windows; the results window draws it and the CSV file stores it.
#include <string>
#include <string_view>

#include "engine/checked.h"
#include "engine/conditions.h"
#include "engine/dose.h"

namespace dovex {

// Shape of the entrance surface, with its code as stored in a row.
enum class SurfaceShape : int {
    Plane = 0,
    Cylinder = 1,
    EllipticCylinder = 2,
    HeadPlane = 3,
    Racetrack = 4,
};

// The word of a shape as the results file writes it ("平面", "円柱面", "楕円柱面", "頭平面",
// "Racetrack").
std::string_view SurfaceShapeWord(SurfaceShape s);
// The shape of a word as the results file reader understands it: the four words above, and any
// other text is a racetrack.
SurfaceShape SurfaceShapeFromWord(std::string_view word);
// A stored code (any int) as a shape; codes outside 0..4 count as racetrack.
SurfaceShape SurfaceShapeFromCode(int code);

// The current entrance surface: plane at start-up with empty (zero) dimensions; only reading a
// results file changes it, to the surface of the last row read.
struct CurrentSurface {
    SurfaceShape shape = SurfaceShape::Plane;
    double cylinderRadius = 0;  // cm
    double ellipseHRadius = 0;  // cm
    double ellipseVRadius = 0;  // cm
    double racetrackA = 0, racetrackB = 0, racetrackL = 0;
};

// One kept calculation. Lengths and filter thicknesses in cm, as the calculation holds them.
struct ResultRow {
    std::string examPart;
    SurfaceShape surfaceShape = SurfaceShape::Plane;
    double cylinderRadius = 0;
    double ellipseHRadius = 0;
    double ellipseVRadius = 0;
    double racetrackA = 0, racetrackB = 0, racetrackL = 0;
    int rectification = 0;      // 1 constant potential, 2 three-phase 12-pulse, 3 single-phase
    double exposureAt1m = 0;    // C/kg
    double tubeVoltage = 0;     // kV
    double tubeCurrent = 0;     // mA
    double exposureTime = 0;    // s
    double targetAngle = 0;     // degrees
    double inherentFilter = 0;  // cm Al
    double addedAl = 0;         // cm
    double addedCu = 0;         // cm
    std::string arbitraryFilterName;                // empty = none
    double arbitraryFilterThickness = 0;            // cm, 0 = none
    double ffd = 0, fsd = 0, subjectThickness = 0;  // cm
    std::string fieldPreset;
    double fieldLong = 0, fieldShort = 0;  // cm
    double hvl1 = 0, hvl2 = 0;             // cm Al
    double effectiveEnergy = 0;            // keV
    double qualityIndex = 0;
    double bsfSoft = 0, bsfSkin = 0, bsfAir = 0;
    double convSoft = 0, convSkin = 0;            // Gy/(C/kg)
    double esdSoft = 0, esdSkin = 0, esdAir = 0;  // mGy
    double effectiveDose = 0;                     // mSv, 0 = not estimated

    bool operator==(const ResultRow&) const = default;
};

struct ResultsTable {
    static constexpr int kCapacity = 15;
    Checked<ResultRow, 0, 15> rows;  // slot 0 is never used
    int nextRow = 1;

    int count() const { return nextRow - 1; }
    bool empty() const { return nextRow <= 1; }
    bool full() const { return nextRow > kCapacity; }
    // Row n (1 .. count()); throws CalcError outside the slots.
    const ResultRow& row(int n) const { return rows[n]; }
    ResultRow& row(int n) { return rows[n]; }
};

// Empties every slot (0 in every number, the empty text in every text) and sets nextRow to 1.
void ClearResultsTable(ResultsTable& table);

// The stored row of the current calculation: exam part and conditions, the surface with the
// dimensions its shape uses, and the results (conversion, backscatter, doses, beam quality,
// effective dose). `slot` is the row the values land on; fields the shape does not use keep
// their values from `slot` (0 in a cleared slot).
ResultRow MakeResultRow(const ExposureConditions& c, const DoseResult& d, const CurrentSurface& s,
                        const ResultRow& slot = {});

enum class AppendOutcome {
    Stored,         // stored; the table has room for more
    StoredAndFull,  // the fifteenth row was stored: the caller shows the capacity warning
    Refused,        // the table was already full; nothing changed
};

// Stores the current calculation in slot nextRow and advances nextRow.
AppendOutcome AppendCurrentResult(ResultsTable& table, const ExposureConditions& c,
                                  const DoseResult& d, const CurrentSurface& s);

// Copies a stored row back into the current values: the conditions it holds (exam part,
// rectification, exposure at 1 m, tube, filters, distances, field), the surface and its
// dimensions, the beam-quality values and the results. Fields a row does not hold (phantom,
// exposure source, field shape, convAir) keep their values.
void LoadRowIntoCurrent(const ResultRow& row, ExposureConditions& c, DoseResult& d,
                        CurrentSurface& s);

// Sums of the entrance surface doses and the effective dose over the stored rows (a row
// without an estimate adds 0).
struct ColumnTotals {
    double esdSoft = 0, esdSkin = 0, esdAir = 0, effectiveDose = 0;
};
ColumnTotals ComputeColumnTotals(const ResultsTable& table);

}  // namespace dovex
