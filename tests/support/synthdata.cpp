// SPDX-License-Identifier: MIT
#include "tests/support/synthdata.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "engine/textio.h"

namespace fs = std::filesystem;

namespace dovex::testing {
namespace {

std::string Num(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6E", v);
    return buf;
}

// Smooth power-law attenuation with a K edge, per cm.
double PowerLaw(double e, double a, double b, double edge = 0, double jump = 1) {
    double v = a * std::pow(e / 10.0, -2.8) + b;
    if (edge > 0 && e >= edge) v *= jump;
    return v;
}

}  // namespace

void WriteBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream f(file, std::ios::binary);
    if (!f) throw std::runtime_error("cannot write " + file.string());
    f << bytes;
}

std::string ReadBytes(const fs::path& file) {
    std::ifstream f(file, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

TempDir::TempDir() {
    std::random_device rd;
    path_ =
        fs::temp_directory_path() / ("dovex-test-" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

void WriteSyntheticData(const fs::path& dir, const SynthOptions& opt) {
    fs::create_directories(dir);
    // Differential backscatter: falls off with radius, rises then falls with energy; the head
    // phantom backscatters less.
    const char* bsf[6] = {"dBSF-SoftDose-SoftPhantom.dat", "dBSF-AirDose-SoftPhantom.dat",
                          "dBSF-SkinDose-SoftPhantom.dat", "dBSF-SoftDose-Soft_Head.dat",
                          "dBSF-AirDose-Soft_Head.dat",    "dBSF-SkinDose-Soft_Head.dat"};
    const double quantityScale[3] = {1.0, 0.95, 0.98};
    for (int f = 0; f < 6; ++f) {
        std::string s = "synthetic differential backscatter factors\r\n";
        double scale = quantityScale[f % 3] * (f >= 3 ? 0.8 : 1.0);
        for (int k = 1; k <= 300; ++k) {
            double rho = 0.1 * k - 0.05;
            s += Num(0.1 * k);
            for (int m = 1; m <= 31; ++m) {
                double e = m == 1 ? 1.0 : 5.0 * (m - 1);
                double energyShape = e < 5 ? 0.0 : (e / 60.0) * std::exp(1 - e / 60.0);
                double d =
                    scale * 0.004 * energyShape * std::exp(-rho / 4.0) * (1 - std::exp(-rho));
                s += "," + Num(d);
            }
            s += "\r\n";
        }
        WriteBytes(dir / bsf[f], s);
    }
    {
        std::string s;
        for (int i = 1; i <= 300; ++i) {
            double e = 0.5 * i;
            s += Num(e) + "," + Num(PowerLaw(e, 900, 1.5, 69.5, 5.0)) + "," +
                 Num(PowerLaw(e, 7.0, 0.45)) + "," + Num(PowerLaw(e, 120, 1.3, 9.0, 7.0)) + "," +
                 Num(PowerLaw(e, 4.5, 0.02)) + "," + Num(PowerLaw(e, 4.9, 0.022)) + "," +
                 Num(PowerLaw(e, 4.8, 0.022)) + "\r\n";
        }
        WriteBytes(dir / "Att_coeff2020.dat", s);
    }
    {
        std::string s = "synthetic default output, C/kg per mAs at 1 m\r\n";
        for (int j = 0; j < 12; ++j) s += (j ? "," : "") + Num(40 + 10 * j);
        s += "\r\n";
        const double factor[3] = {1.0, 0.95, 0.6};
        for (int col = 0; col < 3; ++col) {
            for (int j = 0; j < 12; ++j) {
                double kv = 40 + 10 * j;
                s += (j ? "," : "") + Num(factor[col] * 1.2e-8 * kv * kv / 100);
            }
            s += "\r\n2.5,0\r\n";
        }
        WriteBytes(dir / "default-output.op", s);
    }
    {
        std::string s = "30,0\r\n";
        for (int r = 1; r <= 30; ++r) {
            double e = 5.0 * r + 2;  // keV, 7..152
            s += Num(e / 1000) + "," + Num(0.02 * std::pow(e / 10, -1.8)) + "," +
                 Num(0.2 * std::pow(e / 10, -0.15)) + "," + Num(5.0 * std::pow(e / 10, -3.1)) +
                 "\r\n";
        }
        WriteBytes(dir / "ICRUSoft.dat", s);
    }
    {
        std::string s;
        for (int k = 2; k <= 30; ++k) {
            double e = 5.0 * k;
            s += Num(e) + "," + Num(1e5 * e * PowerLaw(e, 4.9, 0.022)) + "\r\n";
        }
        s += "synthetic primary dose factors\r\n";
        s += "aGy cm2\r\n";
        if (opt.withUserName) s += Utf8ToCp932OrThrow(opt.userName) + "\r\n";
        WriteBytes(dir / "Primary.dat", s);
    }
    if (opt.withExamParts) {
        const char* parts[] = {"胸部正面", "胸部側面", "腹部正面", "その他"};
        std::string s;
        for (const char* p : parts) s += Utf8ToCp932OrThrow(p) + "\r\n";
        WriteBytes(dir / u8"撮影部位.txt", s);
    }
}

}  // namespace dovex::testing
