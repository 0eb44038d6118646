#include "engine/tables.h"

#include <cmath>
#include <string>

#include "engine/error.h"
#include "engine/numtext.h"
#include "engine/textio.h"

namespace dovex {
namespace {

namespace fs = std::filesystem;

void SkipHeader(FieldReader& r) {
    if (!r.ReadLine())
        throw DataFileError(
            r.fileName(),
            "ファイルが空です: 見出し行がありません (empty file: the header line is "
            "missing)");
}

// A value that physics does not allow: the file, the line of the value, the value and the rule.
[[noreturn]] void Implausible(const FieldReader& r, double v, const std::string& ruleJa,
                              const std::string& ruleEn) {
    throw DataFileError(r.fileName(), std::to_string(r.itemLine()) + " 行目の値 " + PlainNumber(v) +
                                          " は" + ruleJa + " (line " +
                                          std::to_string(r.itemLine()) + ": value " +
                                          PlainNumber(v) + " " + ruleEn + ")");
}

double Positive(FieldReader& r, std::size_t expected, const char* whatJa, const char* whatEn) {
    const double v = r.NextNumber(expected);
    if (!(v > 0))
        Implausible(r, v, std::string(whatJa) + "として正でなければなりません",
                    std::string("must be positive as ") + whatEn);
    return v;
}

}  // namespace

void ParseBackscatterData(BackscatterTable& table, long phantom, std::string bytes,
                          const std::string& name) {
    FieldReader r(std::move(bytes), name);
    SkipHeader(r);
    constexpr std::size_t kFields = 300 * 32;
    for (long k = 1; k <= 300; ++k) {
        r.NextNumber(kFields);  // ring label, not used
        for (long m = 1; m <= 31; ++m) {
            const double v = r.NextNumber(kFields);
            if (!(v >= 0 && v <= kMaxDifferentialBsf))
                Implausible(r, v,
                            "後方散乱係数として 0 から " + PlainNumber(kMaxDifferentialBsf) +
                                " の範囲になければなりません",
                            "must lie within 0 to " + PlainNumber(kMaxDifferentialBsf) +
                                " as a differential backscatter factor");
            table.at(phantom, m, k) = v;
        }
    }
}

void ParseAttenuationData(AttenuationTable& a, std::string bytes) {
    FieldReader r(std::move(bytes), files::kAttenuation);
    constexpr std::size_t kFields = 300 * 7;
    const char* mu = "減弱係数";
    const char* muen = "エネルギー吸収係数";
    for (long i = 1; i <= 300; ++i) {
        r.NextNumber(kFields);  // energy, not used
        a.muW[i] = Positive(r, kFields, mu, "an attenuation coefficient");
        a.muAl[i] = Positive(r, kFields, mu, "an attenuation coefficient");
        a.muCu[i] = Positive(r, kFields, mu, "an attenuation coefficient");
        a.muenAir[i] = Positive(r, kFields, muen, "an energy-absorption coefficient");
        a.muenSoft[i] = Positive(r, kFields, muen, "an energy-absorption coefficient");
        a.muenSkin[i] = Positive(r, kFields, muen, "an energy-absorption coefficient");
    }
}

void ParseDefaultOutputData(DefaultOutputTable& o, std::string bytes) {
    FieldReader r(std::move(bytes), files::kDefaultOutput);
    SkipHeader(r);
    constexpr std::size_t kFields = 54;
    for (long j = 1; j <= 12; ++j) {
        o.outputKv[j] = Positive(r, kFields, "管電圧", "a tube voltage");
        if (j > 1 && !(o.outputKv[j] > o.outputKv[j - 1]))
            Implausible(
                r, o.outputKv[j],
                "前の管電圧 " + PlainNumber(o.outputKv[j - 1]) + " kV より大きくなければなりません",
                "must be above the voltage before it, " + PlainNumber(o.outputKv[j - 1]) + " kV");
    }
    for (long col = 1; col <= 3; ++col) {
        for (long j = 1; j <= 12; ++j) {
            const double v = Positive(r, kFields, "出力", "a tube output");
            if (!(v <= kMaxOutputPerMas))
                Implausible(r, v,
                            "X線管の出力 (C/kg/mAs) として大きすぎます (上限 " +
                                PlainNumber(kMaxOutputPerMas) + ")",
                            "is too large for a tube output in C/kg per mAs (at most " +
                                PlainNumber(kMaxOutputPerMas) + ")");
            o.outputPerMas[j][col] = v;
        }
        for (double* ref : {&o.refAl[col], &o.refCu[col]}) {
            const double v = r.NextNumber(kFields);
            if (!(v >= 0))
                Implausible(r, v, "ろ過の厚さとして負であってはなりません",
                            "must not be negative as a filter thickness");
            *ref = v * 0.1;  // mm to cm
        }
    }
}

void ParseIcruSoftData(PhysicsTables& t, std::string bytes) {
    FieldReader r(std::move(bytes), files::kIcruSoft);
    double n = r.NextNumber(2);
    if (n != std::floor(n) || n < 2 || n > 37)
        throw DataFileError(files::kIcruSoft, "行数 " + PlainNumber(n) +
                                                  " は 2 から 37 の整数でなければなりません (row "
                                                  "count " +
                                                  PlainNumber(n) +
                                                  " must be a whole number from 2 to 37)");
    long rows = static_cast<long>(n);
    std::size_t expected = 2 + static_cast<std::size_t>(rows) * 4;
    r.NextNumber(expected);  // not used
    for (long row = 1; row <= rows; ++row) {
        IcruSoftRow& x = t.icruSoft[row];
        const double e = Positive(r, expected, "エネルギー", "an energy");
        if (row > 1 && !(e * 1000 > t.icruSoft[row - 1].energyKeV))
            Implausible(r, e, "前の行のエネルギーより大きくなければなりません",
                        "must be above the energy of the row before");
        x.energyKeV = e * 1000;
        x.c1 = Positive(r, expected, "減弱係数", "an attenuation coefficient");
        x.c2 = Positive(r, expected, "減弱係数", "an attenuation coefficient");
        x.c3 = Positive(r, expected, "減弱係数", "an attenuation coefficient");
    }
    t.icruSoftRows = rows;
}

void ParsePrimaryData(PhysicsTables& t, std::string bytes) {
    FieldReader r(std::move(bytes), files::kPrimary);
    constexpr std::size_t kFields = 58;
    for (long k = 2; k <= 30; ++k) {
        r.NextNumber(kFields);  // energy, not used
        t.primaryCoarse[k] = Positive(r, kFields, "一次線量係数", "a primary dose factor");
    }
}

void ComputeBsfEnergyGrid(PhysicsTables& t) {
    for (long m = 2; m <= 31; ++m) t.bsfEnergyGrid[m] = static_cast<double>(m - 1) * 5;
    t.bsfEnergyGrid[1] = 1.0;
}

void ComputePrimaryFine(PhysicsTables& t) {
    for (long k = 2; k <= 30; ++k)
        if (!(t.primaryCoarse[k] > 0))
            throw DataFileError(files::kPrimary,
                                std::to_string(k - 1) +
                                    " 番目の一次線量係数が正ではありません (primary dose factor " +
                                    std::to_string(k - 1) +
                                    " is not positive; its logarithm is undefined)");
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
    ParseIcruSoftData(t, ReadFileBytes(dir / files::kIcruSoft, files::kIcruSoft));
    ParsePrimaryData(t, ReadFileBytes(dir / files::kPrimary, files::kPrimary));
    ComputePrimaryFine(t);
    t.piValue = kPi;
    for (long i = 1; i <= 15; ++i) t.tissueWeights[i] = kIcrp103TissueWeights[i - 1];
}

void LoadPhysicsTables(PhysicsTables& t, const fs::path& dir) {
    t.airWOverE = kAirWOverE;
    ComputeBsfEnergyGrid(t);
    auto bytes = [&](const char* name) { return ReadFileBytes(dir / name, name); };
    ParseBackscatterData(t.dbsfSoft, 0, bytes(files::kBsfSoftBody), files::kBsfSoftBody);
    ParseBackscatterData(t.dbsfAir, 0, bytes(files::kBsfAirBody), files::kBsfAirBody);
    ParseBackscatterData(t.dbsfSkin, 0, bytes(files::kBsfSkinBody), files::kBsfSkinBody);
    ParseBackscatterData(t.dbsfSoft, 1, bytes(files::kBsfSoftHead), files::kBsfSoftHead);
    ParseBackscatterData(t.dbsfAir, 1, bytes(files::kBsfAirHead), files::kBsfAirHead);
    ParseBackscatterData(t.dbsfSkin, 1, bytes(files::kBsfSkinHead), files::kBsfSkinHead);
    ParseAttenuationData(t.att, bytes(files::kAttenuation));
    ParseDefaultOutputData(t.output, bytes(files::kDefaultOutput));
    LoadDoseConstants(t, dir);
}

PhysicsTables LoadAllTables(const fs::path& dir) {
    PhysicsTables t;
    LoadPhysicsTables(t, dir);
    return t;
}

}  // namespace dovex
