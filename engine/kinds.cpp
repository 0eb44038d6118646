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

std::string_view WindowText(Phantom k) {
    return k == Phantom::Head ? "頭部（皮下5mmに頭蓋骨有）" : "頭部以外の部位（軟部組織のみ）";
}

std::string_view OptionWord(Phantom k) { return k == Phantom::Head ? "head" : "body"; }

std::optional<Phantom> PhantomFromWord(std::string_view word) {
    if (word == "body") return Phantom::Body;
    if (word == "head") return Phantom::Head;
    return std::nullopt;
}

}  // namespace dovex
