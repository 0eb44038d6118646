// SPDX-License-Identifier: MIT
#pragma once
// Texts of the generated data files, in the layouts the program reads (ASCII, which is valid
// cp932, lines ending in CR LF), and readers of those files for the checks.
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace dovex::mc {

inline constexpr int kBsfColumns = 31;
inline constexpr int kKernelEnergies = 29;

// Energy (keV) of backscatter column m = 1..31: 1 keV, then 5 (m - 1) keV.
double BsfColumnEnergy(int m);
// Energy (keV) of kernel file n = 0..28: 10, 15, ..., 150.
int KernelEnergy(int n);
// "PDS-data" file name of a kernel energy: "10.dat" ... "150.dat".
std::string KernelFileName(int energyKeV);

// The six differential backscatter files.
struct BsfFileName {
    const char* file;
    int quantity;  // 0 soft tissue dose, 1 air kerma, 2 skin dose
    int phantom;   // 0 body, 1 head
};
extern const std::array<BsfFileName, 6> kBsfFiles;

// A header line, then 300 lines (rings k = 1..300): the ring's outer radius in cm, then the
// 31 column values. columns[m-1][k-1] = d(k) at column m.
std::string BsfFileText(std::string_view header, const std::vector<std::vector<double>>& columns);

// 80 layers, each as four lines of 20 comma-separated values (rings 1..80).
// kernel[(k-1)*80 + (j-1)] for layer k and ring j.
std::string KernelFileText(const std::vector<double>& kernel);

// Readers (free-format fields like the program's loaders). Throw std::runtime_error when the
// text has fewer fields than the layout, extra fields, or a value that is not a finite number.
std::vector<std::vector<double>> ParseBsfFile(const std::string& bytes, const std::string& name);
std::vector<double> ParseKernelFile(const std::string& bytes, const std::string& name);

// BSF = 1 + sum over rings fully inside a circle of `diameter` (cm) of d(k) g(k), with
// g(k) = fsd^2 / (fsd^2 + rho(k)^2) at the ring's representative radius rho(k) = 0.1 k - 0.05.
double CircularFieldBsf(const std::vector<double>& d, double diameter, double fsd);

}  // namespace dovex::mc
