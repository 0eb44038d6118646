// SPDX-License-Identifier: MIT
#pragma once
// Random numbers of the photon transport: xoshiro256** seeded through splitmix64. Every batch of
// histories gets its own stream, derived from the run seed and the batch's identity, so a run is
// reproducible whatever the number of threads.
#include <cmath>
#include <cstdint>

namespace dovex::mc {

inline std::uint64_t SplitMix64(std::uint64_t& s) {
    std::uint64_t z = (s += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

class Rng {
  public:
    // Stream for (seed, a, b, c): the three numbers identify the job and the batch.
    explicit Rng(std::uint64_t seed, std::uint64_t a = 0, std::uint64_t b = 0,
                 std::uint64_t c = 0) {
        std::uint64_t s = seed;
        s ^= SplitMix64(s) + a * 0xD1B54A32D192ED03ULL;
        s ^= SplitMix64(s) + b * 0xABC98388FB8FAC03ULL;
        s ^= SplitMix64(s) + c * 0x8CB92BA72F3D8DD7ULL;
        for (auto& x : s_) x = SplitMix64(s);
    }

    std::uint64_t Next() {
        const std::uint64_t result = Rotl(s_[1] * 5, 7) * 9;
        const std::uint64_t t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = Rotl(s_[3], 45);
        return result;
    }

    // Uniform in [0, 1).
    double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
    // Uniform in (0, 1]: safe as the argument of a logarithm.
    double UniformOpen() { return static_cast<double>((Next() >> 11) + 1) * 0x1.0p-53; }
    // Exponentially distributed number of mean free paths.
    double MeanFreePaths() { return -std::log(UniformOpen()); }

  private:
    static std::uint64_t Rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    std::uint64_t s_[4];
};

}  // namespace dovex::mc
