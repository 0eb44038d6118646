// SPDX-License-Identifier: MIT
#include "testdata.h"

#include <unistd.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "effdose/organdose.h"

namespace dovex::test {

namespace {
// Partial coefficients A * E^p (per cm, E in keV).
double C1(double e) { return 0.6 * std::pow(e / 30.0, -0.4); }
double C2(double e) { return 0.2 * std::pow(e / 30.0, -0.1); }
double C3(double e) { return 0.1 * std::pow(e / 30.0, -3.0); }
}  // namespace

double SyntheticMu(double e) { return C1(e) + C2(e) + C3(e); }

PhysicsTables SyntheticTables(double primary, double lastKeV) {
    PhysicsTables t;
    const double energies[] = {5, 10, 20, 40, 80, 120, 160, 200};
    long n = 0;
    for (double e : energies) {
        if (e > lastKeV) break;
        ++n;
        t.icruSoft[n] = IcruSoftRow{C1(e), C2(e), C3(e), e};
    }
    t.icruSoftRows = n;
    for (long i = 1; i <= 300; ++i) t.primaryFine[i] = i >= 21 ? primary : 0.0;
    t.piValue = 3.14159;
    t.tissueWeights = DefaultTissueWeights();
    return t;
}

XraySpectrum FlatSpectrum(long lo, long hi) {
    XraySpectrum s;
    for (long i = lo; i <= hi; ++i) s.fluence[i] = 1.0;
    return s;
}

const ScatterKernel& FunctionKernels::Kernel(long bin) {
    ++requests;
    lastBin = bin;
    for (long k = 1; k <= kDepthLayers; ++k) {
        for (long j = 1; j <= kKernelRings; ++j) k_[k][j] = f_(bin, k, j);
    }
    return k_;
}

std::filesystem::path ScratchDir(const std::string& name) {
    auto p = std::filesystem::temp_directory_path() /
             ("dovex-effdose-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(p);
    std::filesystem::create_directories(p);
    return p;
}

void WriteBytes(const std::filesystem::path& p, const std::string& bytes) {
    std::filesystem::create_directories(p.parent_path());
    std::ofstream f(p, std::ios::binary);
    f << bytes;
}

std::string KernelText(const std::function<double(long, long)>& v, long count) {
    std::ostringstream os;
    os.precision(17);
    long written = 0;
    for (long k = 1; k <= kDepthLayers && written < count; ++k) {
        for (long j = 1; j <= kKernelRings && written < count; ++j) {
            os << v(k, j);
            ++written;
            os << ((j % 20 == 0) ? "\r\n" : ",");
        }
    }
    return os.str();
}

}  // namespace dovex::test
