// SPDX-License-Identifier: MIT
#pragma once
// Fixed-size arrays indexed from Lo to Hi inclusive, as the physics is written (bin 1..300,
// ring 1..300, column 1..31). Every access is checked and an index outside the bounds throws
// CalcError instead of touching memory it does not own.
#include <array>
#include <cstddef>
#include <string>
#include <type_traits>

#include "engine/error.h"

namespace dovex {

[[noreturn]] void ThrowIndexError(const char* what, long index, long lo, long hi);

template <class T, long Lo, long Hi>
class Checked {
    static_assert(Hi >= Lo);

  public:
    static constexpr long lo = Lo;
    static constexpr long hi = Hi;
    static constexpr std::size_t size = static_cast<std::size_t>(Hi - Lo + 1);

    // Every element starts as T{}: plain values are filled; elements with a constructor of their
    // own (nested arrays, rows with member initialisers) were set by it already.
    Checked() {
        if constexpr (std::is_trivially_default_constructible_v<T>) v_.fill(T{});
    }

    T& operator[](long i) {
        if (i < Lo || i > Hi) ThrowIndexError("array", i, Lo, Hi);
        return v_[static_cast<std::size_t>(i - Lo)];
    }
    const T& operator[](long i) const {
        if (i < Lo || i > Hi) ThrowIndexError("array", i, Lo, Hi);
        return v_[static_cast<std::size_t>(i - Lo)];
    }
    void fill(const T& x) { v_.fill(x); }
    const std::array<T, size>& raw() const { return v_; }
    std::array<T, size>& raw() { return v_; }

  private:
    std::array<T, size> v_;
};

}  // namespace dovex
