// SPDX-License-Identifier: MIT
#include "tools/mc/mc_output.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "engine/error.h"
#include "engine/textio.h"

namespace dovex::mc {

const std::array<BsfFileName, 6> kBsfFiles = {{
    {"dBSF-SoftDose-SoftPhantom.dat", 0, 0},
    {"dBSF-AirDose-SoftPhantom.dat", 1, 0},
    {"dBSF-SkinDose-SoftPhantom.dat", 2, 0},
    {"dBSF-SoftDose-Soft_Head.dat", 0, 1},
    {"dBSF-AirDose-Soft_Head.dat", 1, 1},
    {"dBSF-SkinDose-Soft_Head.dat", 2, 1},
}};

double BsfColumnEnergy(int m) {
    if (m < 1 || m > kBsfColumns) throw std::out_of_range("backscatter column out of 1..31");
    return m == 1 ? 1.0 : 5.0 * (m - 1);
}

int KernelEnergy(int n) {
    if (n < 0 || n >= kKernelEnergies) throw std::out_of_range("kernel energy index out of 0..28");
    return 10 + 5 * n;
}

std::string KernelFileName(int energyKeV) { return std::to_string(energyKeV) + ".dat"; }

namespace {

std::string Num(double v) {
    if (!std::isfinite(v)) throw std::runtime_error("refusing to write a non-finite value");
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6E", v);
    return buf;
}

}  // namespace

std::string BsfFileText(std::string_view header, const std::vector<std::vector<double>>& columns) {
    if (columns.size() != static_cast<std::size_t>(kBsfColumns))
        throw std::invalid_argument("backscatter file needs 31 columns");
    for (const auto& c : columns)
        if (c.size() != 300) throw std::invalid_argument("backscatter column needs 300 rings");
    for (char ch : header)
        if (static_cast<unsigned char>(ch) >= 0x80 || ch == '\r' || ch == '\n')
            throw std::invalid_argument("backscatter header must be one line of ASCII");
    std::vector<std::string> lines;
    lines.reserve(301);
    lines.emplace_back(header);
    for (int k = 1; k <= 300; ++k) {
        char r[16];
        std::snprintf(r, sizeof r, "%.1f", 0.1 * k);
        std::string line = r;
        for (int m = 0; m < kBsfColumns; ++m) line += "," + Num(columns[m][k - 1]);
        lines.push_back(std::move(line));
    }
    return JoinCrLf(lines);
}

std::string KernelFileText(const std::vector<double>& kernel) {
    if (kernel.size() != 6400) throw std::invalid_argument("kernel file needs 6400 values");
    std::vector<std::string> lines;
    lines.reserve(320);
    for (int k = 0; k < 80; ++k)
        for (int g = 0; g < 4; ++g) {
            std::string line;
            for (int i = 0; i < 20; ++i) {
                if (i) line += ",";
                line += Num(kernel[k * 80 + g * 20 + i]);
            }
            lines.push_back(std::move(line));
        }
    return JoinCrLf(lines);
}

namespace {

double Finite(FieldReader& r, std::size_t expected) {
    const double v = r.NextNumber(expected);
    if (!std::isfinite(v))
        throw std::runtime_error(r.fileName() + ": non-finite value at line " +
                                 std::to_string(r.line()));
    return v;
}

}  // namespace

std::vector<std::vector<double>> ParseBsfFile(const std::string& bytes, const std::string& name) {
    try {
        FieldReader r(bytes, name);
        if (!r.ReadLine()) throw std::runtime_error(name + ": empty file");
        std::vector<std::vector<double>> cols(kBsfColumns, std::vector<double>(300));
        for (int k = 0; k < 300; ++k) {
            Finite(r, 300 * 32);  // ring radius, ignored by the program
            for (int m = 0; m < kBsfColumns; ++m) cols[m][k] = Finite(r, 300 * 32);
        }
        if (!r.AtEnd()) throw std::runtime_error(name + ": more than 300 x 32 fields");
        return cols;
    } catch (const DataFileError& e) {
        throw std::runtime_error(e.what());
    }
}

std::vector<double> ParseKernelFile(const std::string& bytes, const std::string& name) {
    try {
        FieldReader r(bytes, name);
        std::vector<double> v(6400);
        for (auto& x : v) x = Finite(r, 6400);
        if (!r.AtEnd()) throw std::runtime_error(name + ": more than 6400 fields");
        return v;
    } catch (const DataFileError& e) {
        throw std::runtime_error(e.what());
    }
}

double CircularFieldBsf(const std::vector<double>& d, double diameter, double fsd) {
    const int n = static_cast<int>(std::floor(5.0 * diameter + 1e-9));  // rings within d/2
    double s = 0;
    for (int k = 1; k <= n && k <= static_cast<int>(d.size()); ++k) {
        const double rho = 0.1 * k - 0.05;
        s += d[k - 1] * fsd * fsd / (fsd * fsd + rho * rho);
    }
    return 1.0 + s;
}

}  // namespace dovex::mc
