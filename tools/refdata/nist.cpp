// SPDX-License-Identifier: MIT
#include "tools/refdata/nist.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <stdexcept>

namespace dovex::refdata {

NistTable NistTable::FromRows(std::vector<NistRow> rows, std::string name) {
    if (rows.size() < 2) throw std::runtime_error(name + ": fewer than two rows");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const NistRow& r = rows[i];
        if (!(r.energyMeV > 0) || !(r.muRho > 0) || !(r.muenRho > 0))
            throw std::runtime_error(name + ": row " + std::to_string(i + 1) +
                                     " holds a value that is not positive");
        if (i > 0 && r.energyMeV < rows[i - 1].energyMeV)
            throw std::runtime_error(name + ": energies fall at row " + std::to_string(i + 1));
        if (i > 1 && r.energyMeV == rows[i - 1].energyMeV && r.energyMeV == rows[i - 2].energyMeV)
            throw std::runtime_error(name + ": three rows of equal energy at row " +
                                     std::to_string(i + 1));
    }
    if (rows[0].energyMeV == rows[1].energyMeV ||
        rows[rows.size() - 1].energyMeV == rows[rows.size() - 2].energyMeV)
        throw std::runtime_error(name + ": the table may not begin or end at an edge");
    NistTable t;
    t.rows_ = std::move(rows);
    t.name_ = std::move(name);
    return t;
}

NistTable NistTable::Load(const std::filesystem::path& csv) {
    const std::string name = csv.filename().string();
    std::ifstream in(csv, std::ios::binary);
    if (!in) throw std::runtime_error(name + ": cannot open " + csv.string());
    std::vector<NistRow> rows;
    std::string line;
    std::size_t lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#' || line.rfind("energy", 0) == 0) continue;
        NistRow r;
        std::istringstream fields(line);
        char c1 = 0, c2 = 0;
        fields >> r.energyMeV >> c1 >> r.muRho >> c2 >> r.muenRho;
        if (!fields || c1 != ',' || c2 != ',')
            throw std::runtime_error(name + ": line " + std::to_string(lineNo) +
                                     " is not \"energy,mu/rho,muen/rho\"");
        rows.push_back(r);
    }
    return FromRows(std::move(rows), name);
}

double NistTable::AtMeV(double e, bool muen, bool belowEdge) const {
    if (!(e > 0) || !std::isfinite(e))
        throw std::runtime_error(name_ + ": energy must be positive");
    // First row whose energy is above e: rows j-1 and j then bracket e within one segment,
    // because at an edge both rows of the pair lie at or below e. Below an edge: the first row
    // at or above e, so that the segment ends at the lower row of the pair.
    auto it = belowEdge
                  ? std::lower_bound(rows_.begin(), rows_.end(), e,
                                     [](const NistRow& r, double x) { return r.energyMeV < x; })
                  : std::upper_bound(rows_.begin(), rows_.end(), e,
                                     [](double x, const NistRow& r) { return x < r.energyMeV; });
    std::size_t j = static_cast<std::size_t>(it - rows_.begin());
    if (j == 0) j = 1;
    if (j == rows_.size()) j = rows_.size() - 1;
    const NistRow& a = rows_[j - 1];
    const NistRow& b = rows_[j];
    const double ya = muen ? a.muenRho : a.muRho;
    const double yb = muen ? b.muenRho : b.muRho;
    const double t = std::log(e / a.energyMeV) / std::log(b.energyMeV / a.energyMeV);
    return std::exp(std::log(ya) + t * std::log(yb / ya));
}

double MixtureMuenRho(const std::vector<WeightedTable>& parts, double keV) {
    double sum = 0;
    for (const auto& p : parts) sum += p.massFraction * p.table->MuenRho(keV);
    return sum;
}

double MixtureMuRho(const std::vector<WeightedTable>& parts, double keV) {
    double sum = 0;
    for (const auto& p : parts) sum += p.massFraction * p.table->MuRho(keV);
    return sum;
}

NistTable MixtureTable(const std::vector<WeightedTable>& parts, const std::string& name) {
    std::vector<double> energies;
    for (const auto& p : parts)
        for (const auto& r : p.table->rows()) energies.push_back(r.energyMeV);
    std::sort(energies.begin(), energies.end());
    energies.erase(std::unique(energies.begin(), energies.end()), energies.end());
    std::vector<NistRow> rows;
    for (double e : energies) {
        bool edge = false;
        for (const auto& p : parts) {
            const auto& r = p.table->rows();
            for (std::size_t i = 1; i < r.size(); ++i)
                if (r[i].energyMeV == e && r[i - 1].energyMeV == e) edge = true;
        }
        for (bool below : {true, false}) {
            if (below && !edge) continue;
            NistRow row{e, 0, 0};
            for (const auto& p : parts) {
                row.muRho += p.massFraction * p.table->AtMeV(e, false, below);
                row.muenRho += p.massFraction * p.table->AtMeV(e, true, below);
            }
            rows.push_back(row);
        }
    }
    return NistTable::FromRows(std::move(rows), name);
}

}  // namespace dovex::refdata
