// SPDX-License-Identifier: MIT
#pragma once
// Synthetic inputs for the effective-dose tests: physics tables with power-law attenuation,
// flat spectra, in-memory kernels and scratch data folders.
#include <filesystem>
#include <functional>
#include <string>

#include "effdose/depthdose.h"
#include "engine/spectrum.h"
#include "engine/tables.h"

namespace dovex::test {

// Soft-tissue table whose partial coefficients are power laws of the energy (so log-log
// interpolation is exact), rows from 5 keV to `lastKeV`; primary dose factor `primary` at all
// energies; ICRP 103 weights; piValue 3.14159.
PhysicsTables SyntheticTables(double primary = 1.0, double lastKeV = 200.0);
// Exact soft-tissue attenuation coefficient of SyntheticTables at E keV.
double SyntheticMu(double e);

// Fluence 1 in bins lo..hi, 0 elsewhere.
XraySpectrum FlatSpectrum(long lo, long hi);

// Kernels given by a function of (bin, layer, ring).
class FunctionKernels : public KernelSource {
  public:
    explicit FunctionKernels(std::function<double(long, long, long)> f) : f_(std::move(f)) {}
    const ScatterKernel& Kernel(long bin) override;
    int requests = 0;
    long lastBin = 0;

  private:
    std::function<double(long, long, long)> f_;
    ScatterKernel k_;
};

// A fresh empty folder under the test temp directory.
std::filesystem::path ScratchDir(const std::string& name);
// Writes bytes to a file, creating folders.
void WriteBytes(const std::filesystem::path& p, const std::string& bytes);
// Kernel file text: 6400 values v(layer, ring), groups of 20 per line, CR LF.
std::string KernelText(const std::function<double(long, long)>& v, long count = 6400);

}  // namespace dovex::test
