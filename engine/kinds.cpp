// SPDX-License-Identifier: MIT
#include "engine/kinds.h"

namespace dovex {

std::optional<Rectification> RectificationOf(int code) {
    if (code >= 1 && code <= 3) return static_cast<Rectification>(code);
    return std::nullopt;
}
std::optional<FieldShape> FieldShapeOf(int code) {
    if (code == 1 || code == 2) return static_cast<FieldShape>(code);
    return std::nullopt;
}
std::optional<ExposureSource> ExposureSourceOf(int code) {
    if (code == 1 || code == 2) return static_cast<ExposureSource>(code);
    return std::nullopt;
}
std::optional<Phantom> PhantomOf(int code) {
    if (code == 0 || code == 1) return static_cast<Phantom>(code);
    return std::nullopt;
}

std::string_view WindowText(Rectification k) {
    switch (k) {
        case Rectification::ConstantPotential:
            return "定電圧・インバータ";
        case Rectification::ThreePhase12Pulse:
            return "三相12ピーク";
        case Rectification::SinglePhaseFullWave:
            break;
    }
    return "単相全波";
}

std::string_view FileText(Rectification k) {
    switch (k) {
        case Rectification::ConstantPotential:
            return "定電圧";
        case Rectification::ThreePhase12Pulse:
            return "三相12";
        case Rectification::SinglePhaseFullWave:
            break;
    }
    return "単相全波";
}

Rectification RectificationFromFileText(std::string_view text) {
    if (text == "定電圧") return Rectification::ConstantPotential;
    if (text == "三相12") return Rectification::ThreePhase12Pulse;
    return Rectification::SinglePhaseFullWave;
}

Rectification RectificationOrSinglePhase(int code) {
    return RectificationOf(code).value_or(Rectification::SinglePhaseFullWave);
}

std::string_view PrintText(Rectification k) {
    return k == Rectification::SinglePhaseFullWave ? "単相全" : FileText(k);
}

std::string_view WindowText(Phantom k) {
    return k == Phantom::Head ? "頭部（皮下5mmに頭蓋骨有）" : "頭部以外の部位（軟部組織のみ）";
}

std::optional<Phantom> PhantomFromWord(std::string_view word) {
    if (word == "body") return Phantom::Body;
    if (word == "head") return Phantom::Head;
    return std::nullopt;
}

Phantom DefaultPhantomOf(std::string_view examPart) {
    constexpr std::string_view kHead = "頭部";
    return examPart.substr(0, kHead.size()) == kHead ? Phantom::Head : Phantom::Body;
}

}  // namespace dovex
