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
    if (!line) throw DataFileError(DisplayName(file), "empty file: the material name is missing");
    try {
        return Cp932ToUtf8(*line);
    } catch (const std::exception&) {
        throw DataFileError(DisplayName(file), "the material name is not valid cp932 text");
    }
}

MaterialTable ReadMaterialFile(const fs::path& file) {
    const std::string name = DisplayName(file);
    FieldReader r(ReadFileBytes(file, name, 1u << 20), name);
    MaterialTable m;
    auto line = r.ReadLine();
    if (!line) throw DataFileError(name, "empty file: the material name is missing");
    try {
        m.name = Cp932ToUtf8(*line);
    } catch (const std::exception&) {
        throw DataFileError(name, "the material name is not valid cp932 text");
    }
    // The record count is open until the 10 MeV record; count what a complete table needs.
    constexpr std::size_t kAtLeast = 2 + 6 * 2;
    m.density = r.NextNumber(kAtLeast);
    if (!(m.density > 0)) throw DataFileError(name, "density must be above 0 g/cm3");
    r.NextNumber(kAtLeast);  // not used
    for (;;) {
        if (m.energyMeV.size() == kMaxMaterialRecords)
            throw DataFileError(name, "more than 100 records before the 10 MeV record");
        auto next = [&] {
            if (r.AtEnd())
                throw DataFileError(name, "the table ends before a record at 10 MeV (after " +
                                              std::to_string(m.energyMeV.size()) + " records)");
            return r.NextNumber(r.itemsRead() + 1);
        };
        double e = next();
        double c1 = next(), c2 = next(), c3 = next();
        next();
        next();
        double total = c1 + c2 + c3;
        std::size_t n = m.energyMeV.size() + 1;
        if (!(e > 0))
            throw DataFileError(name, "record " + std::to_string(n) + ": energy must be above 0");
        if (!(total > 0))
            throw DataFileError(
                name, "record " + std::to_string(n) + ": attenuation coefficient must be above 0");
        if (!m.energyMeV.empty() && e < m.energyMeV.back())
            throw DataFileError(name, "record " + std::to_string(n) + ": energies must rise");
        if (m.energyMeV.size() >= 2 && e == m.energyMeV.back() &&
            e == m.energyMeV[m.energyMeV.size() - 2])
            throw DataFileError(name,
                                "record " + std::to_string(n) + ": three records of equal energy");
        m.energyMeV.push_back(e);
        m.total.push_back(total);
        if (e >= 10) break;
    }
    if (m.energyMeV.front() > 0.001)
        throw DataFileError(name, "the first record must lie at or below 0.001 MeV (1 keV)");
    return m;
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
