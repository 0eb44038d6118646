// SPDX-License-Identifier: MIT
#include "tools/mc/mc_materials.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#ifndef DOVEX_NIST_MUEN_DIR
#define DOVEX_NIST_MUEN_DIR ""
#endif

namespace dovex::mc {

Material SoftTissueIcru44() {
    return {"soft tissue (ICRU-44)",
            1.06,
            {{1, 0.102},
             {6, 0.143},
             {7, 0.034},
             {8, 0.708},
             {11, 0.002},
             {15, 0.003},
             {16, 0.003},
             {17, 0.002},
             {19, 0.003}}};
}

Material SkinIcru44() {
    return {"skin (ICRU-44)",
            1.09,
            {{1, 0.100},
             {6, 0.204},
             {7, 0.042},
             {8, 0.645},
             {11, 0.002},
             {15, 0.001},
             {16, 0.002},
             {17, 0.003},
             {19, 0.001}}};
}

Material CorticalBoneIcru44() {
    return {"cortical bone (ICRU-44)",
            1.92,
            {{1, 0.034},
             {6, 0.155},
             {7, 0.042},
             {8, 0.435},
             {11, 0.001},
             {12, 0.002},
             {15, 0.103},
             {16, 0.003},
             {20, 0.225}}};
}

Material BrainIcru44() {
    return {"brain grey/white matter (ICRU-44)",
            1.04,
            {{1, 0.107},
             {6, 0.145},
             {7, 0.022},
             {8, 0.712},
             {11, 0.002},
             {15, 0.004},
             {16, 0.002},
             {17, 0.003},
             {19, 0.003}}};
}

Material DryAir() {
    return {"dry air", 0.001205, {{6, 0.000124}, {7, 0.755267}, {8, 0.231781}, {18, 0.012827}}};
}

Material LiquidWater() { return {"liquid water", 1.0, {{1, 0.111894}, {8, 0.888106}}}; }

double MassFractionSum(const Material& m) {
    double s = 0;
    for (const auto& e : m.elements) s += e.w;
    return s;
}

NistTable::NistTable(std::string name, std::vector<double> eKeV, std::vector<double> mu,
                     std::vector<double> muen)
    : name_(std::move(name)), e_(std::move(eKeV)), mu_(std::move(mu)), muen_(std::move(muen)) {
    if (e_.size() < 2 || mu_.size() != e_.size() || muen_.size() != e_.size())
        throw std::runtime_error(name_ + ": a NIST table needs at least two rows");
    for (std::size_t i = 0; i < e_.size(); ++i) {
        if (!(e_[i] > 0) || !(mu_[i] > 0) || !(muen_[i] > 0) || !std::isfinite(e_[i]) ||
            !std::isfinite(mu_[i]) || !std::isfinite(muen_[i]))
            throw std::runtime_error(name_ + ": non-positive or non-finite value in row " +
                                     std::to_string(i + 1));
        if (i > 0 && e_[i] < e_[i - 1])
            throw std::runtime_error(name_ + ": energies must not decrease (row " +
                                     std::to_string(i + 1) + ")");
        if (i > 1 && e_[i] == e_[i - 1] && e_[i - 1] == e_[i - 2])
            throw std::runtime_error(name_ + ": energy repeated more than twice");
    }
}

NistTable NistTable::Load(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error(file.string() + ": cannot open NIST table");
    std::vector<double> e, mu, muen;
    std::string line;
    std::size_t lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#' || line.rfind("energy", 0) == 0) continue;
        double a = 0, b = 0, c = 0;
        char tail = 0;
        if (std::sscanf(line.c_str(), "%lf,%lf,%lf %c", &a, &b, &c, &tail) != 3)
            throw std::runtime_error(file.string() + ": malformed row at line " +
                                     std::to_string(lineNo));
        e.push_back(a * 1000.0);  // MeV -> keV
        mu.push_back(b);
        muen.push_back(c);
    }
    return NistTable(file.filename().string(), std::move(e), std::move(mu), std::move(muen));
}

double NistTable::Interp(const std::vector<double>& y, double eKeV) const {
    if (!(eKeV > 0) || !std::isfinite(eKeV))
        throw std::runtime_error(name_ + ": energy must be positive and finite");
    const std::size_t n = e_.size();
    // Segment [i, i+1] with e_[i] < e_[i+1]: the last one whose lower end is <= eKeV, so that at
    // an edge energy the segment above the edge is used.
    std::size_t i;
    if (eKeV <= e_[0]) {
        i = 0;
    } else if (eKeV >= e_[n - 1]) {
        i = n - 2;
    } else {
        auto it = std::upper_bound(e_.begin(), e_.end(), eKeV);  // first > eKeV
        i = static_cast<std::size_t>(it - e_.begin()) - 1;       // e_[i] <= eKeV < e_[i+1]
    }
    // Skip zero-width (edge) pairs.
    while (i + 1 < n && e_[i + 1] == e_[i]) ++i;
    if (i + 1 >= n) i = n - 2;
    while (i > 0 && e_[i + 1] == e_[i]) --i;
    const double t = std::log(eKeV / e_[i]) / std::log(e_[i + 1] / e_[i]);
    return std::exp(std::log(y[i]) + t * std::log(y[i + 1] / y[i]));
}

double MuenFunction::Muen(double eKeV) const {
    if (parts_.empty()) throw std::runtime_error(name_ + ": no coefficient table");
    double s = 0;
    for (const auto& p : parts_) s += p.weight * p.table.Muen(eKeV);
    return s;
}

double MuenFunction::Mu(double eKeV) const {
    if (parts_.empty()) throw std::runtime_error(name_ + ": no coefficient table");
    double s = 0;
    for (const auto& p : parts_) s += p.weight * p.table.Mu(eKeV);
    return s;
}

std::filesystem::path DefaultNistDir() { return std::filesystem::path(DOVEX_NIST_MUEN_DIR); }

static MuenFunction Single(const std::filesystem::path& dir, const char* file, const char* name) {
    MuenFunction f(name);
    f.Add(1.0, NistTable::Load(dir / file));
    return f;
}

MuenFunction LoadSoftTissueMuen(const std::filesystem::path& nistDir) {
    return Single(nistDir, "tissue-icru44.csv", "soft tissue");
}
MuenFunction LoadAirMuen(const std::filesystem::path& nistDir) {
    return Single(nistDir, "air.csv", "air");
}
MuenFunction LoadWaterMuen(const std::filesystem::path& nistDir) {
    return Single(nistDir, "water.csv", "water");
}
MuenFunction LoadSkinMuen(const std::filesystem::path& nistDir) {
    return LoadMixtureMuen(nistDir, SkinIcru44());
}

MuenFunction LoadMixtureMuen(const std::filesystem::path& nistDir, const Material& m) {
    static const char* const kSymbols[] = {
        "",  "H",  "He", "Li", "Be", "B",  "C",  "N", "O",  "F",  "Ne", "Na", "Mg", "Al", "Si", "P",
        "S", "Cl", "Ar", "K",  "Ca", "Sc", "Ti", "V", "Cr", "Mn", "Fe", "Co", "Ni", "Cu", "Zn"};
    MuenFunction f(m.name);
    for (const auto& el : m.elements) {
        if (el.z < 1 || el.z > 30) throw std::runtime_error(m.name + ": element out of range");
        char file[32];
        std::snprintf(file, sizeof file, "Z%02d-%s.csv", el.z, kSymbols[el.z]);
        f.Add(el.w, NistTable::Load(nistDir / file));
    }
    return f;
}

}  // namespace dovex::mc
