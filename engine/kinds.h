// SPDX-License-Identifier: MIT
#pragma once
// The named kinds of a calculation's conditions (declared with ExposureConditions) and their
// numeric codes as the results file, the JSON output and the command line hold them
// (rectification 1..3, field shape 1..2, exposure source 1..2, phantom 0..1); the conversions
// between codes, kinds and the texts of the window and the command line are here, once each way.
#include <optional>
#include <string_view>

#include "engine/conditions.h"

namespace dovex {

// Code -> kind; nullopt for a code that names no kind.
std::optional<Rectification> RectificationOf(int code);
std::optional<FieldShape> FieldShapeOf(int code);
std::optional<ExposureSource> ExposureSourceOf(int code);
std::optional<Phantom> PhantomOf(int code);

// Kind -> code.
constexpr int CodeOf(Rectification k) { return static_cast<int>(k); }
constexpr int CodeOf(FieldShape k) { return static_cast<int>(k); }
constexpr int CodeOf(ExposureSource k) { return static_cast<int>(k); }
constexpr int CodeOf(Phantom k) { return static_cast<int>(k); }

// The window's captions ("定電圧・インバータ", "三相12ピーク", "単相全波";
// "頭部以外の部位（軟部組織 のみ）", "頭部（皮下5mmに頭蓋骨有）").
std::string_view WindowText(Rectification k);
std::string_view WindowText(Phantom k);
// The texts of the results file ("定電圧", "三相12", "単相全波") and of the printed report, whose
// column is narrower ("定電圧", "三相12", "単相全"). A code or text that names no kind stands for
// single-phase full-wave, as the results file has always been read.
std::string_view FileText(Rectification k);
Rectification RectificationFromFileText(std::string_view text);
Rectification RectificationOrSinglePhase(int code);
std::string_view PrintText(Rectification k);
// The phantom of a command-line word ("body", "head").
std::optional<Phantom> PhantomFromWord(std::string_view word);

// The backscatter phantom an exam part calls for: the head phantom (skull 5 mm under the skin)
// for the views of the head (the parts named "頭部…", as 頭部正面 and 頭部側面), the soft-tissue
// phantom for every other part. The user may still choose the other one.
Phantom DefaultPhantomOf(std::string_view examPart);

// The one test of a circular field: the field shape, not a zero short side.
inline bool IsCircularField(const ExposureConditions& c) {
    return c.fieldShape == FieldShape::Circle;
}

}  // namespace dovex
