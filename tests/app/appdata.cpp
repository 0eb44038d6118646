// SPDX-License-Identifier: MIT
#include "tests/app/appdata.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "engine/tables.h"
#include "engine/textio.h"
#include "tests/support/synthdata.h"

namespace dovex::apptest {
namespace fs = std::filesystem;
namespace {

std::string Num(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.6E", v);
    return buf;
}

void Write(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream f(file, std::ios::binary);
    f << bytes;
    if (!f) throw std::runtime_error("cannot write " + file.string());
}

// Kernel of a pencil beam at energy e keV: scatter falls off with depth and ring radius, and
// more slowly at higher energies.
std::string KernelText(double keV) {
    const double depthScale = 2.0 + keV / 25.0;
    std::string s;
    for (int k = 1; k <= 80; ++k) {
        for (int g = 0; g < 4; ++g) {
            for (int j = g * 20 + 1; j <= g * 20 + 20; ++j) {
                const double v = 0.004 * std::exp(-(k - 0.5) * 0.5 / depthScale) *
                                 std::exp(-(j - 0.5) * 0.5 / 3.0) * (2 * j - 1);
                if (j > g * 20 + 1) s += ",";
                s += Num(v);
            }
            s += "\r\n";
        }
    }
    return s;
}

// 16 records: label, applies, start mode, start, end mode, end, percentage.
std::string OrganText(bool chest) {
    const char* rows[16][7] = {
        {"乳房", chest ? "1" : "0", "0", "1", "0", "4", "50"},
        {"骨髄(赤色)", "1", "0", "3", "2", "3", "15"},
        {"結腸", chest ? "0" : "1", "1", "0.2", "1", "0.6", "70"},
        {"肺", chest ? "1" : "0", "1", "0.2", "1", "0.8", "90"},
        {"胃", "1", "1", "0.2", "1", "0.55", "40"},
        {"生殖腺", chest ? "0" : "1", "1", "0.25", "1", "0.4", "50"},
        {"甲状腺", "0", "0", "0", "0", "0", "0"},
        {"食道", chest ? "1" : "0", "1", "0.3", "1", "0.6", "60"},
        {"肝臓", "1", "1", "0.2", "1", "0.7", "50"},
        {"膀胱", chest ? "0" : "1", "1", "0.15", "1", "0.45", "60"},
        {"骨表面", "1", "0", "3", "2", "3", "10"},
        {"入射皮膚面", "1", "0", "0", "0", "0", "3"},
        {"射出皮膚面", "1", "2", "0", "2", "0", "3"},
        {"脳", "0", "0", "0", "0", "0", "0"},
        {"唾液腺", "0", "0", "0", "0", "0", "0"},
        {"残りの組織", "1", "1", "0.1", "1", "0.9", "30"},
    };
    std::string s;
    for (const auto& r : rows) {
        std::string line;
        for (int i = 0; i < 7; ++i) line += (i ? "," : "") + std::string(r[i]);
        s += Utf8ToCp932OrThrow(line) + "\r\n";
    }
    return s;
}

}  // namespace

std::string MaterialFileText(const std::string& nameUtf8, double density) {
    std::string s = Utf8ToCp932OrThrow(nameUtf8) + "\r\n";
    s += Num(density) + ",13\r\n";
    // Log-spaced energies from 1 keV to 10 MeV; power-law partial coefficients.
    for (int i = 0; i <= 40; ++i) {
        const double e = 0.001 * std::pow(10.0, i * 0.1);
        const double coh = 0.5 * std::pow(e / 0.01, -1.9);
        const double inc = 0.15 * std::pow(e / 0.01, -0.1);
        const double pho = 30.0 * std::pow(e / 0.01, -3.0);
        s += Num(e) + "," + Num(coh) + "," + Num(inc) + "," + Num(pho) + "," +
             Num(coh + inc + pho) + "," + Num(inc + pho) + "\r\n";
    }
    return s;
}

void WriteAppTestData(const fs::path& dir, const AppDataOptions& opt) {
    testing::SynthOptions so;
    so.withUserName = opt.withUserName;
    so.userName = opt.userName;
    so.withExamParts = false;
    testing::WriteSyntheticData(dir, so);
    std::string parts;
    for (const auto& p : opt.examParts) parts += Utf8ToCp932OrThrow(p) + "\r\n";
    Write(dir / files::kExamParts, parts);
    if (opt.withKernels) {
        for (int e = 10; e <= 150; e += 5)
            Write(dir / "PDS-data" / (std::to_string(e) + ".dat"), KernelText(e));
    }
    for (const auto& part : opt.organParts) {
        const bool chest = part.find("胸部") != std::string::npos;
        Write(dir / "Organ-data" / fs::path(part + ".csv"), OrganText(chest));
    }
    if (opt.withMaterials) {
        Write(dir / "Al.ele", MaterialFileText("アルミニウム (Al)", 2.699));
        Write(dir / "Cu.ele", MaterialFileText("銅 (Cu)", 8.96));
        Write(dir / "Broken.mix",
              Utf8ToCp932OrThrow("壊れた材質") + "\r\n1.0,0\r\n0.005,1,1,1,3,3\r\n");
    }
}

fs::path ShippedDataDir() { return fs::path(DOVEX_SOURCE_DIR) / "data"; }

bool ShippedDataComplete() {
    const fs::path d = ShippedDataDir();
    const char* needed[] = {files::kBsfSoftBody, files::kBsfAirBody,    files::kBsfSkinBody,
                            files::kBsfSoftHead, files::kBsfAirHead,    files::kBsfSkinHead,
                            files::kAttenuation, files::kDefaultOutput, files::kIcruSoft,
                            files::kPrimary,     files::kExamParts};
    for (const char* n : needed)
        if (!fs::exists(d / n)) return false;
    for (int e = 10; e <= 150; e += 5)
        if (!fs::exists(d / "PDS-data" / (std::to_string(e) + ".dat"))) return false;
    return fs::exists(d / "Organ-data");
}

void CopyShippedData(const fs::path& dir) {
    fs::create_directories(dir);
    fs::copy(ShippedDataDir(), dir,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

std::vector<std::string> ReadLinesUtf8(const fs::path& file) {
    std::vector<std::string> out;
    for (const auto& l : SplitLines(ReadFileBytes(file))) out.push_back(Cp932ToUtf8(l));
    return out;
}

}  // namespace dovex::apptest
