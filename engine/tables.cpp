#include "engine/tables.h"

#include <cmath>
#include <string>

#include "engine/error.h"
#include "engine/textio.h"

namespace dovex {
namespace {

namespace fs = std::filesystem;

FieldReader OpenData(const fs::path& dir, const char* name) {
    return FieldReader(ReadFileBytes(dir / name, name), name);
}

void SkipHeader(FieldReader& r) {
    if (!r.ReadLine()) throw DataFileError(r.fileName(), "empty file: the header line is missing");
}

void ReadBackscatterFile(BackscatterTable& table, long phantom, const fs::path& dir,
                         const char* name) {
    FieldReader r = OpenData(dir, name);
    SkipHeader(r);
    constexpr std::size_t kFields = 300 * 32;
    for (long k = 1; k <= 300; ++k) {
        r.NextNumber(kFields);  // ring label, not used
        for (long m = 1; m <= 31; ++m) table.at(phantom, m, k) = r.NextNumber(kFields);
    }
}

void ReadAttenuation(AttenuationTable& a, const fs::path& dir) {
    FieldReader r = OpenData(dir, files::kAttenuation);
    constexpr std::size_t kFields = 300 * 7;
    for (long i = 1; i <= 300; ++i) {
        r.NextNumber(kFields);  // energy, not used
        a.muW[i] = r.NextNumber(kFields);
        a.muAl[i] = r.NextNumber(kFields);
        a.muCu[i] = r.NextNumber(kFields);
        a.muenAir[i] = r.NextNumber(kFields);
        a.muenSoft[i] = r.NextNumber(kFields);
        a.muenSkin[i] = r.NextNumber(kFields);
    }
}

void ReadDefaultOutput(DefaultOutputTable& o, const fs::path& dir) {
    FieldReader r = OpenData(dir, files::kDefaultOutput);
    SkipHeader(r);
    constexpr std::size_t kFields = 54;
    for (long j = 1; j <= 12; ++j) o.outputKv[j] = r.NextNumber(kFields);
    for (long col = 1; col <= 3; ++col) {
        for (long j = 1; j <= 12; ++j) o.outputPerMas[j][col] = r.NextNumber(kFields);
        o.refAl[col] = r.NextNumber(kFields) * 0.1;  // mm to cm
        o.refCu[col] = r.NextNumber(kFields) * 0.1;
    }
}

}  // namespace

void ComputeBsfEnergyGrid(PhysicsTables& t) {
    for (long m = 2; m <= 31; ++m) t.bsfEnergyGrid[m] = static_cast<double>(m - 1) * 5;
    t.bsfEnergyGrid[1] = 1.0;
}

void ComputePrimaryFine(PhysicsTables& t) {
    for (long k = 2; k <= 30; ++k)
        if (!(t.primaryCoarse[k] > 0))
            throw DataFileError(files::kPrimary,
                                "primary dose factor " + std::to_string(k - 1) +
                                    " is not positive; its logarithm is undefined");
    t.primaryFine.fill(0.0);
    for (long i = 21; i <= 299; ++i) {
        double e = 0.5 * static_cast<double>(i);
        long k = static_cast<long>(e / 5);
        double eHi = 5.0 * static_cast<double>(k) + 5;
        double lhi = std::log(t.primaryCoarse[k + 1]);
        double llo = std::log(t.primaryCoarse[k]);
        t.primaryFine[i] = std::exp(lhi - (eHi - e) * (lhi - llo) / 5);
    }
    t.primaryFine[300] = t.primaryCoarse[30];
}

void LoadDoseConstants(PhysicsTables& t, const fs::path& dir) {
    {
        FieldReader r = OpenData(dir, files::kIcruSoft);
        double n = r.NextNumber(2);
        if (n != std::floor(n) || n < 2 || n > 37)
            throw DataFileError(files::kIcruSoft, "row count " + std::to_string(n) +
                                                      " must be a whole number from 2 to 37");
        long rows = static_cast<long>(n);
        std::size_t expected = 2 + static_cast<std::size_t>(rows) * 4;
        r.NextNumber(expected);  // not used
        for (long row = 1; row <= rows; ++row) {
            IcruSoftRow& x = t.icruSoft[row];
            x.energyKeV = r.NextNumber(expected) * 1000;
            x.c1 = r.NextNumber(expected);
            x.c2 = r.NextNumber(expected);
            x.c3 = r.NextNumber(expected);
        }
        t.icruSoftRows = rows;
    }
    {
        FieldReader r = OpenData(dir, files::kPrimary);
        constexpr std::size_t kFields = 58;
        for (long k = 2; k <= 30; ++k) {
            r.NextNumber(kFields);  // energy, not used
            t.primaryCoarse[k] = r.NextNumber(kFields);
        }
    }
    ComputePrimaryFine(t);
    t.piValue = kPi;
    for (long i = 1; i <= 15; ++i) t.tissueWeights[i] = kIcrp103TissueWeights[i - 1];
}

void LoadPhysicsTables(PhysicsTables& t, const fs::path& dir) {
    t.airWOverE = kAirWOverE;
    ComputeBsfEnergyGrid(t);
    ReadBackscatterFile(t.dbsfSoft, 0, dir, files::kBsfSoftBody);
    ReadBackscatterFile(t.dbsfAir, 0, dir, files::kBsfAirBody);
    ReadBackscatterFile(t.dbsfSkin, 0, dir, files::kBsfSkinBody);
    ReadBackscatterFile(t.dbsfSoft, 1, dir, files::kBsfSoftHead);
    ReadBackscatterFile(t.dbsfAir, 1, dir, files::kBsfAirHead);
    ReadBackscatterFile(t.dbsfSkin, 1, dir, files::kBsfSkinHead);
    ReadAttenuation(t.att, dir);
    ReadDefaultOutput(t.output, dir);
    LoadDoseConstants(t, dir);
}

PhysicsTables LoadAllTables(const fs::path& dir) {
    PhysicsTables t;
    LoadPhysicsTables(t, dir);
    return t;
}

}  // namespace dovex
