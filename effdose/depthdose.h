// SPDX-License-Identifier: MIT
#pragma once
// Central-axis percentage depth dose in the patient, in 0.5 cm layers: a primary part
// (unscattered photons, inverse square law times attenuation in soft tissue) plus a scatter part
// (pencil-beam scatter kernels summed over the entrance rings inside the field), both summed over
// the spectrum and normalised to a total of 100 in the first layer.
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "engine/checked.h"
#include "engine/conditions.h"
#include "engine/platform.h"
#include "engine/spectrum.h"
#include "engine/tables.h"

namespace dovex {

inline constexpr long kDepthLayers = 80;  // 0.5 cm layers, 40 cm
inline constexpr long kKernelRings = 80;  // 0.5 cm rings, radius 40 cm

// ScatterKernel[k][j]: scatter dose on the axis in depth layer k from the whole of entrance ring j.
using ScatterKernel = Checked<Checked<double, 1, kKernelRings>, 1, kDepthLayers>;

struct DepthDoseCurve {
    long layers = 0;                           // layers 1..layers were computed; the others hold 0
    Checked<double, 1, kDepthLayers> primary;  // per cent of the first layer's total
    Checked<double, 1, kDepthLayers> scatter;
    Checked<double, 1, kDepthLayers> total;
};

// The kernel of one photon energy. `bin` is the fine-grid bin 20, 30, ..., 300 (10..150 keV).
class KernelSource {
  public:
    virtual ~KernelSource() = default;
    virtual const ScatterKernel& Kernel(long bin) = 0;
};

// Energy label of a kernel file for fine-grid bin e: "10", "15", ..., "150".
std::string KernelEnergyLabel(long bin);

// The 29 kernel files "<dataDir>/PDS-data/<label>.dat", each 6400 numbers (layer-major). Every
// request looks at the file again; it is read and parsed again only when the file was replaced
// or its size or modification time changed, so an edited file is taken as it now stands without
// the cost of reading 29 unchanged files for every calculation. A missing file, one with fewer
// than 6400 numbers or with a negative value throws DataFileError naming it.
class KernelFiles : public KernelSource {
  public:
    explicit KernelFiles(std::filesystem::path dataDir);
    const ScatterKernel& Kernel(long bin) override;
    const std::filesystem::path& dataDir() const { return dir_; }
    // How many times a file was read and parsed.
    long fileReads() const { return fileReads_; }

  private:
    struct Entry {
        platform::FileStamp stamp;
        std::unique_ptr<ScatterKernel> kernel;
    };
    std::filesystem::path dir_;
    std::map<long, Entry> cache_;
    long fileReads_ = 0;
};

// Upper bound of a kernel value: the shipped kernels stay below 3e5.
inline constexpr double kMaxKernelValue = 1e12;

// Parses kernel file bytes (6400 numbers within 0..kMaxKernelValue; anything after them is
// ignored). A kernel whose first layer receives no scatter at all is refused.
std::unique_ptr<ScatterKernel> ParseKernel(std::string bytes, const std::string& fileName);

// Number of 0.5 cm layers for a subject thickness T: Int(2T - 0.1) + 1, at most 80.
long DepthLayerCount(double thickness);

// Share of entrance ring j (radii (j-1)/2 .. j/2 cm) inside a rectangle with half-sides az >= bz
// centred on the axis, computed on one quadrant with the given circle constant. `caseNo` tells
// which geometric case applied (1 ring inside both edges ... 8 ring beyond the corner).
struct RingFractionResult {
    int caseNo = 0;
    double fraction = 0;
};
RingFractionResult RingFraction(long j, double az, double bz, double pi);

// Computes the curve for the conditions (tube voltage, FSD, FFD, subject thickness, field),
// the spectrum's photon fluence and the soft-tissue attenuation and primary dose tables. All 29
// kernels are requested in rising energy whatever the tube voltage. Throws CalcError for a tube
// voltage above 150 kV, an energy beyond the attenuation table, more than 80 rings at some
// depth, a logarithm of a non-positive value, a zero first-layer dose or any non-finite value.
DepthDoseCurve ComputeDepthDose(const ExposureConditions& c, const XraySpectrum& s,
                                const PhysicsTables& t, KernelSource& kernels);

}  // namespace dovex
