// SPDX-License-Identifier: MIT
#include "engine/tables.h"

#include <cmath>
#include <cstdio>
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
    // The table as a whole: the backscatter factor of a reference field at the energies of
    // diagnostic beams.
    constexpr double kFsd = 100;
    const long rings = static_cast<long>(kBsfCheckRadius * 10 + 0.5);
    for (long m = 9; m <= 21; ++m) {  // 40, 45, ..., 100 keV
        double acc = 0;
        for (long k = 1; k <= rings; ++k) {
            const double rho = 0.1 * static_cast<double>(k) - 0.05;
            acc += table.at(phantom, m, k) * kFsd * kFsd / (kFsd * kFsd + rho * rho);
        }
        const double bsf = 1 + acc;
        if (!(bsf >= kMinReferenceBsf && bsf <= kMaxReferenceBsf)) {
            const std::string keV = std::to_string((m - 1) * 5);
            const std::string field = PlainNumber(kBsfCheckRadius);
            throw DataFileError(
                name,
                "半径 " + field + " cm の照射野 (FSD 100 cm) の " + keV + " keV の後方散乱係数が " +
                    PlainNumber(bsf) + " になり、" + PlainNumber(kMinReferenceBsf) + " から " +
                    PlainNumber(kMaxReferenceBsf) + " の範囲にありません (the table gives " +
                    PlainNumber(bsf) + " as the backscatter factor of a " + field +
                    " cm radius field at 100 cm FSD at " + keV + " keV, outside " +
                    PlainNumber(kMinReferenceBsf) + " to " + PlainNumber(kMaxReferenceBsf) + ")");
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
        if (!(e >= kMinIcruEnergyMeV && e <= kMaxIcruEnergyMeV))
            Implausible(r, e,
                        "軟組織の係数のエネルギー (MeV) として " + PlainNumber(kMinIcruEnergyMeV) +
                            " から " + PlainNumber(kMaxIcruEnergyMeV) +
                            " MeV の範囲になければなりません",
                        "MeV must lie within " + PlainNumber(kMinIcruEnergyMeV) + " to " +
                            PlainNumber(kMaxIcruEnergyMeV) + " MeV");
        x.energyKeV = e * 1000;
        x.c1 = Positive(r, expected, "減弱係数", "an attenuation coefficient");
        if (!(x.c1 <= kMaxCoherentSoft))
            Implausible(r, x.c1,
                        "軟組織の干渉性散乱の係数として大きすぎます (上限 " +
                            PlainNumber(kMaxCoherentSoft) + " /cm)",
                        "is too large for the coherent coefficient of soft tissue (at most " +
                            PlainNumber(kMaxCoherentSoft) + " per cm)");
        x.c2 = Positive(r, expected, "減弱係数", "an attenuation coefficient");
        if (!(x.c2 >= kMinIncoherentSoft && x.c2 <= kMaxIncoherentSoft))
            Implausible(r, x.c2,
                        "軟組織のコンプトン散乱の係数として " + PlainNumber(kMinIncoherentSoft) +
                            " から " + PlainNumber(kMaxIncoherentSoft) +
                            " /cm の範囲になければなりません",
                        "must lie within " + PlainNumber(kMinIncoherentSoft) + " to " +
                            PlainNumber(kMaxIncoherentSoft) +
                            " per cm as the incoherent coefficient of soft tissue");
        x.c3 = Positive(r, expected, "減弱係数", "an attenuation coefficient");
        const double scaled = x.c3 * std::pow(x.energyKeV / 10, 3);
        if (!(scaled >= kMinPhotoSoftScaled && scaled <= kMaxPhotoSoftScaled))
            Implausible(r, x.c3,
                        "軟組織の光電効果の係数としてありえません ((E/10 keV)^3 を掛けて " +
                            PlainNumber(scaled) + "、" + PlainNumber(kMinPhotoSoftScaled) +
                            " から " + PlainNumber(kMaxPhotoSoftScaled) + " /cm の範囲外)",
                        "is impossible as the photoelectric coefficient of soft tissue (times "
                        "(E/10 keV)^3 it gives " +
                            PlainNumber(scaled) + ", outside " + PlainNumber(kMinPhotoSoftScaled) +
                            " to " + PlainNumber(kMaxPhotoSoftScaled) + " per cm)");
    }
    t.icruSoftRows = rows;
}

void ParsePrimaryData(PhysicsTables& t, std::string bytes) {
    FieldReader r(std::move(bytes), files::kPrimary);
    constexpr std::size_t kFields = 58;
    for (long k = 2; k <= 30; ++k) {
        r.NextNumber(kFields);  // energy, not used
        const double p = Positive(r, kFields, "一次線量係数", "a primary dose factor");
        // The energy of line k - 1 is 5k keV, whatever the (unused) first column says.
        const double keV = 5.0 * static_cast<double>(k);
        const double muen = p / (keV * kPrimaryDoseUnit);
        char muenText[32];
        std::snprintf(muenText, sizeof muenText, "%.3g", muen);
        const double hi = keV >= 60 ? kMaxMuenSoftHigh : kMaxMuenSoftLow;
        if (!(muen >= kMinMuenSoftHigh && muen <= hi))
            Implausible(
                r, p,
                PlainNumber(keV) + " keV の一次線量係数としてありえません (軟組織の" +
                    "質量エネルギー吸収係数 " + muenText + " cm2/g に当たり、" +
                    PlainNumber(kMinMuenSoftHigh) + " から " + PlainNumber(hi) + " の範囲外)",
                "is impossible as the primary dose factor at " + PlainNumber(keV) +
                    " keV (it means a mass energy-absorption coefficient of soft tissue of " +
                    muenText + " cm2/g, outside " + PlainNumber(kMinMuenSoftHigh) + " to " +
                    PlainNumber(hi) + ")");
        t.primaryCoarse[k] = p;
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
