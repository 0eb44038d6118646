// SPDX-License-Identifier: MIT
#include "engine/material.h"

#include <algorithm>
#include <cmath>

#include "engine/error.h"
#include "engine/textio.h"

namespace dovex {
namespace fs = std::filesystem;

namespace {
std::string DisplayName(const fs::path& file) { return file.filename().string(); }
}  // namespace

std::string ReadMaterialName(const fs::path& file) {
    std::string bytes = ReadFileBytes(file, DisplayName(file), 1u << 20);
    FieldReader r(std::move(bytes), DisplayName(file));
    auto line = r.ReadLine();
    if (!line)
        throw DataFileError(DisplayName(file),
                            "ファイルが空です: 材質名がありません (empty file: the material name "
                            "is missing)");
    try {
        return Cp932ToUtf8(*line);
    } catch (const std::exception&) {
        throw DataFileError(DisplayName(file),
                            "材質名が Shift-JIS の文字ではありません (the material name is not "
                            "valid cp932 text)");
    }
}

MaterialTable ParseMaterialData(std::string bytes, const std::string& name) {
    FieldReader r(std::move(bytes), name);
    MaterialTable m;
    auto line = r.ReadLine();
    if (!line)
        throw DataFileError(name,
                            "ファイルが空です: 材質名がありません (empty file: the material name "
                            "is missing)");
    try {
        m.name = Cp932ToUtf8(*line);
    } catch (const std::exception&) {
        throw DataFileError(name,
                            "材質名が Shift-JIS の文字ではありません (the material name is not "
                            "valid cp932 text)");
    }
    auto fault = [&](const std::string& ja, const std::string& en) {
        const std::string l = std::to_string(r.itemLine());
        return DataFileError(name, l + " 行目: " + ja + " (line " + l + ": " + en + ")");
    };
    // The record count is open until the 10 MeV record; count what a complete table needs.
    constexpr std::size_t kAtLeast = 2 + 6 * 2;
    m.density = r.NextNumber(kAtLeast);
    if (!(m.density > 0))
        throw fault("密度は正でなければなりません", "the density must be above 0 g/cm3");
    r.NextNumber(kAtLeast);  // not used
    for (;;) {
        if (m.energyMeV.size() == kMaxMaterialRecords)
            throw DataFileError(name,
                                "10 MeV の行までに 100 行を超えています (more than 100 records "
                                "before the 10 MeV record)");
        auto next = [&] {
            if (r.AtEnd())
                throw DataFileError(
                    name,
                    "10 MeV の行の前で表が終わっています (the table ends before a record at "
                    "10 MeV, after " +
                        std::to_string(m.energyMeV.size()) + " records)");
            return r.NextNumber(r.itemsRead() + 1);
        };
        double e = next();
        double c[3] = {next(), next(), next()};
        for (double x : c)
            if (!(x >= 0))
                throw fault("減弱係数が負です", "an attenuation coefficient is negative");
        next();
        next();
        double total = c[0] + c[1] + c[2];
        if (!(e > 0))
            throw fault("エネルギーは正でなければなりません", "the energy must be above 0 MeV");
        if (!(total > 0) || !std::isfinite(total))
            throw fault("減弱係数の和は正でなければなりません",
                        "the sum of the attenuation coefficients must be above 0");
        if (!m.energyMeV.empty() && e < m.energyMeV.back())
            throw fault("エネルギーが昇順ではありません",
                        "energies must rise: this record's energy is below the previous one's");
        if (m.energyMeV.size() >= 2 && e == m.energyMeV.back() &&
            e == m.energyMeV[m.energyMeV.size() - 2])
            throw fault("同じエネルギーの行が 3 つ続いています", "three records of equal energy");
        m.energyMeV.push_back(e);
        m.total.push_back(total);
        if (e >= 10) break;
    }
    if (m.energyMeV.front() > 0.001)
        throw DataFileError(
            name,
            "最初の行のエネルギーは 0.001 MeV (1 keV) 以下でなければなりません (the "
            "first record must lie at or below 0.001 MeV (1 keV))");
    return m;
}

MaterialTable ReadMaterialFile(const fs::path& file) {
    const std::string name = DisplayName(file);
    return ParseMaterialData(ReadFileBytes(file, name, 1u << 20), name);
}

FineArray BuildArbitraryFilterMu(const MaterialTable& m) {
    const std::size_t n = m.energyMeV.size();
    if (n < 2 || m.total.size() != n) throw CalcError("material table has fewer than two records");
    FineArray mu;
    for (long k = 1; k <= 150; ++k) {
        const double e = 0.001 * static_cast<double>(k);
        std::size_t j = 0;  // first record whose energy is above e
        while (j < n && e >= m.energyMeV[j]) ++j;
        if (j == 0 || j >= n)
            throw CalcError("material table does not bracket " + std::to_string(k) + " keV");
        const double e0 = m.energyMeV[j - 1], e1 = m.energyMeV[j];
        const double t0 = m.total[j - 1], t1 = m.total[j];
        if (!(e1 > e0) || !(t0 > 0) || !(t1 > 0))
            throw CalcError("material table cannot be interpolated");
        const double v =
            std::exp(std::log(t0) + (std::log(e) - std::log(e0)) / (std::log(e1) - std::log(e0)) *
                                        (std::log(t1) - std::log(t0)));
        mu[2 * k] = v * m.density;
    }
    for (long i = 3; i <= 299; i += 2) mu[i] = (mu[i - 1] + mu[i + 1]) * 0.5;
    mu[1] = mu[2];
    return mu;
}

std::vector<fs::path> ListMaterialFiles(const fs::path& dir) {
    std::vector<fs::path> out;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        if (!entry.is_regular_file(ec)) continue;
        std::string ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        if (ext == ".ele" || ext == ".mix") out.push_back(entry.path());
    }
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace dovex
